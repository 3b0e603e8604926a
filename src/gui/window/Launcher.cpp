#include "Launcher.h"

#include "platform/Executables.h"
#include "platform/ProgramLaunch.h"
#include "widgets/Text.h"

#include <QMimeDatabase>
#include <QObject>
#include <QProcess>

#include <mutex>
#include <thread>
#include <vector>

namespace qv {
namespace {

using namespace std::chrono_literals;

// Failures later than this after the start are the other program's own business (an editor
// closed hours later with an error, say), not a failed open.
constexpr auto kWatched = 10s;
constexpr auto kQueryTime = 5s;

std::vector<std::string> bytes(const QStringList& list)
{
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(ToBytes(s));
    return out;
}

} // namespace

struct DesktopLauncher::Relay {
    std::mutex mutex;
    std::unique_ptr<QObject> receiver = std::make_unique<QObject>(); // lives on the window's thread

    // From any thread; dropped once the launcher is gone.
    void post(const FailureHandler& handler, Failure failure)
    {
        const std::lock_guard lock(mutex);
        if (receiver && handler)
            QMetaObject::invokeMethod(
                receiver.get(), [handler, failure] { handler(failure); }, Qt::QueuedConnection);
    }
};

DesktopLauncher::DesktopLauncher() : relay_(std::make_shared<Relay>()) { }

DesktopLauncher::~DesktopLauncher()
{
    const std::lock_guard lock(relay_->mutex);
    relay_->receiver.reset();
}

void DesktopLauncher::open(const std::string& path, FailureHandler failed)
{
    const std::string type = ToBytes(QMimeDatabase().mimeTypeForFile(ToQString(path)).name());
    // The queries may take a while on a busy desktop: the window does not wait for them.
    std::thread([relay = relay_, path, type, failed = std::move(failed)] {
        // No default application for the file's type means nothing can open it.
        if (platform::FindOnPath("xdg-mime")) {
            const auto answer = platform::QueryProgram({"xdg-mime", "query", "default", type}, kQueryTime);
            if (answer && answer->find_first_not_of(" \t\r\n") == std::string::npos) {
                relay->post(failed, Failure{Failure::Kind::NoAssociation, {}});
                return;
            }
        }
        const auto notStarted = platform::LaunchProgram({"xdg-open", path}, kWatched, [relay, failed](const std::string& reason) {
            relay->post(failed, Failure{Failure::Kind::Failed, reason});
        });
        if (notStarted)
            relay->post(failed, Failure{Failure::Kind::Failed, *notStarted});
    }).detach();
}

void DesktopLauncher::start(const QStringList& command, FailureHandler failed)
{
    const auto notStarted = platform::LaunchProgram(bytes(command), kWatched, [relay = relay_, failed](const std::string& reason) {
        relay->post(failed, Failure{Failure::Kind::Failed, reason});
    });
    if (notStarted && failed)
        failed(Failure{Failure::Kind::Failed, *notStarted});
}

QStringList EditorCommand(const QString& editor, const QString& file)
{
    QStringList parts = QProcess::splitCommand(editor);
    if (parts.isEmpty())
        return {};
    parts.append(file);
    return parts;
}

} // namespace qv
