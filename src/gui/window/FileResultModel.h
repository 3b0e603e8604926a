#pragma once

#include "search/FileResultRow.h"
#include "platform/LocaleInfo.h"

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

    void append(const std::vector<FileResultRow>& rows);
    void clear();
    void removeRowAt(int row);
    [[nodiscard]] const std::vector<FileResultRow>& rows() const { return rows_; }
    [[nodiscard]] const FileResultRow& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }

    // Sorts every row by one column in one direction (+1 ascending, -1 descending); rows equal in
    // that column keep no particular order. Persistent indexes (the selection) follow their rows.
    void sortRows(int column, int direction, const std::string& dateTimeFormat, const platform::LocaleInfo& locale);

private:
    std::vector<FileResultRow> rows_;
};

// The comparison of two rows by one column, as the column sort uses it: names, folders and
// types by case-insensitive locale order, counts and sizes as numbers, dates read back as dates.
// Negative when row1 comes first; multiplied by the direction.
int CompareFileRows(const FileResultRow& row1, const FileResultRow& row2, int columnIndex, int direction,
                    const std::string& dateTimeFormat, const platform::LocaleInfo& locale);

} // namespace qv
