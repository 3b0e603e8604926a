#pragma once

#include "Dfa.h"
#include "Regex.h"

#include <memory>
#include <stop_token>
#include <vector>

namespace qv::regex {

// The automata one searching thread builds for a compiled pattern: a lazy DFA per conjunct for
// the line search and one for the buffer search. They keep their caches from text to text, so a
// pattern compiled once serves a whole run; each thread has its own, as the caches change as
// they are used. Also carries the stop request the searches of this thread check.
class Automata {
public:
    explicit Automata(RegexPtr regex, std::stop_token stop = {});
    Automata(const Automata&) = delete;
    Automata& operator=(const Automata&) = delete;

    [[nodiscard]] const Regex& regex() const { return *regex_; }
    [[nodiscard]] const RegexPtr& shared() const { return regex_; }
    Dfa& lineDfa(std::size_t k);
    Dfa& bufferDfa(std::size_t k);

    // A new text begins: automata that gave up on the last one get another chance.
    void startText();

    [[nodiscard]] bool stopRequested() const { return stop_.stop_requested(); }
    void setStop(std::stop_token stop) { stop_ = std::move(stop); }

private:
    RegexPtr regex_;
    std::stop_token stop_;
    std::vector<std::unique_ptr<Dfa>> line_, buffer_;
};

// Searches look at the stop request after about this many bytes of slow work (an NFA simulation
// moves a few megabytes a second on hostile patterns, so this keeps a stop within milliseconds).
inline constexpr std::size_t kStopCheckBytes = std::size_t{16} << 10;
// ... and after this many new DFA states: a DFA that thrashes may build one at every byte.
inline constexpr std::uint64_t kStatesBetweenStopLooks = 64;

} // namespace qv::regex
