// Pattern compile and match: random pattern bytes and text through every engine path. Small
// cases are checked against the reference matcher; larger ones must agree across all paths.
// Input: one flag byte, the pattern up to the first NUL, then the text.
#include "search/SearchRequest.h"
#include "support/ReferenceMatcher.h"
#include "support/EnginePaths.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>

namespace {

constexpr std::size_t kMaxPattern = 256;
constexpr std::size_t kMaxText = 16384;
// The reference backtracks: only small cases go through it.
constexpr std::size_t kReferencePattern = 12;
constexpr std::size_t kReferenceText = 48;

[[noreturn]] void fail(const std::string& what, const std::string& pattern, std::string_view text, const char* engine)
{
    std::fprintf(stderr, "MISMATCH (%s) engine %s pattern [%s] text [%s]\n", what.c_str(), engine, qvtest::Escaped(pattern).c_str(),
                 qvtest::Escaped(text).c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t nul = rest.find('\0');
    std::string pattern(rest.substr(0, nul));
    const std::string_view text = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    if (pattern.size() > kMaxPattern || text.size() > kMaxText)
        return 0;
    const bool caseSensitive = (flags & 1) != 0;
    // Through the request's preparation now and then: literal escaping, whole words, the final "$".
    if ((flags & 2) != 0)
        pattern = qv::PreparePattern(pattern, (flags & 4) != 0, (flags & 8) != 0);

    std::optional<ref::Pattern> expected;
    const bool useReference = pattern.size() <= kReferencePattern && text.size() <= kReferenceText;
    if (useReference)
        expected = ref::parse(pattern, caseSensitive);

    std::optional<qvtest::PathResults> first;
    for (const qvtest::Variant& v : qvtest::EngineVariants()) {
        auto compiled = qv::regex::Regex::compile(pattern, caseSensitive, v.options);
        const bool ok = std::holds_alternative<qv::regex::RegexPtr>(compiled);
        if (useReference && ok != expected.has_value())
            fail("compiles", pattern, text, v.name);
        if (!ok)
            return 0;
        const auto got = qvtest::RunAllPaths(std::get<qv::regex::RegexPtr>(compiled), text, 1000);
        if (!got.fault.empty())
            fail(got.fault, pattern, text, v.name);
        if (got.counted != got.listed.size() || got.streamed != got.listed)
            fail("count/list/stream", pattern, text, v.name);
        if (got.fromFile != got.inMemory)
            fail("buffer: file/memory", pattern, text, v.name);
        if (useReference) {
            if (got.listed != ref::matchingLines(*expected, text))
                fail("lines vs reference", pattern, text, v.name);
            auto want = ref::allMatches(*expected, text);
            if (want.size() > 1000)
                want.resize(1000);
            if (got.inMemory != want)
                fail("buffer matches vs reference", pattern, text, v.name);
        }
        if (!first)
            first = got;
        else if (got.listed != first->listed || got.inMemory != first->inMemory)
            fail("engines disagree", pattern, text, v.name);
    }
    return 0;
}
