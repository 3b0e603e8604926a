// The folder walk: order, masks, subfolders, stops, and what a disk can hold.
#include "search/TreeWalker.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Events of a walk as text: "D path" entered, "F path" file, "E path" done (paths relative to root).
std::vector<std::string> scan(const std::string& root, const std::string& mask, bool subdirs = true)
{
    std::vector<std::string> events;
    qv::TreeWalker t;
    auto rel = [&](const std::string& p) { return p.substr(std::min(root.size(), p.size())); };
    t.onFolder = [&](const std::string& path) { events.push_back("D " + rel(path)); };
    t.onFile = [&](const std::shared_ptr<const qv::OpenFolder>& folder, const std::string& name, bool) {
        events.push_back("F " + rel(folder->path + name));
    };
    t.onFolderDone = [&](const std::string& path) { events.push_back("E " + rel(path)); };
    t.walk(root, mask, subdirs);
    return events;
}

using V = std::vector<std::string>;

TEST(TreeWalker, FilesBeforeSubdirectoriesInCaseInsensitiveOrderDepthFirst)
{
    qvtest::TempDir d;
    d.write("b.txt", "");
    d.write("A.txt", "");
    d.write("c.TXT", "");
    d.write("sub2/z.txt", "");
    d.write("Sub1/y.txt", "");
    d.write("Sub1/deep/x.txt", "");
    EXPECT_EQ(scan(d.path(), "*.txt"), (V{"D ", "F A.txt", "F b.txt", "F c.TXT", "D Sub1/", "F Sub1/y.txt", "D Sub1/deep/",
                                          "F Sub1/deep/x.txt", "E Sub1/deep/", "E Sub1/", "D sub2/", "F sub2/z.txt", "E sub2/", "E "}));
}

TEST(TreeWalker, NamesThatDifferOnlyByCaseAreBothReported)
{
    qvtest::TempDir d;
    d.write("readme.txt", "");
    d.write("README.TXT", "");
    d.write("ReadMe.txt", "");
    const V events = scan(d.path(), "*.*");
    EXPECT_EQ(events, (V{"D ", "F README.TXT", "F ReadMe.txt", "F readme.txt", "E "}));
}

TEST(TreeWalker, TheMaskAppliesToFilesOnly)
{
    qvtest::TempDir d;
    d.write("dir.txt.d/inner.txt", "");
    d.write("nomatch/inner.txt", "");
    d.write("top.doc", "");
    EXPECT_EQ(scan(d.path(), "*.TXT"),
              (V{"D ", "D dir.txt.d/", "F dir.txt.d/inner.txt", "E dir.txt.d/", "D nomatch/", "F nomatch/inner.txt", "E nomatch/", "E "}));
    // An empty mask reports no files but still enters every directory.
    EXPECT_EQ(scan(d.path(), ""), (V{"D ", "D dir.txt.d/", "E dir.txt.d/", "D nomatch/", "E nomatch/", "E "}));
}

TEST(TreeWalker, WithoutSubfoldersOnlyTheStartFoldersOwnFiles)
{
    qvtest::TempDir d;
    d.write("a.txt", "");
    d.write("b.txt", "");
    d.write("sub/c.txt", "");
    EXPECT_EQ(scan(d.path(), "*.*", false), (V{"D ", "F a.txt", "F b.txt", "E "}));
}

TEST(TreeWalker, AStopEndsTheWalkAtOnce)
{
    qvtest::TempDir d;
    for (int i = 0; i < 20; ++i)
        d.write("d" + std::to_string(i) + "/f.txt", "");
    std::stop_source stop;
    qv::TreeWalker t(stop.get_token());
    int files = 0;
    t.onFile = [&](const std::shared_ptr<const qv::OpenFolder>&, const std::string&, bool) {
        if (++files == 3)
            stop.request_stop();
    };
    t.walk(d.path(), "*", true);
    EXPECT_EQ(files, 3);
}

