// Listing the matches of one result row.
#include "search/MatchListing.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

qv::FileRow row(const qvtest::TempDir& dir, const std::string& name, const std::string& type, std::size_t size, std::uint64_t matches = 1)
{
    return qv::FileRow{name, dir.path(), matches, type == "B" ? qv::FileType::Binary : qv::FileType::Text, size, 0, ""};
}

// A listed line as "number|text" (no number for a binary file's match).
std::string brief(const qv::MatchLine& m)
{
    return (m.line ? std::to_string(*m.line) : std::string()) + "|" + m.text;
}

qv::ListingParameters params(std::string pattern, long long maxMatchLen = 300, long long maxMatches = 500)
{
    return qv::ListingParameters{std::move(pattern), true, maxMatchLen, maxMatches};
}

TEST(ListMatches, TextLinesSplitAtTheFirstColon)
{
    qvtest::TempDir dir;
    std::string text;
    for (int i = 1; i <= 11; ++i)
        text += "line\n";
    text += "a:b\r\n";
    dir.write("t.txt", text);
    const auto listing = qv::ListMatches(row(dir, "t.txt", "T", text.size()), params(":"));
    EXPECT_FALSE(listing.binary);
    ASSERT_EQ(listing.lines.size(), 1U);
    EXPECT_EQ(brief(listing.lines[0]), "12|a:b");
}

TEST(ListMatches, TheLimitCapsRowsButNotTheCount)
{
    qvtest::TempDir dir;
    std::string text;
    for (int i = 0; i < 1200; ++i)
        text += "match " + std::to_string(i) + "\n";
    dir.write("t.txt", text);
    const auto listing = qv::ListMatches(row(dir, "t.txt", "T", text.size(), 1200), params("match"));
    ASSERT_EQ(listing.lines.size(), 500U);
    EXPECT_EQ(brief(listing.lines.back()), "500|match 499");
    EXPECT_EQ(qv::ListMatches(row(dir, "t.txt", "T", text.size()), params("match", 300, 0)).lines.size(), 0U);
}

TEST(ListMatches, BinaryMatchesWithContext)
{
    qvtest::TempDir dir;
    std::string content = "KEY at the start, then " + std::string(40, '.') + "KEY in the middle" + std::string(40, '-');
    content.insert(5, std::string("\0\x01\x1f\x0b", 4)); // control characters vanish from the listing
    dir.write("b.bin", content);
    const auto listing = qv::ListMatches(row(dir, "b.bin", "B", content.size()), params("KEY"));
    EXPECT_TRUE(listing.binary);
    ASSERT_EQ(listing.lines.size(), 2U);
    EXPECT_EQ(listing.lines[0].line, std::nullopt);
    // A match near the start shows its context from the first character, for 3 + 60 characters.
    EXPECT_EQ(listing.lines[0].text, ("KEY at the start, then " + std::string(40, '.')).substr(0, 63));
    EXPECT_EQ(listing.lines[1].text, std::string(30, '.') + "KEY in the middle" + std::string(16, '-'));
}

TEST(ListMatches, ABinaryMatchLongerThanTheLimitIsPassedOver)
{
    qvtest::TempDir dir;
    const std::string content = std::string("\x01", 1) + std::string(400, 'x') + " y xxx";
    dir.write("b.bin", content);
    const auto listing = qv::ListMatches(row(dir, "b.bin", "B", content.size()), params("x+", 300));
    ASSERT_EQ(listing.lines.size(), 1U); // the 400-long one is not listed, "xxx" is
    EXPECT_NE(listing.lines[0].text.find("y xxx"), std::string::npos);
    EXPECT_EQ(qv::ListMatches(row(dir, "b.bin", "B", content.size()), params("x+", 300, 1)).lines.size(), 1U);
}

TEST(ListMatches, OnlyTheRowsSizeIsReadAndWordPerfectBytesBecomeBlanks)
{
    qvtest::TempDir dir;
    const std::string content = std::string("\xFFWPC", 4) +
                                "a\x80"
                                "b" +
                                " tail KEY";
    dir.write("w.bin", content);
    const auto wp = qv::ListMatches(row(dir, "w.bin", "B", content.size()), params("a b"));
    ASSERT_EQ(wp.lines.size(), 1U);
    EXPECT_EQ(wp.lines[0].text.substr(0, 7), "\xFFWPCa b");
    // The file grew since the run: what lies beyond the row's size is not listed.
    EXPECT_TRUE(qv::ListMatches(row(dir, "w.bin", "B", 8), params("KEY")).lines.empty());
}

TEST(ListMatches, AVanishedFileListsNothing)
{
    qvtest::TempDir dir;
    EXPECT_TRUE(qv::ListMatches(row(dir, "gone.txt", "T", 10), params("x")).lines.empty());
    EXPECT_TRUE(qv::ListMatches(row(dir, "gone.bin", "B", 10), params("x")).lines.empty());
}

TEST(MatchesLabel, OrdinaryFilesAndArchiveMembers)
{
    EXPECT_EQ(qv::MatchesLabel(qv::FileRow{"a.txt", "/docs/", 1, qv::FileType::Text, 1, 0, ""}), "Matches in: /docs/a.txt");
    EXPECT_EQ(qv::MatchesLabel(qv::FileRow{"a.txt", "/docs/arch.zip", 1, qv::FileType::Text, 1, 0, "/tmp/q/ARCH.ZIP/a.txt"}),
              "Matches in: a.txt (in /docs/arch.zip)");
}

TEST(ControlChars, TheTwentyEightBelowBlank)
{
    int n = 0;
    for (int b = 0; b < 256; ++b)
        n += qv::ControlChars()[static_cast<std::size_t>(b)] ? 1 : 0;
    EXPECT_EQ(n, 28);
    EXPECT_FALSE(qv::ControlChars()['\t']);
    EXPECT_FALSE(qv::ControlChars()['\n']);
    EXPECT_FALSE(qv::ControlChars()['\f']);
    EXPECT_FALSE(qv::ControlChars()['\r']);
    EXPECT_TRUE(qv::ControlChars()[0]);
    EXPECT_TRUE(qv::ControlChars()[11]);
}

} // namespace
