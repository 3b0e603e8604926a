#include "platform/Utf16Decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using qv::platform::ByteOrder;
using qv::platform::Utf16Decoder;
using qv::platform::Utf16Mark;

// The UTF-8 of UTF-16 bytes fed `piece` bytes at a time.
std::string decode(const std::string& bytes, ByteOrder order, std::size_t piece)
{
    Utf16Decoder d(order);
    std::string out;
    for (std::size_t at = 0; at < bytes.size() || at == 0; at += piece) {
        const std::size_t n = std::min(piece, bytes.size() - std::min(at, bytes.size()));
        std::string buf(Utf16Decoder::MaxOutput(n), '\0');
        const bool last = at + n >= bytes.size();
        buf.resize(
            d.decode(reinterpret_cast<const std::uint8_t*>(bytes.data() + at), n, reinterpret_cast<std::uint8_t*>(buf.data()), last));
        out += buf;
        if (last)
            break;
    }
    return out;
}

std::string units(std::u16string_view text, ByteOrder order)
{
    std::string b;
    for (const char16_t u : text) {
        const auto hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        b += order == ByteOrder::LittleEndian ? std::string{lo, hi} : std::string{hi, lo};
    }
    return b;
}

TEST(Utf16Decoder, MarksOfBothByteOrders)
{
    EXPECT_EQ(Utf16Mark("\xFF\xFEh\0"), ByteOrder::LittleEndian);
    EXPECT_EQ(Utf16Mark("\xFE\xFF\0h"), ByteOrder::BigEndian);
    EXPECT_EQ(Utf16Mark(std::string("\xFF\xFE\0\0", 4)), std::nullopt); // UTF-32
    EXPECT_EQ(Utf16Mark("\xFF"), std::nullopt);
    EXPECT_EQ(Utf16Mark("\xEF\xBB\xBFh"), std::nullopt); // UTF-8's mark
}

TEST(Utf16Decoder, TextOfEveryLengthInBlocksOfAnySize)
{
    // ASCII, two- and three-byte letters, a character beyond the first plane (a surrogate pair),
    // line ends, and a mark later on that is text.
    const std::u16string text = u"\uFEFFcaf\u00E9 \u03A9\u043F\u20AC \U0001F600\r\nx\uFEFF";
    const std::string expected = "caf\xC3\xA9 \xCE\xA9\xD0\xBF\xE2\x82\xAC \xF0\x9F\x98\x80\r\nx\xEF\xBB\xBF";
    for (const ByteOrder order : {ByteOrder::LittleEndian, ByteOrder::BigEndian})
        for (const std::size_t piece : {1, 2, 3, 7, 1000})
            EXPECT_EQ(decode(units(text, order), order, piece), expected) << piece;
}

TEST(Utf16Decoder, BrokenTextBecomesReplacementCharacters)
{
    const std::string fffd = "\xEF\xBF\xBD";
    const auto le = ByteOrder::LittleEndian;
    EXPECT_EQ(decode(units(u"a\xD83D"
                           u"b",
                           le),
                     le, 1),
              "a" + fffd + "b"); // high surrogate alone
    EXPECT_EQ(decode(units(u"a\xDE00", le), le, 3), "a" + fffd); // low surrogate alone
    EXPECT_EQ(decode(units(u"a\xD83D", le), le, 2), "a" + fffd); // cut at the end
    EXPECT_EQ(decode(units(u"a", le) + "b", le, 1), "a" + fffd); // an odd last byte
    EXPECT_EQ(decode("", le, 4), "");
}

} // namespace
