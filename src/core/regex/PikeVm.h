#pragma once

#include "Program.h"
#include "Stepper.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

namespace qv::regex {

struct Match {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    friend bool operator==(const Match&, const Match&) = default;
};

// NFA simulation that enumerates, in one forward pass, the matches that repeated leftmost-longest
// searches would find: each search starts where the previous match ended (one byte further after
// an empty match). Threads carry their start; at one instruction only the earliest start survives.
// A match is only final once no thread that started at or before it is alive, so tentative
// matches wait in a queue (bounded; see kMaxPending).
class PikeVm {
public:
    explicit PikeVm(const Program& prog);

    // Starts a search at absolute position pos; ctx describes the byte before it.
    void reset(std::uint64_t pos, Ctx ctx);
    // Consumes one byte of class cls. Final matches are appended to out.
    void step(int cls, std::vector<Match>& out);
    // The end of the text: every remaining match becomes final.
    void finish(std::vector<Match>& out);

    // No thread alive and no match waiting: the search can continue with a DFA.
    [[nodiscard]] bool idle() const { return threads_.empty() && pending_.empty(); }
    [[nodiscard]] std::uint64_t position() const { return pos_; }
    // No match found from here on can start before this.
    [[nodiscard]] std::uint64_t earliestStart() const
    {
        std::uint64_t e = pos_;
        if (!threads_.empty())
            e = std::min(e, threads_.front().start);
        if (!pending_.empty())
            e = std::min(e, pending_.front().begin);
        return e;
    }
    [[nodiscard]] Ctx context() const { return ctx_; }

    // Tentative matches kept at most; beyond it the oldest is taken as final even if a thread
    // could still have made it longer (only reachable with pathological pattern and text pairs).
    static constexpr std::size_t kMaxPending = std::size_t{1} << 20;

private:
    struct Thread {
        std::uint32_t inst;
        std::uint64_t start;
    };

    // The byte instructions a thread starting here reaches and that can take the next byte,
    // and whether it matches the empty string here; the same at every position with the same
    // context and next byte class, so it is worked out once for each pair.
    struct FreshClosure {
        std::vector<std::uint32_t> insts;
        bool match = false;
        bool known = false;
    };
    const FreshClosure& fresh(int next);
    void closure(int next);
    void record(std::uint64_t start, std::uint64_t end);
    void emitFinal(std::vector<Match>& out);

    const Program& prog_;
    std::vector<Thread> threads_; // pending instructions, in order of start
    std::vector<Thread> list_; // closure: byte instructions, in order of start
    std::vector<Thread> next_;
    std::deque<Match> pending_;
    std::vector<std::uint32_t> markOld_, markFresh_, markNext_;
    std::uint32_t generation_ = 0;
    std::uint32_t freshGeneration_ = 0;
    std::vector<std::uint32_t> stack_;
    std::vector<FreshClosure> freshCache_; // by context and next class (the last: end of text)
    std::size_t freshCached_ = 0; // instructions held in the cache
    FreshClosure freshScratch_; // when the cache is full
    std::uint64_t pos_ = 0;
    Ctx ctx_ = kCtxBegin;
};

} // namespace qv::regex
