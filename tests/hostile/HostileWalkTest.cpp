// The walk over what a disk can hold: special files, loops, folders it may not enter, things
// that vanish or change while it runs, odd names, and a deep wide tree.
#include "hostile/RunFixture.h"
#include "support/Process.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;

class HostileWalk : public qvtest::RunFixture { };

TEST_F(HostileWalk, SpecialFilesAreNeitherOpenedNorCounted)
{
    dir.write("plain.txt", "needle\n");
    ASSERT_EQ(::mkfifo((dir.path() + "fifo.txt").c_str(), 0600), 0);
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (dir.path() + "socket.txt").c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    // Devices: a node of our own when we may make one, links to the system's either way.
    ::mknod((dir.path() + "null-node.txt").c_str(), S_IFCHR | 0600, makedev(1, 3));
    fs::create_symlink("/dev/zero", dir.path() + "zero.txt");
    fs::create_symlink("/dev/urandom", dir.path() + "random.txt");
    fs::create_symlink(dir.path() + "fifo.txt", dir.path() + "fifo-link.txt");
    ASSERT_EQ(qvtest::withinSeconds(120, [&] { return run("needle") ? 0 : 1; }), 0) << "the walk blocked on a special file";
    run("needle");
    EXPECT_EQ(rows(), V{"plain.txt|1|T"});
    EXPECT_EQ(summary().filesSearched, 1u);
    ::close(s);
}

TEST_F(HostileWalk, LinkLoopsOfEveryShapeEndAndEachFileIsReachedOncePerPath)
{
    dir.write("a/f.txt", "needle\n");
    fs::create_symlink(dir.path(), dir.path() + "a/to-root"); // back to the start
    fs::create_symlink(dir.path() + "a", dir.path() + "a/to-self"); // to its own folder
    fs::create_symlink(dir.path() + "b", dir.path() + "a/to-b"); // a <-> b
    dir.mkdir("b");
    fs::create_symlink(dir.path() + "a", dir.path() + "b/to-a");
    fs::create_symlink(dir.path() + "c", dir.path() + "c"); // a link to itself
    fs::create_symlink(dir.path() + "e", dir.path() + "d"); // d -> e -> d
    fs::create_symlink(dir.path() + "d", dir.path() + "e");
    ASSERT_EQ(qvtest::withinSeconds(120, [&] { return run("needle") ? 0 : 1; }), 0);
    run("needle");
    // a/f.txt, and through b/to-a/f.txt; a/to-b/to-a would lead back into a, which is on the path.
    V paths;
    for (const auto& r : found())
        paths.push_back(r.folder.substr(dir.path().size()) + r.name);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (V{"a/f.txt", "b/to-a/f.txt"}));
}

TEST_F(HostileWalk, FoldersAndFilesItMayNotReadAreLeftOutQuietly)
{
    dir.write("open/a.txt", "needle\n");
    dir.write("closed/b.txt", "needle\n");
    dir.write("noexec/c.txt", "needle\n");
    const std::string locked = dir.write("locked.txt", "needle\n");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod((dir.path() + "closed").c_str(), 0);
    ::chmod((dir.path() + "noexec").c_str(), 0644); // listable, not enterable
    ::chmod(locked.c_str(), 0);
    const int status = qvtest::asNobody([&] {
        if (!run("needle"))
            return 1;
        if (rows() != V{"a.txt|1|T"})
            return 2;
        if (summary().filesSearched != 1 || !last.out.archiveErrors.empty())
            return 3;
        return 0;
    });
    ::chmod((dir.path() + "closed").c_str(), 0755);
    ::chmod((dir.path() + "noexec").c_str(), 0755);
    EXPECT_EQ(status, 0);
}

