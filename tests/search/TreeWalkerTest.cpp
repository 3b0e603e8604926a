// The directory tree scanner: order, masks, the descent switch, and what a disk can hold.
#include "search/TreeScanner.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Events of a scan as text: "D path" entered, "F path" file, "E path" done (paths relative to root).
std::vector<std::string> scan(const std::string& root, const std::string& mask, bool subdirs = true)
{
    std::vector<std::string> events;
    qv::TTreeScanner t;
    t.InitialDirectory = root;
    t.FileMask = mask;
    auto rel = [&](const std::string& p) { return p.substr(root.size()); };
    t.OnDirectoryFound = [&](qv::TTreeScanner& s) {
        events.push_back("D " + rel(s.FileFound()));
        if (!subdirs)
            s.KeepGoing = false;
    };
    t.OnFileFound = [&](qv::TTreeScanner& s) { events.push_back("F " + rel(s.FileFound())); };
    t.OnDirectoryDone = [&](qv::TTreeScanner& s) { events.push_back("E " + rel(s.FileFound())); };
    t.Scan();
    EXPECT_FALSE(t.SearchInProgress());
    return events;
}

using V = std::vector<std::string>;

TEST(TTreeScanner, FilesBeforeSubdirectoriesInCaseInsensitiveOrderDepthFirst)
{
    qvtest::TempDir d;
    d.write("b.txt", "");
    d.write("A.txt", "");
    d.write("c.TXT", "");
    d.write("sub2/z.txt", "");
    d.write("Sub1/y.txt", "");
    d.write("Sub1/deep/x.txt", "");
    // FileFound is not reset for "done": it still names the last file reported.
    EXPECT_EQ(scan(d.path(), "*.txt"), (V{"D ", "F A.txt", "F b.txt", "F c.TXT", "D Sub1/", "F Sub1/y.txt", "D Sub1/deep/",
                                          "F Sub1/deep/x.txt", "E Sub1/deep/x.txt", "E Sub1/deep/x.txt", "D sub2/",
                                          "F sub2/z.txt", "E sub2/z.txt", "E sub2/z.txt"}));
}

TEST(TTreeScanner, NamesThatDifferOnlyByCaseAreBothReported)
{
    qvtest::TempDir d;
    d.write("readme.txt", "");
    d.write("README.TXT", "");
    d.write("ReadMe.txt", "");
    const V events = scan(d.path(), "*.*");
    EXPECT_EQ(events, (V{"D ", "F README.TXT", "F ReadMe.txt", "F readme.txt", "E readme.txt"}));
}

TEST(TTreeScanner, TheMaskAppliesToFilesOnly)
{
    qvtest::TempDir d;
    d.write("dir.txt.d/inner.txt", "");
    d.write("nomatch/inner.txt", "");
    d.write("top.doc", "");
    EXPECT_EQ(scan(d.path(), "*.TXT"), (V{"D ", "D dir.txt.d/", "F dir.txt.d/inner.txt", "E dir.txt.d/inner.txt", "D nomatch/",
                                          "F nomatch/inner.txt", "E nomatch/inner.txt", "E nomatch/inner.txt"}));
    // An empty mask reports no files but still enters every directory.
    EXPECT_EQ(scan(d.path(), ""), (V{"D ", "D dir.txt.d/", "E dir.txt.d/", "D nomatch/", "E nomatch/", "E nomatch/"}));
}

TEST(TTreeScanner, ClearingKeepGoingAtTheStartLimitsTheWalkToItsOwnFiles)
{
    qvtest::TempDir d;
    d.write("a.txt", "");
    d.write("b.txt", "");
    d.write("sub/c.txt", "");
    EXPECT_EQ(scan(d.path(), "*.*", false), (V{"D ", "F a.txt", "F b.txt", "E b.txt"}));
}

