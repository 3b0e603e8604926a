// Timing log of the main window under load (offscreen): runs over 100,000 files, a 400 MB file, a
// file the automaton gives up on, a big archive and the whole file system, with the longest time
// the window goes without handling events and how soon Stop ends each; sorting 100,000 rows, the
// file list report of them (text and PDF), listing 5,000 matches of one file, the viewer on large
// files.
//   qv_ui_bench [WORK-FOLDER]
#include "window/FileResultModel.h"
#include "viewer/FileViewer.h"
#include "window/MainWindow.h"
#include "viewer/TextView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

class QuietMessages : public qv::Messages {
public:
    qv::MessageAnswer show(QWidget*, const QString&, const QString&, qv::BoxIcon, qv::MessageButtons) override
    {
        return qv::MessageAnswer::Ok;
    }
};

// A run started from the window, timed while the window goes on handling events: how long it
// took, when rows first showed, the longest time the window went without handling events, and,
// when `stopWhen` says so, how soon the run ended after Stop was pressed.
struct RunTiming {
    double runMs = 0, firstRowsMs = 0, longestGapMs = 0, stopMs = -1;
    int rows = 0;
};

RunTiming timeRun(qv::TfrmMain& w, const std::function<bool()>& stopWhen = {})
{
    RunTiming t;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastTick = start, firstRows{}, pressed{};
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        t.longestGapMs = std::max(t.longestGapMs, ms(now - lastTick));
        lastTick = now;
        if (firstRows == Clock::time_point{} && w.files1.rowCount() > 0)
            firstRows = now;
        if (pressed == Clock::time_point{} && stopWhen && stopWhen()) {
            pressed = now;
            w.cmdStop->click();
        }
        if (!w.searching())
            loop.quit();
    });
    tick.start(1);
    w.cmdSearch->click();
    if (w.searching())
        loop.exec();
    tick.stop();
    const auto end = Clock::now();
    t.runMs = ms(end - start);
    t.firstRowsMs = firstRows == Clock::time_point{} ? -1 : ms(firstRows - start);
    t.stopMs = pressed == Clock::time_point{} ? -1 : ms(end - pressed);
    t.rows = w.files1.rowCount();
    return t;
}

void report(const char* what, const RunTiming& t)
{
    std::printf("%-44s run %6.0f ms, %6d rows, first rows after %5.0f ms, longest time without events %4.0f ms", what, t.runMs, t.rows,
                t.firstRowsMs, t.longestGapMs);
    if (t.stopMs >= 0)
        std::printf(", Stop to end %4.0f ms", t.stopMs);
    std::printf("\n");
}

// The window's status line names this file.
std::function<bool()> searching(qv::TfrmMain& w, const std::string& file)
{
    return [&w, file] { return w.pnlStatus->text().endsWith(QString::fromStdString(file)); };
}

std::function<bool()> after(int milliseconds)
{
    const auto at = Clock::now() + std::chrono::milliseconds(milliseconds);
    return [at] { return Clock::now() >= at; };
}

