#include "FileActions.h"

#include "Launcher.h"
#include "viewer/FileViewer.h"
#include "widgets/Messages.h"
#include "widgets/Text.h"

#include <QCheckBox>

namespace qv {

FileActions::FileActions(MainForm& form, ProgramState& state, Messages& messages, Launcher& launcher, QWidget& owner, const QRect& screen)
    : form_(form), state_(state), messages_(messages), launcher_(launcher), owner_(owner), screen_(screen)
{
}

const FileRow* FileActions::targetRow()
{
    const int row = form_.lstFiles1->selectedRow();
    if (row < 0)
        return nullptr;
    const FileRow& r = form_.files1.row(row);
    state_.CurrentFilePath = r.fullPath();
    return &r;
}

void FileActions::ViewFile(std::int32_t match)
{
    const FileRow* row = targetRow();
    if (row == nullptr)
        return;
    TfrmViewer::Input input;
    input.path = state_.CurrentFilePath;
    input.row = *row;
    input.pattern = state_.Pattern;
    input.caseSensitive = form_.chkCase->isChecked();
    input.preferences = state_.Preferences;
    input.screen = screen_;
    auto* viewer = new TfrmViewer(std::move(input), messages_, &owner_);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    const std::string caption = row->isArchiveMember() ? row->name + " (in " + row->folder + ")" : state_.CurrentFilePath;
    viewer->setWindowTitle(QStringLiteral("File Viewer - ") + ToQString(caption));
    viewer->StartMatch = match;
    viewer->exec();
}

void FileActions::lstLines1DblClick()
{
    const int fileRow = form_.lstFiles1->selectedRow();
    const int lineRow = form_.lstLines1->selectedRow();
    if (fileRow < 0 || lineRow < 0)
        return;
    if (form_.files1.row(fileRow).type == FileType::Text) {
        const auto& number = form_.lines1.rows()[static_cast<std::size_t>(lineRow)].line;
        if (!number || *number > static_cast<std::uint64_t>(INT32_MAX))
            return;
        ViewFile(static_cast<std::int32_t>(*number));
    } else {
        ViewFile(lineRow);
    }
}

bool FileActions::ConfirmZipCopy()
{
    return messages_.show(&owner_, QStringLiteral("Warning"),
                          QStringLiteral("When opening or editing a file extracted from a Zip file,\nyou are working on a temporary "
                                         "copy of the extracted file.\nAny changes you make will NOT be saved to the original "
                                         "Zip file.\nDo you want to proceed?"),
                          BoxIcon::Warning, MessageButtons::YesNo) == MessageAnswer::Yes;
}

void FileActions::Open1Click()
{
    const FileRow* row = targetRow();
    if (row == nullptr || (row->isArchiveMember() && !ConfirmZipCopy()))
        return;
    launcher_.open(state_.CurrentFilePath, [this](const Launcher::Failure& failure) {
        if (failure.kind == Launcher::Failure::Kind::NoAssociation)
            messages_.show(&owner_, QStringLiteral("Quorvane"),
                           QStringLiteral("Unable to open file - no associated application exists for this extension"), BoxIcon::None);
        else
            messages_.show(&owner_, QStringLiteral("Quorvane"), QStringLiteral("Unable to open file - ") + ToQString(failure.reason),
                           BoxIcon::Warning);
    });
}

void FileActions::Edit1Click()
{
    const FileRow* row = targetRow();
    if (row == nullptr || (row->isArchiveMember() && !ConfirmZipCopy()))
        return;
    // The command line is the editor, a blank and the file; the file goes as one argument, so
    // blanks in its path need no quotes.
    const QStringList command = EditorCommand(ToQString(state_.Preferences.Editor), ToQString(state_.CurrentFilePath));
    if (command.isEmpty())
        return;
    launcher_.start(command, [this](const Launcher::Failure& failure) {
        messages_.show(&owner_, QStringLiteral("Quorvane"), QStringLiteral("Unable to edit file - ") + ToQString(failure.reason),
                       BoxIcon::Warning);
    });
}

} // namespace qv
