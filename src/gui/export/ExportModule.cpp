// The module qvsearch loads for --export: the same report code and text export as the window's.
#include "reports/ExportModule.h"

#include "print/ReportFont.h"
#include "reports/ReportLayouts.h"
#include "reports/TextExport.h"
#include "search/DateTimeFormat.h"
#include "search/MatchListing.h"
#include "widgets/Text.h"

#include <QGuiApplication>

#include <cstdio>

extern "C" __attribute__((visibility("default"))) bool qvsearchExportReport(const qv::reports::ExportJob* job, std::string* failure)
{
    // The print font's metrics wrap the fixed-width fields; no display is needed for them.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notices (a missing runtime folder and the like) are not the user's business here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            std::fprintf(stderr, "qvsearch: %s\n", qv::ToBytes(message).c_str());
    });
    static int argc = 1;
    static char name[] = "qvsearch";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    const qv::reports::ReportFont font(job->printFontName, job->printFontSize);
    const std::string header = qv::reports::ReportHeader(job->searchText, job->folder, job->fileSpecs);
    qv::MatchLister lister(qv::ListingParameters{job->pattern, job->caseSensitive, job->maxMatchLen, job->maxMatches});
    qv::reports::ReportData data{*job->rows,
                                 {},
                                 -1,
                                 -1,
                                 [&lister](const qv::FileRow& row) { return lister.list(row).lines; },
                                 qv::DateTimeFormat(job->dateTimeFormat, job->locale)};
    const qv::reports::Report report =
        job->allMatches ? qv::reports::MatchesReportAllFiles(header, data) : qv::reports::FileListReport(header, data);
    const auto goOn = [job](int) { return job->stopRequested == nullptr || !job->stopRequested(); };
    if (auto message = qv::reports::ExportReport(report, font.measure(), job->fileName, goOn)) {
        *failure = std::move(*message);
        return false;
    }
    return true;
}
