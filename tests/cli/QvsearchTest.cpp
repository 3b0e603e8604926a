// qvsearch end to end: arguments, output format, exit codes.
#include "support/TempDir.h"

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
    std::string cmd = "cd " + quote(dir.path()) + " && " + quote(QVSEARCH_PATH);
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
    ASSERT_EQ(lines.size(), 4U) << r.out;
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
    EXPECT_EQ(qvsearch(dir, {"abc", "missing.txt"}).status, 1);
}

} // namespace
