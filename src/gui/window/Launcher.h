#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace qv {

// How the program hands a file to other programs: the desktop's "open" action, and starting a
// program without waiting for it. Tests put a recorder in its place.
class Launcher {
public:
    enum class OpenResult { Opened, NoAssociation, Failed };
    virtual ~Launcher() = default;
    virtual OpenResult open(const std::string& path) = 0;
    virtual void startDetached(const QString& program, const QStringList& arguments) = 0;
};

// The desktop's own: the default application of the file's MIME type (xdg-mime), opened through
// xdg-open; programs started with QProcess.
class DesktopLauncher final : public Launcher {
public:
    OpenResult open(const std::string& path) override;
    void startDetached(const QString& program, const QStringList& arguments) override;
};

// The editor text parsed as a command line, with the file appended as one more argument; empty
// when the text holds no program.
QStringList EditorCommand(const QString& editor, const QString& file);

} // namespace qv
