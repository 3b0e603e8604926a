#include "MainWindow.h"

#include "dialogs/AboutBox.h"
#include "dialogs/DirListing.h"
#include "dialogs/PreferencesDialog.h"
#include "dialogs/SearchesDialog.h"
#include "viewer/FileViewer.h"
#include "search/DateTimeFormat.h"
#include "HelpWindow.h"
#include "widgets/HintSwitch.h"
#include "widgets/Icons.h"
#include "widgets/SystemLocale.h"
#include "platform/FileKind.h"
#include "dialogs/PrintDialog.h"
#include "print/ReportFont.h"
#include "reports/ReportLayouts.h"
#include "print/ReportOutput.h"
#include "store/PreferenceSet.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>

#include <charconv>

namespace qv {
namespace {

constexpr int kDesignedWidth = 914;
constexpr int kDesignedHeight = 651;
constexpr int kCompactWidth = 800;
constexpr int kCompactHeight = 575;
// Rows gathered during a run are shown at least this often; events are handled as often.
constexpr auto kPumpInterval = std::chrono::milliseconds(15);
constexpr auto kStatusInterval = std::chrono::milliseconds(40);

// The insert list: what each item shows, and what it inserts is the text before its first blank.
const char* const kRegExpItems[] = {
    "^ : Start of line",          "$ : End of line",           ". : Any character",
    "* : 0 or more occurrences",  "+ : 1 or more occurrences", "[] : Any character in group",
    "[^] : Exclude characters in group", "- : Optional match", "\\ : Literal character",
    "| : Or",                     "& : And",                   "\\< : Beginning of word",
    "\\> : End of word",
};

QString fromBytes(const std::string& s)
{
    return QString::fromLocal8Bit(s.c_str(), static_cast<qsizetype>(s.size()));
}

std::string toBytes(const QString& s)
{
    return s.toLocal8Bit().toStdString();
}

std::string pathBytes(const QString& s)
{
    return QFile::encodeName(s).toStdString();
}

QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

TfrmMain::TfrmMain(const Setup& setup, QWidget* parent)
    : QMainWindow(parent), messages_(setup.messages), launcher_(setup.launcher),
      registry_(setup.registryPath.empty() ? platform::RegistryHive::DefaultPath() : setup.registryPath),
      run_(state_.search, *this)
{
    if (messages_ == nullptr) {
        ownMessages_ = std::make_unique<BoxMessages>();
        messages_ = ownMessages_.get();
    }
    if (launcher_ == nullptr) {
        ownLauncher_ = std::make_unique<DesktopLauncher>();
        launcher_ = ownLauncher_.get();
    }
    screen_ = setup.screen;
    if (screen_.isEmpty())
        if (const QScreen* s = QGuiApplication::primaryScreen())
            screen_ = s->geometry();
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    setFont(font);
    buildControls();
    buildMenus();
    placeControls();
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    frmPrint = new TfrmPrint(state_, *printer_, *messages_, choosers, [this] { return lstFiles1->selectedRow() >= 0; }, this);
    FormCreate(setup.arguments);
}

TfrmMain::~TfrmMain()
{
    // Nothing may outlive the program in the temporary folder; TempBase removes the rest.
    run_.DeleteExtractionFolders(false);
}

void TfrmMain::buildControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);

    lstFiles1 = new ResultList(central);
    lstFiles1->setModel(&files1);
    lstFiles1->setEnabled(false);
    lstFiles1->setToolTip(QStringLiteral("Click the right mouse button\nfor a menu of file options.\n\nClick on a column header to\n"
                                         "sort by that column (successive\nclicks will swtich between\nascending and descending)."));
    lstFiles1->header()->setSectionsClickable(true);
    lstFiles1->setContextMenuPolicy(Qt::CustomContextMenu);

    lblMatches = new QLabel(QStringLiteral("Matches in:"), central);
    lblMatches->hide();
    lstLines1 = new ResultList(central);
    lstLines1->setModel(&lines1);
    lstLines1->setHeaderHidden(true);
    lstLines1->setEnabled(false);
    lstLines1->setToolTip(QStringLiteral("Double-click on any match  to view the\nfile with the viewer  positioned at that match."));

