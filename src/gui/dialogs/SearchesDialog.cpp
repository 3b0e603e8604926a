#include "SearchesDialog.h"

#include "widgets/Messages.h"
#include "widgets/Text.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qv {

void SaveSearch(const SavedSearch& s, platform::RegistryHive& registry, Messages& messages, QWidget* owner)
{
    if (s.SearchText.empty() || s.FileSpecs.empty()) {
        messages.show(owner, QStringLiteral("Error"), QStringLiteral("Search text and/ or file specification is blank - cannot save"),
                      BoxIcon::Warning);
        return;
    }
    if (const auto failed = WriteSearches(registry, RecordText(s) + ReadSearches(registry))) {
        messages.show(owner, QStringLiteral("Quorvane"), ToQString(*failed), BoxIcon::Warning);
        return;
    }
    messages.show(owner, QStringLiteral("Message"), QStringLiteral("Search saved"), BoxIcon::Information);
}

TfrmSearches::TfrmSearches(platform::RegistryHive& registry, Messages& messages, FolderSelector selectFolder, QWidget* parent)
    : QDialog(parent), registry_(registry), messages_(messages), selectFolder_(std::move(selectFolder))
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
    value_ = ReadSearches(registry_);
    rows_ = ParseSearches(value_);
    for (const SavedSearch& s : rows_)
        lstSearches->addTopLevelItem(
            new QTreeWidgetItem(QStringList{ToQString(s.Directory), ToQString(s.FileSpecs), ToQString(s.SearchText)}));
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
        messages_.show(this, QStringLiteral("Error"), QStringLiteral("No search is selected"), BoxIcon::Warning);
        return;
    }
    const SavedSearch& s = rows_[static_cast<std::size_t>(row)];
    if (!selectFolder_(s.Directory)) {
        messages_.show(this, QStringLiteral("Error"), QStringLiteral("The search directory does not exist"), BoxIcon::Warning);
        return;
    }
    retrieved_ = s;
    accept();
}

void TfrmSearches::cmdDeleteClick()
{
    const int row = selectedRow();
    if (row < 0) {
        messages_.show(this, QStringLiteral("Error"), QStringLiteral("No search is selected"), BoxIcon::Warning);
        return;
    }
    value_ = RemoveRecords(value_, RecordText(rows_[static_cast<std::size_t>(row)]));
    rows_.erase(rows_.begin() + row);
    delete lstSearches->takeTopLevelItem(row);
    if (const auto failed = WriteSearches(registry_, value_))
        messages_.show(this, QStringLiteral("Quorvane"), ToQString(*failed), BoxIcon::Warning);
}

} // namespace qv
