// Whole runs over the texts and names of a Linux disk: UTF-8 letters of any case, UTF-16 files,
// names in any encoding.
#include "platform/TempBase.h"
#include "platform/Utf8.h"
#include "search/RunTexts.h"
#include "support/RunRecorder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using V = std::vector<std::string>;

class TextEncodingRunTest : public ::testing::Test {
protected:
    qv::SearchRequest request(const std::string& text)
    {
        qv::SearchRequest r;
        r.StartDirectory = dir.path();
        r.SelectedCaption = "dir";
        r.SearchText = text;
        return r;
    }

    // Each row as "name|matches|type", then its lines as "number:text".
    V run(const qv::SearchRequest& r, unsigned threads = 1)
    {
        qvtest::RunExtras extras;
        extras.threads = threads;
        extras.listMatches = true;
        const auto got = qvtest::RunSearch(r, temp.path(), extras);
        V out;
        for (std::size_t k = 0; k < got.out.rows.size(); ++k) {
            const qv::FileRow& row = got.out.rows[k];
            out.push_back(row.name + "|" + std::to_string(row.matches) + "|" + qv::TypeLetter(row.type));
            for (const qv::MatchLine& m : got.out.lines[k])
                out.push_back(qv::LineNumberText(m) + ":" + m.text);
        }
        return out;
    }

    qvtest::TempDir dir;
    qv::platform::TempBase temp;
};

// UTF-16 of UTF-8 text, its byte-order mark first.
std::string utf16(std::string_view utf8, bool littleEndian)
{
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    const auto unit = [&](std::uint32_t u) {
        const auto hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out.push_back(littleEndian ? lo : hi);
        out.push_back(littleEndian ? hi : lo);
    };
    out.reserve(utf8.size() * 2 + 2);
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            unit(static_cast<unsigned char>(utf8[i++]));
            continue;
        }
        const auto c = qv::platform::DecodeUtf8(utf8.substr(i));
        i += c->length;
        if (c->code < 0x10000) {
            unit(c->code);
        } else {
            unit(0xD800 + ((c->code - 0x10000) >> 10));
            unit(0xDC00 + ((c->code - 0x10000) & 0x3FF));
        }
    }
    return out;
}

const std::string kLetters = "Caf\xC3\xA9 cr\xC3\xA8me\r\n" // Café crème
                             "\xC3\x89\x43OLE \xF0\x9F\x98\x80\r\n" // ÉCOLE 😀
                             "\xCE\xA9\xCE\x9C\xCE\x88\xCE\x93\xCE\x91\r\n" // ΩΜΈΓΑ
                             "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 cafe\r\n"; // привет cafe

TEST_F(TextEncodingRunTest, LettersOfEveryScriptFoldWhenCaseIsIgnored)
{
    dir.write("a.txt", kLetters);
    EXPECT_EQ(run(request("CAF\xC3\x89")), (V{"a.txt|1|T", "1:Caf\xC3\xA9 cr\xC3\xA8me"}));
    EXPECT_EQ(run(request("\xC3\xA9\x63ole|\xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1|\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2")),
              (V{"a.txt|3|T", "2:\xC3\x89\x43OLE \xF0\x9F\x98\x80", "3:\xCE\xA9\xCE\x9C\xCE\x88\xCE\x93\xCE\x91",
                 "4:\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 cafe"}));
    auto exact = request("caf\xC3\xA9");
    exact.Case = true;
    EXPECT_EQ(run(exact), V{});
}

TEST_F(TextEncodingRunTest, Utf16FilesOfBothByteOrdersAreTextSearchedAsUtf8)
{
    dir.write("le.txt", utf16(kLetters, true));
    dir.write("be.txt", utf16(kLetters, false));
    // UTF-16 without a mark is not told from binary data.
    dir.write("nomark.txt", utf16(kLetters, true).substr(2));
    const V lines{"1:Caf\xC3\xA9 cr\xC3\xA8me", "4:\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 cafe"};
    V expected{"be.txt|2|T"};
    expected.insert(expected.end(), lines.begin(), lines.end());
    expected.push_back("le.txt|2|T");
    expected.insert(expected.end(), lines.begin(), lines.end());
    EXPECT_EQ(run(request("caf")), expected);
    // Its letters are found in its bytes, with zero bytes between.
    const V binary = run(request("C.a.f"));
    ASSERT_FALSE(binary.empty());
    EXPECT_EQ(binary.front(), "nomark.txt|2|B");
    // Anchors and line ends work on the decoded lines.
    EXPECT_EQ(run(request("^\xC3\xA9\x63ole.*$")),
              (V{"be.txt|1|T", "2:\xC3\x89\x43OLE \xF0\x9F\x98\x80", "le.txt|1|T", "2:\xC3\x89\x43OLE \xF0\x9F\x98\x80"}));
}

TEST_F(TextEncodingRunTest, ABigUtf16FileIsCountedWholeWithAnyNumberOfThreads)
{
    // Bigger than the size from which a text file is split into stretches.
    std::string text;
    while (text.size() < (std::size_t{17} << 20))
        text += "une ligne sans rien\r\n";
    text += "la derni\xC3\xA8re LIGNE\r\n";
    dir.write("big.txt", utf16(text, true));
    const V expected{"big.txt|1|T", std::to_string(std::count(text.begin(), text.end(), '\n')) + ":la derni\xC3\xA8re LIGNE"};
    EXPECT_EQ(run(request("DERNI\xC3\x88RE")), expected);
    EXPECT_EQ(run(request("DERNI\xC3\x88RE"), 3), expected);
}

TEST_F(TextEncodingRunTest, NamesInAnyEncodingAreWalkedInOneOrderAndOpened)
{
    // Case ignored, accents after their letter, a name that is not UTF-8 still found and read.
    for (const std::string name : {"b.txt", "\xC3\x89\x63ole.txt", "A.txt", "ecole.txt", "caf\xE9.txt", "Z.txt"})
        dir.write(name, "needle\n");
    auto r = request("needle");
    EXPECT_EQ(run(r), (V{"A.txt|1|T", "1:needle", "b.txt|1|T", "1:needle", "caf\xE9.txt|1|T", "1:needle", "ecole.txt|1|T", "1:needle",
                         "\xC3\x89\x63ole.txt|1|T", "1:needle", "Z.txt|1|T", "1:needle"}));
}

} // namespace