    Dir1 = new FolderTree(central);

    cboSearch = new QComboBox(central);
    cboSearch->setEditable(true);
    cboSearch->setInsertPolicy(QComboBox::NoInsert);
    cboSearch->setMaxCount(INT_MAX);
    txtFilespec = new QLineEdit(QStringLiteral("*.*"), central);
    txtFilespec->setToolTip(QStringLiteral("Multiple file specs may be entered\nby separating them with commas\n(i.e., \" *.txt , *.doc \")."));

    grpFileTypes = new QGroupBox(QStringLiteral(" File Types "), central);
    grpFileTypes->setToolTip(QStringLiteral("When searching entire directories,\nyou may exclude one file type to\nimprove search performance."));
    chkTextFiles = new QCheckBox(QStringLiteral("Te&xt"), grpFileTypes);
    chkTextFiles->setChecked(true);
    chkBinaryFiles = new QCheckBox(QStringLiteral("&Binary"), grpFileTypes);
    chkBinaryFiles->setChecked(true);

    cboRegExp = new QComboBox(central);
    for (const char* item : kRegExpItems)
        cboRegExp->addItem(QString::fromLatin1(item));
    cboRegExp->setCurrentIndex(-1);
    cboRegExp->setToolTip(QStringLiteral("Click on a regular expression\nfrom this list to insert it into\nyour search string"));

    grpOptions = new QGroupBox(QStringLiteral(" Options "), central);
    chkInclSub = new QCheckBox(QStringLiteral("&Include subdirectories"), grpOptions);
    chkSearchListed = new QCheckBox(QStringLiteral("Search listed files &only"), grpOptions);
    chkSearchListed->setEnabled(false);
    chkSearchListed->setToolTip(
        QStringLiteral("Search only in the list of files\nreturned by the previous search\n(ignores the entered file spec)"));
    chkSearchZip = new QCheckBox(QStringLiteral("Search &Zip files"), grpOptions);
    chkCase = new QCheckBox(QStringLiteral("&Case-sensitive search"), grpOptions);
    chkWord = new QCheckBox(QStringLiteral("Match &whole words only"), grpOptions);
    chkWord->setToolTip(QStringLiteral("Include only matches where the search \nstring is a word by itself (does not work\n"
                                       "when combined with any regular expressions)"));
    chkLiteral = new QCheckBox(QStringLiteral("&Literal (no regular expressions)"), grpOptions);
    chkLiteral->setToolTip(QStringLiteral("Treat all regular expression\ncharacters as normal text"));

    cmdSearch = new QPushButton(searchIcon(), QStringLiteral("&Search"), central);
    cmdSearch->setIconSize(QSize(24, 24));
    cmdPrint = new QPushButton(printIcon(), QStringLiteral("&Print/\nExport"), central);
    cmdPrint->setIconSize(QSize(24, 24));
    cmdPrint->setEnabled(false);
    cmdStop = new QPushButton(stopIcon(), QString(), central);
    cmdStop->setIconSize(QSize(32, 32));
    cmdStop->setToolTip(QStringLiteral("Stop the search"));
    cmdStop->hide();

    pnlStatus = new QLabel(central);
    pnlStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pnlStatus->setTextFormat(Qt::PlainText);

    // Labels move the focus to the box they name.
    labelFor(QStringLiteral("S&earch for:"), cboSearch, central)->setObjectName(QStringLiteral("lblSearch"));
    labelFor(QStringLiteral("Fi&les to search:"), txtFilespec, central)->setObjectName(QStringLiteral("lblFilespec"));
    labelFor(QStringLiteral("Insert &Regular Expressions"), cboRegExp, central)->setObjectName(QStringLiteral("lblRegExp"));

