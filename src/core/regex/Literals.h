#pragma once

#include "Ast.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::regex {

// A byte string that has to occur in a match. With `fold` set for a position, the byte there is
// an ASCII letter stored in lower case and either case matches.
struct Literal {
    std::string bytes;
    std::vector<std::uint8_t> fold;
    friend bool operator==(const Literal&, const Literal&) = default;
};

struct RequiredLiterals {
    std::vector<Literal> literals; // every match contains at least one of them
    bool exactLines = false;       // each branch is just its literal: an occurrence is a match
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
