#include "platform/NameOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using qv::platform::NameOrder;
using Names = std::vector<std::string>;

Names sorted(const NameOrder& order, Names names)
{
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) { return order.less(a, b); });
    return names;
}

TEST(NameOrder, CaseIgnoredAccentsAfterTheirLetterTiesByBytes)
{
    const NameOrder order("C");
    EXPECT_EQ(sorted(order, {"cherry", "Banana", "apple", "b", "B", "ecoles", "\xC3\xA9\x63ole", "ecole", "\xC3\x89\x63ole"}),
              (Names{"apple", "B", "b", "Banana", "cherry", "ecole", "\xC3\x89\x63ole", "\xC3\xA9\x63ole", "ecoles"}));
    // Greek and Cyrillic by their alphabets, case ignored.
    EXPECT_TRUE(order.less("\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1", "\xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1")); // Αθήνα ωμέγα
    EXPECT_TRUE(order.less("\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "\xD0\xBF\xD1\x80\xD0\xB8")); // Москва при
}

TEST(NameOrder, TheLanguageDecides)
{
    // Swedish puts ö after z, German with o.
    EXPECT_TRUE(NameOrder("sv_SE.UTF-8").less("zebra", "\xC3\xB6l"));
    EXPECT_TRUE(NameOrder("de_DE.UTF-8").less("\xC3\xB6l", "zebra"));
    // Danish takes "aa" for å, after z: ASCII names can no longer be ranked letter by letter.
    const NameOrder danish("da_DK.UTF-8");
    EXPECT_TRUE(danish.less("zebra", "aarhus"));
    EXPECT_FALSE(danish.asciiShortcut());
    EXPECT_TRUE(NameOrder("C").asciiShortcut());
    EXPECT_TRUE(NameOrder("en_US.UTF-8").asciiShortcut());
}

TEST(NameOrder, ShortcutForAsciiAgreesWithTheCollation)
{
    // ASCII of every kind, the letters of common contractions (ch, ll, dz, cs, gy, aa), and a few
    // characters beyond ASCII that may join the one before them (é, a combining acute, Catalan's
    // middle dot).
    std::mt19937 rng(5);
    const std::vector<std::string> alphabet{"a", "A", "b", "B", "z", "Z",  "0",        "9",        "_",       "-",
                                            ".", " ", "~", "!", "'", "\t", "\x01",     "x",        "[",       "c",
                                            "h", "l", "s", "d", "y", "g",  "\xC3\xA9", "\xCC\x81", "\xC2\xB7"};
    const auto name = [&] {
        std::string s;
        for (int n = static_cast<int>(rng() % 6); n > 0; --n)
            s += alphabet[rng() % (rng() % 4 == 0 ? alphabet.size() : alphabet.size() - 3)];
        return s;
    };
    for (const char* locale : {"C", "en_US", "de_DE", "fr_FR", "sv_SE", "th_TH", "ja_JP", "cs_CZ", "da_DK", "hu_HU", "ca_ES", "lt_LT"}) {
        const NameOrder order(locale);
        Names many(300);
        std::generate(many.begin(), many.end(), name);
        Names bySort = many;
        order.sort(bySort, [](const std::string& n) -> std::string_view { return n; });
        ASSERT_EQ(bySort, sorted(order, many)) << locale;
        for (int i = 0; i < 4000; ++i) {
            const std::string a = name(), b = name();
            const int c = order.collate(a, b);
            const int expected = c != 0 ? (c < 0 ? -1 : 1) : (a < b ? -1 : (b < a ? 1 : 0));
            ASSERT_EQ(order.compare(a, b), expected) << locale << " [" << a << "] [" << b << "]";
        }
    }
}

TEST(NameOrder, SortKeysOrderAsComparisonsAndEveryNameHasItsPlace)
{
    // Names that are not UTF-8 compare as if their broken bytes were U+FFFD, then by bytes.
    const NameOrder order("de_DE");
    const Names names{"caf\xE9", "caf\xC3\xA9", "CAFE", "cafe",     "\xFF\xFE", "\xFE",          "a\xFF",     "a\xFE",    "",
                      "Zoo",     "zoo",         "z",    "\xE2\x84", "\xC0\xAF", "\xED\xA0\x80x", "a\xCC\x81", "\xC3\xA1", "ab\xF0\x9F\x98"};
    Names byKey = names;
    std::sort(byKey.begin(), byKey.end(), [&](const std::string& a, const std::string& b) { return order.sortKey(a) < order.sortKey(b); });
    EXPECT_EQ(byKey, sorted(order, names));
    Names bySort = names;
    order.sort(bySort, [](const std::string& n) -> std::string_view { return n; });
    EXPECT_EQ(bySort, byKey);
    for (const std::string& a : names)
        for (const std::string& b : names) {
            EXPECT_EQ(order.compare(a, b), -order.compare(b, a));
            EXPECT_EQ(order.compare(a, b) == 0, a == b);
        }
    EXPECT_TRUE(order.less("a\xFE", "a\xFF"));
}

} // namespace