TEST(TreeWalker, AFileIsOpenedThroughItsFolderEvenAfterTheWalkLetGoOfIt)
{
    qvtest::TempDir d;
    d.write("sub/f.txt", "content");
    qv::TreeWalker t;
    std::vector<std::pair<std::shared_ptr<const qv::OpenFolder>, std::string>> kept;
    t.onFile = [&](const std::shared_ptr<const qv::OpenFolder>& folder, const std::string& name, bool) { kept.emplace_back(folder, name); };
    t.walk(d.path(), "*", true);
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_EQ(kept[0].first->path, d.path() + "sub/");
    const int fd = ::openat(kept[0].first->fd.get(), kept[0].second.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    ::close(fd);
}

TEST(TreeWalker, HiddenFilesAndFoldersAreIncluded)
{
    qvtest::TempDir d;
    d.write(".hidden", "");
    d.write(".cache/x", "");
    EXPECT_EQ(scan(d.path(), "*"), (V{"D ", "F .hidden", "D .cache/", "F .cache/x", "E .cache/", "E "}));
}

TEST(TreeWalker, LinksAreFollowedButNeverInALoop)
{
    qvtest::TempDir d;
    d.write("real/f.txt", "");
    fs::create_symlink(d.path() + "real", d.path() + "alias");
    fs::create_symlink(d.path(), d.path() + "real/up"); // back to the start: a loop
    fs::create_symlink(d.path() + "real/f.txt", d.path() + "lf.txt");
    fs::create_symlink(d.path() + "gone", d.path() + "dangling.txt");
    const V events = scan(d.path(), "*.txt");
    EXPECT_EQ(events, (V{"D ", "F lf.txt", "D alias/", "F alias/f.txt", "E alias/", "D real/", "F real/f.txt", "E real/", "E "}));
}

TEST(TreeWalker, FifosSocketsAndDevicesAreNeverReported)
{
    qvtest::TempDir d;
    ASSERT_EQ(::mkfifo((d.path() + "pipe.txt").c_str(), 0600), 0);
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sock = d.path() + "sock.txt";
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    fs::create_symlink("/dev/null", d.path() + "null.txt");
    d.write("plain.txt", "");
    EXPECT_EQ(scan(d.path(), "*.txt"), (V{"D ", "F plain.txt", "E "}));
    ::close(s);
}

TEST(TreeWalker, AnUnreadableFolderYieldsNothingAndTheWalkGoesOn)
{
    qvtest::TempDir d;
    d.write("a/secret.txt", "");
    d.write("b/open.txt", "");
    ::chmod(d.path().c_str(), 0755);
    ::chmod((d.path() + "a").c_str(), 0);
    const int status = qvtest::asNobody([&] {
        const V events = scan(d.path(), "*.txt");
        return events == V{"D ", "D a/", "E a/", "D b/", "F b/open.txt", "E b/", "E "} ? 0 : 1;
    });
    ::chmod((d.path() + "a").c_str(), 0755);
    EXPECT_EQ(status, 0);
}

TEST(TreeWalker, AMissingStartFolderIsAnEmptyWalk)
{
    qvtest::TempDir d;
    EXPECT_EQ(scan(d.path() + "nope/", "*.*"), (V{"D ", "E "}));
}

TEST(TreeWalker, OddNamesAreReportedAsTheirExactBytes)
{
    qvtest::TempDir d;
    const std::string names[] = {"with blank.txt", "new\nline.txt", std::string("bad\xff\xfe.txt"), std::string(251, 'n') + ".txt"};
    for (const auto& n : names)
        d.write(n, "");
    V found;
    for (const auto& e : scan(d.path(), "*.txt"))
        if (e[0] == 'F')
            found.push_back(e.substr(2));
    V expected(std::begin(names), std::end(names));
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        const int c = ::strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    EXPECT_EQ(found, expected);
}

TEST(TreeWalker, TheStartFolderIsNormalised)
{
    using qv::TreeWalker;
    EXPECT_EQ(TreeWalker::NormaliseDirectory("/usr/share"), "/usr/share/");
    EXPECT_EQ(TreeWalker::NormaliseDirectory("/usr/share/"), "/usr/share/");
    EXPECT_EQ(TreeWalker::NormaliseDirectory("/"), "/");
    EXPECT_EQ(TreeWalker::NormaliseDirectory("").back(), '/');
    EXPECT_EQ(TreeWalker::NormaliseDirectory(""), qv::platform::CurrentDirectory());
}

} // namespace
