#include "FileResultModel.h"

#include "search/DateTimeFormat.h"

#include <QCollator>
#include <QFile>
#include <QCollatorSortKey>

#include <algorithm>
#include <charconv>
#include <numeric>

namespace qv {
namespace {

const char* const kHeadings[] = {"File Name", "Directory", "Matches", "Type", "Size", "Date/Time"};

QString text(const FileResultRow& r, int column)
{
    switch (column) {
    case FileResultModel::FileNameColumn: return QFile::decodeName(r.FileName.c_str());
    case FileResultModel::DirectoryColumn: return QFile::decodeName(r.Directory.c_str());
    case FileResultModel::MatchesColumn: return QString::fromStdString(r.Matches);
    case FileResultModel::TypeColumn: return QString::fromStdString(r.Type);
    case FileResultModel::SizeColumn: return QString::fromStdString(r.Size);
    case FileResultModel::DateTimeColumn: return QString::fromLocal8Bit(r.DateTime.c_str());
    default: return {};
    }
}

const std::string& field(const FileResultRow& r, int column)
{
    switch (column) {
    case FileResultModel::FileNameColumn: return r.FileName;
    case FileResultModel::DirectoryColumn: return r.Directory;
    case FileResultModel::MatchesColumn: return r.Matches;
    case FileResultModel::TypeColumn: return r.Type;
    case FileResultModel::SizeColumn: return r.Size;
    default: return r.DateTime;
    }
}

std::uint64_t number(const std::string& s)
{
    std::uint64_t v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

QCollator& collator()
{
    static QCollator c = [] {
        QCollator x;
        x.setCaseSensitivity(Qt::CaseInsensitive);
        return x;
    }();
    return c;
}

// Texts compare in the locale's order without regard to case. They are case-folded first, since
// some locales (the C locale among them) collate without honouring the case setting.
QString foldedText(const FileResultRow& r, int column)
{
    return text(r, column).toCaseFolded();
}

int sign(long long v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

bool isTextColumn(int column)
{
    return column == FileResultModel::FileNameColumn || column == FileResultModel::DirectoryColumn ||
           column == FileResultModel::TypeColumn;
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
        return text(rows_[static_cast<std::size_t>(index.row())], index.column());
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

void FileResultModel::append(const std::vector<FileResultRow>& rows)
{
    if (rows.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), rows.begin(), rows.end());
    endInsertRows();
}

void FileResultModel::clear()
{
    beginResetModel();
    rows_.clear();
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

int CompareFileRows(const FileResultRow& row1, const FileResultRow& row2, int columnIndex, int direction,
                    const std::string& dateTimeFormat, const platform::LocaleInfo& locale)
{
    int c = 0;
    if (isTextColumn(columnIndex)) {
        c = sign(collator().compare(foldedText(row1, columnIndex), foldedText(row2, columnIndex)));
    } else if (columnIndex == FileResultModel::DateTimeColumn) {
        const DateTimeFormat f(dateTimeFormat, locale);
        const std::int64_t a = f.SortKey(row1.DateTime), b = f.SortKey(row2.DateTime);
        c = a > b ? 1 : (a < b ? -1 : 0);
    } else {
        const auto a = number(field(row1, columnIndex)), b = number(field(row2, columnIndex));
        c = a > b ? 1 : (a < b ? -1 : 0);
    }
    return c * direction;
}

void FileResultModel::sortRows(int column, int direction, const std::string& dateTimeFormat, const platform::LocaleInfo& locale)
{
    // Each row's key is worked out once; the comparisons then cost next to nothing, so 100,000
    // rows sort in well under a second.
    const std::size_t n = rows_.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    if (isTextColumn(column)) {
        std::vector<QCollatorSortKey> keys;
        keys.reserve(n);
        for (const FileResultRow& r : rows_)
            keys.push_back(collator().sortKey(foldedText(r, column)));
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return sign(keys[a].compare(keys[b])) * direction < 0; });
    } else {
        std::vector<long long> keys(n);
        const DateTimeFormat f(dateTimeFormat, locale);
        for (std::size_t i = 0; i < n; ++i)
            keys[i] = column == DateTimeColumn ? static_cast<long long>(f.SortKey(rows_[i].DateTime))
                                               : static_cast<long long>(number(field(rows_[i], column)));
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return (keys[a] < keys[b] ? -1 : (keys[a] > keys[b] ? 1 : 0)) * direction < 0;
        });
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newPosition(n);
    std::vector<FileResultRow> sorted;
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
