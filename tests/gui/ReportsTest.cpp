// Print/Export from the main window: the dialog, PDF output checked with poppler's tools, the
// text export through the window, and the same bytes from qvsearch.
#include "support/Process.h"
#include "dialogs/PrintDialog.h"
#include "gui/WindowFixture.h"

#include <QGroupBox>
#include <QItemSelectionModel>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <sstream>

namespace {

std::string quote(const std::string& s)
{
    return qvtest::shellQuote(s);
}

std::string output(const std::string& command)
{
    return qvtest::runShell(command).out;
}

std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t p = 0; p < text.size();) {
        const auto e = text.find("\r\n", p);
        lines.push_back(text.substr(p, e - p));
        if (e == std::string::npos)
            break;
        p = e + 2;
    }
    return lines;
}

class ReportsTest : public qvtest::WindowFixture {
protected:
    // The window after searching its folder for `text`.
    std::unique_ptr<qv::TfrmMain> searched(const QString& text)
    {
        auto w = openOnFolder();
        search(*w, text);
        return w;
    }
    // Prints report `choice` into a PDF file and returns its name.
    std::string printToPdf(qv::TfrmMain& w, int choice)
    {
        const std::string pdf = out.path() + "report" + std::to_string(++pdfs) + ".pdf";
        w.printer().setOutputFormat(QPrinter::PdfFormat);
        w.printer().setOutputFileName(QString::fromStdString(pdf));
        w.state().Report.choice = choice;
        w.state().Report.preview = false;
        w.state().Report.exportFile.clear();
        w.ProduceReport();
        return pdf;
    }
    std::string exportText(qv::TfrmMain& w, int choice)
    {
        const std::string file = out.path() + "export.txt";
        w.state().Report.choice = choice;
        w.state().Report.exportFile = file;
        w.ProduceReport();
        return qvtest::readFile(file);
    }
    static std::string pdfInfo(const std::string& pdf) { return output("pdfinfo " + quote(pdf)); }
    static std::string pdfText(const std::string& pdf) { return output("pdftotext -layout " + quote(pdf) + " -"); }

    // The height pdftotext gives the first word `word` of a PDF, in points.
    static double wordHeight(const std::string& pdf, const std::string& word)
    {
        std::istringstream in(output("pdftotext -bbox " + quote(pdf) + " -"));
        for (std::string line; std::getline(in, line);) {
            if (line.find(">" + word + "</word>") == std::string::npos)
                continue;
            double yMin = 0, yMax = 0;
            std::sscanf(line.c_str() + line.find("yMin="), "yMin=\"%lf\"", &yMin);
            std::sscanf(line.c_str() + line.find("yMax="), "yMax=\"%lf\"", &yMax);
            return yMax - yMin;
        }
        return 0;
    }

    void writeFiles(int count)
    {
        for (int i = 0; i < count; ++i)
            dir.write("f" + std::to_string(100 + i) + ".txt", "hello world\nnothing\nhello again\n");
    }

    qvtest::TempDir out;
    int pdfs = 0;
};

TEST_F(ReportsTest, FileListPrintsOnLetterLandscapeWithEveryRow)
{
    writeFiles(40);
    auto w = searched("hello");
    ASSERT_EQ(w->files1.rows().size(), 40u);
    const std::string pdf = printToPdf(*w, 0);
    const std::string info = pdfInfo(pdf);
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("792 x 612 pts (letter)"), std::string::npos) << info;
    const std::string text = pdfText(pdf);
    for (const char* s : {"Search for: \"hello\" in", "Page 1", "Page 2", "File Name", "Directory", "Matches", "Type", "Size", "Date/Time",
                          "f100.txt", "f139.txt"})
        EXPECT_NE(text.find(s), std::string::npos) << s;
    EXPECT_NE(text.find(w->ReportHeaderText()), std::string::npos) << text.substr(0, 400);
    EXPECT_EQ(messages.boxes.size(), 0u);
}

