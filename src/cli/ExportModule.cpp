// The module qvsearch loads for --export: the same report code and text export as the window's.
#include "ExportModule.h"

#include "search/MatchListing.h"
#include "print/ReportFont.h"
#include "reports/ReportLayouts.h"
#include "reports/TextExport.h"

#include <QGuiApplication>

#include <cstdio>

extern "C" __attribute__((visibility("default"))) bool qvsearchExportReport(const qv::cli::ExportJob* job, std::string* failure)
{
    // The print font's metrics wrap the fixed-width fields; no display is needed for them.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notices (a missing runtime folder and the like) are not the user's business here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            std::fprintf(stderr, "qvsearch: %s\n", message.toLocal8Bit().constData());
    });
    static int argc = 1;
    static char name[] = "qvsearch";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    const qv::SearchState& state = *job->state;
    const qv::reports::ReportFont font(state.Preferences.PrintFontName, state.Preferences.PrintFontSize);
    const std::string header = qv::reports::ReportHeader(state.SearchText, job->folder, job->fileSpecs);
    std::vector<qv::MatchLineRow> lines;
    int fileIndex = -1;
    int lineIndex = -1;
    const qv::ListingParameters listing{state.Pattern, state.CaseSensitive, state.Preferences.MaxMatchLen,
                                        state.Preferences.MaxMatches};
    qv::reports::ReportData data{*job->rows, lines, fileIndex, lineIndex,
                                 [&listing](const qv::FileResultRow& row) { return qv::ListMatches(row, listing).Rows; }};
    const qv::reports::Report report =
        job->allMatches ? qv::reports::MatchesReportAllFiles(header, data) : qv::reports::FileListReport(header, data);
    if (auto message = qv::reports::ExportReport(report, font.measure(), job->fileName)) {
        *failure = std::move(*message);
        return false;
    }
    return true;
}
