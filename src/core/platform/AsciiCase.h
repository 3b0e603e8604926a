#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

// Upper case for ASCII letters only: masks and extensions compare this way whatever the locale,
// and bytes beyond ASCII (parts of UTF-8 names) stay as they are.
constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

} // namespace qv::platform