TEST_F(ReportsTest, MatchesReportStaysLetterPortraitWhateverThePrinterWasSetTo)
{
    writeFiles(3);
    auto w = searched("hello");
    w->printer().setPageSize(QPageSize(QPageSize::A4));
    w->printer().setPageOrientation(QPageLayout::Landscape);
    w->printer().setCopyCount(3);
    const std::string pdf = printToPdf(*w, 2);
    const std::string info = pdfInfo(pdf);
    EXPECT_NE(info.find("612 x 792 pts (letter)"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find(dir.path() + "f101.txt - 2 matches"), std::string::npos) << text;
    EXPECT_NE(text.find("hello again"), std::string::npos);
}

TEST_F(ReportsTest, ThePrintFontReachesEveryFieldAndHeadingsStayBold)
{
    writeFiles(2);
    auto w = searched("hello");
    w->state().Preferences.PrintFontName = "DejaVu Sans Mono";
    w->state().Preferences.PrintFontSize = 8;
    const std::string small = printToPdf(*w, 0);
    w->state().Preferences.PrintFontSize = 12;
    const std::string large = printToPdf(*w, 0);
    const std::string fonts = output("pdffonts " + quote(large));
    EXPECT_NE(fonts.find("DejaVuSansMono-Bold"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("DejaVuSansMono "), std::string::npos) << fonts;
    EXPECT_EQ(fonts.find("DejaVuSans-"), std::string::npos) << fonts;
    // Headings and details both grow with the size.
    EXPECT_GT(wordHeight(large, "Directory"), 1.3 * wordHeight(small, "Directory"));
    EXPECT_GT(wordHeight(large, "f100.txt"), 1.3 * wordHeight(small, "f100.txt"));
}

TEST_F(ReportsTest, TheDialogKeepsItsChoiceBetweenOpenings)
{
    auto w = openOnFolder();
    EXPECT_EQ(w->frmPrint->windowTitle(), "Print/Export");
    EXPECT_EQ(w->frmPrint->optPrint->title(), " Include: ");
    EXPECT_EQ(w->frmPrint->choice(), 0);
    QTimer::singleShot(0, w.get(), [&] {
        w->frmPrint->optItems[2]->click();
        w->frmPrint->cmdCancel->click();
    });
    w->cmdPrintClick();
    EXPECT_EQ(w->state().Report.choice, -1);
    int seen = -1;
    QTimer::singleShot(0, w.get(), [&] {
        seen = w->frmPrint->choice();
        w->frmPrint->cmdCancel->click();
    });
    w->cmdPrintClick();
    EXPECT_EQ(seen, 2);
}

TEST_F(ReportsTest, MatchesOfTheSelectedFileNeedASelectedFile)
{
    writeFiles(2);
    auto w = searched("hello");
    w->lstFiles1->selectionModel()->clearSelection(); // the search selected the first row
    qv::TfrmPrint& d = *w->frmPrint;
    d.show();
    d.setChoice(1);
    for (QPushButton* b : {d.cmdPrint, d.cmdPreview, d.cmdFile}) {
        messages.boxes.clear();
        b->click();
        ASSERT_EQ(messages.boxes.size(), 1u);
        EXPECT_EQ(messages.boxes[0].caption, "Error");
        EXPECT_EQ(messages.boxes[0].text, "No file is currently selected");
        EXPECT_EQ(messages.boxes[0].icon, qv::BoxIcon::Warning);
        EXPECT_EQ(d.request().choice, -1);
        EXPECT_TRUE(d.isVisible());
    }
    w->lstFiles1->selectRow(1);
    d.cmdPreview->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.request().choice, 1);
    EXPECT_TRUE(d.request().preview);
}

TEST_F(ReportsTest, ExportToFileThroughTheDialogAndItsCancel)
{
    writeFiles(2);
    auto w = searched("hello");
    const std::string file = out.path() + "chosen.txt";
    std::optional<QString> answer = QString::fromStdString(file);
    w->choosers.exportFile = [&](QWidget*) { return answer; };
    QTimer::singleShot(0, w.get(), [&] {
        w->frmPrint->optItems[0]->click();
        w->frmPrint->cmdFile->click();
    });
    w->cmdPrintClick();
    const auto lines = crlfLines(qvtest::readFile(file));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 2 + w->ReportHeaderText().size()), "  " + w->ReportHeaderText());
    EXPECT_EQ(lines[2].substr(0, 10), "  f100.txt");

    // Cancelling the file dialog cancels the export.
    answer.reset();
    ::unlink(file.c_str());
    QTimer::singleShot(0, w.get(), [&] { w->frmPrint->cmdFile->click(); });
    w->cmdPrintClick();
    EXPECT_EQ(w->state().Report.choice, -1);
    EXPECT_NE(::access(file.c_str(), F_OK), 0);
}