void setSearch(qv::TfrmMain& w, const std::string& folder, const QString& text, bool subfolders, bool zip = false)
{
    w.Dir1->selectPath(folder);
    w.cboSearch->setCurrentText(text);
    w.chkInclSub->setChecked(subfolders);
    w.chkSearchZip->setChecked(zip);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string work = argc > 1 ? argv[1] : "/tmp/quorvane-ui-bench";
    const std::string tree = work + "/tree/";
    constexpr int kFiles = 100000;
    if (!std::filesystem::exists(tree + "done")) {
        std::fprintf(stderr, "making %d files...\n", kFiles);
        for (int i = 0; i < kFiles; ++i) {
            const std::string d = tree + "d" + std::to_string(i / 1000) + "/";
            if (i % 1000 == 0)
                std::filesystem::create_directories(d);
            std::ofstream(d + "f" + std::to_string(i) + ".txt") << "line " << i << " needle\n";
        }
        std::ofstream(tree + "done") << "";
    }
    std::ofstream many(work + "/many.txt");
    for (int i = 0; i < 6000; ++i)
        many << "needle " << i << "\n";
    many.close();

    const std::string big = work + "/big/400mb.txt";
    if (!std::filesystem::exists(big)) {
        std::filesystem::create_directories(work + "/big");
        std::ofstream f(big);
        const std::string line = "the quick brown fox jumps over the lazy dog, again and again and again\n";
        for (std::size_t written = 0; written < (std::size_t{400} << 20); written += line.size())
            f << line;
        f << "needle\n";
    }
    const std::string hostile = work + "/hostile/hostile.txt";
    if (!std::filesystem::exists(hostile)) {
        std::filesystem::create_directories(work + "/hostile");
        std::ofstream f(hostile);
        std::uint32_t x = 1;
        for (int line = 0; line < 200000; ++line) {
            std::string l(200, 'a');
            for (char& ch : l) {
                x = x * 1103515245 + 12345;
                ch = (x >> 16) & 1 ? 'a' : 'b';
            }
            f << l << "\n";
        }
    }
    const std::string zip = work + "/zip/big.zip";
    if (!std::filesystem::exists(zip)) {
        std::filesystem::create_directories(work + "/zip");
        std::filesystem::copy_file(big, work + "/zip/member.txt", std::filesystem::copy_options::overwrite_existing);
        std::system(("cd " + work + "/zip && zip -q -1 big.zip member.txt && rm member.txt").c_str());
    }
    // The window is made after the files: its folder tree does not watch the disk.
    QuietMessages messages;
    qv::TfrmMain::Setup setup;
    setup.arguments = {QString::fromStdString(tree)};
    setup.messages = &messages;
    setup.registryPath = work + "/registry.db";
    qv::TfrmMain w(setup);
    w.show();
    QApplication::processEvents();

    // Runs: when rows first show, the longest time the window goes without handling events, and
    // how soon Stop ends a run wherever it is.
    setSearch(w, tree, QStringLiteral("needle"), true);
    report("100,000 small files", timeRun(w));
    report("100,000 small files, Stop after 50 ms", timeRun(w, after(50)));

    setSearch(w, work + "/big/", QStringLiteral("needle"), false);
    report("one 400 MB file", timeRun(w));
    setSearch(w, work + "/big/", QStringLiteral("\\<lazy\\>&\\<quick\\>"), false);
    report("one 400 MB file, every line matching", timeRun(w));
    report("the same, Stop inside it", timeRun(w, searching(w, big)));

    setSearch(w, work + "/hostile/", QStringLiteral("a[ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][ab][cd]"),
              false);
    report("a 40 MB file the automaton gives up on", timeRun(w));
    report("the same, Stop inside it", timeRun(w, after(300)));

    setSearch(w, work + "/zip/", QStringLiteral("needle"), false, true);
    report("a 400 MB archive member", timeRun(w));
    report("the same, Stop inside its extraction",
           timeRun(w, [&w] { return w.pnlStatus->text().startsWith(QStringLiteral("Extracting")); }));

    setSearch(w, "/", QStringLiteral("needle"), true);
    report("the whole file system, Stop after 3 s", timeRun(w, after(3000)));
    setSearch(w, tree, QStringLiteral("needle"), true);

    // Sorting the full list by each column.
    timeRun(w);
    Clock::time_point start;
    for (int c = 0; c < qv::FileResultModel::ColumnCount; ++c) {
        start = Clock::now();
        w.lstFiles1ColumnClick(c);
        std::printf("sort %d rows by column %d: %.0f ms\n", w.files1.rowCount(), c, ms(Clock::now() - start));
    }

    // The file list report of all those rows: exported as text, and printed into a PDF file.
    w.state().Report.choice = 0;
    w.state().Report.exportFile = work + "/report.txt";
    start = Clock::now();
    w.ProduceReport();
    std::printf("text export of the file list, %d rows: %.0f ms, %lld KB\n", w.files1.rowCount(), ms(Clock::now() - start),
                static_cast<long long>(std::filesystem::file_size(work + "/report.txt") >> 10));
    w.state().Report.exportFile.clear();
    w.state().Report.preview = false;
    w.printer().setOutputFormat(QPrinter::PdfFormat);
    w.printer().setOutputFileName(QString::fromStdString(work + "/report.pdf"));
    start = Clock::now();
    w.ProduceReport();
    std::printf("PDF print of the file list, %d rows: %.0f ms, %lld KB\n", w.files1.rowCount(), ms(Clock::now() - start),
                static_cast<long long>(std::filesystem::file_size(work + "/report.pdf") >> 10));

    // Listing 5,000 matches of one file.
    w.state().Preferences.MaxMatches = 5000;
    w.files1.clear();
    w.files1.append({qv::FileRow{"many.txt", work + "/", 6000, qv::FileType::Text, 0, 0, ""}});
    w.lstFiles1->selectRow(0);
    start = Clock::now();
    w.ListMatches1();
    while (w.listing())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("listing %d matches: %.0f ms\n", w.lines1.rowCount(), ms(Clock::now() - start));

    // The viewer on a 100 MB text file with 5,000 matching lines, and on a 50 MB single line.
    const std::string hundred = work + "/hundred.txt";
    if (!std::filesystem::exists(hundred)) {
        std::ofstream f(hundred);
        const std::string plain(99, 'p');
        for (int i = 0; i < 1000000; ++i)
            f << (i % 200 == 0 ? std::string("needle ") + plain.substr(7) : plain) << "\n";
    }
    const std::string oneLine = work + "/oneline.txt";
    if (!std::filesystem::exists(oneLine)) {
        std::ofstream f(oneLine);
        f << std::string(50u << 20, 'q') << " needle";
    }
    auto rss = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmRSS:", 0) == 0)
                return std::stol(line.substr(6)) / 1024;
        return 0L;
    };
    for (const std::string& file : {hundred, oneLine}) {
        qv::TfrmViewer::Input in;
        in.path = file;
        in.row = qv::FileRow{"f", work + "/", 1, qv::FileType::Text, std::filesystem::file_size(file), 0, ""};
        in.pattern = "needle";
        in.preferences = w.state().Preferences;
        const long before = rss();
        start = Clock::now();
        qv::TfrmViewer v(in, messages);
        v.resize(800, 600);
        v.FormShow();
        v.show();
        v.grab();
        const double open = ms(Clock::now() - start);
        start = Clock::now();
        int steps = 0;
        for (; steps < 1000; ++steps) {
            const auto caret = v.edtFile->caret();
            v.StepToMatch('N');
            v.edtFile->viewport()->grab(); // a real paint: offscreen, repaint() may skip it
            if (v.edtFile->caret() == caret)
                break;
        }
        std::printf("viewer on %s (%lld MB, %d matches): first paint %.0f ms, %d steps %.3f ms each, memory +%ld MB\n", file.c_str(),
                    static_cast<long long>(std::filesystem::file_size(file) >> 20), v.MatchCount, open, steps,
                    steps > 0 ? ms(Clock::now() - start) / steps : 0.0, rss() - before);
    }
    return 0;
}
