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

    void setRows(std::vector<MatchLine> rows);
    void clear() { setRows({}); }
    [[nodiscard]] const std::vector<MatchLine>& rows() const { return rows_; }

private:
    std::vector<MatchLine> rows_;
};

} // namespace qv
