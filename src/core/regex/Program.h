#pragma once

#include "Ast.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv::regex {

enum class Assertion : std::uint8_t { LineBegin, LineEnd, WordBegin, WordEnd };

struct Inst {
    enum class Op : std::uint8_t { Byte, Split, Assert, Match };
    Op op = Op::Match;
    Assertion assertion = Assertion::LineBegin;
    std::uint32_t out = 0; // next instruction (Byte, Assert, Split's first choice)
    std::uint32_t out1 = 0; // Split's second choice
    std::uint32_t set = 0; // Byte: index into Program::sets
};

// The byte alphabet split into classes whose members no instruction tells apart. The classes
// also keep word bytes, CR and LF apart from everything else so assertions can be decided from
// the class alone.
struct ByteClasses {
    std::array<std::uint8_t, 256> classOf{};
    std::vector<std::uint8_t> representative; // one member per class
    std::vector<std::uint8_t> isWord; // per class
    std::vector<std::uint8_t> isCR;
    std::vector<std::uint8_t> isLF;
    [[nodiscard]] int count() const { return static_cast<int>(representative.size()); }
};

// A Thompson automaton for one conjunct.
struct Program {
    std::vector<Inst> insts;
    std::vector<ByteSet> sets;
    std::uint32_t start = 0;
    ByteClasses classes;
    bool canMatchLF = false; // some byte instruction accepts LF
    std::optional<std::size_t> maxLength; // longest possible match, when bounded

    [[nodiscard]] bool accepts(const Inst& inst, std::uint8_t b) const { return sets[inst.set].contains(b); }
};

Program compileProgram(const Node& conjunct);

} // namespace qv::regex
