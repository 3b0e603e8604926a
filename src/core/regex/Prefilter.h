#pragma once

#include "Literals.h"
#include "platform/Simd.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::regex {

// Finds one literal with a vectorised search for its two rarest bytes at their offsets (a
// "packed pair"), then confirms each candidate byte by byte. Never misses an occurrence. A
// literal with spellings around it is found where one of them lies around its bytes.
class LiteralFinder {
public:
    explicit LiteralFinder(const Literal& lit);

    // The first occurrence that starts in [p, end) and lies wholly before end, or nullptr; the
    // longest of those that start there. Sets *length to its length.
    const std::uint8_t* find(const std::uint8_t* p, const std::uint8_t* end, std::size_t* length) const;
    // The longest occurrence, in bytes.
    [[nodiscard]] std::size_t maxLength() const { return maxLength_; }
    [[nodiscard]] bool matchesAt(const std::uint8_t* q) const;
    // Whether an occurrence may hold one of the bytes marked.
    [[nodiscard]] bool holdsAny(const std::array<bool, 256>& marked) const;

private:
    // A spelling around the shared bytes: its bytes, masks, and where the shared bytes begin in it.
    struct Spelling {
        std::vector<std::uint8_t> bytes, mask;
        std::size_t offset;
    };

    const std::uint8_t* findShared(const std::uint8_t* p, const std::uint8_t* end) const;
    const std::uint8_t* findScalar(const std::uint8_t* p, const std::uint8_t* last) const;
#if QV_HAVE_X86_SIMD
    const std::uint8_t* findSse2(const std::uint8_t* p, const std::uint8_t* last) const;
    const std::uint8_t* findAvx2(const std::uint8_t* p, const std::uint8_t* last) const;
#endif
    // The spelling that lies around shared bytes at q, within [floor, end): the one that starts
    // first, the longest of those.
    const std::uint8_t* spelledAround(const std::uint8_t* q, const std::uint8_t* floor, const std::uint8_t* end, std::size_t* length) const;

    std::vector<std::uint8_t> bytes_; // where two bytes match, the one with the mask's bit set
    std::vector<std::uint8_t> mask_; // the bit in which they differ, or 0
    std::size_t i1_ = 0, i2_ = 0; // offsets of the two rarest bytes
    bool avx2_ = false;
    std::vector<Spelling> around_;
    std::size_t offsetSpread_ = 0; // largest offset less the smallest
    std::size_t maxLength_ = 0;
};

// What a prefilter search remembers about one text between calls: for each literal, its next
// occurrence as found last time, in positions of the text (not pointers, so it survives a
// window that moves). Belongs to one search of one text.
class PrefilterCache {
public:
    void clear() { entries_.clear(); }

private:
    friend class Prefilter;
    struct Entry {
        std::uint64_t from = 0; // searched from here ...
        std::uint64_t end = 0; // ... to here
        std::uint64_t hit = 0; // with this result (valid when found)
        std::size_t length = 0; // of the occurrence found
        bool found = false;
        bool valid = false;
    };
    std::vector<Entry> entries_;
};

// The candidate search of one conjunct: any of its literals. With several literals each keeps its
// own next occurrence so a region is scanned once per literal, not once per candidate.
class Prefilter {
public:
    explicit Prefilter(const std::vector<Literal>& literals);

    // The first occurrence of any literal starting in [p, end) and lying wholly before end; sets
    // *length to its length. `at` is p's position in the text, for the cache.
    const std::uint8_t* find(const std::uint8_t* p, const std::uint8_t* end, std::uint64_t at, PrefilterCache& cache,
                             std::size_t* length = nullptr) const;
    [[nodiscard]] std::size_t maxLength() const { return maxLength_; }
    [[nodiscard]] const std::vector<LiteralFinder>& finders() const { return finders_; }

private:
    std::vector<LiteralFinder> finders_;
    std::size_t maxLength_ = 0;
};

// Whether a prefilter still pays for itself on a text: after a first few candidates, it must
// have let the search skip enough bytes per candidate to outweigh the cost of stopping there.
class PrefilterPayoff {
public:
    // Bytes a candidate costs: a line search confirms the candidate's line with a DFA; a buffer
    // search restarts its DFA at the jump.
    static constexpr std::uint64_t kLineCandidateCost = 24;
    static constexpr std::uint64_t kBufferJumpCost = 16;
    static constexpr std::uint64_t kProbeCandidates = 64;

    explicit PrefilterPayoff(std::uint64_t costPerCandidate) : cost_(costPerCandidate) { }
    void restart() { candidates_ = skipped_ = 0; }
    // A candidate, after skipping `bytes` the search would otherwise have scanned.
    void candidate(std::uint64_t bytes)
    {
        ++candidates_;
        skipped_ += bytes;
    }
    [[nodiscard]] bool pays() const { return candidates_ < kProbeCandidates || skipped_ >= cost_ * candidates_; }

private:
    std::uint64_t cost_;
    std::uint64_t candidates_ = 0;
    std::uint64_t skipped_ = 0;
};

// Counts LF bytes in [p, end).
std::size_t countLineFeeds(const std::uint8_t* p, const std::uint8_t* end);

} // namespace qv::regex
