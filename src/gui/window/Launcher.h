#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

namespace qv {

// How the program hands a file to other programs: the desktop's "open" action, and starting a
// program without waiting for it. Neither waits for the other program; a failure is told later,
// on the window's thread. Tests put a recorder in its place.
class Launcher {
public:
    struct Failure {
        enum class Kind { NoAssociation, Failed } kind = Kind::Failed;
        std::string reason; // the other program's own words, or how it ended
    };
    using FailureHandler = std::function<void(const Failure&)>;

    virtual ~Launcher() = default;
    virtual void open(const std::string& path, FailureHandler failed) = 0;
    virtual void start(const QStringList& command, FailureHandler failed) = 0;
};

// The desktop's own: the default application of the file's MIME type (xdg-mime), opened through
// xdg-open; programs started in a session of their own. A program that fails within a few
// seconds of its start is reported with its last line of output.
class DesktopLauncher final : public Launcher {
public:
    DesktopLauncher();
    ~DesktopLauncher() override;
    DesktopLauncher(const DesktopLauncher&) = delete;
    DesktopLauncher& operator=(const DesktopLauncher&) = delete;

    void open(const std::string& path, FailureHandler failed) override;
    void start(const QStringList& command, FailureHandler failed) override;

    struct Relay; // hands failures from the watching threads to the window's thread

private:
    std::shared_ptr<Relay> relay_;
};

// The editor text parsed as a command line, with the file appended as one more argument; empty
// when the text holds no program.
QStringList EditorCommand(const QString& editor, const QString& file);

} // namespace qv
