#pragma once

#include "widgets/Choosers.h"
#include "widgets/Messages.h"
#include "window/ProgramState.h"

#include <QDialog>

#include <array>
#include <functional>

class QGroupBox;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace qv {

// "Print/Export": what to include and where it goes. Made once when the program starts and kept,
// so the choice stays from one opening to the next.
class TfrmPrint : public QDialog {
    Q_OBJECT
public:
    TfrmPrint(ProgramState& state, QPrinter& printer, Messages& messages, const Choosers& choosers,
              std::function<bool()> fileSelected, QWidget* parent);

    // The chosen item: 0 file list only, 1 matches for the selected file, 2 matches for all files.
    [[nodiscard]] int choice() const;
    void setChoice(int item);

    void cmdPrintSetupClick();
    void cmdPrintClick();
    void cmdPreviewClick();
    void cmdFileClick();
    void cmdCancelClick();

    QGroupBox* optPrint = nullptr;
    std::array<QRadioButton*, 3> optItems{};
    QPushButton* cmdPrintSetup = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdPreview = nullptr;
    QPushButton* cmdFile = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    // Takes the choice; false (with the message) when it needs a selected file and there is none.
    bool takeChoice();

    ProgramState& state_;
    QPrinter& printer_;
    Messages& messages_;
    const Choosers& choosers_;
    std::function<bool()> fileSelected_;
};

} // namespace qv
