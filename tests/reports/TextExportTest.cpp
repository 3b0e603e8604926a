// The text export: reports laid out on the character grid, checked against pages built by hand
// from the grid's column table.
#include "reports/ReportLayouts.h"
#include "reports/TextExport.h"
#include "search/RunTexts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>

namespace {

using qv::FileRow;
using qv::MatchLine;
using namespace qv::reports;

// The Date/Time column's format in these reports.
const qv::DateTimeFormat kDates("dd/mm/yyyy  h:mm", qv::platform::LocaleInfo{});

// Every character 1.6 mm wide (2 mm in bold), about an 8-point font: fixed-width fields hold a
// known number of them (file name 39, directory 73, count 9, type 3, size 9, date 21, line
// number 6).
double fixedMeasure(const std::string& text, bool bold)
{
    return static_cast<double>(text.size()) * (bold ? 2.0 : 1.6);
}

// A line built by placing texts at 1-based columns, later texts over earlier ones.
struct Line {
    std::string s;
    Line& at(std::size_t column, const std::string& text)
    {
        if (s.size() < column - 1 + text.size())
            s.resize(column - 1 + text.size(), ' ');
        s.replace(column - 1, text.size(), text);
        return *this;
    }
    Line& endAt(std::size_t column, const std::string& text) { return at(column + 1 - text.size(), text); }
};

std::string file(const std::vector<Line>& lines)
{
    std::string f;
    for (const Line& l : lines)
        f += l.s + "\r\n";
    return f;
}

FileRow row(std::string name, std::string dir, const std::string& matches, const std::string& type = "T", const std::string& size = "1234",
            const std::string& date = "09/12/2026  11:04")
{
    return FileRow{std::move(name),
                   std::move(dir),
                   std::stoull(matches),
                   type == "B" ? qv::FileType::Binary : qv::FileType::Text,
                   std::stoull(size),
                   static_cast<std::int64_t>(kDates.Parse(date).value()),
                   ""};
}

// A match line from its number ("" for a binary file's match) and text.
MatchLine ml(const std::string& number, std::string text)
{
    return MatchLine{number.empty() ? std::nullopt : std::optional<std::uint64_t>(std::stoull(number)), std::move(text), 0};
}

class TextExportTest : public ::testing::Test {
protected:
    std::string exportFileList(const std::string& header)
    {
        const auto failure = ExportReport(FileListReport(header, data), fixedMeasure, out);
        EXPECT_FALSE(failure) << *failure;
        return qvtest::readFile(out);
    }
    std::string exportAllMatches(const std::string& header)
    {
        const auto failure = ExportReport(MatchesReportAllFiles(header, data), fixedMeasure, out);
        EXPECT_FALSE(failure) << *failure;
        return qvtest::readFile(out);
    }
    static Line fileListHeader(const std::string& header, int page) { return Line{}.at(3, header).at(88, "Page " + std::to_string(page)); }
    static Line headings()
    {
        return Line{}.at(3, "File Name").at(28, "Directory").endAt(76, "Matches").at(78, "Type").endAt(86, "Size").at(88, "Date/Time");
    }
    static Line detail(const FileRow& r)
    {
        const auto f = [&](qv::RowField field) { return qv::RowFieldText(r, field, kDates); };
        return Line{}
            .at(3, r.name)
            .at(28, r.folder)
            .endAt(76, f(qv::RowField::Matches))
            .at(79, f(qv::RowField::Type))
            .endAt(86, f(qv::RowField::Size))
            .at(88, f(qv::RowField::DateTime));
    }

