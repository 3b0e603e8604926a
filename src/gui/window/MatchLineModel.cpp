#include "MatchLineModel.h"

#include "search/RunTexts.h"
#include "widgets/Text.h"

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
    const MatchLine& r = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        if (index.column() == 0)
            return ToQString(LineNumberText(r));
        // Texts are bytes: shown as the locale's encoding gives them; tabs and line breaks as blanks.
        QString t = ToQString(r.text);
        for (QChar& c : t)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0))
                c = QLatin1Char(' ');
        return t;
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((index.column() == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

void MatchLineModel::setRows(std::vector<MatchLine> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

} // namespace qv
