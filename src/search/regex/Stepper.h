#pragma once

#include "Program.h"

#include <cstdint>
#include <vector>

namespace qv::regex {

// What the byte before a position tells the assertions.
enum Ctx : std::uint8_t {
    kCtxBegin = 0, // start of the text, or after LF: a line begins here
    kCtxWord = 1,  // after a word byte
    kCtxCR = 2,    // after CR
    kCtxOther = 3, // after any other byte
};
constexpr int kCtxCount = 4;
// After the CR LF that ends a line in line mode no other line begins: the end of the line's text
// is not a line start.
constexpr Ctx kCtxAfterLineEnd = kCtxOther;
constexpr int kEndOfText = -1; // "next byte class" at the end of the text

inline Ctx contextAfter(const ByteClasses& bc, int cls)
{
    if (bc.isLF[static_cast<std::size_t>(cls)])
        return kCtxBegin;
    if (bc.isCR[static_cast<std::size_t>(cls)])
        return kCtxCR;
    return bc.isWord[static_cast<std::size_t>(cls)] ? kCtxWord : kCtxOther;
}

inline bool assertionHolds(const ByteClasses& bc, Assertion a, Ctx prev, int next)
{
    const bool atEnd = next == kEndOfText;
    const auto n = static_cast<std::size_t>(atEnd ? 0 : next);
    switch (a) {
    case Assertion::LineBegin:
        return prev == kCtxBegin;
    case Assertion::LineEnd:
        return atEnd || bc.isCR[n] || bc.isLF[n];
    case Assertion::WordBegin:
        return prev != kCtxWord && !atEnd && bc.isWord[n];
    case Assertion::WordEnd:
        return prev == kCtxWord && (atEnd || !bc.isWord[n]);
    }
    return false;
}

// Set-based simulation of an unanchored program: the shared step of the lazy DFA (which caches
// its results) and of the uncached fallback. A "pending" set holds the instructions reached by
// the last byte, before the empty transitions of the next position are followed.
class Stepper {
public:
    explicit Stepper(const Program& prog);

    // Follows the empty transitions from `pending` and the start instruction at a position with
    // context `prev` and next byte class `next` (kEndOfText at the end). Returns whether a match
    // ends at this position. Unless at the end, writes the pending set after the byte to `out`
    // (sorted, no duplicates).
    bool step(const std::vector<std::uint32_t>& pending, Ctx prev, int next, std::vector<std::uint32_t>* out);

    // The end of a line in line mode: the line is matched as its content followed by CR LF, so
    // a CR is fed unless the last byte was one, then LF, then the end of the text.
    bool lineEnd(const std::vector<std::uint32_t>& pending, Ctx prev);
    // The end of a last line that has no LF: CR LF always follow its content.
    bool lastLineEnd(const std::vector<std::uint32_t>& pending, Ctx prev);

    [[nodiscard]] const Program& program() const { return prog_; }

private:
    bool closure(const std::vector<std::uint32_t>& pending, Ctx prev, int next);

    const Program& prog_;
    std::vector<std::uint32_t> mark_;
    std::uint32_t generation_ = 0;
    std::vector<std::uint32_t> stack_;
    std::vector<std::uint32_t> byteInsts_;
    std::vector<std::uint32_t> scratchA_, scratchB_;
};

} // namespace qv::regex
