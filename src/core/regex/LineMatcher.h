#pragma once

#include "Automata.h"
#include "Regex.h"
#include "Stepper.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace qv::regex {

// Decides which lines of a text match: every line, the last one too, is matched as its content
// followed by CR LF, and a line matches when every conjunct matches somewhere in it.
class LineMatcher {
public:
    struct Line {
        const std::uint8_t* begin;
        const std::uint8_t* end; // the LF ending the line, or the end of the text
    };

    explicit LineMatcher(Automata& automata);

    // A new text begins: forget what the prefilters learned about the last one.
    void restart();
    // A stop was requested while matching: what was found since is not to be trusted.
    [[nodiscard]] bool stopped() const { return automata_.stopRequested(); }
    // The bytes of the text moved in memory: positions remembered by address are void.
    void textMoved() { cache_.clear(); }

    // The first matching line among the whole lines of [p, end). `end` follows an LF, except
    // when `lastLineUnterminated`: then the region's last line ends at `end` without an LF.
    std::optional<Line> findLine(const std::uint8_t* p, const std::uint8_t* end, bool lastLineUnterminated);

    // A line too long to hold at once, fed in pieces that hold no LF.
    void beginLongLine();
    void feedLongLine(const std::uint8_t* p, const std::uint8_t* end);
    [[nodiscard]] bool longLineDecided() const; // every conjunct has matched already
    bool endLongLine(bool unterminated);

private:
    // One conjunct's progress through a line: a DFA state, or a pending set once its DFA gave up.
    struct Run {
        std::int32_t state = 0;
        bool nfa = false;
        std::vector<std::uint32_t> pending;
        Ctx ctx = kCtxBegin;
        bool matched = false;
    };

    void startRun(std::size_t k, Run& run);
    void feed(std::size_t k, Run& run, const std::uint8_t* p, const std::uint8_t* end);
    void feedPiece(std::size_t k, Run& run, const std::uint8_t* p, const std::uint8_t* end);
    bool finish(std::size_t k, Run& run, bool unterminated);
    bool lineMatches(std::size_t k, const std::uint8_t* ls, const std::uint8_t* le, bool unterminated);
    bool othersMatch(const std::uint8_t* ls, const std::uint8_t* le, bool unterminated);
    std::optional<Line> scanWithPrefilter(const std::uint8_t*& p, const std::uint8_t* end, bool unterminated);
    std::optional<Line> scanWithDfa(const std::uint8_t* p, const std::uint8_t* end, bool unterminated);
    std::optional<Line> scanLineByLine(const std::uint8_t* p, const std::uint8_t* end, bool unterminated);
    Stepper& stepper(std::size_t k);

    Automata& automata_;
    const Regex& regex_;
    std::size_t driver_;
    std::vector<std::unique_ptr<Stepper>> steppers_;
    std::vector<Run> runs_;
    std::vector<std::uint32_t> scratch_;
    PrefilterCache cache_; // positions are the bytes' addresses, valid until textMoved()
    // Whether the driver's prefilter still pays for itself on this text.
    bool prefilterOn_ = true;
    std::uint64_t statesBuilt_ = 0;
    PrefilterPayoff payoff_{PrefilterPayoff::kLineCandidateCost};
};

} // namespace qv::regex
