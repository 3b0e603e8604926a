// Every engine path against the reference matcher, on random patterns and texts.
#include "GrepEngine.h"
#include "regex/FileSource.h"
#include "regex/LineSearch.h"
#include "search/regex/ReferenceMatcher.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using qv::regex::Regex;
using qv::regex::RegexOptions;
using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;

std::string randomPattern(std::mt19937& rng)
{
    static const char* tokens[] = {"a", "b", "c", "a", "b", "ab", ".", "[ab]", "[^a]", "[a-c]", "[^\\n]", "[\\n]",
                                   "\\<", "\\>", "^", "$", "*", "+", "-", "|", "&", "\\r", "\\n", " ", "_",
                                   "\\.", "A", "B", "*", "+", "|", "[]a]", "[a-]", "\\", "[", "x"};
    std::uniform_int_distribution<int> len(1, 7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(tokens) - 1);
    std::string p;
    for (int n = len(rng); n > 0; --n)
        p += tokens[pick(rng)];
    return p;
}

std::string randomText(std::mt19937& rng)
{
    static const char alphabet[] = "aabbcAB _\n\r.x";
    std::uniform_int_distribution<int> len(0, 40);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(alphabet) - 2);
    std::string t;
    for (int n = len(rng); n > 0; --n)
        t += alphabet[pick(rng)];
    return t;
}

// The line numbers a listing reports, each checked to carry the line's text (a prefix of it when
// the listing cuts long lines).
std::vector<std::uint64_t> listedLines(qv::regex::LineSearch& search, std::string_view text, bool exactText)
{
    std::vector<std::string_view> contents;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t lf = text.find('\n', pos);
        std::string_view c = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
        if (lf != std::string_view::npos && !c.empty() && c.back() == '\r')
            c.remove_suffix(1);
        contents.push_back(c);
        if (lf == std::string_view::npos)
            break;
        pos = lf + 1;
    }
    std::vector<std::uint64_t> numbers;
    while (search.next()) {
        std::string_view l = search.line();
        EXPECT_GE(l.size(), 2U);
        EXPECT_EQ(l.substr(l.size() - 2), "\r\n");
        l.remove_suffix(2);
        const auto colon = l.find(':');
        const std::uint64_t n = std::stoull(std::string(l.substr(0, colon)));
        numbers.push_back(n);
        const std::string_view got = l.substr(colon + 1);
        if (n >= 1 && n <= contents.size()) {
            if (exactText)
                EXPECT_EQ(got, contents[n - 1]);
            else
                EXPECT_EQ(got, contents[n - 1].substr(0, got.size()));
        }
    }
    search.close();
    return numbers;
}

std::uint64_t countLines(qv::regex::LineSearch& search)
{
    while (search.next()) {
    }
    return search.close();
}

int memoryFile(std::string_view text)
{
    const int fd = memfd_create("qvtest", MFD_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

Pairs bufferMatches(const std::shared_ptr<Regex>& regex, qv::regex::TextSource& source, std::size_t textSize)
{
    qv::regex::BufferSearch search(regex, source);
    Pairs out;
    std::uint64_t from = 0;
    while (from <= textSize) {
        auto m = search.RGrep(from);
        if (!m)
            break;
        out.emplace_back(m->begin, m->end);
        from = m->end + (m->begin == m->end ? 1 : 0);
        if (out.size() > 200)
            break;
    }
    return out;
}

std::string escaped(std::string_view s)
{
    std::string out;
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

struct Variant {
    const char* name;
    RegexOptions options;
};

const Variant kVariants[] = {
    {"dfa+prefilter", RegexOptions{}},
    {"dfa", RegexOptions{qv::regex::Dfa::kDefaultBudget, false}},
    {"nfa+prefilter", RegexOptions{16, true}},
    {"nfa", RegexOptions{16, false}},
    {"small-dfa-cache", RegexOptions{4096, true}},
};

void compareOnce(std::mt19937& rng, const std::string& pattern, bool caseSensitive)
{
    const auto expected = ref::parse(pattern, caseSensitive);
    std::vector<std::string> texts;
    for (int t = 0; t < 4; ++t)
        texts.push_back(randomText(rng));
    for (const Variant& v : kVariants) {
        auto compiled = Regex::compile(pattern, caseSensitive, v.options);
        const bool ok = std::holds_alternative<std::shared_ptr<Regex>>(compiled);
        ASSERT_EQ(ok, expected.has_value()) << "pattern [" << pattern << "]";
        if (!ok)
            return;
        auto regex = std::get<std::shared_ptr<Regex>>(compiled);
        for (const std::string& text : texts) {
            SCOPED_TRACE("engine " + std::string(v.name) + " pattern [" + pattern + "] case " +
                         std::to_string(caseSensitive) + " text [" + escaped(text) + "]");
            const auto lines = ref::matchingLines(*expected, text);

            qv::regex::LineSearch list(regex);
            list.setListing(true);
            list.adopt(-1, text, true);
            EXPECT_EQ(listedLines(list, text, true), lines);

            qv::regex::LineSearch count(regex);
            count.adopt(-1, text, true);
            EXPECT_EQ(countLines(count), lines.size());

            // Tiny buffers: lines straddle reads and long ones are matched in pieces.
            qv::regex::LineSearch streamed(regex, qv::regex::LineSearchLimits{4, 4, 16});
            streamed.setListing(true);
            streamed.adopt(memoryFile(text), {}, false);
            EXPECT_EQ(listedLines(streamed, text, false), lines);

            const Pairs want = ref::allMatches(*expected, text);
            qv::regex::MemorySource memory(text);
            EXPECT_EQ(bufferMatches(regex, memory, text.size()), want);

            const int fd = memoryFile(text);
            qv::regex::FileSource file(fd, {}, false, {}, 3);
            EXPECT_EQ(bufferMatches(regex, file, text.size()), want);
            ::close(fd);
        }
    }
}

TEST(EngineComparison, RandomPatternsAgreeWithTheReferenceOnEveryPath)
{
    std::mt19937 rng(20261209);
    for (int i = 0; i < 1500; ++i) {
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
    for (int i = 0; i < 800; ++i) {
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

} // namespace
