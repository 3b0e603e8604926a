#include "platform/WildcardMatch.h"

#include <gtest/gtest.h>

namespace {

using qv::platform::WildcardMatch;

TEST(WildcardMatch, WindowsRules)
{
    struct Case {
        const char* mask;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"*.*", "readme.txt", true},
        {"*.*", "Makefile", true},
        {"*.*", ".hidden", true},
        {"*", "Makefile", true},
        {"*.TXT", "notes.txt", true},
        {"*.txt", "NOTES.TXT", true},
        {"*.TXT", "notes.txt.bak", false},
        {"A?C", "abc", true},
        {"A?C", "ac", false},
        {"?", "", false},
        {"*.c", "a.cpp", false},
        {"DATA.*", "data", true},
        {"DATA.*", "data.x", true},
        {"DATA.*", "database", false},
        {"*A*B*", "xxaxxbxx", true},
        {"*A*B*", "xxbxxaxx", false},
        {"", "anything", false},
        {"\"A,B.TXT\"", "a,b.txt", false},
        {"f\xC3\xA9*", "f\xC3\xA9te", true},
        {"a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaac", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.mask, c.name), c.match) << c.mask << " / " << c.name;
}

} // namespace
