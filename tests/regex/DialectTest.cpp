// The pattern dialect, feature by feature.
#include "regex/BufferSearch.h"
#include "regex/LineSearch.h"
#include "support/Engine.h"

#include <gtest/gtest.h>

namespace {

using Extent = std::optional<std::pair<std::size_t, std::size_t>>;

Extent first(std::string_view pattern, std::string_view text, bool caseSensitive = true)
{
    qv::regex::MemorySource source(text);
    qv::regex::BufferSearch g(qvtest::Compile(pattern, caseSensitive), source);
    auto m = g.RGrep(0);
    if (!m)
        return std::nullopt;
    return std::make_pair(static_cast<std::size_t>(m->begin), static_cast<std::size_t>(m->end));
}

// Line numbers of the matching lines of a text.
std::vector<int> lines(std::string_view pattern, std::string_view text, bool caseSensitive = true)
{
    qv::regex::LineSearch s(qvtest::Compile(pattern, caseSensitive));
    s.setListing(true);
    s.adopt({}, text, true);
    std::vector<int> out;
    while (s.next())
        out.push_back(static_cast<int>(s.lineNumber()));
    return out;
}

std::string compileError(std::string_view pattern)
{
    return qvtest::CompileError(pattern);
}

Extent at(std::size_t b, std::size_t e)
{
    return std::make_pair(b, e);
}

struct Case {
    const char* pattern;
    const char* text;
    Extent expected;
};

void check(const std::vector<Case>& cases, bool caseSensitive = true)
{
    for (const Case& c : cases)
        EXPECT_EQ(first(c.pattern, c.text, caseSensitive), c.expected) << "pattern [" << c.pattern << "] text [" << c.text << "]";
}

TEST(Dialect, LiteralsAndEscapes)
{
    check({
        {"abc", "xxabcxx", at(2, 5)},
        {"a.c", "abc", at(0, 3)},
        {"a\\.c", "abc a.c", at(4, 7)},
        {"(a)", "x(a)", at(1, 4)}, // parentheses are plain bytes
        {"a?{2}<>", "a?{2}<>", at(0, 7)}, // so are ? { } < >
        {"\\t", "a\tt", at(2, 3)}, // backslash before another byte: that byte
        {"\\\\", "a\\b", at(1, 2)},
        {"\\|", "a|b", at(1, 2)},
        {"\\&", "a&b", at(1, 2)},
        {"\\$x", "$x", at(0, 2)},
        {"\\r\\n", "ab\r\ncd", at(2, 4)},
        {"\\-v", "ls -v", at(3, 5)},
    });
}

TEST(Dialect, Classes)
{
    check({
        {"[abc]", "xxb", at(2, 3)},
        {"[a-c]+", "zzabcabz", at(2, 7)},
        {"[^a-c]", "abcd", at(3, 4)},
        {"[]a]", "x]", at(1, 2)}, // ] first is literal
        {"[^]a]", "]ab", at(2, 3)},
        {"[-a]", "x-", at(1, 2)}, // - first or last is literal
        {"[a-]", "x-", at(1, 2)},
        {"[a\\-z]", "b-", at(1, 2)}, // escaped -
        {"[\\]]", "a]", at(1, 2)},
        {"[\\n]", "a\nb", at(1, 2)},
        {"[^a]", "a\r\nb", at(3, 4)}, // a negated class never matches CR or LF
        {"[.]", "a.b", at(1, 2)},
    });
    EXPECT_EQ(first("[^x]", "\n\r"), std::nullopt);
}

TEST(Dialect, QuantifiersAndTheNothingToRepeatRule)
{
    check({
        {"ab*c", "ac abc abbc", at(0, 2)},
        {"ab+c", "ac abbc", at(3, 7)},
        {"ab-c", "abc ac", at(0, 3)},
        {"*a", "x*a", at(1, 3)}, // nothing to repeat at the start: a plain *
        {"-v", "ls -v", at(3, 5)},
        {"+1", "x+1", at(1, 3)},
        {"^*", "*a", at(0, 1)}, // nothing to repeat after ^
        {"a**", "aa*", at(0, 3)}, // after a quantifier: plain
        {"a*+", "x+", at(1, 2)}, // + after a quantifier is plain
        {"\\<*", "*ab", std::nullopt}, // an assertion cannot be repeated: * is plain
        {"a|*b", "*b", at(0, 2)}, // start of a branch
    });
}

TEST(Dialect, Anchors)
{
    check({
        {"^ab", "ab ab", at(0, 2)},
        {"^ab", "x ab\nab", at(5, 7)},
        {"a^b", "a^b", at(0, 3)}, // ^ elsewhere is plain
        {"ab$", "ab\r\nab", at(0, 2)},
        {"ab$", "abab", at(2, 4)},
        {"a$b", "a$b", at(0, 3)}, // $ elsewhere is plain
        {"x$|y", "x\n", at(0, 1)},
        {"^$", "a\n\nb", at(2, 2)},
    });
    EXPECT_EQ(lines("^$", "a\n\nb\r\n\r\nc"), (std::vector<int>{2, 4}));
    EXPECT_EQ(lines("^a|b$", "ab\nba\nxa\nxb"), (std::vector<int>{1, 4}));
}

TEST(Dialect, WordBoundaries)
{
    check({
        {"\\<cat\\>", "concat cat", at(7, 10)},
        {"\\<cat", "concat catalog", at(7, 10)},
        {"cat\\>", "catalog concat", at(11, 14)},
        {"\\<x_1\\>", "ax_1 x_1b x_1", at(10, 13)},
        {"\\<na\xC3\xAFve\\>", "na\xC3\xAFve!", at(0, 6)}, // bytes >= 0x80 are word bytes
        {"\\<e",
         "caf\xC3\xA9"
         "e",
         std::nullopt},
    });
}

TEST(Dialect, AlternationAndConjunction)
{
    check({{"cat|dog", "hotdog cat", at(3, 6)}, {"a|ab|abc", "xabcd", at(1, 4)}});
    // & binds loosest: a|b&c is (a or b) and c.
    EXPECT_EQ(lines("a|b&c", "ac\nbc\nab\nc\nxcb"), (std::vector<int>{1, 2, 5}));
    EXPECT_EQ(lines("foo&bar&baz", "bar foo baz\nfoo bar\nbazbarfoo"), (std::vector<int>{1, 3}));
    // In a buffer the match of a conjunction spans its conjuncts' matches within one line.
    EXPECT_EQ(first("b&a", "xb\nzazb"), at(4, 7));
}

TEST(Dialect, CaseFolding)
{
    check({{"abc", "xABc", at(1, 4)}, {"[a-c]+", "ABCd", at(0, 3)}, {"[^a]", "Ab", at(1, 2)}}, false);
    check({{"abc", "xABc", std::nullopt}}, true);
}

TEST(Dialect, CaseFoldingOfUtf8Letters)
{
    // Each word against a line of each case: both match without case, only its own with case.
    const char* pairs[][2] = {
        {"caf\xC3\xA9", "CAF\xC3\x89"}, // café CAFÉ
        {"\xC3\xA9\x63ole", "\xC3\x89\x43OLE"}, // école ÉCOLE
        {"\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1", "\xCE\xA9\xCE\x9C\xCE\x88\xCE\x93\xCE\x91"}, // Ωμέγα ΩΜΈΓΑ
        {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2"}}; // привет ПРИВЕТ
    for (const auto& [lower, upper] : pairs) {
        const std::string text = std::string("x ") + lower + "\n" + upper + " y\n";
        EXPECT_EQ(lines(lower, text, false), (std::vector<int>{1, 2})) << lower;
        EXPECT_EQ(lines(upper, text, false), (std::vector<int>{1, 2})) << upper;
        EXPECT_EQ(lines(lower, text, true), (std::vector<int>{1})) << lower;
        EXPECT_EQ(lines(std::string("\\<") + lower + "\\>", text, false), (std::vector<int>{1, 2})) << lower;
        EXPECT_EQ(first(lower, upper, false), at(0, std::string(upper).size()));
    }
    check(
        {
            {"\xE2\x84\xAA", "xk", at(1, 2)}, // the Kelvin sign folds to k ...
            {"\xC5\xBF", "xS", at(1, 2)}, // and the long s to s,
            {"k", "\xE2\x84\xAA", std::nullopt}, // but ASCII letters keep to ASCII
            {"s", "\xC5\xBF", std::nullopt},
            {"\xCF\x83", "\xCE\xA3\xCF\x82", at(0, 2)}, // σ finds Σ and final ς
            {"\xCF\x83+", "\xCE\xA3\xCF\x82", at(0, 4)},
            {"\xC3\xA9+", "\xC3\x89\xC3\xA9!", at(0, 4)}, // a quantifier repeats the whole letter
            {"\\\xC3\xA9", "\xC3\x89", at(0, 2)}, // an escaped letter folds too
            {"\xE9", "\xC9\xC3\x89\xE9", at(3, 4)}, // bytes that are not UTF-8 match themselves
            {"\xC3", "\xE9\xC3\x89", at(1, 2)},
            {"[\xC3\xA9]", "\xC3\x89", at(0, 1)}, // a class holds bytes
            {"caf.", "CAF\xC3\x89", at(0, 4)}, // and so does the dot
        },
        false);
    check({{"\xC3\xA9+", "\xC3\xA9\xA9\xC3\xA9", at(0, 3)}, {"\xE2\x84\xAA", "k", std::nullopt}}, true);

    // A search that goes on after a match finds no match that starts inside it ("ſ" is spelled
    // s, S or ſ; the search for it goes by the "x" between).
    qv::regex::MemorySource source("sxSx\xC5\xBF");
    qv::regex::BufferSearch g(qvtest::Compile("\xC5\xBFx\xC5\xBF", false), source);
    EXPECT_EQ(g.RGrep(0), (qv::regex::Match{0, 3}));
    EXPECT_EQ(g.RGrep(3), std::nullopt);
}

TEST(Dialect, LineEndsAreCrLfWhateverTheFile)
{
    // Every line, the last one too, is matched as its content and CR LF.
    EXPECT_EQ(lines("x\\r\\n", "ax\nbx\r\ncx"), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(lines("x\\r\\r\\n", "ax\r\n"), (std::vector<int>{}));
    EXPECT_EQ(lines("x\\r\\r\\n", "ax\r\r\n"), (std::vector<int>{1})); // the first CR is text
    EXPECT_EQ(lines("x\\r\\r\\n", "ax\r"), (std::vector<int>{1})); // no LF: the CR is text
    EXPECT_EQ(lines("a\\rb", "a\rb\n"), (std::vector<int>{1})); // a lone CR stays in the line
    EXPECT_EQ(lines("\\n.", "a\nb\n"), (std::vector<int>{})); // no match crosses lines
}

TEST(Dialect, EmptyMatchesMoveOn)
{
    qv::regex::MemorySource source("xxa");
    qv::regex::BufferSearch g(qvtest::Compile("x*"), source);
    EXPECT_EQ(g.RGrep(0), (qv::regex::Match{0, 2}));
    EXPECT_EQ(g.RGrep(2), (qv::regex::Match{2, 2}));
    EXPECT_EQ(g.RGrep(3), (qv::regex::Match{3, 3}));
    EXPECT_EQ(g.RGrep(4), std::nullopt);
}

TEST(Dialect, LeftmostLongest)
{
    check({{"a|ab|abc", "abcd", at(0, 3)}, {"b*|a", "ab", at(0, 1)}, {"abcd|c", "abcd", at(0, 4)}, {"a+", "baaab", at(1, 4)}});
}

TEST(Dialect, ZeroBytesAndMissingFinalLineFeed)
{
    const std::string text("a\0b\nzz\0", 7);
    EXPECT_EQ(lines("a.b", text), (std::vector<int>{1}));
    EXPECT_EQ(lines("zz", text), (std::vector<int>{2}));
    EXPECT_EQ(first(std::string_view("\0", 1), text), at(1, 2));
}

TEST(Dialect, CompileErrorsNameTheProblemAndPosition)
{
    EXPECT_EQ(compileError("ab[cd"), "Missing \"]\" to close the \"[\" at position 3");
    EXPECT_EQ(compileError("a||b"), "Nothing to match before \"|\" at position 3");
    EXPECT_EQ(compileError("|a"), "Nothing to match before \"|\" at position 1");
    EXPECT_EQ(compileError("a&"), "Nothing to match after \"&\" at position 2");
    EXPECT_EQ(compileError("ab\\"), "The pattern ends with a lone \"\\\" at position 3");
    EXPECT_EQ(compileError("x[z-a]"), "The range \"z-a\" runs backwards at position 3");
    EXPECT_EQ(compileError(""), "The pattern is empty");
    EXPECT_EQ(compileError("[]"), "Missing \"]\" to close the \"[\" at position 1");
    EXPECT_EQ(compileError("[^]"), "Missing \"]\" to close the \"[\" at position 1");
}

TEST(Dialect, AnyByteStringCompilesOrFailsCleanly)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    for (std::size_t len = 1; len < 4; ++len)
        for (std::size_t i = 0; i + len <= all.size(); i += 7)
            (void)qv::regex::Regex::compile(all.substr(i, len), false);
    // A pattern of every byte compiles (\\ escapes nothing at the end here) or names its problem.
    auto c = qv::regex::Regex::compile(all, true);
    if (auto* e = std::get_if<qv::regex::CompileError>(&c)) {
        EXPECT_NE(e->message.find("position"), std::string::npos);
    }
}

} // namespace
