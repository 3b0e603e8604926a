#include "support/HostileText.h"

#include <cstdint>

namespace qvtest {

std::string hostileLines(std::size_t bytes)
{
    std::string text;
    text.reserve(bytes + 201);
    std::uint32_t x = 12345;
    while (text.size() < bytes) {
        for (int k = 0; k < 200; ++k) {
            x = x * 1103515245 + 12345;
            text += (x >> 16) & 1 ? 'a' : 'b';
        }
        text += '\n';
    }
    return text;
}

} // namespace qvtest
