// qvsearch end to end: arguments, output format, exit codes.
#include "support/HostileText.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <filesystem>

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// How a run is made, beyond its arguments.
struct How {
    std::string env; // assignments before the command, "TMPDIR=..."
    std::string stdoutTo; // where standard output goes: a file of the run's own by default
    bool asNobody = false; // without root's rights, so permissions apply
};

How withEnv(std::string env)
{
    How how;
    how.env = std::move(env);
    return how;
}

How outputTo(std::string redirection)
{
    How how;
    how.stdoutTo = std::move(redirection);
    return how;
}

How asNobody()
{
    How how;
    how.asNobody = true;
    return how;
}

std::string quote(const std::string& s)
{
    return qvtest::shellQuote(s);
}

// Outside the searched folders and writable by anyone: the runs' output, and a private, empty
// registry, so the stored preferences give the defaults.
const qvtest::TempDir& scratch()
{
    static const qvtest::TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    return dir;
}

CliRun qvsearch(const qvtest::TempDir& dir, const std::vector<std::string>& args, const How& how = {})
{
    const std::string out = scratch().path() + "out", err = scratch().path() + "err", status = scratch().path() + "status";
    for (const std::string& f : {out, err, status})
        std::remove(f.c_str());
    // The run's own assignments come last, so they win.
    std::string cmd = "cd " + quote(dir.path()) + " && (QUORVANE_REGISTRY=" + quote(scratch().path() + "registry.db") + " LANG=C " +
                      how.env + " " + quote(QVSEARCH_PATH);
    for (const auto& a : args)
        cmd += " " + quote(a);
    // The status from inside, so that a pipe after qvsearch does not hide it.
    cmd += " 2>" + quote(err) + "; echo $? >" + quote(status) + ")" + (how.stdoutTo.empty() ? " >" + quote(out) : " " + how.stdoutTo);
    const auto shell = [&cmd] { return std::system(cmd.c_str()); };
    if (how.asNobody)
        qvtest::asNobody(shell);
    else
        shell();
    const std::string code = qvtest::readFile(status);
    return CliRun{code.empty() ? -1 : std::stoi(code), qvtest::readFile(out), qvtest::readFile(err)};
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> f;
    std::size_t pos = 0;
    for (;;) {
        const auto tab = line.find('\t', pos);
        f.push_back(line.substr(pos, tab - pos));
        if (tab == std::string::npos)
            return f;
        pos = tab + 1;
    }
}

std::vector<std::string> outputLines(const std::string& out)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < out.size()) {
        const auto lf = out.find('\n', pos);
        lines.push_back(out.substr(pos, lf - pos));
        pos = lf + 1;
    }
    return lines;
}

// The names of the files with rows in qvsearch's output.
std::vector<std::string> rowNames(const std::string& out)
{
    std::vector<std::string> names;
    for (const std::string& line : outputLines(out))
        if (!line.empty() && line[0] != '\t')
            names.push_back(fields(line)[0]);
    return names;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Whether a file was opened, or something was made in a folder, while it was watched.
class Watch {
public:
    Watch(const std::string& path, std::uint32_t events) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (fd_ < 0 || ::inotify_add_watch(fd_, path.c_str(), events) < 0)
            ADD_FAILURE() << "cannot watch " << path;
    }
    ~Watch() { ::close(fd_); }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // Whether it happened since the watch began or since last asked.
    bool happened()
    {
        char events[4096];
        bool any = false;
        while (::read(fd_, events, sizeof events) > 0)
            any = true;
        return any;
    }

private:
    int fd_;
};

const std::string kUsageAndPointer = "Usage: qvsearch [OPTION]... SEARCH-TEXT [PATH]...\nTry 'qvsearch --help' for more information.\n";