    qvtest::TempDir dir;
    std::string out = dir.path() + "report.txt";
    std::map<std::string, std::vector<MatchLine>> matchesOf; // by file name
    int listings = 0;
    ReportData data{{},
                    {},
                    99,
                    99,
                    [this](const FileRow& r) {
                        ++listings;
                        return matchesOf[r.name];
                    },
                    kDates};
    std::vector<FileRow>& files = data.files;
    std::vector<MatchLine>& lines = data.lines;
    int& fileIndex = data.fileIndex;
    int& lineIndex = data.lineIndex;
};

TEST_F(TextExportTest, FileListFieldsStandInTheirColumnsWithCrLfAndNoBlankLines)
{
    files = {row("a.txt", "/data/", "7"), row("b.bin", "/data/sub/", "12", "B", "99")};
    const std::string header = ReportHeader("abc", "/data", "*.txt");
    EXPECT_EQ(header, "Search for: \"abc\" in /data/*.txt");
    EXPECT_EQ(exportFileList(header), file({fileListHeader(header, 1), headings(), detail(files[0]), detail(files[1])}));
}

TEST_F(TextExportTest, CountsOfOneAndTwoDigitsEndWhereTheHeadingEnds)
{
    files = {row("a", "/", "7"), row("b", "/", "12")};
    const std::string text = exportFileList("h");
    // The third and fourth lines are the details; columns 70..76 hold "Matches" on the second.
    std::vector<std::string> l;
    for (std::size_t p = 0; p < text.size();) {
        const auto e = text.find("\r\n", p);
        l.push_back(text.substr(p, e - p));
        p = e + 2;
    }
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[1].substr(69, 7), "Matches");
    EXPECT_EQ(l[2].substr(73, 3), "  7");
    EXPECT_EQ(l[3].substr(73, 3), " 12");
}

TEST_F(TextExportTest, LongTextsAreCutToTheirWidthButValuesNever)
{
    // 120 characters with no blank: cut to the 73 that fit 117.74 mm, then overwritten from
    // column 75 by the count, type, size and date.
    const std::string longDir = "/" + std::string(119, 'd');
    // A name with blanks wraps between words: 39 characters fit 63.76 mm.
    files = {row("first second third fourth fifth sixth seventh.txt", longDir, "12", "B", "1234567890", "09/12/2026  11:04")};
    const Line expected = Line{}
                              .at(3, "first second third fourth fifth sixth")
                              .at(28, longDir.substr(0, 73))
                              .endAt(76, "12")
                              .at(79, "B")
                              .at(80, " 1234567890") // wider than its 15.08 mm
                              .at(92, "09/12/2026  11:04");
    // The grid's columns are wider than printed digits: the size, growing to the left, would
    // cover the type's cell, so it goes right of it after a blank and the date moves along.
    ASSERT_EQ(expected.s.substr(74, 18), "12ddB 1234567890d0");
    EXPECT_EQ(exportFileList("h"), file({fileListHeader("h", 1), headings(), expected}));

    // A size, a count and a date wider than their fields, a line number wider than its own.
    files = {row("a", "/", "1234567890123", "T", "104857608")};
    const std::string wide = exportFileList("h");
    EXPECT_NE(wide.find("1234567890123"), std::string::npos);
    EXPECT_NE(wide.find("T 104857608 09/12/2026  11:04\r\n"), std::string::npos) << wide; // the type and the date stay
    const auto narrow = [](const std::string& text, bool bold) { return static_cast<double>(text.size()) * (bold ? 2.0 : 3.5); };
    files = {row("a", "/", "1")};
    ExportReport(FileListReport("h", data), narrow, out);
    EXPECT_NE(qvtest::readFile(out).find("09/12/2026  11:04"), std::string::npos); // 17 characters in 34.13 mm
    matchesOf["a"] = {ml("455000", "text")};
    EXPECT_NE(exportAllMatches("h").find("455000"), std::string::npos);
    // An empty line pads its row as it always did, and moves nothing.
    matchesOf["a"] = {ml("2", ""), ml("455000", "")};
    const std::string empty = exportAllMatches("h");
    EXPECT_NE(empty.find("\r\n    2     \r\n    455000\r\n"), std::string::npos) << empty;
}

