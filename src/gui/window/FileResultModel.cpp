#include "FileResultModel.h"

#include "platform/NameOrder.h"
#include "search/RunTexts.h"
#include "widgets/Text.h"

#include <algorithm>
#include <numeric>

namespace qv {
namespace {

const char* const kHeadings[] = {"File Name", "Directory", "Matches", "Type", "Size", "Date/Time"};

QString text(const FileRow& r, int column, const DateTimeFormat& dates)
{
    return ToQString(RowFieldText(r, static_cast<RowField>(column), dates));
}

// The typed value a number or date column sorts by.
std::int64_t value(const FileRow& r, int column)
{
    switch (column) {
    case FileResultModel::MatchesColumn: return static_cast<std::int64_t>(r.matches);
    case FileResultModel::SizeColumn: return static_cast<std::int64_t>(r.size);
    default: return r.modified;
    }
}

bool isTextColumn(int column)
{
    return column == FileResultModel::FileNameColumn || column == FileResultModel::DirectoryColumn || column == FileResultModel::TypeColumn;
}

} // namespace

int FileResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return text(rows_[static_cast<std::size_t>(index.row())], index.column(), dates_);
    if (role == Qt::TextAlignmentRole) {
        switch (index.column()) {
        case MatchesColumn:
        case SizeColumn: return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        case TypeColumn: return QVariant::fromValue(Qt::AlignCenter);
        default: return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    return {};
}

QVariant FileResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kHeadings[section]);
    if (role == Qt::TextAlignmentRole)
        return data(index(0, section), role).isValid() ? data(index(0, section), role)
                                                       : QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void FileResultModel::append(std::vector<FileRow> rows)
{
    if (rows.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void FileResultModel::clear(const DateTimeFormat& dates)
{
    beginResetModel();
    rows_.clear();
    dates_ = dates;
    endResetModel();
}

void FileResultModel::removeRowAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void FileResultModel::sortRows(int column, int direction)
{
    // Each row's key is worked out once; the comparisons then cost next to nothing, so 100,000
    // rows sort in well under a second.
    const std::size_t n = rows_.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    if (isTextColumn(column)) {
        // Names, folders and types in the program's one order of names.
        const platform::NameOrder& names = platform::NameOrder::System();
        std::vector<std::string> keys;
        keys.reserve(n);
        for (const FileRow& r : rows_)
            keys.push_back(names.sortKey(RowFieldText(r, static_cast<RowField>(column), dates_)));
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return direction > 0 ? keys[a] < keys[b] : keys[b] < keys[a]; });
    } else {
        std::vector<std::int64_t> keys(n);
        for (std::size_t i = 0; i < n; ++i)
            keys[i] = value(rows_[i], column);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return (keys[a] < keys[b] ? -1 : (keys[a] > keys[b] ? 1 : 0)) * direction < 0;
        });
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newPosition(n);
    std::vector<FileRow> sorted;
    sorted.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        newPosition[order[i]] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[order[i]]));
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before)
        after.push_back(index(newPosition[static_cast<std::size_t>(idx.row())], idx.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace qv
