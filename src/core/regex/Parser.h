#pragma once

#include "Ast.h"

#include <string_view>
#include <variant>

namespace qv::regex {

// Parses the pattern dialect into a tree. Case-insensitive parsing folds letters into the tree
// (ASCII letters into byte sets, other UTF-8 letters into the byte sequences of their case
// variants), so the matchers never need to know about case.
std::variant<ParsedPattern, CompileError> parse(std::string_view pattern, bool caseSensitive);

} // namespace qv::regex
