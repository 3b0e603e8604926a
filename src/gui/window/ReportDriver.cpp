#include "ReportDriver.h"

#include "dialogs/PrintDialog.h"
#include "print/ReportFont.h"
#include "print/ReportOutput.h"
#include "reports/ReportLayouts.h"
#include "widgets/Text.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPrinter>

namespace qv {

ReportDriver::ReportDriver(MainForm& form, ProgramState& state, Messages& messages, const Choosers& choosers, QWidget& owner)
    : form_(form), state_(state), messages_(messages), owner_(owner), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    frmPrint_ = new TfrmPrint(
        *printer_, messages_, choosers, [this] { return form_.lstFiles1->selectedRow() >= 0; }, &owner);
}

ReportDriver::~ReportDriver() = default;

void ReportDriver::cmdPrintClick()
{
    state_.Report = frmPrint_->ask();
    ProduceReport();
}

std::string ReportDriver::ReportHeaderText() const
{
    return reports::ReportHeader(state_.SearchText, form_.Dir1->selectedPath(), ToBytes(form_.txtFilespec->text()));
}

void ReportDriver::ProduceReport()
{
    const int choice = state_.Report.choice;
    if (choice < 0 || choice > 2)
        return;
    // The print font for every field; each keeps its own style.
    const PreferenceSet& prefs = state_.Preferences;
    const reports::ReportFont font(prefs.PrintFontName, prefs.PrintFontSize);
    const std::string header = ReportHeaderText();
    auto lister =
        std::make_shared<MatchLister>(ListingParameters{state_.Pattern, form_.chkCase->isChecked(), prefs.MaxMatchLen, prefs.MaxMatches});
    // The lists as they are at the click, in their order.
    reports::ReportData data{form_.files1.rows(), {}, -1, -1, [lister](const FileRow& row) { return lister->list(row).lines; },
                             form_.files1.dates()};
    reports::ReportMaker make;
    if (choice == 1) {
        const int row = form_.lstFiles1->selectedRow();
        if (row < 0)
            return;
        const FileRow selected = form_.files1.row(row);
        const std::vector<MatchLine> shown = form_.lines1.rows();
        make = [&header, &data, selected, shown] { return reports::MatchesReportSelectedFile(header, selected, shown, data); };
    } else if (choice == 0) {
        make = [&header, &data] { return reports::FileListReport(header, data); };
    } else {
        make = [&header, &data] { return reports::MatchesReportAllFiles(header, data); };
    }

    reports::ReportOutput output(*printer_, messages_, &owner_);
    if (!state_.Report.exportFile.empty())
        output.exportToFile(state_.Report.exportFile, make, font);
    else if (state_.Report.preview)
        output.preview(make, font);
    else
        output.print(make, font);
}

} // namespace qv
