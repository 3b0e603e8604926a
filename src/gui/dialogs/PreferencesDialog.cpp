#include "PreferencesDialog.h"

#include "widgets/Colors.h"
#include "widgets/HintSwitch.h"
#include "widgets/Messages.h"
#include "widgets/NumberField.h"
#include "widgets/PathField.h"
#include "widgets/Text.h"
#include "platform/Executables.h"
#include "store/EditorCheck.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace qv {
namespace {

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

QFrame* separator(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

TfrmPreferences::TfrmPreferences(PreferenceSet& preferences, platform::RegistryHive& hive, Messages& messages, Choosers choosers,
                                 std::function<void()> applyMatchFont, QWidget* parent)
    : QDialog(parent), prefs_(preferences), hive_(hive), messages_(messages), choosers_(std::move(choosers)),
      applyMatchFont_(std::move(applyMatchFont))
{
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    pages = new QTabWidget(this);
    pages->setStyleSheet(QStringLiteral("QTabBar::tab { width: 100px; }"));

    // General
    auto* general = new QWidget(pages);
    auto* g = new QGridLayout(general);
    txtMaxMatchLen = new NumberField(50, 2000, general);
    txtMaxMatches = new NumberField(1, 5000, general);
    g->addWidget(label(QStringLiteral("&Maximum length of matched text"), txtMaxMatchLen, general), 0, 0);
    g->addWidget(txtMaxMatchLen, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("(50 - 2000)"), general), 0, 2);
    g->addWidget(label(QStringLiteral("Ma&ximum  matches displayed per file"), txtMaxMatches, general), 1, 0);
    g->addWidget(txtMaxMatches, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("(1 - 5000)"), general), 1, 2);
    chkShowHint = new QCheckBox(QStringLiteral("&Show tool tip hints"), general);
    chkShowHint->setLayoutDirection(Qt::RightToLeft); // the caption left of the box
    g->addWidget(chkShowHint, 2, 0, 1, 1, Qt::AlignLeft);
    txtEditor = new PathField(
        [](QWidget* owner, const QString& current) {
            QFileDialog dialog(owner, QStringLiteral("Choose an Editor"), current, QStringLiteral("Executable files (*)"));
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setOption(QFileDialog::ReadOnly, true);
            dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
            return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front() : QString();
        },
        general);
    g->addWidget(label(QStringLiteral("Default file &editor"), txtEditor->edit(), general), 3, 0, 1, 3);
    g->addWidget(txtEditor, 4, 0, 1, 3);
    txtStartupDir = new PathField(
        [](QWidget* owner, const QString& current) {
            return QFileDialog::getExistingDirectory(owner, QStringLiteral("Default startup directory"), current);
        },
        general);
    g->addWidget(label(QStringLiteral("Default &startup directory"), txtStartupDir->edit(), general), 5, 0, 1, 3);
    g->addWidget(txtStartupDir, 6, 0, 1, 3);
    g->addWidget(separator(general), 7, 0, 1, 3);
    g->addWidget(new QLabel(QStringLiteral("File viewer colors"), general), 8, 0);
    cmdTextColor = new QPushButton(QStringLiteral("&Text"), general);
    cmdHighColor = new QPushButton(QStringLiteral("&Highlight"), general);
    auto* colourButtons = new QVBoxLayout;
    colourButtons->addWidget(cmdTextColor);
    colourButtons->addWidget(cmdHighColor);
    g->addLayout(colourButtons, 9, 0);
    edtSample = new QTextEdit(general);
    edtSample->setReadOnly(true);
    edtSample->setFocusPolicy(Qt::NoFocus);
    edtSample->setTextInteractionFlags(Qt::NoTextInteraction); // looks alive, takes nothing
    edtSample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edtSample->setFixedHeight(48);
    g->addWidget(edtSample, 9, 1, 1, 2);
    pages->addTab(general, QStringLiteral("General"));

    // Fonts
    auto* fonts = new QWidget(pages);
    auto* f = new QVBoxLayout(fonts);
    auto group = [&](const QString& title, QLabel*& lbl, QPushButton*& button) {
        f->addWidget(new QLabel(title, fonts));
        auto* row = new QHBoxLayout;
        lbl = new QLabel(fonts);
        lbl->setMinimumHeight(28);
        button = new QPushButton(QStringLiteral("Change"), fonts);
        row->addWidget(lbl, 1);
        row->addWidget(button);
        f->addLayout(row);
    };
    group(QStringLiteral("Match window display "), lblMatchFont, cmdMatchFont);
    f->addWidget(separator(fonts));
    group(QStringLiteral("File Viewer"), lblViewerFont, cmdViewerFont);
    f->addWidget(separator(fonts));
    group(QStringLiteral("Printing"), lblPrintFont, cmdPrintFont);
    f->addStretch(1);
    pages->addTab(fonts, QStringLiteral("Fonts"));

    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addLayout(buttons);

