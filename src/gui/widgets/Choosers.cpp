#include "Choosers.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontComboBox>
#include <QFormLayout>
#include <QLabel>

namespace qv {
namespace {

std::optional<QFont> chooseFont(QWidget* parent, const QFont& current)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Font"));
    auto* family = new QFontComboBox(&dialog);
    family->setCurrentFont(current);
    auto* size = new QComboBox(&dialog);
    for (int s = 8; s <= 12; ++s)
        size->addItem(QString::number(s), s);
    size->setCurrentIndex(std::clamp(current.pointSize(), 8, 12) - 8);
    auto* sample = new QLabel(QStringLiteral("AaBbYyZz"), &dialog);
    auto refresh = [&] {
        QFont f = family->currentFont();
        f.setPointSize(size->currentData().toInt());
        sample->setFont(f);
    };
    QObject::connect(family, &QFontComboBox::currentFontChanged, &dialog, refresh);
    QObject::connect(size, qOverload<int>(&QComboBox::currentIndexChanged), &dialog, refresh);
    refresh();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("&Font:"), family);
    form->addRow(QStringLiteral("&Size:"), size);
    form->addRow(sample);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QFont f = family->currentFont();
    f.setPointSize(size->currentData().toInt());
    return f;
}

std::optional<QColor> chooseColor(QWidget* parent, const QColor& current)
{
    const QColor c = QColorDialog::getColor(current, parent, QStringLiteral("Color"));
    if (!c.isValid())
        return std::nullopt;
    return QColor(c.red(), c.green(), c.blue()); // solid
}

std::optional<QString> chooseExportFile(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Print to File"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // "All files" means every name here, not only names with a dot.
    dialog.setNameFilters({QStringLiteral("Text files (*.txt)"), QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

Choosers Choosers::Dialogs()
{
    return Choosers{chooseFont, chooseColor, chooseExportFile};
}

} // namespace qv
