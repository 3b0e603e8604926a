#pragma once

#include <vector>

namespace qv::platform {

// Unicode simple case folding (one code point to one), as the Unicode library has it: what a
// search that ignores case compares.
char32_t SimpleCaseFold(char32_t code);

// Every code point that simple case folding makes equal to `code`, `code` among them, in
// ascending order: "k" gives "K", "k" and the Kelvin sign; a code point without case, itself.
std::vector<char32_t> CaseVariants(char32_t code);

} // namespace qv::platform
