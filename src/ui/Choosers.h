#pragma once

#include <QColor>
#include <QFont>

#include <functional>
#include <optional>

class QWidget;

namespace qv {

// The font and colour choosers of the preferences; tests put their own in place.
struct Choosers {
    // Sizes 8 to 12 points only; nothing when cancelled.
    std::function<std::optional<QFont>(QWidget* parent, const QFont& current)> font;
    std::function<std::optional<QColor>(QWidget* parent, const QColor& current)> color;

    static Choosers Dialogs();
};

} // namespace qv
