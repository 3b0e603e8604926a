#include "MatchLineModel.h"

#include <QString>

namespace qv {

int MatchLineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MatchLineModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant MatchLineModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const MatchLineRow& r = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        if (index.column() == 0)
            return QString::fromLatin1(r.LineNumber.c_str());
        // Texts are bytes: shown as the local 8-bit encoding gives them; tabs and line breaks as blanks.
        QString t = QString::fromLocal8Bit(r.Text.c_str(), static_cast<qsizetype>(r.Text.size()));
        for (QChar& c : t)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0))
                c = QLatin1Char(' ');
        return t;
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((index.column() == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

void MatchLineModel::setRows(std::vector<MatchLineRow> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

} // namespace qv