    // Tab order: the upper area first, then the lower panel.
    QWidget* order[] = {lstFiles1, lstLines1, Dir1, cboSearch, txtFilespec, chkTextFiles, chkBinaryFiles, cboRegExp,
                        chkInclSub, chkSearchListed, chkSearchZip, chkCase, chkWord, chkLiteral, cmdSearch, cmdPrint};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

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
}

void TfrmMain::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* retrieve = file->addAction(QStringLiteral("&Retrieve Search"), this, &TfrmMain::RetrieveSearch1Click);
    retrieve->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    retrieve->setObjectName(QStringLiteral("RetrieveSearch1"));
    QAction* save = file->addAction(QStringLiteral("&Save Search"), this, &TfrmMain::SaveSearch1Click);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    save->setObjectName(QStringLiteral("SaveSearch1"));
    QAction* refresh = file->addAction(QStringLiteral("Re&fresh"), this, &TfrmMain::Refresh1Click);
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    QAction* prefs = file->addAction(QStringLiteral("&Preferences"), this, &TfrmMain::Preferences1Click);
    prefs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    prefs->setObjectName(QStringLiteral("Preferences1"));
    file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* contents = help->addAction(QStringLiteral("&Contents"), this, &TfrmMain::Contents1Click);
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    help->addAction(QStringLiteral("&About"), this, &TfrmMain::About1Click);

    // The pop-up menu's shortcuts act while the file list has the focus.
    mnuFilesPopup = new QMenu(this);
    const struct {
        const char* text;
        const char* name;
        Qt::Key key;
    } entries[] = {{"&View", "View1", Qt::Key_V}, {"&Open", "Open1", Qt::Key_O}, {"&Edit", "Edit1", Qt::Key_E}};
    for (const auto& e : entries) {
        QAction* a = mnuFilesPopup->addAction(QString::fromLatin1(e.text));
        a->setObjectName(QString::fromLatin1(e.name));
        a->setShortcut(QKeySequence(Qt::CTRL | e.key));
        a->setShortcutContext(Qt::WidgetShortcut);
        lstFiles1->addAction(a);
    }
    connect(mnuFilesPopup->actions()[0], &QAction::triggered, this, &TfrmMain::View1Click);
    connect(mnuFilesPopup->actions()[1], &QAction::triggered, this, &TfrmMain::Open1Click);
    connect(mnuFilesPopup->actions()[2], &QAction::triggered, this, &TfrmMain::Edit1Click);
}

