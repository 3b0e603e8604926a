#include "MainWindow.h"

#include "HelpWindow.h"
#include "dialogs/AboutBox.h"
#include "dialogs/DirListing.h"
#include "dialogs/PreferencesDialog.h"
#include "dialogs/SearchesDialog.h"
#include "platform/FileKind.h"
#include "platform/PathParts.h"
#include "search/DateTimeFormat.h"
#include "store/PreferenceSet.h"
#include "widgets/HintSwitch.h"
#include "widgets/Icons.h"
#include "platform/SystemLocale.h"
#include "widgets/Text.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

namespace qv {
namespace {

QRect screenOf(const TfrmMain::Setup& setup)
{
    if (!setup.screen.isEmpty())
        return setup.screen;
    const QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? s->geometry() : QRect();
}

} // namespace

TfrmMain::TfrmMain(const Setup& setup, QWidget* parent)
    : QMainWindow(parent), ownMessages_(setup.messages != nullptr ? nullptr : std::make_unique<BoxMessages>()),
      messages_(setup.messages != nullptr ? setup.messages : ownMessages_.get()),
      ownLauncher_(setup.launcher != nullptr ? nullptr : std::make_unique<DesktopLauncher>()),
      registry_(setup.registryPath.empty() ? platform::RegistryHive::DefaultPath() : setup.registryPath), screen_(screenOf(setup)),
      run_(*this, state_, *messages_, *this),
      actions_(*this, state_, *messages_, setup.launcher != nullptr ? *setup.launcher : *ownLauncher_, *this, screen_),
      reports_(*this, state_, *messages_, choosers, *this)
{
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    setFont(font);
    build(*this);
    place(*this, screen_);
    connectHandlers();
    // Settings that could not be read are kept aside, and the user is told where, once the
    // handler that read them has finished.
    registry_.onSetAside = [this](const std::string& keptAs) {
        QMetaObject::invokeMethod(
            this, [this, keptAs] { messages_->show(this, QStringLiteral("Warning"), ToQString(SetAsideText(keptAs)), BoxIcon::Warning); },
            Qt::QueuedConnection);
    };
    frmPrint = reports_.dialog();
    FormCreate(setup.arguments);
}

TfrmMain::~TfrmMain()
{
    // Nothing may outlive the program in the temporary folder; TempBase removes the rest.
    run_.finishNow();
    DeleteExtractionFolders(state_.TempDirList);
}

void TfrmMain::connectHandlers()
{
    connect(cmdSearch, &QPushButton::clicked, this, &TfrmMain::cmdSearchClick);
    connect(cmdStop, &QPushButton::clicked, this, &TfrmMain::cmdStopClick);
    connect(cmdPrint, &QPushButton::clicked, this, &TfrmMain::cmdPrintClick);
    connect(cboRegExp, qOverload<int>(&QComboBox::activated), this, &TfrmMain::cboRegExpClick);
    connect(lstFiles1->header(), &QHeaderView::sectionClicked, this, &TfrmMain::lstFiles1ColumnClick);
    connect(lstFiles1, &ResultList::leftClicked, this, &TfrmMain::lstFiles1Click);
    connect(lstFiles1, &ResultList::keyReleased, this, &TfrmMain::lstFiles1KeyUp);
    connect(lstFiles1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { mnuFilesPopup->popup(lstFiles1->viewport()->mapToGlobal(at)); });
    connect(lstLines1, &QAbstractItemView::doubleClicked, this, &TfrmMain::lstLines1DblClick);
    connect(Dir1, &FolderTree::rightButtonPressed, this, &TfrmMain::Dir1MouseDown);
    connect(RetrieveSearch1, &QAction::triggered, this, &TfrmMain::RetrieveSearch1Click);
    connect(SaveSearch1, &QAction::triggered, this, &TfrmMain::SaveSearch1Click);
    connect(Refresh1, &QAction::triggered, this, &TfrmMain::Refresh1Click);
    connect(Preferences1, &QAction::triggered, this, &TfrmMain::Preferences1Click);
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    connect(Contents1, &QAction::triggered, this, &TfrmMain::Contents1Click);
    connect(About1, &QAction::triggered, this, &TfrmMain::About1Click);
    connect(View1, &QAction::triggered, this, &TfrmMain::View1Click);
    connect(Open1, &QAction::triggered, this, &TfrmMain::Open1Click);
    connect(Edit1, &QAction::triggered, this, &TfrmMain::Edit1Click);
}

void TfrmMain::FormCreate(const QStringList& arguments)
{
    state_.HelpFile = ToBytes(HelpFilePath(QCoreApplication::applicationDirPath()));
    // The start folder from the first argument: a folder, or a file's folder.
    if (!arguments.isEmpty()) {
        startedWithArgument_ = true;
        std::string arg = ToBytes(QFileInfo(arguments.front()).absoluteFilePath());
        if (arguments.front().endsWith(QLatin1Char('/')) && arg.back() != '/')
            arg += '/';
        if (platform::KindOf(arg) == platform::FileKind::Directory)
            Dir1->selectPath(arg);
        else
            Dir1->selectPath(platform::FolderOf(arg));
    } else {
        Dir1->selectPath("/");
    }
    state_.SortDirection = 1;
    state_.TempBase = tempBase_.path();
    state_.TempDirList.clear();
    state_.Preferences = PreferenceSet::Defaults();
    // Chosen now as well as at every activation: a search started before the window was first
    // activated writes its dates in the same format as every later one.
    FormActivate();
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmMain::FormShow()
{
    place(*this, screen_);
    LoadPreferences(registry_, state_.Preferences);
    setHintsShown(state_.Preferences.ShowHint);
    if (!startedWithArgument_) {
        const std::string& startup = state_.Preferences.StartupDir;
        if (!startup.empty()) {
            if (!Dir1->selectPath(startup)) {
                messages_->show(this, QStringLiteral("Warning"),
                                QStringLiteral("Default startup directory is invalid - \nstarting in root directory\n\n"
                                               "Please correct this in File/Preferences"),
                                BoxIcon::Warning);
                Dir1->selectPath("/");
            }
        } else {
            Dir1->selectPath("/");
        }
        if (Dir1->selectedPath() == "/")
            Dir1->scrollToFirstNode();
    }
    applyMatchFont();
}

void TfrmMain::applyMatchFont()
{
    QFont f = lstLines1->font();
    f.setFamily(ToQString(state_.Preferences.MatchFontName));
    if (state_.Preferences.MatchFontSize > 0)
        f.setPointSize(state_.Preferences.MatchFontSize);
    lstLines1->setFont(f);
}

void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfrmMain::FormActivate()
{
    state_.Locale = platform::SystemLocaleInfo();
    state_.DateTimeDisplayFormat = ChooseDateTimeFormat(state_.Locale, state_.DateTimeDisplayFormat);
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // A run still going is stopped first; what it found so far stays shown until the window goes.
    listing_.cancel();
    run_.finishNow();
    DeleteExtractionFolders(std::exchange(state_.TempDirList, {}));
    QMainWindow::closeEvent(event);
}

void TfrmMain::cmdSearchClick()
{
    run_.start(inputs_.request());
    if (searching())
        listing_.cancel(); // a late listing must not fill the new run's match list
}

void TfrmMain::cboRegExpClick(int index)
{
    if (index >= 0)
        inputs_.insertToken(cboRegExp->itemText(index));
}

void TfrmMain::lstFiles1ColumnClick(int column)
{
    files1.sortRows(column, state_.SortDirection);
    state_.SortDirection = -state_.SortDirection;
}

void TfrmMain::lstFiles1Click()
{
    ListMatches1();
}

void TfrmMain::lstFiles1KeyUp(int key)
{
    // While a run fills the list its rows stay as they come.
    if (searching())
        return;
    if (key == Qt::Key_Delete) {
        const int row = lstFiles1->selectedRow();
        if (row < 0)
            return;
        listing_.cancel();
        files1.removeRowAt(row);
        lines1.clear();
        return;
    }
    ListMatches1();
}

void TfrmMain::ListMatches1()
{
    if (!searching())
        listing_.load();
}

void TfrmMain::RetrieveSearch1Click()
{
    if (searching())
        return;
    TfrmSearches dialog(
        registry_, *messages_, [this](const std::string& folder) { return inputs_.selectFolder(folder); }, this);
    dialog.exec();
    if (const auto& s = dialog.retrieved())
        inputs_.apply(*s);
}

void TfrmMain::SaveSearch1Click()
{
    if (!searching())
        SaveSearch(inputs_.saved(), registry_, *messages_, this);
}

void TfrmMain::Preferences1Click()
{
    if (searching())
        return;
    TfrmPreferences dialog(
        state_.Preferences, registry_, *messages_, choosers, [this] { applyMatchFont(); }, this);
    dialog.exec();
}

void TfrmMain::Dir1MouseDown()
{
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const QPoint bottomLeft(origin.x() + txtFilespec->mapTo(this, QPoint(0, 0)).x(), pnlStatus->mapToGlobal(QPoint(0, 0)).y() - 2);
    TfrmDirListing dialog(Dir1->selectedPath(), txtFilespec->text(), bottomLeft, this);
    connect(&dialog, &TfrmDirListing::fileSpecsChanged, txtFilespec, &QLineEdit::setText);
    dialog.exec();
}

void TfrmMain::Refresh1Click()
{
    if (!searching())
        Dir1->reRead();
}

void TfrmMain::About1Click()
{
    if (frmAbout_ == nullptr)
        frmAbout_ = new TfrmAbout(this);
    frmAbout_->exec();
}

void TfrmMain::Contents1Click()
{
    auto* help = new HelpWindow(ToQString(state_.HelpFile), this);
    help->setAttribute(Qt::WA_DeleteOnClose);
    help->show();
}

} // namespace qv
