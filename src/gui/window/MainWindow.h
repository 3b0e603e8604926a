#pragma once

#include "widgets/Choosers.h"
#include "FileResultModel.h"
#include "FolderTree.h"
#include "Launcher.h"
#include "MatchLineModel.h"
#include "widgets/Messages.h"
#include "ProgramState.h"
#include "ResultList.h"
#include "search/SearchRun.h"
#include "platform/RegistryHive.h"
#include "platform/TempBase.h"

#include <QMainWindow>

#include <chrono>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QPushButton;

namespace qv {

class TfrmAbout;
class TfrmPrint;

// The main window: every search input, the two result lists, the buttons that start, stop and
// print a search, and the status line. The program's life is this window's life.
class TfrmMain : public QMainWindow, public SearchHost {
    Q_OBJECT
public:
    // What the window is started with; tests give their own screen and messages.
    struct Setup {
        QStringList arguments; // the program's arguments, without the program itself
        Messages* messages = nullptr;
        QRect screen;          // the screen's geometry; the primary screen's when empty
        std::string registryPath;
        Launcher* launcher = nullptr; // the desktop's when none
    };

    explicit TfrmMain(const Setup& setup, QWidget* parent = nullptr);
    ~TfrmMain() override;

    ProgramState& state() { return state_; }
    Messages& messages() { return *messages_; }
    platform::RegistryHive& registry() { return registry_; }
    [[nodiscard]] bool compactLayout() const { return compact_; }
    [[nodiscard]] bool searching() const { return state_.search.Running; }

    // The controls, named as the program's documents name them.
    ResultList* lstFiles1 = nullptr;
    ResultList* lstLines1 = nullptr;
    QLabel* lblMatches = nullptr;
    FolderTree* Dir1 = nullptr;
    QComboBox* cboSearch = nullptr;
    QLineEdit* txtFilespec = nullptr;
    QGroupBox* grpFileTypes = nullptr;
    QCheckBox* chkTextFiles = nullptr;
    QCheckBox* chkBinaryFiles = nullptr;
    QComboBox* cboRegExp = nullptr;
    QGroupBox* grpOptions = nullptr;
    QCheckBox* chkInclSub = nullptr;
    QCheckBox* chkSearchListed = nullptr;
    QCheckBox* chkSearchZip = nullptr;
    QCheckBox* chkCase = nullptr;
    QCheckBox* chkWord = nullptr;
    QCheckBox* chkLiteral = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdStop = nullptr;
    QLabel* pnlStatus = nullptr;
    QMenu* mnuFilesPopup = nullptr;
    FileResultModel files1;
    MatchLineModel lines1;

    // Handlers.
    void cmdSearchClick();
    void cmdStopClick();
    void cboRegExpClick(int index);
    void lstFiles1ColumnClick(int column);
    void lstFiles1Click();
    void lstFiles1KeyUp(int key);
    void Refresh1Click();
    void About1Click();
    void Contents1Click();
    // Lists the matches of the selected row of list set 1 into the visible match list.
    void ListMatches1();
    // File actions on the selected row of the file list.
    void View1Click();
    void ViewFile(std::int32_t match);
    void lstLines1DblClick();
    void Open1Click();
    void Edit1Click();
    bool ConfirmZipCopy();
    // Menu entries and the folder tree's right button.
    void RetrieveSearch1Click();
    void SaveSearch1Click();
    void Preferences1Click();
    void Dir1MouseDown();
    // Print/Export: the dialog, then the report it asked for.
    void cmdPrintClick();
    // Carries out ReportChoice, ExportFileName and ReportPreview as the dialog left them.
    void ProduceReport();
    // "Search for: ..." with the folder and file specification as they are now.
    [[nodiscard]] std::string ReportHeaderText() const;
    TfrmPrint* frmPrint = nullptr;
    QPrinter& printer() { return *printer_; }
    // The font and colour choosers the preferences use (tests put their own).
    Choosers choosers = Choosers::Dialogs();
    // The search request as the inputs hold it now.
    [[nodiscard]] SearchRequest currentRequest() const;
    // Applies the match-list font of the preferences.
    void applyMatchFont();

    // SearchHost
    void RunStarting() override;
    void AddToHistory(const std::string& searchText) override;
    std::vector<FileResultRow> VisibleRows() override;
    void ClearResults() override;
    void AddRow(const FileResultRow& row) override;
    void SetStatus(const std::string& text) override;
    void ProcessEvents() override;
    void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
    void RunStopped() override;
    void RunEnded(RunOutcome outcome) override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void placeControls();
    void FormCreate(const QStringList& arguments);
    void FormShow();
    void FormActivate();
    void flushRows();
    // The selected row of the file list, stored as CurrentFilePath; nothing when none is selected.
    const FileResultRow* targetRow();

    ProgramState state_;
    std::unique_ptr<Messages> ownMessages_;
    Messages* messages_;
    std::unique_ptr<Launcher> ownLauncher_;
    Launcher* launcher_;
    platform::RegistryHive registry_;
    platform::TempBase tempBase_;
    SearchRun run_;
    QRect screen_;
    bool compact_ = false;
    bool startedWithArgument_ = false;
    bool shown_ = false;
    bool closeWhenStopped_ = false;
    std::vector<FileResultRow> pendingRows_;
    std::chrono::steady_clock::time_point lastPump_{};
    std::chrono::steady_clock::time_point lastStatusPaint_{};
    TfrmAbout* frmAbout_ = nullptr;
    std::unique_ptr<QPrinter> printer_; // the printer chosen in Print Setup, for the program's life
};

} // namespace qv
