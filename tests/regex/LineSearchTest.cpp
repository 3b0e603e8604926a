// The line search over real files: block boundaries, long lines, odd line ends, failures.
#include "platform/Utf8.h"
#include "regex/LineSearch.h"
#include "support/Engine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

using qvtest::Compile;
using qvtest::CountLines;
using qvtest::ListLines;
using V = std::vector<std::string>;

TEST(LineSearch, ListsNumberTextAndOffsetForEveryLineEndStyle)
{
    qvtest::TempDir dir;
    const std::string path = dir.write("a.txt", "one x\r\ntwo\nthree x\rlone\nlast x");
    EXPECT_EQ(ListLines(Compile("x"), path), (V{"1:one x", "3:three x\rlone", "4:last x"}));
    EXPECT_EQ(CountLines(Compile("x"), path), 3U);
    qv::regex::LineSearch search(Compile("x"));
    ASSERT_TRUE(search.open(path));
    search.setListing(true);
    std::vector<std::uint64_t> offsets;
    while (search.next())
        offsets.push_back(search.lineOffset());
    EXPECT_EQ(offsets, (std::vector<std::uint64_t>{0, 11, 24}));
}

TEST(LineSearch, CountsLinesNotMatches)
{
    qvtest::TempDir dir;
    const std::string path = dir.write("a.txt", "aaa a\nb\na\n");
    EXPECT_EQ(CountLines(Compile("a"), path), 2U);
}

TEST(LineSearch, EmptyFileAndUnopenableFileCountNothing)
{
    qvtest::TempDir dir;
    qv::regex::LineSearch search(Compile("x-"));
    EXPECT_EQ(CountLines(search, dir.write("empty", "")), 0U);
    EXPECT_FALSE(search.open(dir.path() + "missing"));
    EXPECT_FALSE(search.next());
    EXPECT_EQ(search.close(), 0U);
}

TEST(LineSearch, LinesAcrossManyBlocksKeepTheirNumbers)
{
    qvtest::TempDir dir;
    std::string text;
    for (int i = 1; i <= 200000; ++i)
        text += (i % 997 == 0 ? "needle line " : "plain line ") + std::to_string(i) + "\n";
    const std::string path = dir.write("big.txt", text);
    const auto found = ListLines(Compile("needle"), path);
    ASSERT_EQ(found.size(), 200000U / 997);
    EXPECT_EQ(found.front(), "997:needle line 997");
    EXPECT_EQ(found.back(), "199400:needle line 199400");
    EXPECT_EQ(CountLines(Compile("needle"), path), found.size());
}

TEST(LineSearch, LongLinesAreMatchedInPiecesAndListedCut)
{
    qvtest::TempDir dir;
    // 20 MB line (beyond the largest buffer) with the match near its end, then a short line.
    std::string text(20u << 20, 'x');
    text.replace(text.size() - 10, 6, "needle");
    text += "\nshort needle\n";
    const std::string path = dir.write("long.txt", text);
    const auto found = ListLines(Compile("needle&x"), path);
    ASSERT_EQ(found.size(), 1U); // the short line holds no x
    EXPECT_EQ(found[0].size(), 2 + qv::regex::LineSearch::kMaxListedLine);
    EXPECT_EQ(found[0].substr(0, 5), "1:xxx");
    EXPECT_EQ(ListLines(Compile("needle"), path).back(), "2:short needle");
    EXPECT_EQ(CountLines(Compile("needle"), path), 2U);
    // A line-end pattern is decided at the line's real end, far behind the listed part.
    EXPECT_EQ(CountLines(Compile("x\\r\\n"), path), 1U);
    EXPECT_EQ(ListLines(Compile("needle\\r\\n"), path), (V{"2:short needle"}));
}

TEST(LineSearch, ASingleLineOfOneHundredMegabytesWithoutLineFeed)
{
    qvtest::TempDir dir;
    std::string text(100u << 20, 'a');
    text.back() = 'b';
    const std::string path = dir.write("one.txt", text);
    EXPECT_EQ(CountLines(Compile("ab$"), path), 1U);
    EXPECT_EQ(CountLines(Compile("^b"), path), 0U);
}

