#pragma once

#include <functional>
#include <string>

namespace qvtest {

// What a shell command printed on its standard output, and how it ended.
struct ShellRun {
    int status = -1; // its exit status; -1 when it did not exit
    std::string out;
};
ShellRun runShell(const std::string& command);
// Whether `program` is on the PATH.
bool haveProgram(const std::string& program);
// `text` quoted for the shell, whatever it holds.
std::string shellQuote(const std::string& text);

// Asks `condition` every 10 ms until it holds or `seconds` have gone by; whether it held. For
// waiting on another process, never for timing one.
bool eventually(const std::function<bool()>& condition, int seconds = 60);

// Runs `body` in a child process and returns its exit status (or -signal when it was killed).
int inChild(const std::function<int()>& body);

// Runs `body` in a child process that has given up root's rights (user and group "nobody"),
// so file permissions apply even when the tests run as root.
int asNobody(const std::function<int()>& body);

} // namespace qvtest
