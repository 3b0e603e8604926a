#pragma once

#include <array>
#include <cstdint>

namespace qv::regex {

// A set of byte values; the alphabet of the pattern engine.
class ByteSet {
public:
    constexpr ByteSet() = default;

    static ByteSet single(std::uint8_t b)
    {
        ByteSet s;
        s.add(b);
        return s;
    }
    static ByteSet range(std::uint8_t lo, std::uint8_t hi)
    {
        ByteSet s;
        s.addRange(lo, hi);
        return s;
    }
    static ByteSet all()
    {
        ByteSet s;
        s.bits_.fill(~std::uint64_t{0});
        return s;
    }

    void add(std::uint8_t b) { bits_[b >> 6] |= std::uint64_t{1} << (b & 63); }
    void remove(std::uint8_t b) { bits_[b >> 6] &= ~(std::uint64_t{1} << (b & 63)); }
    void addRange(std::uint8_t lo, std::uint8_t hi)
    {
        for (unsigned b = lo; b <= hi; ++b)
            add(static_cast<std::uint8_t>(b));
    }
    void addSet(const ByteSet& other)
    {
        for (int i = 0; i < 4; ++i)
            bits_[i] |= other.bits_[i];
    }
    [[nodiscard]] bool contains(std::uint8_t b) const { return (bits_[b >> 6] >> (b & 63)) & 1U; }
    [[nodiscard]] ByteSet complement() const
    {
        ByteSet s;
        for (int i = 0; i < 4; ++i)
            s.bits_[i] = ~bits_[i];
        return s;
    }
    [[nodiscard]] int count() const
    {
        int n = 0;
        for (auto w : bits_)
            n += __builtin_popcountll(w);
        return n;
    }
    [[nodiscard]] bool empty() const { return (bits_[0] | bits_[1] | bits_[2] | bits_[3]) == 0; }
    // The smallest member; only meaningful when not empty.
    [[nodiscard]] std::uint8_t first() const
    {
        for (int i = 0; i < 4; ++i)
            if (bits_[i] != 0)
                return static_cast<std::uint8_t>(i * 64 + __builtin_ctzll(bits_[i]));
        return 0;
    }
    [[nodiscard]] const std::array<std::uint64_t, 4>& words() const { return bits_; }

    friend bool operator==(const ByteSet&, const ByteSet&) = default;

private:
    std::array<std::uint64_t, 4> bits_{};
};

// Bytes that count as part of a word: ASCII letters, digits, '_' and every byte from 0x80 on,
// so that UTF-8 encoded words stay whole.
constexpr bool isWordByte(std::uint8_t b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_' || b >= 0x80;
}

constexpr bool isAsciiLetter(std::uint8_t b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

constexpr std::uint8_t otherCase(std::uint8_t b)
{
    return isAsciiLetter(b) ? static_cast<std::uint8_t>(b ^ 0x20) : b;
}

} // namespace qv::regex
