#include "EndRequests.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace qv::platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// What the signal handler may touch: async-signal-safe things only.
std::atomic<int> gWriteEnd{-1}; // of the pipe the watcher reads
std::atomic<int> gReceived{0};
struct sigaction gFormer[std::size(kSignals)];

void toDefault()
{
    struct sigaction dfl { };
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int s : kSignals)
        ::sigaction(s, &dfl, nullptr);
}

extern "C" void onEndSignal(int signal)
{
    const int saved = errno;
    int none = 0;
    if (gReceived.compare_exchange_strong(none, signal)) {
        const auto byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t n = ::write(gWriteEnd.load(), &byte, 1);
        toDefault(); // a second request ends the program at once
    }
    errno = saved;
}

} // namespace

EndRequests::EndRequests(std::function<void(int)> onSignal)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return; // no watching: the signals keep their sudden effect
    readEnd_.reset(ends[0]);
    writeEnd_.reset(ends[1]);
    gWriteEnd = ends[1];
    watcher_ = std::thread([onSignal = std::move(onSignal), readEnd = ends[0]] {
        for (;;) {
            unsigned char byte = 0;
            const ssize_t n = ::read(readEnd, &byte, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || byte == 0)
                return; // the object is going
            if (onSignal)
                onSignal(byte);
        }
    });
    struct sigaction action { };
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &gFormer[i]);
}

EndRequests::~EndRequests()
{
    if (!watcher_.joinable())
        return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        if (gReceived.load() == 0)
            ::sigaction(kSignals[i], &gFormer[i], nullptr);
    const unsigned char stop = 0;
    [[maybe_unused]] const ssize_t n = ::write(writeEnd_.get(), &stop, 1);
    watcher_.join();
    gWriteEnd = -1;
}

int EndRequests::Received()
{
    return gReceived.load();
}

void EndRequests::EndAs(int signal)
{
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

} // namespace qv::platform