TEST_F(ReportsTest, AnExportThatCannotBeWrittenSaysSo)
{
    writeFiles(1);
    auto w = searched("hello");
    w->state().Report.choice = 0;
    w->state().Report.exportFile = out.path() + "missing/report.txt";
    w->ProduceReport();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].caption, "Error");
    EXPECT_EQ(messages.boxes[0].text.toStdString(),
              "Cannot write the file \"" + out.path() + "missing/report.txt\": No such file or directory.");
}

TEST_F(ReportsTest, ALongExportKeepsTheWindowLiveShowsItsPageAndCancelsWithoutAFile)
{
    auto w = openOnFolder();
    std::vector<qv::FileRow> rows;
    for (int i = 0; i < 150000; ++i)
        rows.push_back(qv::FileRow{"f" + std::to_string(i) + ".txt", "/some/folder/", 1, qv::FileType::Text, 10, 0, ""});
    w->files1.append(std::move(rows));
    w->state().Report.choice = 0;
    w->state().Report.exportFile = out.path() + "long.txt";
    // The window's own timers keep firing while the report is laid out, the page shows, and
    // Cancel stops it.
    int ticks = 0;
    QString label;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (progress == nullptr || !label.isEmpty())
            return;
        for (int i = 0; i < 100 && !progress->labelText().startsWith(QStringLiteral("Exporting page ")); ++i)
            QTest::qWait(10);
        label = progress->labelText();
        // Clicks go through the windows, as a user's do: the main window takes none meanwhile.
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, w->cmdSearch->mapTo(w.get(), w->cmdSearch->rect().center()));
        EXPECT_FALSE(w->searching());
        const auto* cancel = progress->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(progress->windowHandle(), Qt::LeftButton, {}, cancel->mapTo(progress, cancel->rect().center()));
    });
    tick.start(20);
    w->ProduceReport();
    tick.stop();
    EXPECT_TRUE(label.startsWith(QStringLiteral("Exporting page "))) << label.toStdString();
    EXPECT_GT(ticks, 10);
    EXPECT_NE(::access((out.path() + "long.txt").c_str(), F_OK), 0); // a cancelled export leaves no file
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ReportsTest, AllFilesAreListedAgainWithinMaxMatchesWhileTheSelectedFileShowsItsList)
{
    dir.write("five.txt", "m1\nm2\nm3\nm4\nm5\n");
    auto w = searched("m");
    w->lstFiles1->selectRow(0);
    w->ListMatches1();
    waitForListing(*w);
    ASSERT_EQ(w->lines1.rows().size(), 5u);
    w->state().Preferences.MaxMatches = 2;
    const auto all = crlfLines(exportText(*w, 2));
    ASSERT_EQ(all.size(), 4u); // header, heading, two lines
    EXPECT_EQ(all[1], "    " + dir.path() + "five.txt - 5 matches");
    EXPECT_EQ(all[3], "    2    m2");
    const auto selected = crlfLines(exportText(*w, 1));
    ASSERT_EQ(selected.size(), 7u);
    EXPECT_EQ(selected[6], "    5    m5");
}

