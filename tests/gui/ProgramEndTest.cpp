// The program ended by a signal (logging out, `kill`, Ctrl+C, a closed terminal).
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The program's private temporary folder in `tmp`, once it has made it (waits up to a minute).
std::string privateFolder(const std::string& tmp)
{
    for (int i = 0; i < 6000; ++i) {
        for (const auto& e : fs::directory_iterator(tmp))
            if (e.path().filename().string().starts_with("quorvane-"))
                return e.path().string() + "/";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

TEST(ProgramEnd, EachEndingSignalLeavesNoTemporaryFilesBehind)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        qvtest::TempDir tmp, registry, start;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("TMPDIR", tmp.path().c_str(), 1);
            ::setenv("QUORVANE_REGISTRY", (registry.path() + "registry.db").c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl(QUORVANE_PATH, QUORVANE_PATH, start.path().c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const std::string folder = privateFolder(tmp.path());
        ASSERT_FALSE(folder.empty()) << "the program made no temporary folder";
        // What an extraction leaves there.
        fs::create_directories(folder + "1/docs.zip/deep");
        std::ofstream(folder + "1/docs.zip/deep/a.txt") << "extracted";
        // The program watches for the signals before it makes the folder.
        ASSERT_EQ(::kill(pid, signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_FALSE(fs::exists(folder));
    }
}

} // namespace
