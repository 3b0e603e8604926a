#include "SearchesDialog.h"

#include "window/MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qv {
namespace {

QString fromBytes(const std::string& s)
{
    return QString::fromLocal8Bit(s.c_str(), static_cast<qsizetype>(s.size()));
}

std::string toBytes(const QString& s)
{
    return s.toLocal8Bit().toStdString();
}

SearchOptions boxesOf(const TfrmMain& m)
{
    SearchOptions o;
    o.TextFiles = m.chkTextFiles->isChecked();
    o.BinaryFiles = m.chkBinaryFiles->isChecked();
    o.InclSub = m.chkInclSub->isChecked();
    o.SearchZip = m.chkSearchZip->isChecked();
    o.Case = m.chkCase->isChecked();
    o.Word = m.chkWord->isChecked();
    o.Literal = m.chkLiteral->isChecked();
    return o;
}

} // namespace

void SaveSearch(TfrmMain& main)
{
    Messages& messages = main.messages();
    if (main.cboSearch->currentText().isEmpty() || main.txtFilespec->text().isEmpty()) {
        messages.show(&main, QStringLiteral("Error"), QStringLiteral("Search text and/ or file specification is blank - cannot save"),
                      BoxIcon::Warning);
        return;
    }
    SavedSearch s;
    s.Directory = main.Dir1->selectedPath();
    s.SearchText = toBytes(main.cboSearch->currentText());
    s.FileSpecs = toBytes(main.txtFilespec->text());
    s.Options = OptionLetters(boxesOf(main));
    // The stored format has no escapes: such a search would read back as another one.
    if (!CanStore(s)) {
        messages.show(&main, QStringLiteral("Error"),
                      QStringLiteral("The search cannot be saved: its folder, search text or file specification holds a "
                                     "character with code 127 or 128, which separates saved searches"),
                      BoxIcon::Warning);
        return;
    }
    try {
        WriteSearches(main.registry(), RecordText(s) + ReadSearches(main.registry()));
    } catch (const platform::RegistryError& e) {
        messages.show(&main, QStringLiteral("Quorvane"), QString::fromStdString(e.what()), BoxIcon::Warning);
        return;
    }
    messages.show(&main, QStringLiteral("Message"), QStringLiteral("Search saved"), BoxIcon::Information);
}

TfrmSearches::TfrmSearches(TfrmMain& main) : QDialog(&main), main_(main)
{
    setWindowTitle(QStringLiteral("Retrieve Search"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    lstSearches = new QTreeWidget(this);
    lstSearches->setHeaderLabels({QStringLiteral("Directory"), QStringLiteral("Files"), QStringLiteral("Search Text")});
    lstSearches->setRootIsDecorated(false);
    lstSearches->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstSearches->setSelectionMode(QAbstractItemView::SingleSelection);
    lstSearches->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstSearches->setAllColumnsShowFocus(true);
    lstSearches->setColumnWidth(0, 220);
    lstSearches->setColumnWidth(1, 120);
    cmdRetrieve = new QPushButton(QStringLiteral("&Retrieve"), this);
    cmdRetrieve->setEnabled(false);
    cmdDelete = new QPushButton(QStringLiteral("&Delete"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdRetrieve);
    buttons->addWidget(cmdDelete);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstSearches);
    layout->addLayout(buttons);
    connect(cmdRetrieve, &QPushButton::clicked, this, &TfrmSearches::RetrieveSelected);
    connect(lstSearches, &QTreeWidget::itemDoubleClicked, this, &TfrmSearches::RetrieveSelected);
    connect(cmdDelete, &QPushButton::clicked, this, &TfrmSearches::cmdDeleteClick);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(560, 320);
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TfrmSearches::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfrmSearches::FormActivate()
{
    lstSearches->clear();
    value_ = ReadSearches(main_.registry());
    rows_ = ParseSearches(value_);
    for (const SavedSearch& s : rows_)
        lstSearches->addTopLevelItem(new QTreeWidgetItem(
            QStringList{QFile::decodeName(s.Directory.c_str()), fromBytes(s.FileSpecs), fromBytes(s.SearchText)}));
    const bool any = !rows_.empty();
    lstSearches->setEnabled(any);
    cmdRetrieve->setEnabled(any);
    if (any) {
        lstSearches->setFocus();
        lstSearches->setCurrentItem(lstSearches->topLevelItem(0));
    }
}

int TfrmSearches::selectedRow() const
{
    const QList<QTreeWidgetItem*> sel = lstSearches->selectedItems();
    return sel.isEmpty() ? -1 : lstSearches->indexOfTopLevelItem(sel.front());
}

void TfrmSearches::RetrieveSelected()
{
    const int row = selectedRow();
    if (row < 0) {
        main_.messages().show(this, QStringLiteral("Error"), QStringLiteral("No search is selected"), BoxIcon::Warning);
        return;
    }
    const SavedSearch& s = rows_[static_cast<std::size_t>(row)];
    const std::string previous = main_.Dir1->selectedPath();
    const bool wasFirst = main_.Dir1->isFirstNodeSelected();
    if (!main_.Dir1->selectPath(s.Directory)) {
        main_.messages().show(this, QStringLiteral("Error"), QStringLiteral("The search directory does not exist"), BoxIcon::Warning);
        if (!previous.empty())
            main_.Dir1->selectPath(previous);
        else if (!wasFirst)
            main_.Dir1->setCurrentIndex({});
        return;
    }
    main_.cboSearch->setCurrentText(fromBytes(s.SearchText));
    main_.txtFilespec->setText(fromBytes(s.FileSpecs));
    const SearchOptions o = OptionsFromLetters(s.Options);
    main_.chkTextFiles->setChecked(o.TextFiles);
    main_.chkBinaryFiles->setChecked(o.BinaryFiles);
    main_.chkInclSub->setChecked(o.InclSub);
    main_.chkSearchZip->setChecked(o.SearchZip);
    main_.chkCase->setChecked(o.Case);
    main_.chkWord->setChecked(o.Word);
    main_.chkLiteral->setChecked(o.Literal);
    accept();
}

void TfrmSearches::cmdDeleteClick()
{
    const int row = selectedRow();
    if (row < 0) {
        main_.messages().show(this, QStringLiteral("Error"), QStringLiteral("No search is selected"), BoxIcon::Warning);
        return;
    }
    value_ = RemoveRecords(value_, RecordText(rows_[static_cast<std::size_t>(row)]));
    rows_.erase(rows_.begin() + row);
    delete lstSearches->takeTopLevelItem(row);
    try {
        WriteSearches(main_.registry(), value_);
    } catch (const platform::RegistryError& e) {
        main_.messages().show(this, QStringLiteral("Quorvane"), QString::fromStdString(e.what()), BoxIcon::Warning);
    }
}

} // namespace qv
