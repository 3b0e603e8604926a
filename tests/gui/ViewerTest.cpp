// The file viewer: loading, colouring, positioning and stepping, and its failures.
#include "viewer/FileViewer.h"
#include "viewer/TextView.h"
#include "support/HostileText.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class ViewerTest : public ::testing::Test {
protected:
    std::unique_ptr<qv::TfrmViewer> open(const std::string& name, const std::string& type, const std::string& pattern, int startMatch,
                                         bool caseSensitive = false)
    {
        qv::TfrmViewer::Input in;
        in.path = dir.path() + name;
        in.row = qv::FileRow{
            name, dir.path(), 1, type == "B" ? qv::FileType::Binary : qv::FileType::Text, static_cast<std::uint64_t>(sizeOf(in.path)),
            0,    ""};
        in.pattern = pattern;
        in.caseSensitive = caseSensitive;
        in.preferences = prefs;
        in.screen = QRect(0, 0, 1280, 1024);
        auto v = std::make_unique<qv::TfrmViewer>(in, messages);
        v->resize(700, 400);
        v->StartMatch = startMatch;
        loaded = v->FormShow();
        return v;
    }

    static long long sizeOf(const std::string& path)
    {
        struct stat st { };
        return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
    }

    // The text of a displayed line.
    static std::string lineText(const qv::TfrmViewer& v, int line)
    {
        const auto start = v.edtFile->lineStart(line);
        return v.edtFile->text().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(v.edtFile->lineLength(start)));
    }

    qvtest::TempDir dir;
    qvtest::RecordingMessages messages;
    qv::PreferenceSet prefs = qv::PreferenceSet::Defaults();
    bool loaded = false;
};

std::string numberedLines(int n, int every)
{
    std::string t;
    for (int i = 1; i <= n; ++i)
        t += (i % every == 0 ? "hit line " : "plain line ") + std::to_string(i) + "\n";
    return t;
}

