#include "NumberField.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace qv {

NumberField::NumberField(int minimum, int maximum, QWidget* parent) : QSpinBox(parent)
{
    setRange(minimum, maximum);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(false);
}

int NumberField::number() const
{
    return valueFromText(lineEdit()->text());
}

QValidator::State NumberField::validate(QString& input, int&) const
{
    static const QRegularExpression allowed(QStringLiteral("^[+-]?[0-9]*$"));
    if (!allowed.match(input).hasMatch())
        return QValidator::Invalid;
    bool ok = false;
    const qlonglong v = input.toLongLong(&ok);
    return ok && v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void NumberField::fixup(QString& input) const
{
    input = QString::number(valueFromText(input));
}

int NumberField::valueFromText(const QString& text) const
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return minimum();
    return static_cast<int>(std::clamp<qlonglong>(v, minimum(), maximum()));
}

void NumberField::keyPressEvent(QKeyEvent* event)
{
    const QString t = event->text();
    const bool typed = !t.isEmpty() && t.at(0).isPrint() && (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0;
    if (typed && !t.at(0).isDigit() && t != QLatin1String("+") && t != QLatin1String("-")) {
        QApplication::beep();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

void NumberField::focusOutEvent(QFocusEvent* event)
{
    setValue(number());
    QSpinBox::focusOutEvent(event);
}

} // namespace qv
