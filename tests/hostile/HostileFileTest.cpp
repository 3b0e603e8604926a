// Files of every awkward shape: empty, huge and sparse, one enormous line, NUL bytes, CR-only
// line ends, and text that turns binary after the bytes that decide its type.
#include "search/MatchListing.h"
#include "hostile/RunFixture.h"

#include <fcntl.h>

namespace {

using V = std::vector<std::string>;

class HostileFile : public qvtest::RunFixture {
protected:
    qv::MatchListing listing(const qv::FileRow& row)
    {
        return qv::ListMatches(row, qv::ListingParameters{last.verdict.pattern, false, 300, 500});
    }
};

TEST_F(HostileFile, SmallOddFilesGetTheirExactCountAndType)
{
    const struct {
        std::string name;
        std::string content;
        std::string row; // "" when not listed
    } cases[] = {
        {"empty.txt", "", ""},
        {"nul.bin", std::string("abc\0needle\0\0needle", 18), "nul.bin|2|B"},
        {"cr-only.txt", "one\rtwo needle\rthree needle\r", "cr-only.txt|1|T"},
        {"crlf.txt", "needle\r\nneedle\r\n\r\n", "crlf.txt|2|T"},
        {"no-final-lf.txt", "x\nneedle", "no-final-lf.txt|1|T"},
        // The first 2000 bytes decide the type: a control byte at index 1999 makes a binary file,
        // at index 2000 it does not.
        {"b1999.bin", std::string(1999, 'x') + '\x01' + "\nneedle\n", "b1999.bin|1|B"},
        {"t2000.txt", std::string(2000, 'x') + '\x01' + "\nneedle\n", "t2000.txt|1|T"},
        {"turns.txt", std::string(400 * 5, ' ').replace(0, 5, "line\n") + std::string("\0\0needle\n\0needle\n", 17), "turns.txt|2|T"},
    };
    for (const auto& c : cases)
        dir.write(c.name, c.content);
    run("needle", "*.*", false);
    V expected;
    for (const auto& c : cases)
        if (!c.row.empty())
            expected.push_back(c.row);
    V got = rows();
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(summary().filesSearched, std::size(cases));
}

TEST_F(HostileFile, ATwoGigabyteSparseFileWithoutLineFeeds)
{
    const std::string path = dir.path() + "sparse.bin";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const off_t size = off_t{2} << 30;
    ASSERT_EQ(::pwrite(fd, "needle", 6, size - 6), 6);
    ::close(fd);
    run("needle");
    EXPECT_EQ(rows(), V{"sparse.bin|1|B"});
    EXPECT_EQ(found().at(0).size, size);
    const qv::MatchListing l = listing(found()[0]);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_TRUE(l.binary);
    EXPECT_EQ(l.lines[0].line, std::nullopt);
    EXPECT_EQ(l.lines[0].text, "needle"); // the zeros of its context are control characters
}

TEST_F(HostileFile, AHundredMegabyteLineIsCountedAndListedCut)
{
    std::string big(100u << 20, 'x');
    big.replace(big.size() / 2, 6, "needle");
    big += "\nshort needle\n";
    dir.write("big.txt", big);
    big.clear();
    run("needle");
    EXPECT_EQ(rows(), V{"big.txt|2|T"});
    const qv::MatchListing l = listing(found()[0]);
    ASSERT_EQ(l.lines.size(), 2u);
    EXPECT_EQ(l.lines[0].line, 1U);
    EXPECT_EQ(l.lines[0].text, std::string(1u << 20, 'x')); // cut to its first MiB
    EXPECT_EQ(l.lines[1].line, 2U);
    EXPECT_EQ(l.lines[1].text, "short needle");
}

} // namespace
