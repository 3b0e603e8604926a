// Starting other programs: what the user is told when they cannot start or fail at once.
#include "platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <future>

namespace {

using namespace std::chrono_literals;
using qv::platform::LaunchProgram;
using qv::platform::QueryProgram;

// The reason a launched program's failure is reported with (waits up to a minute for it).
std::string failureOf(const std::vector<std::string>& argv)
{
    auto promise = std::make_shared<std::promise<std::string>>();
    auto reason = promise->get_future();
    const auto notStarted = LaunchProgram(argv, 60s, [promise](const std::string& r) { promise->set_value(r); });
    if (notStarted)
        return "not started: " + *notStarted;
    return reason.wait_for(60s) == std::future_status::ready ? reason.get() : "no failure reported";
}

TEST(ProgramLaunch, FailuresComeWithTheProgramsReason)
{
    EXPECT_EQ(LaunchProgram({"/no/such/editor"}, 1s, {}), "editor: No such file or directory");
    EXPECT_EQ(LaunchProgram({}, 1s, {}), "no program to start");
    // The last line it wrote, on either output.
    EXPECT_EQ(failureOf({"sh", "-c", "echo first >&2; echo 'sh: it broke' >&2; echo; exit 3"}), "sh: it broke");
    EXPECT_EQ(failureOf({"sh", "-c", "echo 'on standard output'; exit 1"}), "on standard output");
    // Without a word: how it ended.
    EXPECT_EQ(failureOf({"sh", "-c", "exit 4"}), "sh ended with exit status 4");
    EXPECT_EQ(failureOf({"sh", "-c", "kill -9 $$"}), "sh was ended by signal 9 (Killed)");
    // A program that keeps talking long after is cut to its last line's first 300 characters.
    const std::string reason = failureOf({"sh", "-c", "head -c 100000 /dev/zero | tr '\\0' x >&2; exit 1"});
    EXPECT_EQ(reason, std::string(300, 'x') + "...");
}

TEST(ProgramLaunch, QueriesGiveTheirOutputOnlyWhenTheySucceedInTime)
{
    EXPECT_EQ(QueryProgram({"sh", "-c", "echo one; echo two"}, 10s), "one\ntwo\n");
    EXPECT_EQ(QueryProgram({"sh", "-c", "echo partial; exit 1"}, 10s), std::nullopt);
    EXPECT_EQ(QueryProgram({"/no/such/query"}, 10s), std::nullopt);
    EXPECT_EQ(QueryProgram({"sleep", "30"}, 100ms), std::nullopt); // ended, not waited for
}

} // namespace