TEST_F(HostileWalk, FilesAndFoldersThatVanishOrTurnIntoSomethingElseDuringARun)
{
    for (const char* n : {"a1.txt", "a2.txt", "a3.txt", "a4.txt", "a5.txt"})
        dir.write(n, "needle\n");
    dir.write("sub/s.txt", "needle\n");
    dir.write("sub2/deep/t.txt", "needle\n");
    // Once the first file is being searched the folder has been listed: the rest of it changes
    // under the walk.
    extras.threads = 1;
    bool changed = false;
    hook = [&](const qvtest::RunRecorder& out) {
        if (changed || !out.sawStatus(" Searching " + dir.path() + "a1.txt"))
            return false;
        changed = true;
        fs::remove(dir.path() + "a2.txt");
        fs::remove(dir.path() + "a3.txt");
        ::mkfifo((dir.path() + "a3.txt").c_str(), 0600);
        fs::remove(dir.path() + "a4.txt");
        fs::create_directory(dir.path() + "a4.txt");
        fs::resize_file(dir.path() + "a5.txt", 0);
        fs::remove_all(dir.path() + "sub");
        fs::remove_all(dir.path() + "sub2/deep");
        return false;
    };
    ASSERT_EQ(qvtest::withinSeconds(120, [&] { return run("needle") ? 0 : 1; }), 0);
    // The same again in this process, the tree put back as it was.
    for (const char* n : {"a2.txt", "a5.txt"})
        dir.write(n, "needle\n");
    fs::remove(dir.path() + "a3.txt");
    dir.write("a3.txt", "needle\n");
    fs::remove(dir.path() + "a4.txt");
    dir.write("a4.txt", "needle\n");
    dir.write("sub/s.txt", "needle\n");
    dir.write("sub2/deep/t.txt", "needle\n");
    changed = false;
    run("needle");
    EXPECT_EQ(rows(), V{"a1.txt|1|T"});
    // a5.txt is still a file, now empty: searched, nothing found.
    EXPECT_EQ(summary().filesSearched, 2u);
    EXPECT_TRUE(last.out.archiveErrors.empty());
}

TEST_F(HostileWalk, OddNamesComeThroughAsTheirBytes)
{
    const V names{"new\nline.txt", "tab\there.txt", "esc\x1b[31mred.txt",          "bad\xff\xfe.txt", "back\\slash.txt", "quote\"d.txt",
                  " lead.txt",     "-dash.txt",     std::string(250, 'l') + ".txt"};
    for (const auto& n : names)
        dir.write(n, "needle\n");
    dir.write("odd\n\x01dir/inner.txt", "needle\n");
    run("needle");
    V paths;
    for (const auto& r : found()) {
        paths.push_back(r.folder.substr(dir.path().size()) + r.name);
        EXPECT_EQ(qvtest::readFile(r.fullPath()), "needle\n");
    }
    V expected = names;
    expected.push_back("odd\n\x01dir/inner.txt");
    std::sort(paths.begin(), paths.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected);
}

TEST_F(HostileWalk, ADeepWideTreeIsWalkedCompletely)
{
    // 20 levels, 500 files on each: 10,000 files; every 100th holds the needle.
    std::string level = dir.path();
    int n = 0;
    for (int depth = 0; depth < 20; ++depth) {
        level += "level" + std::to_string(depth) + "/";
        fs::create_directory(level);
        for (int i = 0; i < 500; ++i, ++n) {
            const int fd = ::open((level + "f" + std::to_string(i) + ".txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            const std::string body = n % 100 == 0 ? "needle\n" : "hay\n";
            ASSERT_EQ(::write(fd, body.data(), body.size()), static_cast<ssize_t>(body.size()));
            ::close(fd);
        }
    }
    run("needle", "*.txt");
    EXPECT_EQ(summary().filesSearched, 10000u);
    EXPECT_EQ(found().size(), 100u);
    EXPECT_EQ(summary().totalMatches, 100u);
    EXPECT_EQ(found().back().folder.size() - dir.path().size(), std::string("levelN/").size() * 10 + std::string("levelNN/").size() * 10);
}

} // namespace
