#include "PathField.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace qv {

PathField::PathField(std::function<QString(QWidget*, const QString&)> choose, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), button_(new QToolButton(this))
{
    button_->setText(QStringLiteral("..."));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    setFocusProxy(edit_);
    connect(edit_, &QLineEdit::editingFinished, this, &PathField::left);
    connect(button_, &QToolButton::clicked, this, [this, choose] {
        const QString chosen = choose(this, edit_->text());
        if (!chosen.isEmpty()) {
            edit_->setText(chosen);
            emit left();
        }
    });
}

} // namespace qv
