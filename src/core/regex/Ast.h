#pragma once

#include "ByteSet.h"

#include <string>
#include <vector>

namespace qv::regex {

enum class NodeKind : std::uint8_t {
    Bytes, // one byte out of a set
    Concat, // children in sequence
    Alternate, // any one child
    Star, // child repeated zero or more times
    Plus, // child repeated one or more times
    Optional, // child zero or one time
    LineBegin, // ^ at the start of a branch
    LineEnd, // $ at the end of a branch
    WordBegin, // \<
    WordEnd, // \>
    // One character in any of its case-folded spellings: any one child, each a Concat of Bytes
    // (a start they share, the last bytes joined in one set).
    Letter,
};

struct Node {
    NodeKind kind = NodeKind::Concat;
    ByteSet bytes;
    std::vector<Node> children;
};

// A pattern is a conjunction ('&') of alternations ('|') of branches. A line matches when every
// conjunct matches somewhere in it.
struct ParsedPattern {
    std::vector<Node> conjuncts; // each an Alternate node
};

struct CompileError {
    std::string message; // for the user: names the problem and its position
    std::size_t position = 0; // 1-based position of the offending byte in the pattern
};

} // namespace qv::regex