TEST(TTreeScanner, ClearingKeepGoingInAFileHandlerStillReportsTheRestOfThatDirectory)
{
    qvtest::TempDir d;
    d.write("a.txt", "");
    d.write("b.txt", "");
    d.write("sub/c.txt", "");
    qv::TTreeScanner t;
    t.InitialDirectory = d.path();
    t.FileMask = "*.*";
    V files;
    int done = 0;
    t.OnFileFound = [&](qv::TTreeScanner& s) {
        files.push_back(s.FileFound().substr(d.path().size()));
        s.KeepGoing = false;
    };
    t.OnDirectoryDone = [&](qv::TTreeScanner&) { ++done; };
    t.Scan();
    EXPECT_EQ(files, (V{"a.txt", "b.txt"}));
    EXPECT_EQ(done, 1);
    // A new scan sets KeepGoing again.
    files.clear();
    t.OnFileFound = [&](qv::TTreeScanner& s) { files.push_back(s.FileFound()); };
    t.Scan();
    EXPECT_EQ(files.size(), 3U);
}

TEST(TTreeScanner, HiddenFilesAndFoldersAreIncluded)
{
    qvtest::TempDir d;
    d.write(".hidden", "");
    d.write(".cache/x", "");
    EXPECT_EQ(scan(d.path(), "*"), (V{"D ", "F .hidden", "D .cache/", "F .cache/x", "E .cache/x", "E .cache/x"}));
}

TEST(TTreeScanner, LinksAreFollowedButNeverInALoop)
{
    qvtest::TempDir d;
    d.write("real/f.txt", "");
    fs::create_symlink(d.path() + "real", d.path() + "alias");
    fs::create_symlink(d.path(), d.path() + "real/up");      // back to the start: a loop
    fs::create_symlink(d.path() + "real/f.txt", d.path() + "lf.txt");
    fs::create_symlink(d.path() + "gone", d.path() + "dangling.txt");
    const V events = scan(d.path(), "*.txt");
    EXPECT_EQ(events, (V{"D ", "F lf.txt", "D alias/", "F alias/f.txt", "E alias/f.txt", "D real/", "F real/f.txt",
                         "E real/f.txt", "E real/f.txt"}));
}

TEST(TTreeScanner, FifosSocketsAndDevicesAreNeverReported)
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
    EXPECT_EQ(scan(d.path(), "*.txt"), (V{"D ", "F plain.txt", "E plain.txt"}));
    ::close(s);
}

TEST(TTreeScanner, AnUnreadableFolderYieldsNothingAndTheWalkGoesOn)
{
    qvtest::TempDir d;
    d.write("a/secret.txt", "");
    d.write("b/open.txt", "");
    ::chmod(d.path().c_str(), 0755);
    ::chmod((d.path() + "a").c_str(), 0);
    const int status = qvtest::asNobody([&] {
        const V events = scan(d.path(), "*.txt");
        return events == V{"D ", "D a/", "E a/", "D b/", "F b/open.txt", "E b/open.txt", "E b/open.txt"} ? 0 : 1;
    });
    ::chmod((d.path() + "a").c_str(), 0755);
    EXPECT_EQ(status, 0);
}

TEST(TTreeScanner, AMissingStartFolderIsAnEmptyWalk)
{
    qvtest::TempDir d;
    EXPECT_EQ(scan(d.path() + "nope/", "*.*"), (V{"D ", "E "}));
}

TEST(TTreeScanner, OddNamesAreReportedAsTheirExactBytes)
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

TEST(TTreeScanner, InitialDirectoryIsNormalised)
{
    using qv::TTreeScanner;
    EXPECT_EQ(TTreeScanner::NormaliseDirectory("/usr/share"), "/usr/share/");
    EXPECT_EQ(TTreeScanner::NormaliseDirectory("/usr/share/"), "/usr/share/");
    EXPECT_EQ(TTreeScanner::NormaliseDirectory("/"), "/");
    EXPECT_EQ(TTreeScanner::NormaliseDirectory("").back(), '/');
    EXPECT_EQ(TTreeScanner::NormaliseDirectory(""), qv::platform::CurrentDirectory());
}

TEST(TTreeScanner, EventsArePumpedOncePerDirectory)
{
    qvtest::TempDir d;
    d.write("a/x", "");
    d.write("b/y", "");
    qv::TTreeScanner t;
    t.InitialDirectory = d.path();
    t.FileMask = "*";
    int pumps = 0;
    bool inProgress = false;
    t.ProcessEvents = [&] { ++pumps; };
    t.OnFileFound = [&](qv::TTreeScanner& s) { inProgress = s.SearchInProgress(); };
    t.Scan();
    EXPECT_EQ(pumps, 3);
    EXPECT_TRUE(inProgress);
}

} // namespace
