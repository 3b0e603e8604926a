#pragma once

#include "reports/ReportEngine.h"
#include "ReportFont.h"

#include <functional>
#include <string>

class QPrinter;
class QWidget;

namespace qv {
class Messages;
}

namespace qv::reports {

// Builds a report afresh, its row sources rewound; the preview asks for one at every repaint.
using ReportMaker = std::function<Report()>;

// Sends a report to the text export, the chosen printer or the preview, with a busy cursor while
// it is laid out; a failure is told in an "Error" message.
class ReportOutput {
public:
    ReportOutput(QPrinter& printer, Messages& messages, QWidget* owner);

    bool exportToFile(const std::string& fileName, const ReportMaker& make, const ReportFont& font);
    bool print(const ReportMaker& make, const ReportFont& font);
    // Returns when the preview window is closed.
    void preview(const ReportMaker& make, const ReportFont& font);

private:
    QPrinter& printer_;
    Messages& messages_;
    QWidget* owner_;
};

} // namespace qv::reports
