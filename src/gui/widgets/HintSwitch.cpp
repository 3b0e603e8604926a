#include "HintSwitch.h"

#include <QApplication>
#include <QEvent>

namespace qv {
namespace {

class HintFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip && !hintsShown())
            return true;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void installHintSwitch(QApplication& app)
{
    app.installEventFilter(new HintFilter(&app));
}

void setHintsShown(bool shown)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty("qvShowHints", shown);
}

bool hintsShown()
{
    const QCoreApplication* app = QCoreApplication::instance();
    const QVariant v = app != nullptr ? app->property("qvShowHints") : QVariant();
    return !v.isValid() || v.toBool();
}

} // namespace qv
