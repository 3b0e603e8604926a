// Timing log of the main window under load (offscreen): a run that finds 100,000 files, the
// Stop button's answer, sorting 100,000 rows, the file list report of them (text and PDF), listing
// 5,000 matches of one file, the viewer on large files.
//   qv_ui_bench [WORK-FOLDER]
#include "window/FileResultModel.h"
#include "viewer/FileViewer.h"
#include "window/MainWindow.h"
#include "viewer/TextView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include <chrono>
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
    std::ofstream big(work + "/many.txt");
    for (int i = 0; i < 6000; ++i)
        big << "needle " << i << "\n";
    big.close();

    QuietMessages messages;
    qv::TfrmMain::Setup setup;
    setup.arguments = {QString::fromStdString(tree)};
    setup.messages = &messages;
    setup.registryPath = work + "/registry.db";
    qv::TfrmMain w(setup);
    w.show();
    QApplication::processEvents();

    // The run: when rows first show, the longest time the window went without handling events.
    w.chkInclSub->setChecked(true);
    w.cboSearch->setCurrentText(QStringLiteral("needle"));
    Clock::time_point start = Clock::now(), firstRows{}, lastTick = start;
    double longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longestGap = std::max(longestGap, ms(now - lastTick));
        lastTick = now;
        if (firstRows == Clock::time_point{} && w.files1.rowCount() > 0)
            firstRows = now;
    });
    tick.start(1);
    w.cmdSearch->click();
    tick.stop();
    const double runMs = ms(Clock::now() - start);
    std::printf("run over %d files: %.0f ms, %d rows, first rows shown after %.0f ms, longest time without events %.0f ms\n",
                kFiles, runMs, w.files1.rowCount(), ms(firstRows - start), longestGap);

    // Stop: press it 300 ms into a run and see how soon the run ends.
    Clock::time_point pressed{};
    QTimer::singleShot(300, [&] {
        pressed = Clock::now();
        w.cmdStop->click();
    });
    w.cmdSearch->click();
    std::printf("Stop answered after %.0f ms (%d rows by then)\n", ms(Clock::now() - pressed), w.files1.rowCount());

    // Sorting the full list by each column.
    w.cmdSearch->click();
    for (int c = 0; c < qv::FileResultModel::ColumnCount; ++c) {
        start = Clock::now();
        w.lstFiles1ColumnClick(c);
        std::printf("sort %d rows by column %d: %.0f ms\n", w.files1.rowCount(), c, ms(Clock::now() - start));
    }

    // The file list report of all those rows: exported as text, and printed into a PDF file.
    w.state().ReportChoice = 0;
    w.state().ExportFileName = work + "/report.txt";
    start = Clock::now();
    w.ProduceReport();
    std::printf("text export of the file list, %d rows: %.0f ms, %lld KB\n", w.files1.rowCount(), ms(Clock::now() - start),
                static_cast<long long>(std::filesystem::file_size(work + "/report.txt") >> 10));
    w.state().ExportFileName.clear();
    w.state().ReportPreview = false;
    w.printer().setOutputFormat(QPrinter::PdfFormat);
    w.printer().setOutputFileName(QString::fromStdString(work + "/report.pdf"));
    start = Clock::now();
    w.ProduceReport();
    std::printf("PDF print of the file list, %d rows: %.0f ms, %lld KB\n", w.files1.rowCount(), ms(Clock::now() - start),
                static_cast<long long>(std::filesystem::file_size(work + "/report.pdf") >> 10));

    // Listing 5,000 matches of one file.
    w.state().search.Preferences.MaxMatches = 5000;
    w.files1.clear();
    w.files1.append({qv::FileResultRow{"many.txt", work + "/", "6000", "T", "0", "", ""}});
    w.lstFiles1->selectRow(0);
    start = Clock::now();
    w.ListMatches1();
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
        in.row = qv::FileResultRow{"f", work + "/", "1", "T", std::to_string(std::filesystem::file_size(file)), "", ""};
        in.pattern = "needle";
        in.preferences = w.state().search.Preferences;
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
        std::printf("viewer on %s (%lld MB, %d matches): first paint %.0f ms, %d steps %.3f ms each, memory +%ld MB\n",
                    file.c_str(), static_cast<long long>(std::filesystem::file_size(file) >> 20), v.MatchCount, open, steps,
                    steps > 0 ? ms(Clock::now() - start) / steps : 0.0, rss() - before);
    }
    return 0;
}
