#include "support/Process.h"

#include <sys/wait.h>
#include <unistd.h>

namespace qvtest {

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
