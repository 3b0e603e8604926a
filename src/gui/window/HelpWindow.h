#pragma once

#include <QDialog>

class QTextBrowser;

namespace qv {

// The help file's contents page, in a window of its own.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(const QString& helpFile, QWidget* parent = nullptr);
    [[nodiscard]] bool loaded() const { return loaded_; }

private:
    QTextBrowser* browser_;
    bool loaded_ = false;
};

} // namespace qv