void TfrmMain::placeControls()
{
    // The designed layout, or the compact one for 800-wide or 600-high screens.
    compact_ = screen_.width() == 800 || screen_.height() == 600;
    const int w = compact_ ? kCompactWidth : kDesignedWidth;
    const int h = compact_ ? kCompactHeight : kDesignedHeight;
    const int listHeight = compact_ ? 140 : 180;
    const int x0 = 4, full = w - 8;
    lstFiles1->setGeometry(x0, 4, full, listHeight);
    lblMatches->setGeometry(x0 + 2, 8 + listHeight, full, 16);
    lstLines1->setGeometry(x0, 26 + listHeight, full, compact_ ? 140 : 150);
    const int top = lstLines1->geometry().bottom() + 8;
    const int statusHeight = 22;
    const int panelHeight = h - top - statusHeight - 4;
    // Lower panel: the folder tree on the left; the three inputs and, right of them, the file
    // types and the buttons; the options in two columns under both.
    const int treeWidth = compact_ ? 220 : 260;
    Dir1->setGeometry(x0, top, treeWidth, panelHeight);
    const int mx = x0 + treeWidth + 8;
    const int boxWidth = compact_ ? 300 : 340;
    auto* lblSearch = findChild<QLabel*>(QStringLiteral("lblSearch"));
    auto* lblFilespec = findChild<QLabel*>(QStringLiteral("lblFilespec"));
    auto* lblRegExp = findChild<QLabel*>(QStringLiteral("lblRegExp"));
    lblSearch->setGeometry(mx, top, boxWidth, 16);
    cboSearch->setGeometry(mx, top + 16, boxWidth, 24);
    lblFilespec->setGeometry(mx, top + 46, boxWidth, 16);
    txtFilespec->setGeometry(mx, top + 62, boxWidth, 24);
    lblRegExp->setGeometry(mx, top + 92, boxWidth, 16);
    cboRegExp->setGeometry(mx, top + 108, boxWidth, 24);
    const int rx = mx + boxWidth + 8;
    const int rw = w - rx - 4;
    grpFileTypes->setGeometry(rx, top, rw, 56);
    chkTextFiles->setGeometry(10, 24, rw / 2 - 10, 22);
    chkBinaryFiles->setGeometry(rw / 2, 24, rw / 2 - 8, 22);
    const int bw = (rw - 8) / 2;
    cmdSearch->setGeometry(rx, top + 62, bw, 70);
    cmdPrint->setGeometry(rx + bw + 8, top + 62, bw, 70);
    cmdStop->setGeometry(cmdSearch->geometry());
    const int ow = w - mx - 4;
    grpOptions->setGeometry(mx, top + 138, ow, std::max(86, panelHeight - 138));
    const int col = (ow - 24) / 2;
    chkInclSub->setGeometry(10, 20, col, 22);
    chkSearchListed->setGeometry(10, 42, col, 22);
    chkSearchZip->setGeometry(10, 64, col, 22);
    chkCase->setGeometry(18 + col, 20, col, 22);
    chkWord->setGeometry(18 + col, 42, col, 22);
    chkLiteral->setGeometry(18 + col, 64, col, 22);
    pnlStatus->setGeometry(0, h - statusHeight, w, statusHeight);

    // Column widths by layout.
    const int widths[] = {compact_ ? 150 : 180, compact_ ? 290 : 360, 60, 40, compact_ ? 70 : 80, compact_ ? 150 : 160};
    for (int c = 0; c < FileResultModel::ColumnCount; ++c)
        lstFiles1->setColumnWidth(c, widths[c]);
    centralWidget()->setFixedSize(w, h);
    setFixedSize(w, h + menuBar()->sizeHint().height());
    move(screen_.topLeft());
}

