#pragma once

#include "platform/TempBase.h"
#include "search/SearchRun.h"
#include "support/RunRecorder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace qvtest {

// Search runs over a folder of their own with a private temporary folder, recorded.
class RunFixture : public ::testing::Test {
protected:
    bool run(const std::string& text, const std::string& specs = "*.*", bool subdirs = true, bool zip = false)
    {
        qv::SearchRequest r;
        r.StartDirectory = dir.path();
        r.SearchText = text;
        r.FileSpecs = specs;
        r.InclSub = subdirs;
        r.SearchZip = zip;
        extras.foldersToDelete = std::exchange(folders, {});
        last = RunSearch(r, temp.path(), extras, hook);
        folders = last.out.summary.extractionFolders;
        return last.accepted();
    }

    // The rows as "name|matches|type", in the order found.
    [[nodiscard]] std::vector<std::string> rows() const { return last.brief(); }
    [[nodiscard]] const std::vector<qv::FileRow>& found() const { return last.out.rows; }
    [[nodiscard]] const qv::RunSummary& summary() const { return last.out.summary; }

    TempDir dir;
    qv::platform::TempBase temp;
    RunExtras extras;
    // Sees every event of the run (and may stop it by returning true).
    std::function<bool(const RunRecorder&)> hook;
    RecordedRun last;
    std::vector<std::string> folders; // extraction folders still in use
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
