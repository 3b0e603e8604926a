#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;
class QToolButton;

namespace qv {

// A text field for a file or folder name with a button that opens a chooser.
class PathField : public QWidget {
    Q_OBJECT
public:
    // `choose` is given the current text and returns the chosen one (empty when cancelled).
    PathField(std::function<QString(QWidget*, const QString&)> choose, QWidget* parent = nullptr);
    QLineEdit* edit() const { return edit_; }
    QToolButton* button() const { return button_; }

signals:
    // The field lost the focus or a choice was made.
    void left();

private:
    QLineEdit* edit_;
    QToolButton* button_;
};

} // namespace qv