void TfrmMain::FormCreate(const QStringList& arguments)
{
    state_.HelpFile = pathBytes(QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane-help.html"));
    // The start folder from the first argument: a folder, or a file's folder.
    if (!arguments.isEmpty()) {
        startedWithArgument_ = true;
        std::string arg = pathBytes(QFileInfo(arguments.front()).absoluteFilePath());
        if (arguments.front().endsWith(QLatin1Char('/')) && arg.back() != '/')
            arg += '/';
        if (platform::KindOf(arg) == platform::FileKind::Directory)
            Dir1->selectPath(arg);
        else
            Dir1->selectPath(arg.substr(0, arg.rfind('/') + 1));
    } else {
        Dir1->selectPath("/");
    }
    state_.SortDirection = 1;
    state_.search.TempBase = tempBase_.path();
    state_.search.ZipList.clear();
    state_.search.TempDirList.clear();
    state_.search.Preferences = PreferenceSet::Defaults();
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
    placeControls();
    LoadPreferences(registry_, state_.search.Preferences);
    setHintsShown(state_.search.Preferences.ShowHint);
    if (!startedWithArgument_) {
        const std::string& startup = state_.search.Preferences.StartupDir;
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
    f.setFamily(fromBytes(state_.search.Preferences.MatchFontName));
    if (state_.search.Preferences.MatchFontSize > 0)
        f.setPointSize(state_.search.Preferences.MatchFontSize);
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
    state_.search.Locale = SystemLocaleInfo();
    state_.search.DateTimeDisplayFormat = ChooseDateTimeFormat(state_.search.Locale, state_.search.DateTimeDisplayFormat);
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // A close during a run first stops it; the window closes once the run has let go.
    if (searching()) {
        state_.search.CancelRequested = true;
        closeWhenStopped_ = true;
        event->ignore();
        return;
    }
    run_.DeleteExtractionFolders(false);
    QMainWindow::closeEvent(event);
}

SearchRequest TfrmMain::currentRequest() const
{
    SearchRequest r;
    r.StartDirectory = Dir1->selectedPath();
    r.RootSelected = Dir1->isFirstNodeSelected();
    r.SelectedCaption = toBytes(Dir1->selectedCaption());
    r.FileSpecs = toBytes(txtFilespec->text());
    r.SearchText = toBytes(cboSearch->currentText());
    r.InclSub = chkInclSub->isChecked();
    r.SearchListed = chkSearchListed->isChecked();
    r.SearchZip = chkSearchZip->isChecked();
    r.Case = chkCase->isChecked();
    r.Word = chkWord->isChecked();
    r.Literal = chkLiteral->isChecked();
    r.TextFiles = chkTextFiles->isChecked();
    r.BinaryFiles = chkBinaryFiles->isChecked();
    return r;
}

void TfrmMain::cmdSearchClick()
{
    if (searching())
        return;
    run_.cmdSearchClick(currentRequest());
    if (closeWhenStopped_) {
        closeWhenStopped_ = false;
        close();
    }
}

void TfrmMain::cmdStopClick()
{
    state_.search.CancelRequested = true;
}

void TfrmMain::cboRegExpClick(int index)
{
    if (index < 0)
        return;
    const QString item = cboRegExp->itemText(index);
    const QString token = item.left(item.indexOf(QLatin1Char(' ')));
    QLineEdit* edit = cboSearch->lineEdit();
    const int caret = edit->cursorPosition();
    edit->setText(edit->text() + token);
    edit->setCursorPosition(caret);
}

void TfrmMain::lstFiles1ColumnClick(int column)
{
    files1.sortRows(column, state_.SortDirection, state_.search.DateTimeDisplayFormat, state_.search.Locale);
    state_.SortDirection = -state_.SortDirection;
}

void TfrmMain::lstFiles1Click()
{
    ListMatches1();
}

void TfrmMain::lstFiles1KeyUp(int key)
{
    if (key == Qt::Key_Delete) {
        const int row = lstFiles1->selectedRow();
        if (row < 0)
            return;
        files1.removeRowAt(row);
        lines1.clear();
        return;
    }
    ListMatches1();
}

void TfrmMain::ListMatches1()
{
    const int row = lstFiles1->selectedRow();
    if (row < 0)
        return;
    setUpdatesEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const FileResultRow& r = files1.row(row);
    const PreferenceSet& prefs = state_.search.Preferences;
    MatchListing listing = ListMatches(r, ListingParameters{state_.search.Pattern, chkCase->isChecked(), prefs.MaxMatchLen, prefs.MaxMatches});
    lines1.setRows(std::move(listing.Rows));
    const int numberWidth = listing.Binary ? 0 : (screen_.width() > 800 ? 60 : 45);
    lstLines1->setColumnWidth(0, numberWidth);
    lstLines1->setColumnHidden(0, numberWidth == 0);
    lstLines1->setColumnWidth(1, std::max(0, lstLines1->viewport()->width() - numberWidth - 4));
    lblMatches->setText(QFile::decodeName(MatchesLabel(r).c_str()));
    lblMatches->show();
    lstLines1->setEnabled(true);
    QApplication::restoreOverrideCursor();
    setUpdatesEnabled(true);
}

const FileResultRow* TfrmMain::targetRow()
{
    const int row = lstFiles1->selectedRow();
    if (row < 0)
        return nullptr;
    const FileResultRow& r = files1.row(row);
    state_.CurrentFilePath = r.FullPath();
    return &r;
}

void TfrmMain::View1Click()
{
    ViewFile(-1);
}

void TfrmMain::ViewFile(std::int32_t match)
{
    const FileResultRow* row = targetRow();
    if (row == nullptr)
        return;
    TfrmViewer::Input input;
    input.path = state_.CurrentFilePath;
    input.row = *row;
    input.pattern = state_.search.Pattern;
    input.caseSensitive = chkCase->isChecked();
    input.preferences = state_.search.Preferences;
    input.screen = screen_;
    auto* viewer = new TfrmViewer(std::move(input), *messages_, this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    const std::string caption = row->IsArchiveMember() ? row->FileName + " (in " + row->Directory + ")" : state_.CurrentFilePath;
    viewer->setWindowTitle(QStringLiteral("File Viewer - ") + QFile::decodeName(caption.c_str()));
    viewer->StartMatch = match;
    viewer->exec();
}

void TfrmMain::lstLines1DblClick()
{
    const int fileRow = lstFiles1->selectedRow();
    const int lineRow = lstLines1->selectedRow();
    if (fileRow < 0 || lineRow < 0)
        return;
    if (files1.row(fileRow).Type == "T") {
        const std::string& number = lines1.rows()[static_cast<std::size_t>(lineRow)].LineNumber;
        std::int32_t line = 0;
        if (std::from_chars(number.data(), number.data() + number.size(), line).ec != std::errc())
            return;
        ViewFile(line);
    } else {
        ViewFile(lineRow);
    }
}

bool TfrmMain::ConfirmZipCopy()
{
    return messages_->show(this, QStringLiteral("Warning"),
                           QStringLiteral("When opening or editing a file extracted from a Zip file,\nyou are working on a temporary "
                                          "copy of the extracted file.\nAny changes you make will NOT be saved to the original "
                                          "Zip file.\nDo you want to proceed?"),
                           BoxIcon::Warning, MessageButtons::YesNo) == MessageAnswer::Yes;
}

void TfrmMain::Open1Click()
{
    const FileResultRow* row = targetRow();
    if (row == nullptr || (row->IsArchiveMember() && !ConfirmZipCopy()))
        return;
    if (launcher_->open(state_.CurrentFilePath) == Launcher::OpenResult::NoAssociation)
        messages_->show(this, QStringLiteral("Quorvane"),
                        QStringLiteral("Unable to open file - no associated application exists for this extension"), BoxIcon::None);
}

void TfrmMain::Edit1Click()
{
    const FileResultRow* row = targetRow();
    if (row == nullptr || (row->IsArchiveMember() && !ConfirmZipCopy()))
        return;
    // The command line is the editor, a blank and the file; the file goes as one argument, so
    // blanks in its path need no quotes.
    const QStringList command = EditorCommand(fromBytes(state_.search.Preferences.Editor), QFile::decodeName(state_.CurrentFilePath.c_str()));
    if (command.isEmpty())
        return;
    launcher_->startDetached(command.front(), command.mid(1));
}

void TfrmMain::RetrieveSearch1Click()
{
    TfrmSearches dialog(*this);
    dialog.exec();
}

void TfrmMain::SaveSearch1Click()
{
    SaveSearch(*this);
}

void TfrmMain::Preferences1Click()
{
    TfrmPreferences dialog(state_.search.Preferences, registry_, *messages_, choosers, [this] { applyMatchFont(); }, this);
    dialog.exec();
}

void TfrmMain::Dir1MouseDown()
{
    TfrmDirListing dialog(*this);
    dialog.exec();
}

void TfrmMain::Refresh1Click()
{
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
    auto* help = new HelpWindow(QFile::decodeName(state_.HelpFile.c_str()), this);
    help->setAttribute(Qt::WA_DeleteOnClose);
    help->show();
}

// The search run's host.

void TfrmMain::RunStarting()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cmdStop->setGeometry(cmdSearch->geometry());
    cmdStop->show();
    cmdStop->raise();
    lblMatches->hide();
    cboRegExp->setCurrentIndex(-1);
    lstFiles1->setEnabled(true);
    lstLines1->setEnabled(false);
    cmdPrint->setEnabled(false);
    lastPump_ = lastStatusPaint_ = std::chrono::steady_clock::now();
}

void TfrmMain::AddToHistory(const std::string& searchText)
{
    const QString text = cboSearch->currentText();
    cboSearch->insertItem(0, fromBytes(searchText));
    cboSearch->setCurrentText(text);
}

std::vector<FileResultRow> TfrmMain::VisibleRows()
{
    flushRows();
    return files1.rows();
}

void TfrmMain::ClearResults()
{
    pendingRows_.clear();
    files1.clear();
    lines1.clear();
}

void TfrmMain::AddRow(const FileResultRow& row)
{
    pendingRows_.push_back(row);
}

void TfrmMain::flushRows()
{
    if (pendingRows_.empty())
        return;
    files1.append(pendingRows_);
    pendingRows_.clear();
}

void TfrmMain::SetStatus(const std::string& text)
{
    pnlStatus->setText(QFile::decodeName(text.c_str()));
    // Progress texts are painted at a pace the eye can follow; every other text at once.
    const auto now = std::chrono::steady_clock::now();
    if (text.rfind(" Searching ", 0) != 0 || now - lastStatusPaint_ >= kStatusInterval) {
        pnlStatus->repaint();
        lastStatusPaint_ = now;
    }
}

void TfrmMain::ProcessEvents()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ < kPumpInterval)
        return;
    lastPump_ = now;
    flushRows();
    QCoreApplication::processEvents();
}

