#include "ReportOutput.h"

#include "widgets/Messages.h"
#include "widgets/Text.h"
#include "PainterDestination.h"
#include "reports/TextExport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPrintPreviewDialog>
#include <QProgressDialog>
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

// A long report shows which page it is on and can be cancelled; the dialog is application-modal
// so nothing else can be clicked while the report is laid out.
class PageProgress {
public:
    PageProgress(QWidget* owner, QString what) : dialog_(QString(), QStringLiteral("&Cancel"), 0, 0, owner), what_(std::move(what))
    {
        dialog_.setWindowTitle(QStringLiteral("Print/Export"));
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setAutoReset(false);
        dialog_.setAutoClose(false);
        dialog_.hide();
        started_.start();
    }
    PageCallback callback()
    {
        return [this](int page) {
            dialog_.setLabelText(what_.arg(page));
            if (!dialog_.isVisible() && started_.elapsed() > 500)
                dialog_.show();
            // Until the dialog is up (and blocks the other windows) no clicks are taken.
            QCoreApplication::processEvents(dialog_.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
            return !dialog_.wasCanceled();
        };
    }

private:
    QProgressDialog dialog_;
    QString what_;
    QElapsedTimer started_;
};

} // namespace

ReportOutput::ReportOutput(QPrinter& printer, Messages& messages, QWidget* owner)
    : printer_(printer), messages_(messages), owner_(owner) { }

bool ReportOutput::exportToFile(const std::string& fileName, const ReportMaker& make, const ReportFont& font)
{
    std::optional<std::string> failure;
    {
        BusyCursor busy;
        PageProgress progress(owner_, QStringLiteral("Exporting page %1"));
        failure = ExportReport(make(), font.measure(), fileName, progress.callback());
    }
    // An export that did not reach its file must not pass for one that did.
    if (failure)
        messages_.show(owner_, QStringLiteral("Error"), ToQString(*failure), BoxIcon::Warning);
    return !failure;
}

bool ReportOutput::print(const ReportMaker& make, const ReportFont& font)
{
    bool ok = false;
    {
        BusyCursor busy;
        PageProgress progress(owner_, QStringLiteral("Printing page %1"));
        PainterDestination out(printer_, font);
        if (!RunReport(make(), font.measure(), out, progress.callback())) {
            out.abort();
            return false; // cancelled: nothing to tell
        }
        ok = out.succeeded();
    }
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
    QPrintPreviewDialog dialog(&printer_, owner_);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* printer) {
        BusyCursor busy;
        PageProgress progress(&dialog, QStringLiteral("Preparing page %1"));
        PainterDestination out(*printer, font);
        if (!RunReport(make(), font.measure(), out, progress.callback()))
            out.abort();
    });
    dialog.exec();
}

} // namespace qv::reports
