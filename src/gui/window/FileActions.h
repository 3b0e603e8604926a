#pragma once

#include "MainForm.h"
#include "ProgramState.h"

#include <QRect>

#include <cstdint>

class QWidget;

namespace qv {

class Launcher;
class Messages;

// What the main window does with the selected file: view it in the program's viewer at a match,
// open it with its application, edit it with the chosen editor. Each first stores the file's
// path as CurrentFilePath.
class FileActions {
public:
    FileActions(MainForm& form, ProgramState& state, Messages& messages, Launcher& launcher, QWidget& owner, const QRect& screen);

    void View1Click() { ViewFile(-1); }
    // The viewer at a match: a line number for a text file, a match's place in the list for a
    // binary one; -1 for the top of the file.
    void ViewFile(std::int32_t match);
    void lstLines1DblClick();
    void Open1Click();
    void Edit1Click();
    // Opening or editing an archive member works on its extracted copy: the user is asked first.
    bool ConfirmZipCopy();

private:
    // The selected row, its path stored as CurrentFilePath; nothing when none is selected.
    const FileRow* targetRow();

    MainForm& form_;
    ProgramState& state_;
    Messages& messages_;
    Launcher& launcher_;
    QWidget& owner_;
    QRect screen_;
};

} // namespace qv
