#include "platform/CaseFolding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using qv::platform::CaseVariants;
using qv::platform::SimpleCaseFold;

TEST(CaseFolding, VariantsAreEveryCodePointThatFoldsAlike)
{
    // The table is built from the code points some case mapping changes; folding every code
    // point must find no other.
    std::map<char32_t, std::vector<char32_t>> byFold;
    for (char32_t c = 0; c <= 0x10FFFF; ++c)
        if (SimpleCaseFold(c) != c)
            byFold[SimpleCaseFold(c)].push_back(c);
    for (auto& [folded, members] : byFold) {
        members.push_back(folded);
        std::sort(members.begin(), members.end());
        for (const char32_t c : members)
            ASSERT_EQ(CaseVariants(c), members) << std::hex << static_cast<std::uint32_t>(c);
    }
    EXPECT_GT(byFold.size(), 1000U);
    for (char32_t c = 0; c < 0x20000; ++c) {
        if (SimpleCaseFold(c) == c && !byFold.contains(c)) {
            ASSERT_EQ(CaseVariants(c), std::vector<char32_t>{c}) << std::hex << static_cast<std::uint32_t>(c);
        }
    }
}

TEST(CaseFolding, Examples)
{
    EXPECT_EQ(CaseVariants(U'\u00E9'), (std::vector<char32_t>{U'\u00C9', U'\u00E9'})); // é
    EXPECT_EQ(CaseVariants(U'\u03C2'), (std::vector<char32_t>{U'\u03A3', U'\u03C2', U'\u03C3'})); // ς
    EXPECT_EQ(CaseVariants(U'k'), (std::vector<char32_t>{U'K', U'k', U'\u212A'})); // the Kelvin sign
    EXPECT_EQ(CaseVariants(U'\u0130'), (std::vector<char32_t>{U'\u0130'})); // İ has no simple folding
    EXPECT_EQ(CaseVariants(U'1'), (std::vector<char32_t>{U'1'}));
}

} // namespace
