#pragma once

#include "Program.h"

#include <cstdint>
#include <vector>

namespace qv::regex {

// What the byte before a position tells the assertions.
enum Ctx : std::uint8_t {
    kCtxBegin = 0, // start of the text, or after LF: a line begins here
    kCtxWord = 1, // after a word byte
    kCtxCR = 2, // after CR
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
    case Assertion::LineBegin: return prev == kCtxBegin;
    case Assertion::LineEnd: return atEnd || bc.isCR[n] || bc.isLF[n];
    case Assertion::WordBegin: return prev != kCtxWord && !atEnd && bc.isWord[n];
    case Assertion::WordEnd: return prev == kCtxWord && (atEnd || !bc.isWord[n]);
    }
    return false;
}

// Marks instruction i for this generation; false when it was marked already.
inline bool MarkOnce(std::vector<std::uint32_t>& marks, std::uint32_t i, std::uint32_t generation)
{
    if (marks[i] == generation)
        return false;
    marks[i] = generation;
    return true;
}

// Follows the empty transitions (splits, and assertions that hold between context `prev` and the
// next byte class `next`) from `root`. `visit(i)` marks an instruction and returns false when it
// was marked already; `onByte(i)` and `onMatch()` receive the byte and match instructions reached.
template <class Visit, class OnByte, class OnMatch>
void FollowEmpty(const Program& prog, std::vector<std::uint32_t>& stack, std::uint32_t root, Ctx prev, int next, Visit&& visit,
                 OnByte&& onByte, OnMatch&& onMatch)
{
    stack.push_back(root);
    while (!stack.empty()) {
        const std::uint32_t i = stack.back();
        stack.pop_back();
        if (!visit(i))
            continue;
        const Inst& inst = prog.insts[i];
        switch (inst.op) {
        case Inst::Op::Byte: onByte(i); break;
        case Inst::Op::Match: onMatch(); break;
        case Inst::Op::Split:
            stack.push_back(inst.out1);
            stack.push_back(inst.out);
            break;
        case Inst::Op::Assert:
            if (assertionHolds(prog.classes, inst.assertion, prev, next))
                stack.push_back(inst.out);
            break;
        }
    }
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
