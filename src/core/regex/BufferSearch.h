#pragma once

#include "MatchScanner.h"
#include "Regex.h"
#include "TextSource.h"

#include <memory>
#include <optional>
#include <vector>

namespace qv::regex {

// The buffer search: the leftmost-longest match at or after a position, over a whole text
// (not line by line). Calls that continue where the last match ended (one byte further after
// an empty match) pick up the enumeration where it stands, so finding every match of a text
// takes one pass over it.
//
// A conjunction ('&') matches in a line (up to and with its LF) in which every conjunct
// matches; the match runs from the earliest start to the latest end of the conjuncts' first
// matches in that line, and a continuation looks at the rest of the line, then the lines after.
class BufferSearch {
public:
    // With automata of its own, or with a thread's automata shared with its other searches.
    BufferSearch(RegexPtr regex, TextSource& source, const ByteMap& map = identityByteMap());
    BufferSearch(Automata& automata, TextSource& source, const ByteMap& map = identityByteMap());

    std::optional<Match> RGrep(std::uint64_t from);
    // A stop request ended the search: no match after the last one given is known.
    [[nodiscard]] bool stopped() const { return automata_.stopRequested(); }
    // Bytes of the text before this are not needed by the search any more.
    [[nodiscard]] std::uint64_t keepFrom() const;

private:
    std::optional<Match> firstMatch(std::size_t k, std::uint64_t from, std::uint64_t limit, std::uint64_t keep);
    std::optional<Match> nextSingle(std::uint64_t from);
    std::optional<Match> nextConjunction(std::uint64_t from);
    Ctx contextAt(std::size_t k, std::uint64_t pos) const;
    std::uint64_t lineEndFrom(std::uint64_t pos, std::uint64_t keepFrom);
    std::uint64_t lineStartBefore(std::uint64_t pos, std::uint64_t floor) const;

    std::unique_ptr<Automata> ownAutomata_;
    Automata& automata_;
    const Regex& regex_;
    TextSource& source_;
    std::vector<std::unique_ptr<MatchScanner>> scanners_;
    std::vector<Match> queue_;
    std::size_t head_ = 0;
    bool primed_ = false;
    std::uint64_t expected_ = 0; // where a continuation of the last match would start
};

} // namespace qv::regex
