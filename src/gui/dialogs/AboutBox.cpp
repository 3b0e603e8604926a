#include "AboutBox.h"

#include "widgets/Icons.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace qv {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Quorvane"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(programIcon().pixmap(64, 64));
    picture->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("Quorvane"), this);
    QFont big = name->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QStringLiteral("Version " QV_VERSION), this);
    version->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(picture);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

} // namespace qv
