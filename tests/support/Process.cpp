#include "support/Process.h"

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace qvtest {

ShellRun runShell(const std::string& command)
{
    ShellRun r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        r.out.append(buf, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool haveProgram(const std::string& program)
{
    return runShell("command -v " + shellQuote(program) + " >/dev/null 2>&1").status == 0;
}

bool eventually(const std::function<bool()>& condition, int seconds)
{
    for (int i = 0; i < seconds * 100; ++i) {
        if (condition())
            return true;
        ::usleep(10000);
    }
    return condition();
}

std::string shellQuote(const std::string& text)
{
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int inChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

int asNobody(const std::function<int()>& body)
{
    return inChild([&] {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 99;
        return body();
    });
}

} // namespace qvtest
