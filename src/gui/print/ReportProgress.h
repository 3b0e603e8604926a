#pragma once

#include "reports/ReportEngine.h"

#include <QString>

#include <functional>

class QWidget;

namespace qv::reports {

// Runs the laying out of a report on a thread of its own while the window stays live: it repaints
// and moves, but takes no input until the work is done. A report that takes longer than half a
// second shows which page it is on, in a dialog whose Cancel stops it before the next page.
class ReportProgress {
public:
    // `what` names the page in the dialog, "%1" standing for its number ("Exporting page %1").
    ReportProgress(QWidget* owner, QString what);

    // Runs `work` on a thread of its own, handing it the page callback to give the report
    // engine; returns when the work has. The program asked to end meanwhile cancels it.
    void run(const std::function<void(const PageCallback&)>& work);
    [[nodiscard]] bool cancelled() const { return cancelled_; }

private:
    QWidget* owner_;
    QString what_;
    bool cancelled_ = false;
};

} // namespace qv::reports
