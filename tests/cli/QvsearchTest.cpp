// qvsearch end to end: arguments, output format, exit codes.
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliRun qvsearch(const qvtest::TempDir& dir, const std::vector<std::string>& args)
{
    // A private, empty registry outside the searched folder: the stored preferences give the defaults.
    static const qvtest::TempDir registry;
    std::string cmd = "cd " + quote(dir.path()) + " && QUORVANE_REGISTRY=" + quote(registry.path() + "registry.db") +
                      " LANG=C " + quote(QVSEARCH_PATH);
    for (const auto& a : args)
        cmd += " " + quote(a);
    cmd += " >" + quote(dir.path() + ".out") + " 2>" + quote(dir.path() + ".err");
    const int rc = std::system(cmd.c_str());
    return CliRun{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, qvtest::readFile(dir.path() + ".out"), qvtest::readFile(dir.path() + ".err")};
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
    EXPECT_NE(r.out.find("usage: qvsearch"), std::string::npos);
    EXPECT_EQ(qvsearch(dir, {"--bogus", "x"}).status, 2);
    EXPECT_EQ(qvsearch(dir, {"--max-matches", "many", "x"}).status, 2);
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
    EXPECT_EQ(missing.err, "qvsearch: missing.txt: no such file or folder\n");
}

} // namespace
