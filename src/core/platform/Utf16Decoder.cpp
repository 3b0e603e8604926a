#include "Utf16Decoder.h"

namespace qv::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMark = 0xFEFF;

bool isHigh(std::uint32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}

bool isLow(std::uint32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

} // namespace

std::optional<ByteOrder> Utf16Mark(std::string_view firstBytes)
{
    if (firstBytes.size() < 2)
        return std::nullopt;
    const auto b0 = static_cast<std::uint8_t>(firstBytes[0]);
    const auto b1 = static_cast<std::uint8_t>(firstBytes[1]);
    if (b0 == 0xFE && b1 == 0xFF)
        return ByteOrder::BigEndian;
    if (b0 == 0xFF && b1 == 0xFE) {
        if (firstBytes.size() >= 4 && firstBytes[2] == '\0' && firstBytes[3] == '\0')
            return std::nullopt;
        return ByteOrder::LittleEndian;
    }
    return std::nullopt;
}

std::size_t Utf16Decoder::put(char32_t c, std::uint8_t* out)
{
    if (c < 0x80) {
        out[0] = static_cast<std::uint8_t>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<std::uint8_t>(0xC0 | (c >> 6));
        out[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<std::uint8_t>(0xE0 | (c >> 12));
        out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<std::uint8_t>(0xF0 | (c >> 18));
    out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 4;
}

std::size_t Utf16Decoder::decode(const std::uint8_t* in, std::size_t size, std::uint8_t* out, bool last)
{
    std::size_t written = 0;
    std::size_t i = 0;
    const bool little = order_ == ByteOrder::LittleEndian;
    for (;;) {
        std::uint32_t unit = 0;
        if (heldByte_ >= 0) {
            if (i >= size)
                break;
            const auto first = static_cast<std::uint32_t>(heldByte_);
            const std::uint32_t second = in[i++];
            unit = little ? (first | second << 8) : (first << 8 | second);
            heldByte_ = -1;
        } else if (i + 1 < size) {
            unit = little ? (in[i] | static_cast<std::uint32_t>(in[i + 1]) << 8) : (static_cast<std::uint32_t>(in[i]) << 8 | in[i + 1]);
            i += 2;
        } else {
            if (i < size)
                heldByte_ = in[i++];
            break;
        }
        if (highSurrogate_ != 0) {
            const std::uint32_t high = highSurrogate_;
            highSurrogate_ = 0;
            if (isLow(unit)) {
                written += put(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), out + written);
                continue;
            }
            written += put(kReplacement, out + written);
        }
        if (atStart_) {
            atStart_ = false;
            if (unit == kMark)
                continue;
        }
        if (isHigh(unit))
            highSurrogate_ = unit;
        else
            written += put(isLow(unit) ? kReplacement : unit, out + written);
    }
    if (last) {
        if (highSurrogate_ != 0)
            written += put(kReplacement, out + written);
        if (heldByte_ >= 0)
            written += put(kReplacement, out + written);
        highSurrogate_ = 0;
        heldByte_ = -1;
    }
    return written;
}

} // namespace qv::platform