TEST_F(ViewerTest, ASlowFileLoadsWhileTheWindowsGoOnAndClosingStopsIt)
{
    // A pattern the automaton gives up on: slow to search.
    const std::string slow = qvtest::hostileLines(std::size_t{1} << 20);
    dir.write("slow.txt", slow + qvtest::kHostileMatch + "\n");
    qv::TfrmViewer::Input in;
    in.path = dir.path() + "slow.txt";
    in.row = qv::FileRow{"slow.txt", dir.path(), 1, qv::FileType::Text, static_cast<std::uint64_t>(sizeOf(in.path)), 0, ""};
    in.pattern = qvtest::kHostilePattern;
    in.preferences = prefs;
    auto v = std::make_unique<qv::TfrmViewer>(in, messages);
    v->show();
    EXPECT_TRUE(v->loading());
    EXPECT_FALSE(v->cmdNext->isEnabled());
    v.reset(); // closed while it loads: the work stops with it
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    v = std::make_unique<qv::TfrmViewer>(in, messages);
    v->StartMatch = 1;
    v->show();
    for (int i = 0; i < 60000 && v->loading(); ++i)
        QTest::qWait(1);
    ASSERT_FALSE(v->loading());
    EXPECT_EQ(v->MatchCount, 1);
    EXPECT_TRUE(v->cmdNext->isEnabled());
    EXPECT_EQ(v->edtFile->lineCount(), static_cast<int>(std::count(slow.begin(), slow.end(), '\n')) + 2);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(ViewerTest, TextOpensAtTheLineAsking)
{
    dir.write("t.txt", numberedLines(200, 10));
    auto v = open("t.txt", "T", "hit", 40);
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(v->IsBinaryView);
    EXPECT_EQ(v->edtFile->firstVisibleLine(), 39);
    EXPECT_EQ(v->edtFile->caret(), v->edtFile->lineStart(39));
    EXPECT_EQ(v->lblLine->text(), "Line 40");
    EXPECT_EQ(lineText(*v, 39), "hit line 40");
    EXPECT_EQ(v->MatchCount, 20);
    EXPECT_EQ(v->MatchKeys.front(), 9);
    auto top = open("t.txt", "T", "hit", -1);
    EXPECT_EQ(top->edtFile->caret(), 0);
    EXPECT_EQ(top->edtFile->firstVisibleLine(), 0);
    EXPECT_EQ(top->lblLine->text(), "Line 1");
}

TEST_F(ViewerTest, TextStepsFromLineToLineWithoutWrappingAround)
{
    dir.write("t.txt", numberedLines(100, 10));
    auto v = open("t.txt", "T", "hit", 15); // inside no match: line 15
    v->StepToMatch('N');
    EXPECT_EQ(v->lblLine->text(), "Line 20");
    v->edtFile->setCaret(v->edtFile->lineStart(19) + 3); // inside matching line 20
    v->StepToMatch('N');
    EXPECT_EQ(v->lblLine->text(), "Line 30");
    v->edtFile->setCaret(v->edtFile->lineStart(29) + 3);
    v->StepToMatch('P');
    EXPECT_EQ(v->lblLine->text(), "Line 20"); // never the current line
    v->edtFile->setCaret(v->edtFile->lineStart(99));
    v->StepToMatch('N');
    EXPECT_EQ(v->lblLine->text(), "Line 100"); // on the last match: nothing happens
    v->edtFile->setCaret(v->edtFile->lineStart(9));
    v->StepToMatch('P');
    EXPECT_EQ(v->lblLine->text(), "Line 10");
}

TEST_F(ViewerTest, SteppingKeepsTheCaretsScreenRow)
{
    dir.write("t.txt", numberedLines(400, 50));
    auto v = open("t.txt", "T", "hit", 50);
    ASSERT_EQ(v->edtFile->firstVisibleLine(), 49);
    v->edtFile->scrollLines(-3); // the caret's line is now the fourth on screen
    v->StepToMatch('N');
    EXPECT_EQ(v->lblLine->text(), "Line 100");
    EXPECT_EQ(v->edtFile->firstVisibleLine(), 96);
}

TEST_F(ViewerTest, OnlyTheFirstMaxMatchesLinesAreColouredAndSteppedTo)
{
    dir.write("t.txt", numberedLines(100, 1));
    prefs.MaxMatches = 7;
    auto v = open("t.txt", "T", "hit", -1);
    EXPECT_EQ(v->MatchCount, 7);
    v->edtFile->setCaret(v->edtFile->lineStart(6));
    v->StepToMatch('N');
    EXPECT_EQ(v->lblLine->text(), "Line 7");
    prefs.MaxMatches = 9000; // stored beyond the dialog's range
    dir.write("many.txt", numberedLines(6000, 1));
    auto many = open("many.txt", "T", "hit", -1);
    EXPECT_EQ(many->MatchCount, qv::TfrmViewer::kMatchCapacity);
}

TEST_F(ViewerTest, BinaryMatchesAreColouredExactlyAndSteppedByOffset)
{
    const std::string content = std::string("\x01\x02", 2) + "aa KEY bb KEY cc KEY dd";
    dir.write("b.bin", content);
    auto v = open("b.bin", "B", "KEY", 1, true);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(v->IsBinaryView);
    EXPECT_TRUE(v->lblLine->isHidden());
    EXPECT_EQ(v->edtFile->text(), "aa KEY bb KEY cc KEY dd"); // control bytes gone
    EXPECT_EQ(v->MatchKeys, (std::vector<std::int64_t>{3, 10, 17}));
    EXPECT_EQ(v->edtFile->caret(), 10); // the second match (index 1)
    v->StepToMatch('N');
    EXPECT_EQ(v->edtFile->caret(), 17);
    v->StepToMatch('N');
    EXPECT_EQ(v->edtFile->caret(), 17);
    v->StepToMatch('P');
    EXPECT_EQ(v->edtFile->caret(), 10);
    auto beyond = open("b.bin", "B", "KEY", 40, true);
    EXPECT_EQ(beyond->edtFile->caret(), 17); // past the recorded matches: the last one
}

TEST_F(ViewerTest, LongBinaryMatchesArePassedOverAndTheCatInConcatIsColoured)
{
    dir.write("l.bin", std::string("\x01", 1) + std::string(400, 'x') + " xxx");
    auto v = open("l.bin", "B", "x+", -1, true);
    EXPECT_EQ(v->MatchKeys, (std::vector<std::int64_t>{401}));
    dir.write("c.bin", std::string("\x01", 1) + "concat cat");
    auto c = open("c.bin", "B", "\\<cat\\>", -1, true);
    // The engine matched the word cat; the viewer colours the first "cat" after its position.
    EXPECT_EQ(c->MatchKeys, (std::vector<std::int64_t>{3}));
}

TEST_F(ViewerTest, CaseFollowsTheBoxWhenTheViewerOpens)
{
    dir.write("t.txt", "Key\nkey\nKEY\n");
    EXPECT_EQ(open("t.txt", "T", "key", -1, false)->MatchCount, 3);
    EXPECT_EQ(open("t.txt", "T", "key", -1, true)->MatchCount, 1);
}

TEST_F(ViewerTest, LineEndsOfEveryKindKeepTheLineNumbers)
{
    dir.write("t.txt", "one\r\ntwo\rstill two\nthree hit\n");
    auto v = open("t.txt", "T", "hit", 3);
    EXPECT_EQ(v->edtFile->lineCount(), 4); // three lines and the empty one after the last LF
    EXPECT_EQ(lineText(*v, 1), "two still two");
    EXPECT_EQ(v->MatchKeys, (std::vector<std::int64_t>{2}));
}

TEST_F(ViewerTest, FilesThatCannotBeShownAreReported)
{
    auto missing = open("gone.txt", "T", "x", -1);
    EXPECT_FALSE(loaded);
    ASSERT_EQ(messages.boxes.size(), 1U);
    EXPECT_EQ(messages.boxes[0].text, QString::fromStdString("Cannot open file " + dir.path() + "gone.txt"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(::mkfifo((dir.path() + "fifo").c_str(), 0600), 0);
    open("fifo", "T", "x", -1); // must not block
    EXPECT_FALSE(loaded);
    dir.write("short.bin", "\x01 abc");
    qv::TfrmViewer::Input in;
    in.path = dir.path() + "short.bin";
    in.row = qv::FileRow{"short.bin", dir.path(), 1, qv::FileType::Binary, 500, 0, ""}; // it shrank since
    in.pattern = "abc";
    in.preferences = prefs;
    qv::TfrmViewer shrunk(in, messages);
    EXPECT_FALSE(shrunk.FormShow());
    EXPECT_EQ(messages.boxes.size(), 3U);
}

TEST_F(ViewerTest, InvalidUtf8ShowsByteForByte)
{
    dir.write("l1.txt", "caf\xE9 hit\n");
    auto v = open("l1.txt", "T", "hit", -1);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(v->MatchCount, 1);
    EXPECT_EQ(lineText(*v, 0), "caf\xE9 hit");
}

TEST(CleanBinaryText, WordPerfectOleAndHighBytes)
{
    // WordPerfect: 80 and CF become blanks, CC CC a line break; the signature's FF then goes.
    EXPECT_EQ(qv::CleanBinaryText(std::string("\xFFWPCa\x80"
                                              "b\xCC\xCC"
                                              "c\xCF"
                                              "d",
                                              12)),
              "WPCa b\r\nc d");
    // OLE: each CR becomes CR LF, also one already followed by LF.
    EXPECT_EQ(qv::CleanBinaryText(std::string("\xD0\xCF"
                                              "a\rb\r\nc",
                                              8)),
              "a\r\nb\r\n\nc");
    EXPECT_EQ(qv::CleanBinaryText(std::string("caf\xC3\xA9\x7F\x01\x0B\t\f", 10)), "caf\t\f");
}

} // namespace
