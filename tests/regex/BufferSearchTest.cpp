// The buffer search over whole texts and files read through windows.
#include "regex/BufferSearch.h"
#include "regex/FileSource.h"
#include "search/SearchFile.h"
#include "support/Engine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

qv::regex::RegexPtr compile(std::string_view p, bool caseSensitive = true)
{
    return qvtest::Compile(p, caseSensitive);
}

std::vector<qv::regex::Match> all(const qv::regex::RegexPtr& r, qv::regex::TextSource& source,
                                  const qv::regex::ByteMap& map = qv::regex::identityByteMap())
{
    qv::regex::BufferSearch s(r, source, map);
    std::vector<qv::regex::Match> out;
    std::uint64_t from = 0;
    while (auto m = s.RGrep(from)) {
        out.push_back(*m);
        from = m->end + (m->begin == m->end ? 1 : 0);
    }
    return out;
}

TEST(BufferSearch, StreamsAFileAndFindsMatchesAcrossWindowEdges)
{
    qvtest::TempDir dir;
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "abc PATH_MAX_" + std::to_string(i) + " ";
    const std::string path = dir.write("f", text);
    const auto literal = compile("PATH_MAX");
    const auto regexp = compile("[A-Z]+_MAX_[0-9]+");
    for (std::size_t block : {std::size_t{5}, std::size_t{4096}, qv::regex::FileSource::kBlock}) {
        for (const auto& r : {literal, regexp}) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            qv::regex::FileSource file(fd, {}, false, {}, block);
            qv::regex::MemorySource memory(text);
            const auto streamed = all(r, file);
            EXPECT_EQ(streamed.size(), 5000U) << block;
            EXPECT_EQ(streamed, all(r, memory)) << block;
            ::close(fd);
        }
    }
}

TEST(BufferSearch, ByteMapsChangeWhatMatchesButNotPositions)
{
    const std::string text("a\0b\x80"
                           "c",
                           5);
    qv::regex::ByteMap map = qv::regex::identityByteMap();
    map[0] = 1;
    map[0x80] = ' ';
    qv::regex::MemorySource memory(text);
    EXPECT_EQ(all(compile("a\\\x01"
                          "b c"),
                  memory, map),
              (std::vector<qv::regex::Match>{{0, 5}}));
    // The literal search must not skip what the map turns into its bytes.
    qv::regex::MemorySource again(text);
    EXPECT_EQ(all(compile(" c"), again, map), (std::vector<qv::regex::Match>{{3, 5}}));
}

TEST(BufferSearch, ContinuingFromElsewhereStartsAFreshSearch)
{
    const auto r = compile("ab|b");
    qv::regex::MemorySource memory("abab");
    qv::regex::BufferSearch s(r, memory);
    EXPECT_EQ(s.RGrep(0), (qv::regex::Match{0, 2}));
    EXPECT_EQ(s.RGrep(1), (qv::regex::Match{1, 2})); // not a continuation: leftmost from 1
    EXPECT_EQ(s.RGrep(2), (qv::regex::Match{2, 4}));
    EXPECT_EQ(s.RGrep(4), std::nullopt);
}

TEST(BufferSearch, PathologicalPatternsRunInLinearTime)
{
    // Each is matched over a long text without LF; a backtracking engine would not finish.
    const std::string text(1u << 20, 'a');
    for (const char* p : {"a*a*a*a*a*a*b", "a|a.*c", "(a*)*b", "a.*a.*a.*a.*b", "[^b]*b"}) {
        qv::regex::MemorySource memory(text);
        const auto found = all(compile(p), memory);
        if (std::string(p) == "a|a.*c")
            EXPECT_EQ(found.size(), text.size()) << p;
        else
            EXPECT_TRUE(found.empty()) << p;
    }
}

TEST(BufferSearch, BinaryCountRules)
{
    qvtest::TempDir dir;
    qv::regex::Automata pattern(compile("x+"));
    qv::Block storage;
    // The first match counts whatever its length; later ones only up to the limit.
    const std::string long1 = std::string(10, 'x');
    const std::string path = dir.write("b.bin", std::string("\x01", 1) + long1 + " x " + long1 + " xx");
    qv::Block scratch;
    auto file = qv::SearchFile::Open(path, scratch);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->ClassifyFile(), qv::FileType::Binary);
    EXPECT_EQ(file->CountBinary(pattern, 5, storage).count, 3U);
    // NUL counts as byte 1 and WordPerfect's 128 and 207 as blanks.
    qv::regex::Automata nul(compile("a\\\x01"
                                    "b"));
    auto f2 = qv::SearchFile::Open(dir.write("n.bin", std::string("a\0b a\x01"
                                                                  "b",
                                                                  7)),
                                   scratch);
    EXPECT_EQ(f2->CountBinary(nul, 300, storage).count, 2U);
    qv::regex::Automata blank(compile("a b"));
    auto wp = qv::SearchFile::Open(dir.write("w.bin", std::string("\xFFWPC a\x80"
                                                                  "b a\xCF"
                                                                  "b",
                                                                  12)),
                                   scratch);
    EXPECT_EQ(wp->CountBinary(blank, 300, storage).count, 2U);
    auto notWp = qv::SearchFile::Open(dir.write("x.bin", std::string("\xFFWPX\x01 a\x80"
                                                                     "b",
                                                                     9)),
                                      scratch);
    EXPECT_EQ(notWp->CountBinary(blank, 300, storage).count, 0U);
}

} // namespace
