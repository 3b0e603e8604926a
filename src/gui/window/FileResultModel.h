#pragma once

#include "search/DateTimeFormat.h"
#include "search/FileRow.h"

#include <QAbstractTableModel>

#include <vector>

namespace qv {

// The rows of a file result list. Appending is batched by the caller (append many at once), so
// 100,000 rows arrive without a stall.
class FileResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FileNameColumn, DirectoryColumn, MatchesColumn, TypeColumn, SizeColumn, DateTimeColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void append(std::vector<FileRow> rows);
    // Empties the list; its rows' dates are written in `dates` from now on.
    void clear(const DateTimeFormat& dates);
    void clear() { clear(dates_); }
    void removeRowAt(int row);
    [[nodiscard]] const std::vector<FileRow>& rows() const { return rows_; }
    [[nodiscard]] const FileRow& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }
    [[nodiscard]] const DateTimeFormat& dates() const { return dates_; }

    // Sorts every row by one column in one direction (+1 ascending, -1 descending): names, folders
    // and types by case-insensitive locale order, counts, sizes and dates by their values. Rows
    // equal in that column keep no particular order. Persistent indexes (the selection) follow
    // their rows.
    void sortRows(int column, int direction);

private:
    std::vector<FileRow> rows_;
    DateTimeFormat dates_{"", platform::LocaleInfo{}};
};

} // namespace qv
