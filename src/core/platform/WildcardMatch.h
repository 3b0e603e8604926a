#pragma once

#include <string_view>

namespace qv::platform {

// File-name masks with the Windows rules: '*' any run of characters, '?' exactly one, letters
// compared without regard to case, and a mask ending in ".*" also matching names with no dot
// at all ("*.*" matches every name). An empty mask matches nothing.
bool WildcardMatch(std::string_view mask, std::string_view name);

} // namespace qv::platform