TEST_F(ReportsTest, BinaryMatchesPrintWithoutALineNumber)
{
    dir.write("b.bin", std::string("abc\0\0needle\0\0xyz", 16));
    auto w = searched("needle");
    const auto lines = crlfLines(exportText(*w, 2));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "    " + dir.path() + "b.bin - 1 match");
    EXPECT_EQ(lines[2].substr(0, 9), std::string(9, ' '));
    EXPECT_NE(lines[2].find("needle"), std::string::npos);
}

TEST_F(ReportsTest, TheFileListPrintsInTheListsOrderAndTheHeaderAsTheInputsAreNow)
{
    dir.write("small.txt", "x\n");
    dir.write("large.txt", "x\n" + std::string(500, 'y') + "\n");
    dir.write("medium.txt", "x\n" + std::string(50, 'y') + "\n");
    const std::string other = dir.mkdir("other");
    auto w = searched("x");
    w->lstFiles1ColumnClick(qv::FileResultModel::SizeColumn);
    if (w->files1.rows().front().name != "large.txt")
        w->lstFiles1ColumnClick(qv::FileResultModel::SizeColumn);
    w->txtFilespec->setText("*.log");
    ASSERT_TRUE(w->Dir1->selectPath(other));
    const auto lines = crlfLines(exportText(*w, 0));
    ASSERT_EQ(lines.size(), 5u);
    std::string folder = other;
    if (folder.back() == '/')
        folder.pop_back();
    EXPECT_EQ(lines[0].substr(0, lines[0].find("*.log") + 5), "  Search for: \"x\" in " + folder + "/*.log");
    EXPECT_EQ(lines[2].substr(2, 9), "large.txt");
    EXPECT_EQ(lines[3].substr(2, 10), "medium.txt");
    EXPECT_EQ(lines[4].substr(2, 9), "small.txt");
}

TEST_F(ReportsTest, TheWindowAndQvsearchExportTheSameBytes)
{
    writeFiles(40);
    dir.write("sub/deep.txt", "hello from below\n");
    dir.write("b.bin", std::string("hello\0\0\0hello", 13));
    auto w = openOnFolder();
    w->chkInclSub->setChecked(true);
    search(*w, "hello");
    for (const auto& [choice, report] : {std::pair{0, "files"}, std::pair{2, "all"}}) {
        const std::string window = exportText(*w, choice);
        const std::string cli = out.path() + "cli.txt";
        const std::string cmd = "QUORVANE_REGISTRY=" + quote(registry.path() + "registry.db") + " " + quote(QVSEARCH_PATH) +
                                " -r --export " + quote(cli) + " --report " + report + " hello " + quote(dir.path()) + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        EXPECT_EQ(qvtest::readFile(cli), window) << report;
        EXPECT_GT(window.size(), 40u * 60u);
    }
}

TEST_F(ReportsTest, ThePreviewShowsThePagesOfTheReport)
{
    writeFiles(40);
    auto w = searched("hello");
    int pages = -1;
    // The preview lays its pages out before it runs its own loop: wait for it to be up.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, w.get(), [&] {
        if (auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
            if (auto* widget = preview->findChild<QPrintPreviewWidget*>())
                pages = widget->pageCount();
            poll.stop();
            preview->reject();
        }
    });
    poll.start();
    w->state().Report.choice = 0;
    w->state().Report.preview = true;
    w->state().Report.exportFile.clear();
    w->ProduceReport();
    EXPECT_EQ(pages, 2);
}

TEST_F(ReportsTest, HugeAndHostileLinesPrintWithoutHarm)
{
    std::string control;
    for (int c = 1; c < 32; ++c)
        if (c != '\n' && c != '\r')
            control += static_cast<char>(c);
    dir.write(std::string(200, 'n') + ".txt", "hit " + std::string(10000, 'x') + "\nhit " + control + "\n");
    dir.write("odd\x01name.txt", "hit\n");
    auto w = searched("hit");
    ASSERT_EQ(w->files1.rows().size(), 2u);
    for (int choice : {0, 2}) {
        const std::string info = pdfInfo(printToPdf(*w, choice));
        EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    }
    EXPECT_EQ(messages.boxes.size(), 0u);
}

} // namespace
