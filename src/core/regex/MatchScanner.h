#pragma once

#include "Automata.h"
#include "PikeVm.h"
#include "Regex.h"
#include "TextSource.h"

#include <array>
#include <cstdint>
#include <vector>

namespace qv::regex {

// Byte substitutions applied while searching (every byte maps to another); identity by default.
using ByteMap = std::array<std::uint8_t, 256>;
ByteMap identityByteMap();

// Enumerates the leftmost-longest matches of one conjunct in a text read through windows. A lazy
// DFA finds where a match ends; the NFA simulation then takes over from the last point where no
// partial match was under way and works out the exact extents, until it is idle again. Literal
// prefilters let the DFA skip text that cannot hold a match.
class MatchScanner {
public:
    MatchScanner(Automata& automata, std::size_t conjunct, const ByteMap& map);

    void reset(std::uint64_t pos, Ctx ctx);
    // Scans from position() to the window's end, or until `out` holds maxOut matches.
    void scan(const TextWindow& w, std::vector<Match>& out, std::size_t maxOut);

    [[nodiscard]] std::uint64_t position() const { return pos_; }
    // Bytes before this are not needed again.
    [[nodiscard]] std::uint64_t keepFrom() const { return mode_ == Mode::Dfa ? lastIdle_ : pos_; }
    // At the end of the text, or stopped by a stop request.
    [[nodiscard]] bool finished() const { return finished_; }
    // No match found from here on can start before this.
    [[nodiscard]] std::uint64_t earliestStart() const
    {
        return mode_ == Mode::Dfa ? lastIdle_ : (mode_ == Mode::Pike ? pike_.earliestStart() : pos_);
    }
    [[nodiscard]] Ctx contextOfByte(std::uint8_t b) const { return contextAfter(conj_.program().classes, cls_[b]); }

    // A DFA stretch without an idle point longer than this goes to the NFA, so the window a file
    // source has to keep stays bounded.
    static constexpr std::uint64_t kMaxRetained = std::uint64_t{16} << 20;

private:
    enum class Mode : std::uint8_t { Exact, Dfa, Pike };

    void scanExact(const TextWindow& w, std::vector<Match>& out, std::size_t maxOut);
    void scanDfa(const TextWindow& w);
    void scanPike(const TextWindow& w, std::vector<Match>& out, std::size_t maxOut);
    void toPike(std::uint64_t from, Ctx ctx);
    bool jump(const TextWindow& w, const std::uint8_t*& p, std::int32_t& s);

    Automata& automata_;
    const Conjunct& conj_;
    Dfa* dfa_ = nullptr;
    PikeVm pike_;
    std::array<std::uint8_t, 256> cls_{};
    const Prefilter* prefilter_ = nullptr; // null when absent or when the byte map touches its literals
    PrefilterCache cache_;
    Mode mode_ = Mode::Dfa;
    bool finished_ = false;
    std::uint64_t statesBuilt_ = 0;
    std::uint64_t pos_ = 0;
    std::int32_t state_ = 0;
    std::uint64_t lastIdle_ = 0;
    Ctx lastIdleCtx_ = kCtxBegin;
    // The prefilter's last candidate; no need to search again before passing it.
    std::uint64_t candidate_ = 0;
    bool candidateValid_ = false;
    bool prefilterOn_ = false;
    PrefilterPayoff payoff_{PrefilterPayoff::kBufferJumpCost};
};

} // namespace qv::regex
