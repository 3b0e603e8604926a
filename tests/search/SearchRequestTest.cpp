// Checking a search request, preparing its pattern and splitting its file masks.
#include "search/SearchRequest.h"

#include <gtest/gtest.h>

namespace {

qv::SearchRequest valid(std::string text)
{
    qv::SearchRequest r;
    r.StartDirectory = "/data/";
    r.SelectedCaption = "data";
    r.SearchText = std::move(text);
    return r;
}

TEST(PrepareRequest, ChecksInOrderWithTheirMessages)
{
    qv::SearchRequest r = valid("");
    r.StartDirectory.clear();
    r.SelectedCaption = "Desktop";
    auto v = qv::PrepareRequest(r);
    EXPECT_FALSE(v.accepted);
    EXPECT_EQ(v.message, "A directory must be selected - You cannot select Desktop");
    EXPECT_EQ(v.caption, "Error");

    r = valid("x");
    r.RootSelected = true;
    r.SelectedCaption = "Desktop";
    EXPECT_EQ(qv::PrepareRequest(r).message, "A directory must be selected - You cannot select Desktop");

    r = valid("x");
    r.StartDirectory.clear();
    r.SelectedCaption.clear();
    EXPECT_EQ(qv::PrepareRequest(r).message, "A directory must be selected - You cannot select ");

    v = qv::PrepareRequest(valid(""));
    EXPECT_EQ(v.message, "File specification and search text must be entered");
    EXPECT_EQ(v.caption, "Error");

    r = valid("x");
    r.FileSpecs.clear();
    EXPECT_EQ(qv::PrepareRequest(r).message, "File specification and search text must be entered");
    r.SearchListed = true;
    EXPECT_TRUE(qv::PrepareRequest(r).accepted);
}

TEST(PrepareRequest, BarePatternsAreRefusedWholeAndOnlyWithoutLiteral)
{
    for (std::string_view bare : qv::BarePatterns) {
        auto v = qv::PrepareRequest(valid(std::string(bare)));
        EXPECT_FALSE(v.accepted) << bare;
        EXPECT_EQ(v.message, "Search pattern cannot consist only of \"" + std::string(bare) + "\"");
        EXPECT_EQ(v.caption, "Regular Expression Error");
        auto literal = valid(std::string(bare));
        literal.Literal = true;
        EXPECT_TRUE(qv::PrepareRequest(literal).accepted) << bare;
    }
    EXPECT_TRUE(qv::PrepareRequest(valid(" .*")).accepted);
    auto dot = valid(".");
    dot.Literal = true;
    EXPECT_EQ(qv::PrepareRequest(dot).pattern, "\\.");
}

TEST(PrepareRequest, ACompileErrorCarriesTheEngineMessage)
{
    auto v = qv::PrepareRequest(valid("ab[c"));
    EXPECT_FALSE(v.accepted);
    EXPECT_EQ(v.caption, "Regular Expression Error");
    EXPECT_EQ(v.message, "Missing \"]\" to close the \"[\" at position 3");
    auto literal = valid("ab[c");
    literal.Literal = true;
    EXPECT_TRUE(qv::PrepareRequest(literal).accepted);
}

TEST(PreparePattern, EndOfLineLiteralEscapingAndWholeWords)
{
    EXPECT_EQ(qv::PreparePattern("x$", false, false), "x\\r\\n");
    EXPECT_EQ(qv::PreparePattern("a$b", false, false), "a$b");
    EXPECT_EQ(qv::PreparePattern("x$", true, false), "x\\$");
    EXPECT_EQ(qv::PreparePattern("a.b", true, false), "a\\.b");
    EXPECT_EQ(qv::PreparePattern("a+b", true, true), "\\<a\\+b\\>");
    EXPECT_EQ(qv::PreparePattern("foo", false, true), "\\<foo\\>");
    EXPECT_EQ(qv::PreparePattern("a|b&^c|d$", false, true), "\\<a\\>|\\<b\\>&^c\\>|\\<d\\r\\n");
    EXPECT_EQ(qv::PreparePattern("a\\|b|[&|]", false, true), "\\<a\\|b\\>|\\<[&|]\\>");
    EXPECT_EQ(qv::PreparePattern("a|b", true, true), "\\<a\\|b\\>");
    // Blanks around a piece stay outside its word edges; an escaped one is part of the word.
    EXPECT_EQ(qv::PreparePattern("cat | dog& ^x", false, true), "\\<cat\\> | \\<dog\\>& \\<^x\\>");
    EXPECT_EQ(qv::PreparePattern("a\\ ", false, true), "\\<a\\ \\>");
    // Backslashes are escaped first, so the ones added later are not doubled again.
    EXPECT_EQ(qv::PreparePattern("\\|&^$.*+-[]", true, false), "\\\\\\|\\&\\^\\$\\.\\*\\+\\-\\[\\]");
    // An escaped final $ is a dollar sign, not the line end.
    EXPECT_EQ(qv::PreparePattern("a\\$", false, false), "a\\$");
    EXPECT_EQ(qv::PreparePattern("a\\\\$", false, false), "a\\\\\\r\\n");
}

TEST(SplitFileSpecs, MasksFromTheSpecificationText)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(qv::SplitFileSpecs(" *.txt , *.doc ", false), (V{"*.TXT", "*.DOC"}));
    EXPECT_EQ(qv::SplitFileSpecs("*.txt", true), (V{"*.TXT", "*.ZIP"}));
    EXPECT_EQ(qv::SplitFileSpecs("*.zip", true), (V{"*.ZIP"}));
    EXPECT_EQ(qv::SplitFileSpecs("*.*", true), (V{"*.*"}));
    EXPECT_EQ(qv::SplitFileSpecs("a,,b", false), (V{"A", "", "B"}));
    EXPECT_EQ(qv::SplitFileSpecs("*.txt,", false), (V{"*.TXT"}));
    EXPECT_EQ(qv::SplitFileSpecs("\"a,b.txt\",*.doc", false), (V{"\"A,B.TXT\"", "*.DOC"}));
    EXPECT_EQ(qv::SplitFileSpecs("\t*.c\x01", false), (V{"*.C"}));
}

} // namespace