TEST_F(TextExportTest, AFileListPageHolds35RowsAndTheGridSkipsARow)
{
    for (int i = 0; i < 36; ++i)
        files.push_back(row("f" + std::to_string(i), "/", "1"));
    std::vector<Line> expected{fileListHeader("h", 1), headings()};
    for (int i = 0; i < 35; ++i)
        expected.push_back(detail(files[static_cast<std::size_t>(i)]));
    expected.push_back(fileListHeader("h", 2));
    expected.push_back(headings());
    expected.push_back(detail(files[35]));
    EXPECT_EQ(exportFileList("h"), file(expected));

    // Where the rows fell on a full page: header 3, headings 5, details from 7 with row 25 left
    // empty (the band is 4.8 mm, the grid 4.59 mm).
    files.resize(35);
    TextExport grid(out);
    RunReport(FileListReport("h", data), fixedMeasure, grid);
    EXPECT_EQ(grid.rowsPerPage(), 47);
    std::vector<int> used;
    for (int r = 0; r < TextExport::kBufferRows; ++r)
        if (!grid.bufferRow(r).empty())
            used.push_back(r);
    std::vector<int> want{3, 5};
    for (int r = 7; r <= 43; ++r)
        if (r != 25)
            want.push_back(r);
    // 35 details end on row 42 with the skip; row 43 would be the 36th.
    want.pop_back();
    EXPECT_EQ(used, want);
}

TEST_F(TextExportTest, AHeaderLongerThanItsSpaceIsOverwrittenByThePageNumber)
{
    files = {row("a", "/", "1")};
    const std::string header = ReportHeader("x", "/" + std::string(80, 'p'), "*.*");
    ASSERT_GT(header.size(), 85u + 10u);
    const Line top = Line{}.at(3, header).at(88, "Page 1");
    ASSERT_EQ(top.s.substr(93), header.substr(93 - 2)); // what lies beyond the number stays
    EXPECT_EQ(exportFileList(header), file({top, headings(), detail(files[0])}));

    matchesOf["a"] = {ml("1", "x")};
    const Line matchesTop = Line{}.at(5, header).at(66, "Page 1");
    EXPECT_EQ(exportAllMatches(header), file({matchesTop, Line{}.at(5, "/a - 1 match"), Line{}.at(10, "x").at(5, "1")}));
}

TEST_F(TextExportTest, MatchesReportHeadingsAndLinesEachOnARowOfTheirOwn)
{
    files = {row("a.txt", "/d/", "1"), FileRow{"m.txt", "/z/arch.zip", 9, qv::FileType::Text, 1, 0, "/tmp/x/m.txt"}};
    matchesOf["a.txt"] = {ml("123456", "six digits push the text along")};
    for (int i = 1; i <= 9; ++i)
        matchesOf["m.txt"].push_back(ml(std::to_string(i), i == 7 ? "aaaaaaaaaaaaaaaa" : "line " + std::to_string(i)));
    const std::string header = "Search for: \"s\" in /d/*.*";
    // Heading on row 6, its line on 7; the second heading on 9, its lines 4.2 mm apart on a
    // 4.59 mm grid from row 10: the eighth would fall on the seventh's row 16, so it and the
    // ninth move down a row.
    std::vector<Line> expected{
        Line{}.at(5, header).at(66, "Page 1"),
        Line{}.at(5, "/d/a.txt - 1 match"),
        Line{}.at(5, "123456").at(12, "six digits push the text along"),
        Line{}.at(5, "m.txt (in /z/arch.zip) - 9 matches"),
    };
    for (int i = 1; i <= 9; ++i)
        expected.push_back(Line{}.at(10, i == 7 ? "aaaaaaaaaaaaaaaa" : "line " + std::to_string(i)).at(5, std::to_string(i)));
    EXPECT_EQ(exportAllMatches(header), file(expected));
    EXPECT_EQ(listings, 2);
    TextExport grid(out);
    RunReport(MatchesReportAllFiles(header, data), fixedMeasure, grid);
    EXPECT_EQ(grid.bufferRow(16), Line{}.at(10, "aaaaaaaaaaaaaaaa").at(5, "7").s);
    EXPECT_EQ(grid.bufferRow(18), Line{}.at(10, "line 9").at(5, "9").s);
}

