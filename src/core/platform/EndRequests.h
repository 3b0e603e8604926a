#pragma once

#include "UniqueFd.h"

#include <functional>
#include <thread>

namespace qv::platform {

// SIGTERM, SIGINT and SIGHUP (logging out, `kill`, Ctrl+C, a closed terminal) turned from sudden
// death into a request to end, so the program can stop its run and remove its temporary files
// first. While an object lives, the first such signal is handed to `onSignal` on a thread of
// the object's own; a second one ends the program at once, as it would have without us.
// One object at a time.
class EndRequests {
public:
    explicit EndRequests(std::function<void(int signal)> onSignal);
    ~EndRequests(); // the signals' former handling comes back
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;

    // The signal that asked the program to end; 0 when none has.
    [[nodiscard]] static int Received();
    // Ends the program as `signal` would have, once it has cleaned up after itself.
    [[noreturn]] static void EndAs(int signal);

private:
    UniqueFd readEnd_, writeEnd_; // the signal handler tells the watcher through this pipe
    std::thread watcher_;
};

} // namespace qv::platform