    connect(cmdMatchFont, &QPushButton::clicked, this, &TfrmPreferences::cmdMatchFontClick);
    connect(cmdViewerFont, &QPushButton::clicked, this, &TfrmPreferences::cmdViewerFontClick);
    connect(cmdPrintFont, &QPushButton::clicked, this, &TfrmPreferences::cmdPrintFontClick);
    connect(cmdTextColor, &QPushButton::clicked, this, &TfrmPreferences::cmdTextColorClick);
    connect(cmdHighColor, &QPushButton::clicked, this, &TfrmPreferences::cmdHighColorClick);
    connect(txtEditor, &PathField::left, this, &TfrmPreferences::txtEditorExit);
    connect(txtStartupDir, &PathField::left, this, &TfrmPreferences::txtStartupDirExit);
    connect(cmdOK, &QPushButton::clicked, this, &TfrmPreferences::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmPreferences::cmdCancelClick);

    FormShow();
    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TfrmPreferences::~TfrmPreferences()
{
    // A field that loses the focus while the dialog goes must not call back into it.
    txtEditor->disconnect(this);
    txtStartupDir->disconnect(this);
}

void TfrmPreferences::FormShow()
{
    txtMaxMatchLen->setValue(prefs_.MaxMatchLen);
    txtMaxMatches->setValue(prefs_.MaxMatches);
    chkShowHint->setChecked(hintsShown());
    txtEditor->edit()->setText(ToQString(prefs_.Editor));
    txtStartupDir->edit()->setText(ToQString(prefs_.StartupDir));
    showFont(lblMatchFont, prefs_.MatchFontName, prefs_.MatchFontSize);
    showFont(lblViewerFont, prefs_.ViewerFontName, prefs_.ViewerFontSize);
    showFont(lblPrintFont, prefs_.PrintFontName, prefs_.PrintFontSize);
    ShowSampleColors();
}

void TfrmPreferences::showFont(QLabel* label, const std::string& name, std::int32_t size)
{
    label->setText(QStringLiteral("%1, %2 points").arg(ToQString(name)).arg(size));
    QFont font(ToQString(name));
    if (size > 0)
        font.setPointSize(size);
    label->setFont(font);
}

void TfrmPreferences::ShowSampleColors()
{
    edtSample->clear();
    QTextCharFormat text;
    text.setForeground(ColorFromStored(prefs_.ViewerTextColor));
    QTextCharFormat high;
    high.setForeground(ColorFromStored(prefs_.ViewerHighColor));
    QTextCursor c(edtSample->document());
    c.insertText(QStringLiteral("Current Text Color"), text);
    c.insertBlock();
    c.insertText(QStringLiteral("Current Highlight Color"), high);
}

void TfrmPreferences::changeFont(std::string& name, std::int32_t& size, QLabel* label)
{
    QFont current(ToQString(name));
    current.setPointSize(std::clamp(size, 8, 12));
    if (const auto chosen = choosers_.font(this, current)) {
        name = ToBytes(chosen->family());
        size = chosen->pointSize();
    }
    showFont(label, name, size);
}

void TfrmPreferences::cmdMatchFontClick()
{
    changeFont(prefs_.MatchFontName, prefs_.MatchFontSize, lblMatchFont);
}

void TfrmPreferences::cmdViewerFontClick()
{
    changeFont(prefs_.ViewerFontName, prefs_.ViewerFontSize, lblViewerFont);
}

void TfrmPreferences::cmdPrintFontClick()
{
    changeFont(prefs_.PrintFontName, prefs_.PrintFontSize, lblPrintFont);
}

void TfrmPreferences::cmdTextColorClick()
{
    if (const auto c = choosers_.color(this, ColorFromStored(prefs_.ViewerTextColor)))
        prefs_.ViewerTextColor = StoredColor(*c);
    ShowSampleColors();
}

void TfrmPreferences::cmdHighColorClick()
{
    if (const auto c = choosers_.color(this, ColorFromStored(prefs_.ViewerHighColor)))
        prefs_.ViewerHighColor = StoredColor(*c);
    ShowSampleColors();
}

void TfrmPreferences::txtEditorExit()
{
    QLineEdit* edit = txtEditor->edit();
    if (edit->text().isEmpty()) {
        edit->setText(ToQString(platform::DefaultEditor()));
        return;
    }
    if (const auto warning = EditorWarning(ToBytes(edit->text())))
        messages_.show(this, QStringLiteral("Error"), ToQString(*warning), BoxIcon::Warning);
}

void TfrmPreferences::txtStartupDirExit()
{
    prefs_.StartupDir = ToBytes(txtStartupDir->edit()->text());
}

void TfrmPreferences::cmdOKClick()
{
    prefs_.MaxMatchLen = txtMaxMatchLen->number();
    prefs_.MaxMatches = txtMaxMatches->number();
    prefs_.ShowHint = chkShowHint->isChecked();
    setHintsShown(prefs_.ShowHint);
    prefs_.Editor = ToBytes(txtEditor->edit()->text());
    prefs_.StartupDir = ToBytes(txtStartupDir->edit()->text());
    if (const auto failed = SavePreferences(hive_, prefs_)) {
        messages_.show(this, QStringLiteral("Quorvane"), ToQString(*failed), BoxIcon::Warning);
        return;
    }
    LoadPreferences(hive_, prefs_);
    setHintsShown(prefs_.ShowHint);
    if (applyMatchFont_)
        applyMatchFont_();
    accept();
}

void TfrmPreferences::cmdCancelClick()
{
    reject();
}

} // namespace qv
