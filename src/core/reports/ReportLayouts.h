#pragma once

#include "search/DateTimeFormat.h"
#include "search/FileRow.h"
#include "search/MatchListing.h"
#include "ReportEngine.h"

#include <functional>
#include <string>
#include <vector>

namespace qv::reports {

// "Search for: "text" in /folder/*.spec": the folder and the file specification joined by one "/".
std::string ReportHeader(const std::string& searchText, const std::string& folder, const std::string& fileSpecs);

// The heading of a file in the matches report: its path (or name and archive) and its count.
std::string FileHeading(const FileRow& row);

// What the row sources of a report work on: a copy of the file list, the lines of the file being
// printed, and a cursor in each.
struct ReportData {
    std::vector<FileRow> files;
    std::vector<MatchLine> lines;
    int fileIndex = -1;
    int lineIndex = -1;
    // Lists a file's matches again, as the match list does.
    std::function<std::vector<MatchLine>(const FileRow&)> listMatches;
    DateTimeFormat dates; // the Date/Time column's format
};

// Row sources: each supplies its band's next record, or nothing past the last one.
std::optional<Record> NextFileRecord(ReportData& data);
std::optional<Record> NextFileHeading(ReportData& data);
std::optional<Record> NextMatchLine(ReportData& data);

// The file list: Letter landscape, a row per file.
Report FileListReport(const std::string& header, ReportData& data);
// The matches of every file of the list, listed again.
Report MatchesReportAllFiles(const std::string& header, ReportData& data);
// The matches of one file as the match list shows them.
Report MatchesReportSelectedFile(const std::string& header, const FileRow& selected, const std::vector<MatchLine>& shownLines,
                                 ReportData& data);

} // namespace qv::reports
