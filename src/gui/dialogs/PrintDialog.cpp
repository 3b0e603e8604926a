#include "PrintDialog.h"

#include "widgets/Text.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace qv {

TfrmPrint::TfrmPrint(QPrinter& printer, Messages& messages, const Choosers& choosers, std::function<bool()> fileSelected, QWidget* parent)
    : QDialog(parent), printer_(printer), messages_(messages), choosers_(choosers), fileSelected_(std::move(fileSelected))
{
    setWindowTitle(QStringLiteral("Print/Export"));
    optPrint = new QGroupBox(QStringLiteral(" Include: "), this);
    auto* items = new QVBoxLayout(optPrint);
    const char* const texts[] = {"File list only", "Matches for currently selected file", "Matches for all files"};
    for (std::size_t i = 0; i < optItems.size(); ++i) {
        optItems[i] = new QRadioButton(QString::fromLatin1(texts[i]), optPrint);
        items->addWidget(optItems[i]);
    }
    optItems[0]->setChecked(true);

    cmdPrintSetup = new QPushButton(QStringLiteral("Print &Setup"), this);
    cmdPrint = new QPushButton(QStringLiteral("&Print"), this);
    cmdPreview = new QPushButton(QStringLiteral("Pre&view"), this);
    cmdFile = new QPushButton(QStringLiteral("&Export to File"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdPrint->setDefault(true);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdPrintSetup, cmdPrint, cmdPreview, cmdFile, cmdCancel})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(optPrint, 1);
    layout->addLayout(buttons);

    connect(cmdPrintSetup, &QPushButton::clicked, this, &TfrmPrint::cmdPrintSetupClick);
    connect(cmdPrint, &QPushButton::clicked, this, &TfrmPrint::cmdPrintClick);
    connect(cmdPreview, &QPushButton::clicked, this, &TfrmPrint::cmdPreviewClick);
    connect(cmdFile, &QPushButton::clicked, this, &TfrmPrint::cmdFileClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmPrint::cmdCancelClick);

    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

ReportRequest TfrmPrint::ask()
{
    request_ = ReportRequest{};
    exec();
    return request_;
}

int TfrmPrint::choice() const
{
    for (std::size_t i = 0; i < optItems.size(); ++i)
        if (optItems[i]->isChecked())
            return static_cast<int>(i);
    return 0;
}

void TfrmPrint::setChoice(int item)
{
    optItems.at(static_cast<std::size_t>(item))->setChecked(true);
}

bool TfrmPrint::takeChoice()
{
    request_.choice = choice();
    if (request_.choice == 1 && !fileSelected_()) {
        messages_.show(this, QStringLiteral("Error"), QStringLiteral("No file is currently selected"), BoxIcon::Warning);
        request_.choice = -1;
        return false;
    }
    return true;
}

void TfrmPrint::cmdPrintSetupClick()
{
    QPrintDialog dialog(&printer_, this);
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    dialog.exec();
}

void TfrmPrint::cmdPrintClick()
{
    request_.preview = false;
    if (takeChoice())
        accept();
}

void TfrmPrint::cmdPreviewClick()
{
    request_.preview = true;
    if (takeChoice())
        accept();
}

void TfrmPrint::cmdFileClick()
{
    if (!takeChoice())
        return;
    if (const auto file = choosers_.exportFile(this))
        request_.exportFile = ToBytes(*file);
    else
        request_.choice = -1;
    accept();
}

void TfrmPrint::cmdCancelClick()
{
    reject();
}

} // namespace qv
