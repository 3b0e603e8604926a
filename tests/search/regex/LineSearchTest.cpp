// The line search over real files: block boundaries, long lines, odd line ends, failures.
#include "search/GrepEngine.h"
#include "regex/LineSearch.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

qv::CompiledPattern compile(std::string_view pattern, bool caseSensitive = true)
{
    return std::get<qv::CompiledPattern>(qv::CompileRGrep(pattern, caseSensitive));
}

std::vector<std::string> listAll(qv::GrepEngine& engine, const std::string& path)
{
    std::vector<std::string> out;
    engine.SFileSetFlags(qv::ListFlags);
    EXPECT_TRUE(engine.SFileOpen(path));
    while (auto l = engine.SFileRGrep())
        out.emplace_back(*l);
    engine.SFileClose();
    return out;
}

std::uint64_t countAll(qv::GrepEngine& engine, const std::string& path)
{
    engine.SFileSetFlags(qv::CountFlags);
    if (!engine.SFileOpen(path))
        return 0;
    while (engine.SFileRGrep()) {
    }
    return engine.SFileClose();
}

TEST(LineSearch, ListsNumberColonLineCrLfForEveryLineEndStyle)
{
    qvtest::TempDir dir;
    const std::string path = dir.write("a.txt", "one x\r\ntwo\nthree x\rlone\nlast x");
    qv::GrepEngine engine;
    engine.SCompileRGrep(compile("x"));
    EXPECT_EQ(listAll(engine, path), (std::vector<std::string>{"1:one x\r\n", "3:three x\rlone\r\n", "4:last x\r\n"}));
    EXPECT_EQ(countAll(engine, path), 3U);
}

TEST(LineSearch, CountsLinesNotMatches)
{
    qvtest::TempDir dir;
    const std::string path = dir.write("a.txt", "aaa a\nb\na\n");
    qv::GrepEngine engine;
    engine.SCompileRGrep(compile("a"));
    EXPECT_EQ(countAll(engine, path), 2U);
}

TEST(LineSearch, EmptyFileAndUnopenableFileCountNothing)
{
    qvtest::TempDir dir;
    qv::GrepEngine engine;
    engine.SCompileRGrep(compile("x-"));
    EXPECT_EQ(countAll(engine, dir.write("empty", "")), 0U);
    engine.SFileSetFlags(qv::CountFlags);
    EXPECT_FALSE(engine.SFileOpen(dir.path() + "missing"));
    EXPECT_FALSE(engine.SFileRGrep().has_value());
    EXPECT_EQ(engine.SFileClose(), 0U);
    // Without a compiled pattern nothing opens.
    qv::GrepEngine fresh;
    EXPECT_FALSE(fresh.SCompileRGrep("[", false));
    EXPECT_TRUE(fresh.error().has_value());
    EXPECT_FALSE(fresh.SFileOpen(dir.path() + "empty"));
}

TEST(LineSearch, LinesAcrossManyBlocksKeepTheirNumbers)
{
    qvtest::TempDir dir;
    std::string text;
    for (int i = 1; i <= 200000; ++i)
        text += (i % 997 == 0 ? "needle line " : "plain line ") + std::to_string(i) + "\n";
    const std::string path = dir.write("big.txt", text);
    qv::GrepEngine engine;
    engine.SCompileRGrep(compile("needle"));
    const auto found = listAll(engine, path);
    ASSERT_EQ(found.size(), 200000U / 997);
    EXPECT_EQ(found.front(), "997:needle line 997\r\n");
    EXPECT_EQ(found.back(), "199400:needle line 199400\r\n");
    EXPECT_EQ(countAll(engine, path), found.size());
}

TEST(LineSearch, LongLinesAreMatchedInPiecesAndListedCut)
{
    qvtest::TempDir dir;
    // 20 MB line (beyond the largest buffer) with the match near its end, then a short line.
    std::string text(20u << 20, 'x');
    text.replace(text.size() - 10, 6, "needle");
    text += "\nshort needle\n";
    const std::string path = dir.write("long.txt", text);
    qv::GrepEngine engine;
    engine.SCompileRGrep(compile("needle&x"));
    const auto found = listAll(engine, path);
    ASSERT_EQ(found.size(), 1U); // the short line holds no x
    EXPECT_EQ(found[0].size(), 2 + qv::regex::LineSearch::kMaxListedLine + 2);
    EXPECT_EQ(found[0].substr(0, 5), "1:xxx");
    engine.SCompileRGrep(compile("needle"));
    EXPECT_EQ(listAll(engine, path).back(), "2:short needle\r\n");
    EXPECT_EQ(countAll(engine, path), 2U);
    // A line-end pattern is decided at the line's real end, far behind the listed part.
    engine.SCompileRGrep(compile("x\\r\\n"));
    EXPECT_EQ(countAll(engine, path), 1U);
    engine.SCompileRGrep(compile("needle\\r\\n"));
    EXPECT_EQ(listAll(engine, path), (std::vector<std::string>{"2:short needle\r\n"}));
}

TEST(LineSearch, ASingleLineOfOneHundredMegabytesWithoutLineFeed)
{
    qvtest::TempDir dir;
    std::string text(100u << 20, 'a');
    text.back() = 'b';
    const std::string path = dir.write("one.txt", text);
    qv::GrepEngine engine;
    engine.SCompileRGrep(compile("ab$"));
    EXPECT_EQ(countAll(engine, path), 1U);
    engine.SCompileRGrep(compile("^b"));
    EXPECT_EQ(countAll(engine, path), 0U);
}

TEST(LineSearch, AFileUnreadableMidwayIsAReadError)
{
    qvtest::TempDir dir;
    // A directory opens but cannot be read: the search reports the failure instead of a count.
    const int fd = ::open(dir.path().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    qv::GrepEngine engine;
    engine.SCompileRGrep(compile("x"));
    engine.SFileSetFlags(qv::CountFlags);
    engine.SFileAdopt(fd, "x\n", false);
    while (engine.SFileRGrep()) {
    }
    EXPECT_TRUE(engine.readError());
    engine.SFileClose();
}

TEST(LineSearch, SharedPatternIsCompiledOnceAndReused)
{
    qvtest::TempDir dir;
    const auto pattern = compile("b");
    qv::GrepEngine engine;
    for (int i = 0; i < 3; ++i) {
        engine.SCompileRGrep(pattern);
        EXPECT_EQ(countAll(engine, dir.write("f" + std::to_string(i), std::string(static_cast<std::size_t>(i), 'b'))),
                  i > 0 ? 1U : 0U);
    }
}

} // namespace
