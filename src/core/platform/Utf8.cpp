#include "Utf8.h"

#include <unicode/utf8.h>

namespace qv::platform {

std::optional<Utf8Char> DecodeUtf8(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), 4));
    std::int32_t i = 0;
    UChar32 c = 0;
    U8_NEXT(s, i, length, c);
    if (c < 0)
        return std::nullopt;
    return Utf8Char{static_cast<char32_t>(c), static_cast<std::size_t>(i)};
}

void AppendUtf8(std::string& out, char32_t code)
{
    std::uint8_t buf[U8_MAX_LENGTH];
    std::int32_t n = 0;
    U8_APPEND_UNSAFE(buf, n, static_cast<UChar32>(code));
    out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
}

bool IsValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<std::uint8_t>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const auto c = DecodeUtf8(text.substr(i));
        if (!c)
            return false;
        i += c->length;
    }
    return true;
}

} // namespace qv::platform
