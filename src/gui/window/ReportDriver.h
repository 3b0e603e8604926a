#pragma once

#include "MainForm.h"
#include "ProgramState.h"
#include "widgets/Choosers.h"

#include <memory>
#include <string>

class QPrinter;
class QWidget;

namespace qv {

class Messages;
class TfrmPrint;

// Print/Export of the main window: the dialog, then the report it asked for, made from the lists
// as they are at the click.
class ReportDriver {
public:
    ReportDriver(MainForm& form, ProgramState& state, Messages& messages, const Choosers& choosers, QWidget& owner);
    ~ReportDriver();

    void cmdPrintClick();
    // Carries out the request the dialog left in the program state.
    void ProduceReport();
    // "Search for: ..." with the folder and file specification as they are now.
    [[nodiscard]] std::string ReportHeaderText() const;
    QPrinter& printer() { return *printer_; }
    TfrmPrint* dialog() { return frmPrint_; }

private:
    MainForm& form_;
    ProgramState& state_;
    Messages& messages_;
    QWidget& owner_;
    std::unique_ptr<QPrinter> printer_; // the printer chosen in Print Setup, for the program's life
    TfrmPrint* frmPrint_ = nullptr;
};

} // namespace qv
