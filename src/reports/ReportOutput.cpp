#include "ReportOutput.h"

#include "Messages.h"
#include "PainterDestination.h"
#include "TextExport.h"

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
    : printer_(printer), messages_(messages), owner_(owner)
{
}

bool ReportOutput::exportToFile(const std::string& fileName, const ReportMaker& make, const ReportFont& font)
{
    std::optional<std::string> failure;
    {
        BusyCursor busy;
        failure = ExportReport(make(), font.measure(), fileName);
    }
    // An export that did not reach its file must not pass for one that did.
    if (failure)
        messages_.show(owner_, QStringLiteral("Error"), QString::fromLocal8Bit(failure->c_str()), BoxIcon::Warning);
    return !failure;
}

bool ReportOutput::print(const ReportMaker& make, const ReportFont& font)
{
    bool ok = false;
    {
        BusyCursor busy;
        PainterDestination out(printer_, font);
        RunReport(make(), font.measure(), out);
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
        PainterDestination out(*printer, font);
        RunReport(make(), font.measure(), out);
    });
    dialog.exec();
}

} // namespace qv::reports