TEST(Qvsearch, RowsAndMatchingLines)
{
    qvtest::TempDir dir;
    dir.write("a.txt", "Alpha\nbeta alpha\r\ngamma\n");
    dir.write("b.bin", std::string("al\0pha alpha", 12));
    dir.write("c.txt", "nothing\n");
    const CliRun r = qvsearch(dir, {"-n", "alpha", "a.txt", "b.bin", "c.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = outputLines(r.out);
    ASSERT_EQ(lines.size(), 6U) << r.out;
    const auto row = fields(lines[0]);
    ASSERT_EQ(row.size(), 7U);
    EXPECT_EQ(row[0], "a.txt");
    EXPECT_EQ(row[1], "./");
    EXPECT_EQ(row[2], "2");
    EXPECT_EQ(row[3], "T");
    EXPECT_EQ(row[4], "24");
    EXPECT_EQ(row[6], "");
    EXPECT_EQ(lines[1], "\t1\tAlpha");
    EXPECT_EQ(lines[2], "\t2\tbeta alpha");
    EXPECT_EQ(fields(lines[3])[3], "B");
    EXPECT_EQ(fields(lines[3])[2], "1"); // the count reads the zero byte as byte 1 ...
    EXPECT_EQ(lines[4], "\t\talpha alpha"); // ... the listing drops it, and finds both
    EXPECT_EQ(lines[5], "\t\talpha alpha");
    // The summary is the last thing on standard error.
    EXPECT_EQ(outputLines(r.err).back(), " Found 3 matches in 2 files of 3 searched - elapsed time 0.0 seconds");
}

TEST(Qvsearch, OptionsMirrorTheWindowsBoxes)
{
    qvtest::TempDir dir;
    dir.write("a.txt", "Cat\nconcat\na.c\n");
    EXPECT_EQ(fields(qvsearch(dir, {"cat", "a.txt"}).out)[2], "2");
    EXPECT_EQ(fields(qvsearch(dir, {"-s", "cat", "a.txt"}).out)[2], "1");
    EXPECT_EQ(fields(qvsearch(dir, {"-w", "cat", "a.txt"}).out)[2], "1");
    EXPECT_EQ(fields(qvsearch(dir, {"-F", "a.c", "a.txt"}).out)[2], "1");
    EXPECT_EQ(fields(qvsearch(dir, {"--", "-v", "a.txt"}).out)[0], "");
}

TEST(Qvsearch, FoldersSubfoldersMasksAndArchives)
{
    qvtest::TempDir dir;
    dir.write("top.txt", "needle\n");
    dir.write("sub/deep.txt", "needle\n");
    dir.write("sub/skip.doc", "needle\n");
    qvtest::makeZip(dir.path() + "arch.zip", {{"member.txt", "needle\nneedle\n"}});
    // No path: the current folder.
    CliRun r = qvsearch(dir, {"needle"});
    EXPECT_EQ(outputLines(r.out).size(), 1U) << r.out;
    r = qvsearch(dir, {"-r", "-f", "*.txt", "needle", dir.path()});
    auto lines = outputLines(r.out);
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(fields(lines[1])[1], dir.path() + "sub/");
    r = qvsearch(dir, {"-z", "-n", "needle", dir.path()});
    lines = outputLines(r.out);
    ASSERT_EQ(lines.size(), 5U) << r.out;
    EXPECT_EQ(fields(lines[2])[0], "member.txt");
    EXPECT_EQ(fields(lines[2])[1], dir.path() + "arch.zip");
    EXPECT_NE(fields(lines[2])[6], "");
    EXPECT_EQ(lines[4], "\t2\tneedle");
    r = qvsearch(dir, {"--no-text", "needle", dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Message: No files found"), std::string::npos);
    r = qvsearch(dir, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: qvsearch"), std::string::npos);
    EXPECT_EQ(qvsearch(dir, {"--bogus", "x"}).status, 2);
    EXPECT_EQ(qvsearch(dir, {"--max-matches", "many", "x"}).status, 2);
}

TEST(Qvsearch, NothingLostOrMisattributedInArchivesWordsAndDates)
{
    qvtest::TempDir dir;
    qvtest::ZipMember old("one/same.txt", "needle\n");
    old.modified = 981173106; // 3 February 2001
    qvtest::makeZip(dir.path() + "d.zip", {old, {"two/same.txt", "needle\nneedle\n"}});
    // The mask "*" meets the archive twice, through the user's mask and the added archive mask.
    CliRun r = qvsearch(dir, {"-z", "-f", "*", "needle", "."});
    std::vector<std::string> lines = outputLines(r.out);
    ASSERT_EQ(rowNames(r.out), (std::vector<std::string>{"one/same.txt", "two/same.txt"})) << r.out;
    EXPECT_EQ(fields(lines[0])[2], "1");
    EXPECT_EQ(fields(lines[1])[2], "2");
    EXPECT_TRUE(contains(fields(lines[0])[5], "2001")) << fields(lines[0])[5];
    // Two archives of one name keep their own members and copies.
    std::filesystem::create_directories(dir.path() + "a");
    std::filesystem::create_directories(dir.path() + "b");
    qvtest::makeZip(dir.path() + "a/docs.zip", {{"m.txt", "needle from a\n"}});
    qvtest::makeZip(dir.path() + "b/docs.zip", {{"m.txt", "needle from b\nneedle\n"}});
    r = qvsearch(dir, {"-rzn", "needle", "a", "b"});
    lines = outputLines(r.out);
    ASSERT_EQ(lines.size(), 5U) << r.out;
    EXPECT_EQ(fields(lines[0])[1], "a/docs.zip");
    EXPECT_EQ(fields(lines[1])[2], "needle from a");
    EXPECT_EQ(fields(lines[2])[1], "b/docs.zip");
    EXPECT_EQ(fields(lines[3])[2], "needle from b");
    EXPECT_NE(fields(lines[0])[6], fields(lines[2])[6]);
    // Whole words for every alternative and conjunct; an anchor is an edge.
    dir.write("w.txt", "catalog hotdog\nthe cat\nabc def\n");
    EXPECT_EQ(fields(qvsearch(dir, {"-w", "cat|dog", "w.txt"}).out)[2], "1");
    EXPECT_EQ(qvsearch(dir, {"-w", "cat&dog", "w.txt"}).out, ""); // "catalog hotdog" holds neither word
    EXPECT_EQ(fields(qvsearch(dir, {"-w", "^abc", "w.txt"}).out)[2], "1");
    // A date before 1980 as it is.
    const std::string moon = dir.write("moon.txt", "needle\n");
    const struct timespec t[2] = {{-14182940, 0}, {-14182940, 0}};
    ::utimensat(AT_FDCWD, moon.c_str(), t, 0);
    r = qvsearch(dir, {"needle", "moon.txt"});
    EXPECT_TRUE(contains(fields(r.out)[5], "1969")) << r.out;
}

TEST(Qvsearch, ListingLimitsFromOptions)
{
    qvtest::TempDir dir;
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "hit\n";
    dir.write("a.txt", text);
    const CliRun r = qvsearch(dir, {"-n", "--max-matches", "3", "hit", "a.txt"});
    const auto lines = outputLines(r.out);
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(fields(lines[0])[2], "20");
}

TEST(Qvsearch, ExitCodes)
{
    qvtest::TempDir dir;
    dir.write("a.txt", "abc\n");
    EXPECT_EQ(qvsearch(dir, {"zzz", "a.txt"}).status, 1);
    const CliRun bare = qvsearch(dir, {".*", "a.txt"});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.err, "Regular Expression Error: Search pattern cannot consist only of \".*\"\n");
    const CliRun bad = qvsearch(dir, {"a[", "a.txt"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "Regular Expression Error: Missing \"]\" to close the \"[\" at position 2\n");
    const CliRun missing = qvsearch(dir, {"abc", "missing.txt"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "qvsearch: missing.txt: No such file or directory\n");
}

TEST(QvsearchArguments, OptionsAndOperandsInAnyOrder)
{
    qvtest::TempDir dir;
    dir.write("top.txt", "needle\n");
    dir.write("sub/deep.txt", "needle\n");
    dir.write("sub/note.doc", "Needle\n");
    using V = std::vector<std::string>;
    CliRun r = qvsearch(dir, {"needle", ".", "-r"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rowNames(r.out), (V{"top.txt", "deep.txt", "note.doc"}));
    EXPECT_FALSE(contains(r.err, "-r")) << r.err;
    r = qvsearch(dir, {"needle", "-s", ".", "--subdirs", "-f", "*.doc,*.txt"});
    EXPECT_EQ(rowNames(r.out), (V{"top.txt", "deep.txt"}));
    // Values after "=" or as the next argument; long options cut short; short ones bundled.
    EXPECT_EQ(rowNames(qvsearch(dir, {"--sub", "--files=*.doc", "needle"}).out), V{"note.doc"});
    EXPECT_EQ(rowNames(qvsearch(dir, {"--files", "*.doc", "needle", "-r"}).out), V{"note.doc"});
    EXPECT_EQ(rowNames(qvsearch(dir, {"-rsf*.txt", "needle"}).out), (V{"top.txt", "deep.txt"}));
    EXPECT_EQ(rowNames(qvsearch(dir, {"-rwFj2", "needle"}).out), (V{"top.txt", "deep.txt", "note.doc"}));
    r = qvsearch(dir, {"-rn", "--max-matches=0", "needle"});
    EXPECT_EQ(outputLines(r.out).size(), 3U) << r.out;
    // After "--" nothing is an option: "-r" is a path, and subfolders stay out.
    r = qvsearch(dir, {"needle", ".", "--", "-r"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(rowNames(r.out), V{"top.txt"});
    EXPECT_TRUE(contains(r.err, "qvsearch: -r: No such file or directory\n")) << r.err;
    r = qvsearch(dir, {"-r", "--", "-needle", "."});
    EXPECT_EQ(r.status, 1) << r.err;
}

TEST(QvsearchArguments, WrongOptionsAndValuesEndWithAShortMessage)
{
    qvtest::TempDir dir;
    dir.write("a.txt", "x\n");
    const auto refused = [&](const std::vector<std::string>& args) {
        const CliRun r = qvsearch(dir, args);
        EXPECT_EQ(r.status, 2) << args.front();
        EXPECT_EQ(r.out, "") << args.front(); // nothing was searched
        return r.err;
    };
    EXPECT_EQ(refused({"x", "--bogus"}), "qvsearch: unrecognized option '--bogus'\n" + kUsageAndPointer);
    EXPECT_EQ(refused({"-q", "x"}), "qvsearch: invalid option -- 'q'\n" + kUsageAndPointer);
    EXPECT_EQ(refused({"x", "a.txt", "-f"}), "qvsearch: option requires an argument -- 'f'\n" + kUsageAndPointer);
    EXPECT_EQ(refused({"x", "--export"}), "qvsearch: option '--export' requires an argument\n" + kUsageAndPointer);
    EXPECT_TRUE(contains(refused({"--no-", "x"}), "ambiguous"));
    EXPECT_EQ(refused({}), kUsageAndPointer);
    EXPECT_EQ(refused({"-r"}), kUsageAndPointer);
    // A bad value names the option and the value, without the usage.
    EXPECT_EQ(refused({"--max-matches", "x", "x"}), "qvsearch: invalid value 'x' for --max-matches (a number from 0 to 2147483647)\n");
    EXPECT_TRUE(contains(refused({"--max-match-len=-1", "x"}), "'-1' for --max-match-len"));
    // Too big for the stored preference: refused, not wrapped round.
    EXPECT_TRUE(contains(refused({"--max-matches=4294967296", "x"}), "'4294967296'"));
    EXPECT_TRUE(contains(refused({"--max-matches=", "x"}), "''"));
    EXPECT_TRUE(contains(refused({"-j0", "x"}), "'0' for --threads"));
    EXPECT_TRUE(contains(refused({"x", "--threads", "many"}), "'many' for --threads"));
    EXPECT_TRUE(contains(refused({"--report=some", "--export=r.txt", "x"}), "'some' for --report (files or all)"));
    EXPECT_TRUE(contains(refused({"--report=all", "x"}), "--report goes with --export"));
    EXPECT_TRUE(contains(refused({"--export=", "x"}), "--export needs a file name"));
}

TEST(QvsearchArguments, HelpAndVersion)
{
    qvtest::TempDir dir;
    for (const char* option : {"--help", "-h", "--he"}) {
        const CliRun r = qvsearch(dir, {"x", option});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: qvsearch [OPTION]... SEARCH-TEXT [PATH]...\n", 0), 0U) << option;
        EXPECT_TRUE(contains(r.out, "-V, --version"));
        EXPECT_EQ(r.err, "");
    }
    for (const char* option : {"--version", "-V"}) {
        const CliRun r = qvsearch(dir, {option});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "qvsearch (Quorvane) " QV_VERSION "\n");
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(qvsearch(dir, {"--help"}, outputTo(">/dev/full")).status, 2);
}

TEST(QvsearchExport, AsAnOptionAnywhereAndItsFailures)
{
    if (!std::filesystem::exists(std::filesystem::path(QVSEARCH_PATH).parent_path() / "qvsearch-export.so"))
        GTEST_SKIP() << "built without the report export";
    qvtest::TempDir dir;
    dir.write("a.txt", "needle\n");
    const qvtest::TempDir out;
    CliRun r = qvsearch(dir, {"needle", "a.txt", "--export", out.path() + "r.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(qvtest::readFile(out.path() + "r.txt"), "a.txt"));
    r = qvsearch(dir, {"needle", "a.txt", "--export=" + out.path() + "all.txt", "--report", "all"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(qvtest::readFile(out.path() + "all.txt"), "needle"));
    // Every matching line reaches the file, and numbers are never cut nor cover their neighbours.
    std::string lines, last;
    for (int i = 1; i <= 400; ++i)
        lines += i % 7 == 0 ? "match " + std::to_string(i) + "\n" : "other\n";
    dir.write("many.txt", lines);
    r = qvsearch(dir, {"--max-matches=1000", "--report=all", "--export=" + out.path() + "many.txt", "match", "many.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string many = qvtest::readFile(out.path() + "many.txt");
    for (int i = 7; i <= 400; i += 7)
        EXPECT_TRUE(contains(many, "match " + std::to_string(i) + "\r\n")) << i;
    for (int i = 1; i < 455000; ++i)
        last += "x\n";
    dir.write("long.txt", last + "needle target\n");
    r = qvsearch(dir, {"--report=all", "--export=" + out.path() + "long.txt", "needle", "long.txt"});
    EXPECT_TRUE(contains(qvtest::readFile(out.path() + "long.txt"), "455000 needle target\r\n"));
    const std::string big = dir.write("big.txt", "needle\n");
    ASSERT_EQ(::truncate(big.c_str(), 104857608), 0);
    r = qvsearch(dir, {"--export=" + out.path() + "big.txt", "needle", "big.txt"});
    EXPECT_TRUE(contains(qvtest::readFile(out.path() + "big.txt"), "B 104857608")) << qvtest::readFile(out.path() + "big.txt");
    // The rows are out, but the report is not: an error.
    r = qvsearch(dir, {"needle", "a.txt", "--export=" + out.path() + "missing/r.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(rowNames(r.out), std::vector<std::string>{"a.txt"});
}

TEST(QvsearchExitStatus, AnyErrorGivesTwoWhateverMatched)
{
    qvtest::TempDir dir;
    dir.write("a.txt", "abc\n");
    dir.write("b.txt", "none\n");
    CliRun r = qvsearch(dir, {"abc", "a.txt", "missing.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(rowNames(r.out), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(contains(r.err, "qvsearch: missing.txt: No such file or directory\n"));
    EXPECT_EQ(qvsearch(dir, {"abc", "b.txt", "missing.txt"}).status, 2);
    EXPECT_EQ(qvsearch(dir, {"abc", "a.txt", "b.txt"}).status, 0);
    EXPECT_EQ(qvsearch(dir, {"zzz", "a.txt", "b.txt"}).status, 1);
    // A FIFO is never opened (it would block): named, and an error.
    ASSERT_EQ(::mkfifo((dir.path() + "pipe").c_str(), 0600), 0);
    r = qvsearch(dir, {"abc", "a.txt", "pipe"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "qvsearch: pipe: not a file or folder\n")) << r.err;
    // A damaged archive is passed over with its message; the other files still count.
    dir.write("bad.zip", "PK\3\4 this is no archive");
    r = qvsearch(dir, {"-z", "abc", "."});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(rowNames(r.out), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(contains(r.err, "Zip File Error: Error in Zip file: ./bad.zip")) << r.err;
    // Output that cannot be written.
    r = qvsearch(dir, {"abc", "a.txt"}, outputTo(">/dev/full"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "qvsearch: write error: No space left on device\n");
}

TEST(QvsearchExitStatus, UnreadableFilesAndFoldersAreNamedAndAreErrors)
{
    qvtest::TempDir dir;
    dir.write("open.txt", "needle\n");
    const std::string locked = dir.write("locked.txt", "needle\n");
    dir.write("closed/inside.txt", "needle\n");
    dir.write("deep/closed/inside.txt", "needle\n");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(locked.c_str(), 0);
    ::chmod((dir.path() + "closed").c_str(), 0);
    ::chmod((dir.path() + "deep/closed").c_str(), 0);
    // Two masks walk each folder twice (and list the file once for each); each problem is still
    // told once, in whichever order the walk and the searchers meet them.
    for (const char* threads : {"-j1", "-j2"}) {
        const CliRun r = qvsearch(dir, {"-r", "-f", "*.txt,*.t*", threads, "needle", "."}, asNobody());
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(rowNames(r.out), (std::vector<std::string>{"open.txt", "open.txt"}));
        std::vector<std::string> told = outputLines(r.err);
        ASSERT_FALSE(told.empty());
        EXPECT_TRUE(contains(told.back(), "Found 2 matches in 2 files"));
        told.pop_back();
        std::sort(told.begin(), told.end());
        EXPECT_EQ(told, (std::vector<std::string>{"qvsearch: ./closed/: Permission denied", "qvsearch: ./deep/closed/: Permission denied",
                                                  "qvsearch: ./locked.txt: Permission denied"}))
            << r.err;
    }
    // A file named on the command line.
    const CliRun r = qvsearch(dir, {"needle", "locked.txt", "open.txt"}, asNobody());
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "qvsearch: ./locked.txt: Permission denied\n")) << r.err;
    // A file that opens but cannot be read: its own memory, read where nothing is mapped.
    const CliRun unread = qvsearch(dir, {"needle", "/proc/self/mem"});
    EXPECT_EQ(unread.status, 2);
    EXPECT_TRUE(contains(unread.err, "qvsearch: /proc/self/mem: Input/output error\n")) << unread.err;
    ::chmod((dir.path() + "closed").c_str(), 0755);
    ::chmod((dir.path() + "deep/closed").c_str(), 0755);
}

TEST(QvsearchSettings, AnUnreadableStoreIsNamedOnStandardError)
{
    qvtest::TempDir dir;
    dir.write("a.txt", "needle\n");
    const qvtest::TempDir config;
    const std::string store = config.path() + "registry.db";
    const How how = withEnv("QUORVANE_REGISTRY=" + quote(store));
    // First start, no store: nothing said.
    CliRun r = qvsearch(dir, {"needle", "."}, how);
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(contains(r.err, "settings")) << r.err;
    for (const std::string& damage : {std::string("garbage, not a database"), std::string()}) {
        std::filesystem::remove(store);
        config.write("registry.db", damage);
        r = qvsearch(dir, {"needle", "."}, how);
        EXPECT_EQ(r.status, 0);
        const std::string lead = "qvsearch: Your settings could not be read, so the default settings are in use. "
                                 "The unreadable settings file was kept as " +
                                 store + ".corrupt-";
        EXPECT_TRUE(r.err.starts_with(lead)) << r.err;
    }
}

TEST(QvsearchTemporaryFolder, MadeOnlyWhenAnArchiveIsSearched)
{
    qvtest::TempDir dir;
    dir.write("a.txt", "needle\n");
    const qvtest::TempDir tmp;
    const How how = withEnv("TMPDIR=" + quote(tmp.path()));
    Watch made(tmp.path(), IN_CREATE);
    EXPECT_EQ(qvsearch(dir, {"-r", "needle", "."}, how).status, 0);
    EXPECT_EQ(qvsearch(dir, {"-rz", "needle", "."}, how).status, 0);
    EXPECT_FALSE(made.happened());
    qvtest::makeZip(dir.path() + "arch.zip", {{"member.txt", "needle\n"}});
    const CliRun r = qvsearch(dir, {"-z", "needle", "."}, how);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rowNames(r.out), (std::vector<std::string>{"a.txt", "member.txt"}));
    EXPECT_TRUE(made.happened());
    // ... and removed at the end.
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

TEST(QvsearchClosedPipe, EndsTheSearchQuietlyAtOnce)
{
    qvtest::TempDir dir;
    std::string many;
    for (int i = 0; i < 200000; ++i)
        many += "hit\n";
    dir.write("a.txt", many);
    const std::string later = dir.write("b.txt", "hit\n");
    const std::vector<std::string> args = {"-j1", "-n", "--max-matches=1000000", "hit", "."};
    Watch opened(later, IN_OPEN);
    // Read to the end, the search reaches the later file.
    CliRun r = qvsearch(dir, args, outputTo(">/dev/null"));
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(opened.happened());
    // The reader goes after the first line, long before the listing is out.
    r = qvsearch(dir, args, outputTo("| head -1 >" + quote(scratch().path() + "out")));
    EXPECT_EQ(r.status, 0); // not killed by the signal
    EXPECT_EQ(r.err, ""); // no message, no summary
    EXPECT_EQ(rowNames(r.out), std::vector<std::string>{"a.txt"});
    EXPECT_FALSE(opened.happened());
    // With a searcher per core, the same quiet end.
    r = qvsearch(dir, {"-n", "--max-matches=1000000", "hit", "."}, outputTo("| head -1 >" + quote(scratch().path() + "out")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST(QvsearchEndingSignals, StopTheRunAndLeaveNoTemporaryFilesOrHalfReport)
{
    qvtest::TempDir dir;
    std::string many;
    for (int i = 0; i < 200000; ++i)
        many += "needle line\n";
    qvtest::makeZip(dir.path() + "big.zip", {{"inner/many.txt", many}});
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        const qvtest::TempDir tmp;
        const std::string report = scratch().path() + "report.txt";
        std::remove(report.c_str());
        int output[2];
        ASSERT_EQ(::pipe(output), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(output[1], 1);
            ::close(output[0]);
            ::setenv("TMPDIR", tmp.path().c_str(), 1);
            ::setenv("QUORVANE_REGISTRY", (scratch().path() + "registry.db").c_str(), 1);
            const std::string exportTo = "--export=" + report;
            ::execl(QVSEARCH_PATH, QVSEARCH_PATH, "-z", "-n", "--max-matches=1000000", exportTo.c_str(), "needle", dir.path().c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(output[1]);
        // The member's listing fills the pipe nobody reads yet: the run is then in the middle of
        // the archive, its extracted copy on disk.
        std::string first(4096, '\0');
        ASSERT_GT(::read(output[0], first.data(), first.size()), 0);
        ASSERT_TRUE(qvtest::eventually([&] {
            for (const auto& e : std::filesystem::recursive_directory_iterator(tmp.path()))
                if (e.path().filename() == "many.txt")
                    return true;
            return false;
        }));
        ASSERT_EQ(::kill(pid, signal), 0);
        // It ends although nobody reads what it was writing.
        int status = 0;
        pid_t ended = 0;
        EXPECT_TRUE(qvtest::eventually([&] { return (ended = ::waitpid(pid, &status, WNOHANG)) != 0; }, 20))
            << "still writing into the full pipe";
        char drain[65536];
        while (::read(output[0], drain, sizeof drain) > 0) { }
        ::close(output[0]);
        if (ended == 0) {
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
        EXPECT_FALSE(std::filesystem::exists(report));
    }

    // Ended while it writes the report: the half-written report goes too.
    if (!std::filesystem::exists(std::filesystem::path(QVSEARCH_PATH).parent_path() / "qvsearch-export.so"))
        return; // built without the report export
    const qvtest::TempDir tmp;
    const std::string report = scratch().path() + "report.txt";
    std::remove(report.c_str());
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("TMPDIR", tmp.path().c_str(), 1);
        ::setenv("QUORVANE_REGISTRY", (scratch().path() + "registry.db").c_str(), 1);
        const std::string exportTo = "--export=" + report;
        ::execl(QVSEARCH_PATH, QVSEARCH_PATH, "-z", "--max-matches=1000000", "--report=all", exportTo.c_str(), "needle", dir.path().c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_TRUE(qvtest::eventually([&] { return std::filesystem::exists(report); }));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
    EXPECT_FALSE(std::filesystem::exists(report));
    // (Qt, loaded for the report, may leave its runtime folder when the desktop names none.)
    for (const auto& e : std::filesystem::directory_iterator(tmp.path()))
        EXPECT_FALSE(e.path().filename().string().starts_with("quorvane-")) << e.path();
}

TEST(QvsearchEndingSignals, RowsFoundBeforeTheSignalReachTheOutput)
{
    qvtest::TempDir dir;
    for (int i = 100; i < 500; ++i)
        dir.write("f" + std::to_string(i) + ".txt", "needle\n");
    // Last in the walk, and slow to search: the signal comes while it is searched.
    const std::string slow = qvtest::hostileLines(std::size_t{4} << 20);
    const std::string last = dir.write("zz-slow.txt", slow);
    const std::string out = scratch().path() + "rows.txt";
    Watch opened(last, IN_OPEN);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int file = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, 1);
        ::setenv("QUORVANE_REGISTRY", (scratch().path() + "registry.db").c_str(), 1);
        ::execl(QVSEARCH_PATH, QVSEARCH_PATH, "-j1", ("needle|" + qvtest::kHostilePattern).c_str(), dir.path().c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_TRUE(qvtest::eventually([&] { return opened.happened(); }));
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
    EXPECT_EQ(outputLines(qvtest::readFile(out)).size(), 400U);
}

} // namespace
