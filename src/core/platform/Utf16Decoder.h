#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::platform {

enum class ByteOrder : std::uint8_t { LittleEndian, BigEndian };

// The byte order of a text that begins with a UTF-16 byte-order mark. A UTF-32 little-endian
// mark (FF FE 00 00) is not taken for one.
std::optional<ByteOrder> Utf16Mark(std::string_view firstBytes);

// Turns UTF-16 text, fed in blocks of any size, into UTF-8. The byte-order mark at its start is
// dropped; a surrogate without its partner, and an odd byte at the end, become U+FFFD.
class Utf16Decoder {
public:
    explicit Utf16Decoder(ByteOrder order) : order_(order) { }

    // Output bytes that `inputBytes` more bytes may give at most (with what is held over).
    static constexpr std::size_t MaxOutput(std::size_t inputBytes) { return inputBytes / 2 * 3 + 12; }

    // Decodes `size` bytes into `out`, which has room for MaxOutput(size) bytes, and returns how
    // many it wrote. What ends a block unfinished (half a code unit, a high surrogate) waits for
    // the next one; `last` says there is none.
    std::size_t decode(const std::uint8_t* in, std::size_t size, std::uint8_t* out, bool last);

private:
    std::size_t put(char32_t code, std::uint8_t* out);

    ByteOrder order_;
    bool atStart_ = true;
    int heldByte_ = -1; // the first byte of a code unit cut by the block's end
    std::uint32_t highSurrogate_ = 0; // waiting for its low half
};

} // namespace qv::platform
