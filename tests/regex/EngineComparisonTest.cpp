// Every engine path against the reference matcher, on random patterns and texts.
#include "support/ReferenceMatcher.h"
#include "support/EnginePaths.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using qv::regex::Regex;

std::string randomPattern(std::mt19937& rng)
{
    static const char* tokens[] = {"a",   "b",   "c", "a", "b", "ab", ".", "[ab]", "[^a]", "[a-c]", "[^\\n]", "[\\n]",
                                   "\\<", "\\>", "^", "$", "*", "+",  "-", "|",    "&",    "\\r",   "\\n",    " ",
                                   "_",   "\\.", "A", "B", "*", "+",  "|", "[]a]", "[a-]", "\\",    "[",      "x"};
    std::uniform_int_distribution<int> len(1, 7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(tokens) - 1);
    std::string p;
    for (int n = len(rng); n > 0; --n)
        p += tokens[pick(rng)];
    return p;
}

using Pieces = std::vector<std::string>;

std::string randomText(std::mt19937& rng, const Pieces& alphabet, int maxPieces = 40)
{
    std::uniform_int_distribution<int> len(0, maxPieces);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string t;
    for (int n = len(rng); n > 0; --n)
        t += alphabet[pick(rng)];
    return t;
}

const Pieces kAsciiText{"a", "a", "b", "b", "c", "A", "B", " ", "_", "\n", "\r", ".", "x"};

// Letters of several lengths and scripts, their other cases, characters that fold to ASCII
// (the Kelvin sign, the long s), Greek sigma's three forms, and bytes that are not UTF-8.
const Pieces kUtf8Text{"\xC3\xA9", "\xC3\x89", "e",        "k",        "K",        "\xE2\x84\xAA", "s",        "S",
                       "\xC5\xBF", "\xCF\x83", "\xCE\xA3", "\xCF\x82", "\xD0\xBF", "\xD0\x9F",     "\xD1\x80", "\xD0\xA0",
                       "\xC3",     "\xA9",     "\x89",     "\xE2\x84", " ",        "\n",           "\r",       "x"};

void compareOnce(std::mt19937& rng, const std::string& pattern, bool caseSensitive, const Pieces& alphabet = kAsciiText, int maxPieces = 40)
{
    const auto expected = ref::parse(pattern, caseSensitive);
    std::vector<std::string> texts;
    for (int t = 0; t < 4; ++t)
        texts.push_back(randomText(rng, alphabet, maxPieces));
    for (const qvtest::Variant& v : qvtest::EngineVariants()) {
        auto compiled = Regex::compile(pattern, caseSensitive, v.options);
        const bool ok = std::holds_alternative<qv::regex::RegexPtr>(compiled);
        ASSERT_EQ(ok, expected.has_value()) << "pattern [" << pattern << "]";
        if (!ok)
            return;
        auto regex = std::get<qv::regex::RegexPtr>(compiled);
        for (const std::string& text : texts) {
            SCOPED_TRACE("engine " + std::string(v.name) + " pattern [" + pattern + "] case " + std::to_string(caseSensitive) + " text [" +
                         qvtest::Escaped(text) + "]");
            const auto lines = ref::matchingLines(*expected, text);
            const qvtest::PathResults got = qvtest::RunAllPaths(regex, text);
            EXPECT_EQ(got.fault, "");
            EXPECT_EQ(got.listed, lines);
            EXPECT_EQ(got.counted, lines.size());
            EXPECT_EQ(got.streamed, lines);
            const auto want = ref::allMatches(*expected, text);
            EXPECT_EQ(got.inMemory, want);
            EXPECT_EQ(got.fromFile, want);
        }
    }
}

// The sanitizer build checks a third of the random cases for memory faults; the release build
// without vector code, which scripts/test runs too, checks them all.
#if defined(QV_SANITIZED_BUILD)
constexpr int kShare = 3;
#else
constexpr int kShare = 1;
#endif

TEST(EngineComparison, RandomPatternsAgreeWithTheReferenceOnEveryPath)
{
    std::mt19937 rng(20261209);
    for (int i = 0; i < 1500 / kShare; ++i) {
        const std::string pattern = randomPattern(rng);
        compareOnce(rng, pattern, (rng() & 1U) != 0);
        if (HasFatalFailure() || HasFailure())
            return;
    }
}

TEST(EngineComparison, LiteralHeavyPatternsAgreeWithTheReference)
{
    // Patterns made of words exercise the prefilters and the exact-literal paths.
    std::mt19937 rng(7);
    static const char* words[] = {"ab", "ba", "abc", "cab", "a", "bb", "A_b", "x"};
    static const char* glue[] = {"|", "&", "", "", "\\>", "+", "*", "[ab]", "."};
    for (int i = 0; i < 800 / kShare; ++i) {
        std::string p = words[rng() % std::size(words)];
        for (int n = static_cast<int>(rng() % 3); n > 0; --n) {
            p += glue[rng() % std::size(glue)];
            p += words[rng() % std::size(words)];
        }
        compareOnce(rng, p, (rng() & 1U) != 0);
        if (HasFailure())
            return;
    }
}

TEST(EngineComparison, Utf8FoldedPatternsAgreeWithTheReference)
{
    // Letters folded into byte sequences, under quantifiers, next to classes, dots and word
    // boundaries, against text that mixes them with broken sequences.
    std::mt19937 rng(17);
    static const char* tokens[] = {"\xC3\xA9", "\xC3\x89", "k",          "\xE2\x84\xAA",
                                   "s",        "\xC5\xBF", "\xCF\x83",   "\xCF\x82",
                                   "\xD0\x9F", "\xD1\x80", "\xC3",       "\xA9",
                                   "e",        "x",        ".",          "[\xC3\xA9]",
                                   "[^s]",     "*",        "+",          "-",
                                   "|",        "&",        "\\<",        "\\>",
                                   "^",        "$",        "\\\xC3\xA9", " "};
    for (int i = 0; i < 1200 / kShare; ++i) {
        std::string p;
        for (int n = 1 + static_cast<int>(rng() % 5); n > 0; --n)
            p += tokens[rng() % std::size(tokens)];
        compareOnce(rng, p, rng() % 5 == 0, kUtf8Text, 14);
        if (HasFailure())
            return;
    }
}

} // namespace