TEST_F(TextExportTest, EveryMatchingLineOfEveryPageReachesTheFile)
{
    // A match every 7th line of 400, and enough files for several pages.
    for (const std::string name : {"a", "b", "c"}) {
        files.push_back(row(name, "/", "57"));
        for (int n = 1; n <= 400; n += 7)
            matchesOf[name].push_back(ml(std::to_string(n), name + " line " + std::to_string(n)));
    }
    const std::string text = exportAllMatches("h");
    for (const std::string name : {"a", "b", "c"})
        for (int n = 1; n <= 400; n += 7)
            EXPECT_NE(text.find(name + " line " + std::to_string(n) + "\r\n"), std::string::npos) << name << n;
}

TEST_F(TextExportTest, MatchesPageBreakPutsTheNextLineOnRowFive)
{
    files = {row("a", "/", "60")};
    for (int i = 1; i <= 60; ++i)
        matchesOf["a"].push_back(ml(std::to_string(i), "t"));
    TextExport grid(out);
    RunReport(MatchesReportAllFiles("h", data), fixedMeasure, grid);
    EXPECT_EQ(grid.rowsPerPage(), 61);
    // 55 lines fit below the heading on the first page; the 56th opens page 2 on row 5.
    EXPECT_EQ(grid.bufferRow(3), Line{}.at(5, "h").at(66, "Page 2").s);
    EXPECT_EQ(grid.bufferRow(4), "");
    EXPECT_EQ(grid.bufferRow(5), Line{}.at(10, "t").at(5, "56").s);
    const std::string text = qvtest::readFile(out);
    EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(TextExportTest, TextOnRowsBeyondThePageIsLostAndTheBufferIsNeverOverrun)
{
    TextExport grid(out);
    grid.begin(PageSetup{215.9, 279.4, false, 12.7, 12.7, 12.7, 12.7});
    grid.startPage(1);
    const double h = 13 * 254.0 / 72;
    grid.placeText(PlacedText{100, 60 * h, Align::Left, "last row", false, std::nullopt, false});
    grid.placeText(PlacedText{100, 61 * h, Align::Left, "row R", false, std::nullopt, false});
    grid.placeText(PlacedText{100, 200 * h, Align::Left, "row 200", false, std::nullopt, false});
    grid.placeText(PlacedText{100, 201 * h, Align::Left, "past the buffer", false, std::nullopt, false});
    grid.placeText(PlacedText{100, 1e12, Align::Left, "far past", false, std::nullopt, false});
    grid.placeText(PlacedText{-500, -1e6, Align::Right, "above the page", false, std::nullopt, false});
    grid.placeText(PlacedText{-500, 2 * h, Align::Right, "left of the page", false, std::nullopt, false});
    grid.endPage();
    grid.end();
    EXPECT_TRUE(grid.succeeded());
    EXPECT_EQ(grid.bufferRow(200), "   row 200");
    EXPECT_EQ(qvtest::readFile(out), "left of the page\r\n   last row\r\n");
}

TEST_F(TextExportTest, NonAsciiNamesKeepTheirColumnsAndOddBytesPassThrough)
{
    // Columns count characters: the expected lines are built with one-byte stand-ins, then the
    // stand-ins are swapped for the two-byte é and for bytes that are not UTF-8 at all.
    const auto swap = [](std::string s, char standIn, const std::string& by) {
        for (auto p = s.find(standIn); p != std::string::npos; p = s.find(standIn, p + by.size()))
            s.replace(p, 1, by);
        return s;
    };
    files = {row("@t@.txt", "/caf@/", "3"), row("bad#.txt", "/", "4")};
    std::string expected = file({fileListHeader("h", 1), headings(), detail(files[0]), detail(files[1])});
    expected = swap(swap(expected, '@', "\xc3\xa9"), '#', "\xff\xfe");
    files = {row("\xc3\xa9t\xc3\xa9.txt", "/caf\xc3\xa9/", "3"), row("bad\xff\xfe.txt", "/", "4")};
    const std::string text = exportFileList("h");
    EXPECT_EQ(text.substr(0, text.find("bad")), expected.substr(0, expected.find("bad")));
    // The stand-in '#' is one column, the two odd bytes two: that row's directory is checked alone.
    EXPECT_NE(text.find("  bad\xff\xfe.txt" + std::string(25 - 9, ' ') + "/"), std::string::npos);
}

TEST_F(TextExportTest, AnEmptyReportLeavesAnEmptyFileAndReplacesAnOldOne)
{
    qvtest::TempDir d;
    d.write("report.txt", "old contents\r\n");
    out = d.path() + "report.txt";
    EXPECT_EQ(exportFileList("h"), "");
    EXPECT_EQ(exportAllMatches("h"), "");
}

TEST_F(TextExportTest, AFileThatCannotBeWrittenIsReportedByName)
{
    files = {row("a", "/", "1")};
    const auto missing = ExportReport(FileListReport("h", data), fixedMeasure, dir.path() + "no/such/folder.txt");
    ASSERT_TRUE(missing);
    EXPECT_EQ(*missing, "Cannot write the file \"" + dir.path() + "no/such/folder.txt\": No such file or directory.");
    const auto full = ExportReport(FileListReport("h", data), fixedMeasure, "/dev/full");
    ASSERT_TRUE(full);
    EXPECT_EQ(*full, "Cannot write the file \"/dev/full\": No space left on device.");
}

TEST_F(TextExportTest, HugeAndHostileRowsExportWithoutHarm)
{
    const std::string longText(10000, 'x');
    std::string control;
    for (int c = 1; c < 32; ++c)
        control += static_cast<char>(c);
    files.push_back(row(longText, "/" + longText + "/", "1"));
    files.push_back(row("ctl" + control, "/" + control + "/", "2"));
    for (int i = 0; i < 100000; ++i)
        files.push_back(row("n" + std::to_string(i), "/d/", "1"));
    const std::string text = exportFileList(std::string(3000, 'h'));
    // 100,002 rows at 35 a page, plus two header lines a page.
    const std::size_t pages = (100002 + 34) / 35;
    std::size_t crlf = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
        ++crlf;
    // Fixed-width fields stop at their first line break: every row stays one line.
    EXPECT_EQ(crlf, 100002 + 2 * pages);
    EXPECT_NE(text.find("n99999"), std::string::npos);

    matchesOf[longText] = {ml("1", longText + "\r\n" + control)};
    files.resize(2);
    const std::string matches = exportAllMatches("h");
    EXPECT_NE(matches.find(longText + "\r\n"), std::string::npos); // the line stops at its CR
}

TEST(ReportRulesTest, RoundingHalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(4.50001), 5);
}

