// Patterns built to hurt a backtracking matcher, over long texts: each must give its exact count
// and finish well inside a generous bound (a hang or runaway work fails the test; nothing is timed).
#include "search/SearchRequest.h"
#include "hostile/RunFixture.h"
#include "regex/BufferSearch.h"
#include "regex/LineSearch.h"
#include "regex/Regex.h"

#include <cctype>
#include <random>

namespace {

using qv::regex::Regex;

std::uint64_t countLines(const qv::regex::RegexPtr& regex, std::string_view text)
{
    qv::regex::LineSearch search(regex);
    search.adopt({}, text, true);
    while (search.next()) { }
    return search.close();
}

std::uint64_t countBufferMatches(const qv::regex::RegexPtr& regex, std::string_view text)
{
    qv::regex::MemorySource source(text);
    qv::regex::BufferSearch search(regex, source);
    std::uint64_t n = 0;
    for (std::uint64_t from = 0; from <= text.size();) {
        const auto m = search.RGrep(from);
        if (!m)
            break;
        ++n;
        from = m->end + (m->begin == m->end ? 1 : 0);
    }
    return n;
}

struct Case {
    std::string name;
    std::string pattern;
    std::string text;
    std::uint64_t lines; // matching lines
    std::uint64_t matches; // buffer matches
};

std::vector<Case> cases()
{
    std::vector<Case> c;
    // Sizes keep the sanitizer build of the suite quick; the work is linear, so they say as much
    // as larger ones would.
    const std::string longA(1u << 17, 'a');
    c.push_back({"nested stars", "a*a*a*a*a*a*b", longA + "\n", 0, 0});
    // The line, then an empty match before its LF and one at the end of the text.
    c.push_back({"stars that do match", "a*a*a*a*a*a*", longA + "\n", 1, 3});
    std::string optional;
    for (int i = 0; i < 30; ++i)
        optional += "a-";
    // Each match takes the longest run it can, sixty a's, and a last one the 32 left over.
    c.push_back({"thirty optionals then thirty", optional + std::string(30, 'a'), longA + "\n", 1, (1u << 17) / 60 + 1});
    std::string words;
    for (int i = 0; i < 2000; ++i)
        words += (i ? "|w" : "w") + std::to_string(i) + "x";
    std::string hay;
    for (int i = 0; i < 2000; ++i)
        hay += "w" + std::to_string(i % 1900) + "y w1999x?\n";
    c.push_back({"two thousand alternatives", words, hay, 2000, 2000});
    c.push_back(
        {"a 100,000-byte literal", std::string(100000, 'a'), std::string(200000, 'a') + "\n" + std::string(99999, 'a') + "\n", 1, 2});
    // Every position of a pattern of classes is alive at once: the work is text times pattern.
    std::string classes;
    for (int i = 0; i < 500; ++i)
        classes += "[ab]";
    c.push_back({"a 2,000-byte pattern of classes", classes, std::string(5000, 'a') + std::string(5000, 'b') + "\n", 1, 20});
    std::string chain;
    for (char ch = 'a'; ch <= 'z'; ++ch)
        chain += ch == 'a' ? std::string(1, ch) : std::string("&") + ch;
    std::string alphabet;
    for (int i = 0; i < 20000; ++i)
        alphabet += i % 2 == 0 ? "zyxwvutsrqponmlkjihgfedcba\n" : "abcdefghijklmnopqrstuvwxy\n";
    c.push_back({"an & chain of 26", chain, alphabet, 10000, 10000});
    // A pattern whose DFA would need a state per combination of the last 20 bytes.
    std::string blowup = "[ab]*a";
    for (int i = 0; i < 20; ++i)
        blowup += "[ab]";
    std::mt19937 rng(5);
    std::string ab;
    for (int i = 0; i < (1 << 17); ++i)
        ab += (rng() & 1) != 0 ? 'a' : 'b';
    ab.replace(ab.size() - 21, 21, "a" + std::string(20, 'b'));
    c.push_back({"a DFA that cannot be cached", blowup, ab + "\n", 1, 1});
    return c;
}

// One test per pattern, so that they run side by side.
class CatastrophicLookingPattern : public ::testing::TestWithParam<Case> { };

TEST_P(CatastrophicLookingPattern, GivesExactCountsInLinearWork)
{
    const Case& k = GetParam();
    const int status = qvtest::withinSeconds(300, [&] {
        for (bool caseSensitive : {false, true}) {
            auto compiled = Regex::compile(k.pattern, caseSensitive);
            if (!std::holds_alternative<qv::regex::RegexPtr>(compiled))
                return 10;
            const auto regex = std::get<qv::regex::RegexPtr>(compiled);
            if (countLines(regex, k.text) != k.lines)
                return 11;
            if (countBufferMatches(regex, k.text) != k.matches)
                return 12;
        }
        return 0;
    });
    EXPECT_EQ(status, 0) << "10: refused, 11: wrong line count, 12: wrong match count, negative: killed by signal";
}

INSTANTIATE_TEST_SUITE_P(HostilePattern, CatastrophicLookingPattern, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             std::string name;
                             for (char c : param.param.name)
                                 if (std::isalnum(static_cast<unsigned char>(c)))
                                     name += c;
                             return name;
                         });

TEST(HostilePattern, HugeBrokenPatternsAreRefusedWithTheirMessage)
{
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {std::string(100000, '['), "Missing \"]\" to close the \"[\" at position 1"},
        {std::string(50000, 'a') + "||b", "Nothing to match before \"|\" at position 50002"},
        {std::string(99999, 'a') + "&", "Nothing to match after \"&\" at position 100000"},
    };
    for (const auto& c : cases) {
        qv::SearchRequest r;
        r.StartDirectory = "/";
        r.SearchText = c.text;
        r.FileSpecs = "*.*";
        const qv::RequestVerdict v = qv::PrepareRequest(r);
        EXPECT_FALSE(v.accepted);
        EXPECT_EQ(v.caption, "Regular Expression Error");
        EXPECT_EQ(v.message, c.message);
    }
}

} // namespace