TEST(LineSearch, AFileUnreadableMidwayIsAReadError)
{
    qvtest::TempDir dir;
    // A directory opens but cannot be read: the search reports the failure instead of a count.
    const int fd = ::open(dir.path().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    qv::regex::LineSearch search(Compile("x"));
    search.adopt(qv::platform::UniqueFd(fd), "x\n", false);
    while (search.next()) { }
    EXPECT_EQ(search.readError(), EISDIR);
    search.close();
}

TEST(LineSearch, StretchesOfAFileAddUpToItsCount)
{
    qvtest::TempDir dir;
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += i % 3 == 0 ? "a needle here\n" : "nothing\r\n";
    text += "last needle"; // no line feed
    const std::string path = dir.write("f.txt", text);
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    qv::regex::LineSearch search(Compile("needle"), qv::regex::LineSearchLimits{64, 64, 256});
    std::uint64_t total = 0;
    // Stretches end at line ends; the last one runs to the end of the file.
    const std::uint64_t bounds[] = {0, 14, 14 + 9, text.find("a needle", 30000), UINT64_MAX};
    for (std::size_t k = 0; k + 1 < std::size(bounds); ++k) {
        search.searchRange(fd, bounds[k], bounds[k + 1]);
        while (search.next()) { }
        total += search.close();
    }
    EXPECT_EQ(total, CountLines(Compile("needle"), path));
    EXPECT_EQ(total, 1668U);
    // The descriptor stays the caller's.
    EXPECT_EQ(::close(fd), 0);
}

TEST(LineSearch, AStopRequestEndsTheSearchInsideTheFirstBlock)
{
    qvtest::TempDir dir;
    const std::string path = dir.write("f.txt", std::string(4u << 20, 'x') + "\nneedle\n");
    std::stop_source stop;
    qv::regex::Automata automata(Compile("needle"), stop.get_token());
    qv::regex::LineSearch search(automata);
    stop.request_stop();
    EXPECT_EQ(CountLines(search, path), 0U);
    EXPECT_TRUE(search.stopped());
}

// The UTF-16 of UTF-8 text, with its byte-order mark.
std::string utf16(std::string_view utf8, qv::platform::ByteOrder order)
{
    std::u16string units = u"\uFEFF";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = qv::platform::DecodeUtf8(utf8.substr(i));
        const char32_t code = c ? c->code : U'\uFFFD';
        i += c ? c->length : 1;
        if (code >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(code);
        }
    }
    std::string bytes;
    for (const char16_t u : units) {
        const auto hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        bytes += order == qv::platform::ByteOrder::LittleEndian ? std::string{lo, hi} : std::string{hi, lo};
    }
    return bytes;
}

struct Listed {
    std::uint64_t number, offset;
    std::string text;
};

std::vector<Listed> listAll(qv::regex::LineSearch& search)
{
    std::vector<Listed> out;
    while (search.next())
        out.push_back({search.lineNumber(), search.lineOffset(), std::string(search.lineText())});
    search.close();
    return out;
}

TEST(LineSearch, Utf16FilesAreSearchedAsTheirUtf8Text)
{
    // Line ends of every style, letters of two and four bytes, a line longer than small buffers,
    // and a last line without a line feed.
    std::string text = "one x\r\ncaf\xC3\xA9 X\nno\n";
    for (int i = 0; i < 3000; ++i)
        text += "\xC3\xA9";
    text += " x\n\xF0\x9F\x98\x80 x\rlone\nlast \xC3\x89\xC3\xA9x";
    const auto regex = Compile("\xC3\xA9-x", false);
    qv::regex::LineSearch plain(regex);
    plain.setListing(true);
    plain.adopt({}, text, true);
    const std::vector<Listed> expected = listAll(plain);
    ASSERT_EQ(expected.size(), 5U);

    qvtest::TempDir dir;
    for (const auto order : {qv::platform::ByteOrder::LittleEndian, qv::platform::ByteOrder::BigEndian}) {
        const std::string bytes = utf16(text, order);
        const std::string path = dir.write("u16", bytes);
        for (const auto limits :
             {qv::regex::LineSearchLimits{}, qv::regex::LineSearchLimits{4, 4, 16}, qv::regex::LineSearchLimits{64, 64, 256}}) {
            for (const std::size_t first : {std::size_t{0}, std::size_t{5}, bytes.size()}) {
                SCOPED_TRACE("limit " + std::to_string(limits.maxCapacity) + " first " + std::to_string(first));
                qv::regex::LineSearch search(regex, limits);
                search.setListing(true);
                search.adoptUtf16(qv::platform::UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)),
                                  std::string_view(bytes).substr(0, first), first == bytes.size(), order);
                const std::vector<Listed> got = listAll(search);
                ASSERT_EQ(got.size(), expected.size());
                for (std::size_t k = 0; k < got.size(); ++k) {
                    EXPECT_EQ(got[k].number, expected[k].number);
                    EXPECT_EQ(got[k].offset, expected[k].offset);
                    EXPECT_EQ(got[k].text, expected[k].text.substr(0, got[k].text.size())); // long lines are cut
                    EXPECT_GT(got[k].text.size(), 2U);
                }
            }
        }
    }
}

TEST(LineSearch, AStopRequestEndsAUtf16SearchToo)
{
    qvtest::TempDir dir;
    const std::string path = dir.write("f.txt", utf16(std::string(1u << 20, 'x') + "\nneedle\n", qv::platform::ByteOrder::LittleEndian));
    std::stop_source stop;
    qv::regex::Automata automata(Compile("needle"), stop.get_token());
    qv::regex::LineSearch search(automata);
    stop.request_stop();
    search.adoptUtf16(qv::platform::UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), {}, false, qv::platform::ByteOrder::LittleEndian);
    while (search.next()) { }
    EXPECT_EQ(search.close(), 0U);
    EXPECT_TRUE(search.stopped());
}

} // namespace