TEST(ReportRulesTest, FieldsPrintOneLine)
{
    const FieldSpec growing{0, 0, Align::Left, std::nullopt, false};
    EXPECT_EQ(PrintedLine("one\ntwo\rthree", growing, fixedMeasure), "onetwo");
    const FieldSpec twelveChars{0, 0, Align::Left, 20.0, false};
    EXPECT_EQ(PrintedLine("alpha beta gamma", twelveChars, fixedMeasure), "alpha beta");
    EXPECT_EQ(PrintedLine("alphabetagamma", twelveChars, fixedMeasure), "alphabetagam");
    EXPECT_EQ(PrintedLine("  alphabetagamma", twelveChars, fixedMeasure), "  alphabetag");
    EXPECT_EQ(PrintedLine("ab\ncd ef", twelveChars, fixedMeasure), "ab");
    EXPECT_EQ(PrintedLine("     ", twelveChars, fixedMeasure), "");
    // A value is never wrapped or cut, however narrow its field.
    const FieldSpec value{0, 0, Align::Right, 5.0, false, true};
    EXPECT_EQ(PrintedLine("31/12/2019  11:04pm", value, fixedMeasure), "31/12/2019  11:04pm");
    const FieldSpec tenChars{0, 0, Align::Left, 20.0, false};
    // A multi-byte character is never split.
    EXPECT_EQ(PrintedLine("abcdefghi\xc3\xa9xyz", tenChars,
                          [](const std::string& t, bool) {
                              double n = 0;
                              for (unsigned char c : t)
                                  n += (c & 0xC0) == 0x80 ? 0 : 2;
                              return n;
                          }),
              "abcdefghi\xc3\xa9");
}

