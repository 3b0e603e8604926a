#pragma once

#include "FileActions.h"
#include "Launcher.h"
#include "MainForm.h"
#include "MatchListLoader.h"
#include "ProgramState.h"
#include "ReportDriver.h"
#include "SearchController.h"
#include "SearchInputs.h"
#include "platform/RegistryHive.h"
#include "platform/TempBase.h"
#include "widgets/Choosers.h"
#include "widgets/Messages.h"

#include <QMainWindow>

#include <memory>

class QPrinter;

namespace qv {

class TfrmAbout;

// The main window: every search input, the two result lists, the buttons that start, stop and
// print a search, and the status line. The program's life is this window's life. The run, the
// file actions and the reports each have a piece of their own; this class builds the form, wires
// the handlers to them and carries the window through start-up and shut-down.
class TfrmMain : public QMainWindow, public MainForm {
    Q_OBJECT
public:
    // What the window is started with; tests give their own screen and messages.
    struct Setup {
        QStringList arguments; // the program's arguments, without the program itself
        Messages* messages = nullptr;
        QRect screen; // the screen's geometry; the primary screen's when empty
        std::string registryPath;
        Launcher* launcher = nullptr; // the desktop's when none
    };

    explicit TfrmMain(const Setup& setup, QWidget* parent = nullptr);
    ~TfrmMain() override;

    ProgramState& state() { return state_; }
    Messages& messages() { return *messages_; }
    platform::RegistryHive& registry() { return registry_; }
    [[nodiscard]] bool searching() const { return run_.running(); }
    // A listing of the selected row's matches is still going on.
    [[nodiscard]] bool listing() const { return listing_.busy(); }
    // The font and colour choosers the preferences use (tests put their own).
    Choosers choosers = Choosers::Dialogs();

    // Handlers.
    void cmdSearchClick();
    void cmdStopClick() { run_.stop(); }
    void cboRegExpClick(int index);
    void lstFiles1ColumnClick(int column);
    void lstFiles1Click();
    void lstFiles1KeyUp(int key);
    void Refresh1Click();
    void About1Click();
    void Contents1Click();
    // Lists the matches of the selected row into the visible match list.
    void ListMatches1();
    void View1Click() { actions_.View1Click(); }
    void ViewFile(std::int32_t match) { actions_.ViewFile(match); }
    void lstLines1DblClick() { actions_.lstLines1DblClick(); }
    void Open1Click() { actions_.Open1Click(); }
    void Edit1Click() { actions_.Edit1Click(); }
    bool ConfirmZipCopy() { return actions_.ConfirmZipCopy(); }
    void RetrieveSearch1Click();
    void SaveSearch1Click();
    void Preferences1Click();
    void Dir1MouseDown();
    void cmdPrintClick() { reports_.cmdPrintClick(); }
    void ProduceReport() { reports_.ProduceReport(); }
    [[nodiscard]] std::string ReportHeaderText() const { return reports_.ReportHeaderText(); }
    QPrinter& printer() { return reports_.printer(); }
    TfrmPrint* frmPrint = nullptr;
    // Applies the match-list font of the preferences.
    void applyMatchFont();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectHandlers();
    void FormCreate(const QStringList& arguments);
    void FormShow();
    void FormActivate();

    ProgramState state_;
    std::unique_ptr<Messages> ownMessages_;
    Messages* messages_;
    std::unique_ptr<Launcher> ownLauncher_;
    platform::RegistryHive registry_;
    platform::TempBase tempBase_;
    QRect screen_;
    SearchController run_;
    FileActions actions_;
    SearchInputs inputs_{*this};
    ReportDriver reports_;
    MatchListLoader listing_{*this, state_, screen_};
    bool startedWithArgument_ = false;
    bool shown_ = false;
    TfrmAbout* frmAbout_ = nullptr;
};

} // namespace qv
