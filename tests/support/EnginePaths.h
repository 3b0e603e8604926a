#pragma once

#include "regex/Regex.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Runs one compiled pattern over one text through every way the program searches, so that each
// path can be compared with the reference matcher (by the tests and by the fuzz target).
namespace qvtest {

using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;

struct Variant {
    const char* name;
    qv::regex::RegexOptions options;
};

// Lazy DFA with and without prefilters, the NFA fallback (a budget too small for any DFA) with
// and without them, and a DFA whose cache is reset over and over.
const std::vector<Variant>& EngineVariants();

struct PathResults {
    std::vector<std::uint64_t> listed; // line numbers of the listing over the whole text
    std::uint64_t counted = 0; // matching lines the count found
    std::vector<std::uint64_t> streamed; // the listing read from a file in tiny pieces
    Pairs inMemory; // buffer search over the text in memory
    Pairs fromFile; // buffer search over a file read in small windows
    std::string fault; // a listed line that is not the text's line, if any
};

// At most `maxMatches` buffer matches are collected per path.
PathResults RunAllPaths(const qv::regex::RegexPtr& regex, std::string_view text, std::size_t maxMatches = 200);

// Text with CR and LF spelled out, for messages.
std::string Escaped(std::string_view s);

} // namespace qvtest
