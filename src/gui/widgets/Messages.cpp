#include "Messages.h"

#include <QMessageBox>

namespace qv {

MessageAnswer BoxMessages::show(QWidget* owner, const QString& caption, const QString& text, BoxIcon icon, MessageButtons buttons)
{
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(icon == BoxIcon::Information ? QMessageBox::Information
                                             : (icon == BoxIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon));
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

} // namespace qv
