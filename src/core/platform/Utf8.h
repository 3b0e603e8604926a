#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

// One character of UTF-8 text: its code point and how many bytes it takes.
struct Utf8Char {
    char32_t code = 0;
    std::size_t length = 0;
};

// The well-formed character that starts `text`, or nothing (an empty text, a stray continuation
// byte, a cut or overlong sequence, a surrogate, a code point beyond U+10FFFF).
std::optional<Utf8Char> DecodeUtf8(std::string_view text);

void AppendUtf8(std::string& out, char32_t code);

bool IsValidUtf8(std::string_view text);

} // namespace qv::platform
