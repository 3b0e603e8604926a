#pragma once

#include "Ast.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::regex {

// A byte string that has to occur in a match. Where `mask` is not 0 for a position, two bytes
// match there: they differ in that one bit, and the byte stored has it set (an ASCII letter is
// stored in lower case with mask 0x20; "é" and "É" end in A9 and 89, stored as A9 with 0x20).
struct Literal {
    std::string bytes;
    std::vector<std::uint8_t> mask;
    // A run of pieces that letters spell in several ways (the long s for "s", or "Р" whose first
    // byte is not that of "р") is searched by the part all its spellings share, these bytes; a
    // place where they occur only counts when one of the spellings lies around it, starting
    // `offset` bytes before. Empty for a literal that stands alone.
    std::vector<Literal> around;
    std::size_t offset = 0;
    friend bool operator==(const Literal&, const Literal&) = default;
};

struct RequiredLiterals {
    std::vector<Literal> literals; // every match contains at least one of them
    bool exactLines = false; // each branch is just its literal: an occurrence is a match
};

// How common a byte is in ordinary text and source code: 0 (never seen) to 255 (blank).
std::uint8_t byteFrequency(std::uint8_t b);

// One literal per branch of the conjunct, or nothing when some branch has none (then no
// literal search can find candidates without missing matches). CR and LF never take part:
// a line's CR LF is not in the searched bytes.
std::optional<RequiredLiterals> requiredLiterals(const Node& conjunct);

// Lower is better: the expected number of candidate positions per byte searched, scaled.
double literalCost(const Literal& lit);

} // namespace qv::regex