void TfrmMain::ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon)
{
    flushRows();
    messages_->show(this, fromBytes(caption), QFile::decodeName(text.c_str()), boxIconOf(icon));
}

void TfrmMain::RunStopped()
{
    flushRows();
    cmdStop->hide();
    QApplication::restoreOverrideCursor();
}

void TfrmMain::RunEnded(RunOutcome outcome)
{
    if (outcome == RunOutcome::Matches) {
        chkSearchListed->setEnabled(true);
        lstFiles1->setFocus();
        lstFiles1->selectRow(0);
        cmdPrint->setEnabled(true);
    } else {
        lstFiles1->setEnabled(false);
        chkSearchListed->setEnabled(false);
    }
    chkSearchListed->setChecked(false);
}

void TfrmMain::cmdPrintClick()
{
    state_.ExportFileName.clear();
    state_.ReportChoice = -1;
    frmPrint->exec();
    ProduceReport();
}

std::string TfrmMain::ReportHeaderText() const
{
    return reports::ReportHeader(state_.search.SearchText, Dir1->selectedPath(), txtFilespec->text().toStdString());
}

void TfrmMain::ProduceReport()
{
    const int choice = state_.ReportChoice;
    if (choice < 0 || choice > 2)
        return;
    // The print font for every field; each keeps its own style.
    const PreferenceSet& prefs = state_.search.Preferences;
    const reports::ReportFont font(prefs.PrintFontName, prefs.PrintFontSize);
    const std::string header = ReportHeaderText();
    const ListingParameters listing{state_.search.Pattern, chkCase->isChecked(), prefs.MaxMatchLen, prefs.MaxMatches};
    reports::ReportData sources{state_.search.lstFiles2, state_.lstLines2, state_.ReportFileIndex, state_.ReportLineIndex,
                             [listing](const FileResultRow& row) { return ListMatches(row, listing).Rows; }};

    // The lists as they are at the click, in their order.
    reports::ReportMaker make;
    if (choice == 1) {
        const int row = lstFiles1->selectedRow();
        if (row < 0)
            return;
        const FileResultRow selected = files1.row(row);
        const std::vector<MatchLineRow> shown = lines1.rows();
        make = [&header, &sources, selected, shown] { return reports::MatchesReportSelectedFile(header, selected, shown, sources); };
    } else {
        state_.search.lstFiles2 = files1.rows();
        state_.ReportFileIndex = -1;
        if (choice == 0)
            make = [&header, &sources] { return reports::FileListReport(header, sources); };
        else
            make = [&header, &sources] { return reports::MatchesReportAllFiles(header, sources); };
    }

    reports::ReportOutput output(*printer_, *messages_, this);
    if (!state_.ExportFileName.empty())
        output.exportToFile(state_.ExportFileName, make, font);
    else if (state_.ReportPreview)
        output.preview(make, font);
    else
        output.print(make, font);
}

} // namespace qv
