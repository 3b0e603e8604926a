#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace qv {

// The choosers the dialogs run (fonts and colours of the preferences, the export file of
// Print/Export); tests put their own in place.
struct Choosers {
    // Sizes 8 to 12 points only; nothing when cancelled.
    std::function<std::optional<QFont>(QWidget* parent, const QFont& current)> font;
    std::function<std::optional<QColor>(QWidget* parent, const QColor& current)> color;
    // "Print to File": a text file to write, confirmed when it exists; nothing when cancelled.
    std::function<std::optional<QString>(QWidget* parent)> exportFile;

    static Choosers Dialogs();
};

} // namespace qv
