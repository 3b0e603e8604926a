#pragma once

#include <QLineEdit>
#include <QSpinBox>

namespace qv {

// A numeric field: only digits and the signs + and - can be typed (other keys beep), the arrows
// and Up/Down step by 1, and the number is clamped into the range when the field is left or
// given a value. A text that is not a number reads as the minimum.
class NumberField : public QSpinBox {
    Q_OBJECT
public:
    NumberField(int minimum, int maximum, QWidget* parent = nullptr);
    // The field's number, clamped; the minimum when its text is not a number.
    [[nodiscard]] int number() const;
    // The field's text box.
    [[nodiscard]] QLineEdit* editor() const { return lineEdit(); }

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    int valueFromText(const QString& text) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace qv
