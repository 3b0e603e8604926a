#include "ReportOutput.h"

#include "widgets/Messages.h"
#include "widgets/Text.h"
#include "PainterDestination.h"
#include "ReportProgress.h"
#include "reports/ReportRecording.h"
#include "reports/TextExport.h"

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace qv::reports {
namespace {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

ReportOutput::ReportOutput(QPrinter& printer, Messages& messages, QWidget* owner)
    : printer_(printer), messages_(messages), owner_(owner) { }

bool ReportOutput::exportToFile(const std::string& fileName, const ReportMaker& make, const ReportFont& font)
{
    std::optional<std::string> failure;
    {
        BusyCursor busy;
        ReportProgress progress(owner_, QStringLiteral("Exporting page %1"));
        progress.run([&](const PageCallback& beforePage) { failure = ExportReport(make(), font.measure(), fileName, beforePage); });
    }
    // An export that did not reach its file must not pass for one that did.
    if (failure)
        messages_.show(owner_, QStringLiteral("Error"), ToQString(*failure), BoxIcon::Warning);
    return !failure;
}

bool ReportOutput::print(const ReportMaker& make, const ReportFont& font)
{
    bool completed = false;
    bool ok = false;
    {
        BusyCursor busy;
        ReportProgress progress(owner_, QStringLiteral("Printing page %1"));
        progress.run([&](const PageCallback& beforePage) {
            PainterDestination out(printer_, font);
            completed = RunReport(make(), font.measure(), out, beforePage);
            if (!completed)
                out.abort();
            ok = out.succeeded();
        });
    }
    if (!completed)
        return false; // cancelled: nothing to tell
    if (!ok) {
        const QString target = printer_.outputFormat() == QPrinter::PdfFormat ? printer_.outputFileName() : printer_.printerName();
        messages_.show(owner_, QStringLiteral("Error"),
                       target.isEmpty() ? QStringLiteral("No printer is set up. Choose one with Print Setup.")
                                        : QStringLiteral("The report could not be printed on \"%1\".").arg(target),
                       BoxIcon::Warning);
    }
    return ok;
}

void ReportOutput::preview(const ReportMaker& make, const ReportFont& font)
{
    // Laid out once, off the window's thread; the preview then paints it whenever it asks.
    // A UTF-8 character takes at most four bytes.
    ReportRecording recording(std::size_t{4} * PainterDestination::kMaxPaintedChars);
    {
        BusyCursor busy;
        ReportProgress progress(owner_, QStringLiteral("Preparing page %1"));
        progress.run([&](const PageCallback& beforePage) { RunReport(make(), font.measure(), recording, beforePage); });
        if (progress.cancelled())
            return;
    }
    QPrintPreviewDialog dialog(&printer_, owner_);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* printer) {
        BusyCursor busy;
        PainterDestination out(*printer, font);
        recording.replay(out);
    });
    dialog.exec();
}

} // namespace qv::reports
