#pragma once

#include "search/DateTimeFormat.h"
#include "search/SearchRun.h"
#include "platform/TempBase.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace qvtest {

// A search run over a folder of its own with a private temporary folder, recorded.
class RunFixture : public ::testing::Test {
protected:
    RunFixture()
    {
        state.TempBase = temp.path();
        state.Preferences = qv::PreferenceSet::Defaults();
        state.DateTimeDisplayFormat = qv::ChooseDateTimeFormat(state.Locale, "");
    }

    bool run(const std::string& text, const std::string& specs = "*.*", bool subdirs = true, bool zip = false)
    {
        qv::SearchRequest r;
        r.StartDirectory = dir.path();
        r.SearchText = text;
        r.FileSpecs = specs;
        r.InclSub = subdirs;
        r.SearchZip = zip;
        host.rows.clear();
        host.messages.clear();
        host.statuses.clear();
        return qv::SearchRun(state, host).cmdSearchClick(r);
    }

    // The rows as "name|matches|type", in the order found.
    [[nodiscard]] std::vector<std::string> rows() const { return host.brief(); }

    TempDir dir;
    qv::platform::TempBase temp;
    qv::SearchState state;
    RecordingHost host;
};

// Runs body in a child process that is killed after `seconds`: a hang fails the test instead of
// stopping the suite. The bound is generous; it catches runaway work, it does not time anything.
inline int withinSeconds(unsigned seconds, const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(seconds);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

} // namespace qvtest
