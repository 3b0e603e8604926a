#pragma once

#include "search/MatchListing.h"

#include <QAbstractTableModel>

#include <vector>

namespace qv {

// The rows of a match list: line number and text, no headings.
class MatchLineModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void setRows(std::vector<MatchLineRow> rows);
    void clear() { setRows({}); }
    [[nodiscard]] const std::vector<MatchLineRow>& rows() const { return rows_; }

private:
    std::vector<MatchLineRow> rows_;
};

} // namespace qv
