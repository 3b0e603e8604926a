#include "WildcardMatch.h"

#include "AsciiCase.h"

namespace qv::platform {
namespace {

// Iterative glob with single-star backtracking: linear in practice, never exponential.
bool glob(std::string_view mask, std::string_view name)
{
    std::size_t m = 0, n = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && AsciiUpper(mask[m]) == AsciiUpper(name[n])))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

bool WildcardMatch(std::string_view mask, std::string_view name)
{
    if (mask.empty())
        return false;
    if (glob(mask, name))
        return true;
    // "name.*" also stands for "name" without any extension.
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && name.find('.') == std::string_view::npos)
        return glob(mask.substr(0, mask.size() - 2), name);
    return false;
}

} // namespace qv::platform
