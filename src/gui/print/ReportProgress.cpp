#include "ReportProgress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <climits>
#include <thread>

namespace qv::reports {
namespace {

constexpr int kDialogAfterMs = 500;
constexpr int kLookMs = 30;

// Holds back the user's input to every window but the progress dialog while a report is laid
// out, so nothing the report reads can change under it; painting and moving go on.
class InputHold final : public QObject {
public:
    explicit InputHold(const QWidget& dialog) : dialog_(dialog) { qApp->installEventFilter(this); }
    ~InputHold() override { qApp->removeEventFilter(this); }
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Close: {
            // Input reaches a window before its widgets: the dialog's own window lets it through.
            if (watched->isWindowType())
                return watched != static_cast<const QObject*>(dialog_.windowHandle());
            const auto* w = qobject_cast<const QWidget*>(watched);
            return w == nullptr || (w != &dialog_ && !dialog_.isAncestorOf(w));
        }
        default: return false;
        }
    }

private:
    const QWidget& dialog_;
};

} // namespace

ReportProgress::ReportProgress(QWidget* owner, QString what) : owner_(owner), what_(std::move(what)) { }

void ReportProgress::run(const std::function<void(const PageCallback&)>& work)
{
    QProgressDialog dialog(QString(), QStringLiteral("&Cancel"), 0, 0, owner_);
    dialog.setWindowTitle(QStringLiteral("Print/Export"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setMinimumDuration(INT_MAX); // shown by the timer below, not by a value
    dialog.hide();
    const InputHold hold(dialog);

    std::atomic<int> page{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread worker([&] {
        work([&](int number) {
            page = number;
            return !stop.load();
        });
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QElapsedTimer started;
    started.start();
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (page > 0)
            dialog.setLabelText(what_.arg(page.load()));
        if (!dialog.isVisible() && started.elapsed() > kDialogAfterMs)
            dialog.show();
        if (dialog.wasCanceled())
            stop = true;
    });
    look.start(kLookMs);
    loop.exec();
    if (!done)
        stop = true; // the program is ending: the report stops before its next page
    worker.join();
    cancelled_ = stop;
}

} // namespace qv::reports
