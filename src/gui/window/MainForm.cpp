#include "MainForm.h"

#include "widgets/Icons.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <climits>

namespace qv {
namespace {

constexpr int kDesignedWidth = 914;
constexpr int kDesignedHeight = 651;
constexpr int kCompactWidth = 800;
constexpr int kCompactHeight = 575;

// The insert list: what each item shows, and what it inserts is the text before its first blank.
const char* const kRegExpItems[] = {
    "^ : Start of line",
    "$ : End of line",
    ". : Any character",
    "* : 0 or more occurrences",
    "+ : 1 or more occurrences",
    "[] : Any character in group",
    "[^] : Exclude characters in group",
    "- : Optional match",
    "\\ : Literal character",
    "| : Or",
    "& : And",
    "\\< : Beginning of word",
    "\\> : End of word",
};

QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

void MainForm::build(QMainWindow& window)
{
    auto* central = new QWidget(&window);
    window.setCentralWidget(central);

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
    txtFilespec->setToolTip(
        QStringLiteral("Multiple file specs may be entered\nby separating them with commas\n(i.e., \" *.txt , *.doc \")."));

    grpFileTypes = new QGroupBox(QStringLiteral(" File Types "), central);
    grpFileTypes->setToolTip(
        QStringLiteral("When searching entire directories,\nyou may exclude one file type to\nimprove search performance."));
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
    QWidget* order[] = {lstFiles1,  lstLines1,       Dir1,         cboSearch, txtFilespec, chkTextFiles, chkBinaryFiles, cboRegExp,
                        chkInclSub, chkSearchListed, chkSearchZip, chkCase,   chkWord,     chkLiteral,   cmdSearch,      cmdPrint};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    buildMenus(window);
}

void MainForm::buildMenus(QMainWindow& window)
{
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    auto add = [](QMenu* menu, const char* text, const char* name, QKeySequence key) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        return a;
    };
    RetrieveSearch1 = add(file, "&Retrieve Search", "RetrieveSearch1", QKeySequence(Qt::CTRL | Qt::Key_R));
    SaveSearch1 = add(file, "&Save Search", "SaveSearch1", QKeySequence(Qt::CTRL | Qt::Key_S));
    Refresh1 = add(file, "Re&fresh", "Refresh1", QKeySequence(Qt::Key_F5));
    Preferences1 = add(file, "&Preferences", "Preferences1", QKeySequence(Qt::CTRL | Qt::Key_P));
    Exit1 = add(file, "E&xit", "Exit1", QKeySequence());

    QMenu* help = window.menuBar()->addMenu(QStringLiteral("&Help"));
    Contents1 = add(help, "&Contents", "Contents1", QKeySequence(Qt::Key_F1));
    help->addSeparator();
    About1 = add(help, "&About", "About1", QKeySequence());

    // The pop-up menu's shortcuts act while the file list has the focus.
    mnuFilesPopup = new QMenu(&window);
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
    View1 = mnuFilesPopup->actions()[0];
    Open1 = mnuFilesPopup->actions()[1];
    Edit1 = mnuFilesPopup->actions()[2];
}

void MainForm::place(QMainWindow& window, const QRect& screen)
{
    // The designed layout, or the compact one for 800-wide or 600-high screens.
    compact_ = screen.width() == 800 || screen.height() == 600;
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
    auto* lblSearch = window.findChild<QLabel*>(QStringLiteral("lblSearch"));
    auto* lblFilespec = window.findChild<QLabel*>(QStringLiteral("lblFilespec"));
    auto* lblRegExp = window.findChild<QLabel*>(QStringLiteral("lblRegExp"));
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
    window.centralWidget()->setFixedSize(w, h);
    window.setFixedSize(w, h + window.menuBar()->sizeHint().height());
    window.move(screen.topLeft());
}

} // namespace qv
