#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

// Starting other programs: an editor or the desktop's opener, and short queries.

// Why a started program failed: its last line of error output, else how it ended
// ("<program> ended with exit status 3", "<program> was ended by signal 9").
using LaunchFailed = std::function<void(const std::string& reason)>;

// Starts argv[0] (looked up on $PATH) with the arguments and does not wait for it. It runs in a
// session of its own, so a terminal's Ctrl+C for this program leaves it running, and it goes on
// when this program ends. Returns the reason when it cannot be started ("<program>: No such
// file or directory"). If it ends unsuccessfully within `watch`, `failed` is called with the
// reason, on a thread of its own. Its output goes to an unnamed temporary file, so it can write
// as much as it likes after nobody reads it any more.
std::optional<std::string> LaunchProgram(const std::vector<std::string>& argv, std::chrono::milliseconds watch, LaunchFailed failed);

// Runs argv[0] to its end and returns what it wrote to its standard output; nothing when it
// cannot be started, ends unsuccessfully or runs longer than `timeout` (it is then ended).
std::optional<std::string> QueryProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout);

} // namespace qv::platform