TEST(ReportRulesTest, FileHeadingsAndReportHeaders)
{
    EXPECT_EQ(FileHeading(row("a.txt", "/docs/", "1")), "/docs/a.txt - 1 match");
    EXPECT_EQ(FileHeading(row("a.txt", "/docs/", "11")), "/docs/a.txt - 11 matches");
    EXPECT_EQ(FileHeading(FileRow{"m.c", "/z/a.zip", 3, qv::FileType::Text, 1, 0, "/tmp/q/m.c"}), "m.c (in /z/a.zip) - 3 matches");
    EXPECT_EQ(ReportHeader("x", "/docs/", "*.txt"), "Search for: \"x\" in /docs/*.txt");
    EXPECT_EQ(ReportHeader("x", "/", "*.txt, *.doc"), "Search for: \"x\" in /*.txt, *.doc");
}

TEST_F(TextExportTest, TheSelectedFileReportPrintsTheShownLinesWithoutSearchingAgain)
{
    const FileRow selected = row("s.txt", "/d/", "2");
    const std::vector<MatchLine> shown{ml("4", "four"), ml("", "binary match")};
    const std::string text = [&] {
        EXPECT_FALSE(ExportReport(MatchesReportSelectedFile("h", selected, shown, data), fixedMeasure, out));
        return qvtest::readFile(out);
    }();
    EXPECT_EQ(text, file({Line{}.at(5, "h").at(66, "Page 1"), Line{}.at(5, "/d/s.txt - 2 matches"), Line{}.at(10, "four").at(5, "4"),
                          Line{}.at(10, "binary match")}));
    EXPECT_EQ(listings, 0);
    EXPECT_EQ(lines, shown);
}

TEST_F(TextExportTest, AStoppedExportLeavesNoFile)
{
    for (int i = 0; i < 100; ++i)
        files.push_back(row("f" + std::to_string(i), "/", "1"));
    std::vector<int> asked;
    const auto failure = ExportReport(FileListReport("h", data), fixedMeasure, out, [&](int page) {
        asked.push_back(page);
        return page < 2;
    });
    EXPECT_FALSE(failure);
    EXPECT_EQ(asked, (std::vector<int>{1, 2}));
    struct stat st { };
    EXPECT_NE(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(fileIndex, 35); // the row that would have opened page 2 was the last one asked for
}

TEST_F(TextExportTest, RowSourcesStopPastTheirLastRow)
{
    files = {row("a", "/", "1")};
    fileIndex = -1;
    EXPECT_TRUE(NextFileRecord(data));
    EXPECT_FALSE(NextFileRecord(data));
    EXPECT_FALSE(NextFileRecord(data));
    lines = {ml("1", "x")};
    lineIndex = -1;
    ASSERT_TRUE(NextMatchLine(data));
    EXPECT_FALSE(NextMatchLine(data));
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_EQ(files.size(), 1u);
}

} // namespace
