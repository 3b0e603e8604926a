#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A deliberately simple backtracking implementation of the pattern dialect, written apart from
// the engine, that the engine is checked against. Exponential in the worst case: small inputs only.
namespace ref {

struct Piece {
    // A Letter, ignoring case, is one UTF-8 character of the text whose case folding is `folded`.
    enum Kind { Set, LineBegin, LineEnd, WordBegin, WordEnd, Letter } kind = Set;
    std::bitset<256> set;
    char quantifier = 0; // 0, '*', '+' or '-'
    char32_t folded = 0;
};
using Branch = std::vector<Piece>;
using Alternation = std::vector<Branch>;

struct Pattern {
    std::vector<Alternation> conjuncts;
};

// Nothing when the pattern is not valid in the dialect.
std::optional<Pattern> parse(std::string_view pattern, bool caseSensitive);

// Whether a line (its content, without the line end) matches: the line is matched as its content
// followed by CR LF, and every conjunct must match somewhere in it.
bool lineMatches(const Pattern& p, std::string_view content);

// Numbers (1-based) of the matching lines of a text, with the text's line rules: lines end at
// LF, a CR before the LF belongs to the line end, a last line without LF counts.
std::vector<std::uint64_t> matchingLines(const Pattern& p, std::string_view text);

// The leftmost-longest match at or after `from` in a whole text (buffer search); for a conjunction,
// per line as the engine defines it.
std::optional<std::pair<std::size_t, std::size_t>> search(const Pattern& p, std::string_view text, std::size_t from);

// Every match of the buffer search, continuing from each match's end (one on after an empty one).
std::vector<std::pair<std::size_t, std::size_t>> allMatches(const Pattern& p, std::string_view text);

} // namespace ref
