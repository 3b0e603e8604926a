#pragma once

#include <cstddef>
#include <string>

namespace qvtest {

// Lines of random a and b, 200 to a line, about `bytes` of them: with kHostilePattern the
// automaton's states explode and it falls back to its slow mode, so a search of them is still
// going a good while later.
std::string hostileLines(std::size_t bytes);

// No literal but "a" to look for first, which every line holds: the automaton does the work.
inline const std::string kHostilePattern = "a[ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][cd]";

// A line that kHostilePattern finds.
inline const std::string kHostileMatch = "a" + std::string(18, 'b') + "c";

} // namespace qvtest
