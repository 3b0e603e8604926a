#include "ProgramLaunch.h"

#include "PathParts.h"
#include "UniqueFd.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qv::platform {
namespace {

constexpr std::size_t kReasonBytes = 4096; // the end of the output a reason is taken from
constexpr std::size_t kReasonChars = 300;

// The spawned program starts with every signal at its default and none blocked, whatever this
// program ignores or blocks (a run's threads block some), and in a session of its own.
class SpawnAttributes {
public:
    SpawnAttributes()
    {
        posix_spawnattr_init(&attr_);
        sigset_t all, none;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr_, &all);
        posix_spawnattr_setsigmask(&attr_, &none);
        posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_;
};

// Standard input from /dev/null, standard output to `out`, standard error to `err`.
class SpawnFiles {
public:
    SpawnFiles(int out, int err)
    {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions_, out, 1);
        posix_spawn_file_actions_adddup2(&actions_, err, 2);
    }
    ~SpawnFiles() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnFiles(const SpawnFiles&) = delete;
    SpawnFiles& operator=(const SpawnFiles&) = delete;
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

// Starts the program; the pid, or the error number.
std::pair<pid_t, int> spawn(const std::vector<std::string>& argv, int out, int err)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const SpawnAttributes attr;
    const SpawnFiles files(out, err);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], files.get(), attr.get(), args.data(), environ);
    return {pid, rc};
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return status;
}

bool succeeded(int status)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An unnamed file for the program's output: gone with its last descriptor.
UniqueFd outputFile()
{
    const char* dir = std::getenv("TMPDIR");
    for (const char* d : {dir, "/tmp"}) {
        if (d == nullptr || *d == '\0')
            continue;
        UniqueFd fd(::open(d, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (fd)
            return fd;
    }
    return UniqueFd(::open("/dev/null", O_WRONLY | O_CLOEXEC));
}

// The last line the program wrote, or how it ended.
std::string reasonFor(const std::string& program, int status, int output)
{
    struct stat st { };
    std::string tail;
    if (::fstat(output, &st) == 0 && st.st_size > 0) {
        const auto size = static_cast<std::size_t>(st.st_size);
        const std::size_t from = size > kReasonBytes ? size - kReasonBytes : 0;
        tail.resize(size - from);
        const ssize_t n = ::pread(output, tail.data(), tail.size(), static_cast<off_t>(from));
        tail.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    while (!tail.empty() && std::isspace(static_cast<unsigned char>(tail.back())))
        tail.pop_back();
    const auto lineStart = tail.find_last_of('\n');
    std::string line = lineStart == std::string::npos ? tail : tail.substr(lineStart + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kReasonChars)
        line = line.substr(0, kReasonChars) + "...";
    if (!line.empty())
        return line;
    if (WIFSIGNALED(status))
        return program + " was ended by signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) + ")";
    return program + " ended with exit status " + std::to_string(WEXITSTATUS(status));
}

} // namespace

std::optional<std::string> LaunchProgram(const std::vector<std::string>& argv, std::chrono::milliseconds watch, LaunchFailed failed)
{
    if (argv.empty() || argv.front().empty())
        return std::string("no program to start");
    const std::string program = FileNameOf(argv.front());
    UniqueFd output = outputFile();
    const auto [pid, error] = spawn(argv, output.get(), output.get());
    if (error != 0)
        return program + ": " + std::strerror(error);
    const auto started = std::chrono::steady_clock::now();
    // Waited for by a thread of its own, so it never lingers as a zombie.
    std::thread([pid = pid, output = std::move(output), watch, failed = std::move(failed), program, started] {
        const int status = waitFor(pid);
        if (!succeeded(status) && failed && std::chrono::steady_clock::now() - started <= watch)
            failed(reasonFor(program, status, output.get()));
    }).detach();
    return std::nullopt;
}

std::optional<std::string> QueryProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout)
{
    if (argv.empty() || argv.front().empty())
        return std::nullopt;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    const UniqueFd quiet(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    const auto [pid, error] = spawn(argv, writeEnd.get(), quiet.get());
    writeEnd.reset();
    if (error != 0)
        return std::nullopt;
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{readEnd.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    if (timedOut)
        ::kill(pid, SIGKILL);
    const int status = waitFor(pid);
    if (timedOut || !succeeded(status))
        return std::nullopt;
    return out;
}

} // namespace qv::platform
