#pragma once

#include "widgets/Choosers.h"
#include "widgets/Messages.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QGroupBox;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace qv {

// What to print or export, as the dialog leaves it.
struct ReportRequest {
    int choice = -1; // 0 the file list, 1 the selected file's matches, 2 every file's; -1 nothing
    bool preview = false; // to the screen rather than the printer
    std::string exportFile; // to this text file rather than paper
};

// "Print/Export": what to include and where it goes. Made once when the program starts and kept,
// so the choice stays from one opening to the next.
class TfrmPrint : public QDialog {
    Q_OBJECT
public:
    TfrmPrint(QPrinter& printer, Messages& messages, const Choosers& choosers, std::function<bool()> fileSelected, QWidget* parent);

    // Opens the dialog; what the user asked for (choice -1 when nothing).
    ReportRequest ask();
    [[nodiscard]] const ReportRequest& request() const { return request_; }

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

    ReportRequest request_;
    QPrinter& printer_;
    Messages& messages_;
    const Choosers& choosers_;
    std::function<bool()> fileSelected_;
};

} // namespace qv
