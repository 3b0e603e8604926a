#pragma once

#include <QDialog>

class QTextBrowser;

namespace qv {

// Where the help file of a program in `programFolder` is: installed, in share/quorvane beside
// the program's bin folder, or in a build tree, beside the program. When it is in neither, the
// installed place, so that the message names where it belongs.
QString HelpFilePath(const QString& programFolder);

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
