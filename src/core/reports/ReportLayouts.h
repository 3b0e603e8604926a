#pragma once

#include "search/FileResultRow.h"
#include "search/MatchListing.h"
#include "ReportEngine.h"

#include <functional>
#include <string>
#include <vector>

namespace qv::reports {

// "Search for: "text" in /folder/*.spec": the folder and the file specification joined by one "/".
std::string ReportHeader(const std::string& searchText, const std::string& folder, const std::string& fileSpecs);

// The heading of a file in the matches report: its path (or name and archive) and its count.
std::string FileHeading(const FileResultRow& row);

// The report state the row sources work on: the hidden list set and its two cursors.
struct ReportData {
    std::vector<FileResultRow>& lstFiles2;
    std::vector<MatchLineRow>& lstLines2;
    int& ReportFileIndex;
    int& ReportLineIndex;
    // Lists a file's matches again, as the match listing does for list set 2.
    std::function<std::vector<MatchLineRow>(const FileResultRow&)> listMatches;
};

// Row sources: each supplies its band's next record, or nothing past the last one.
std::optional<Record> qrFilesNeedData(ReportData& data);
std::optional<Record> qrMatchesNeedData(ReportData& data);
std::optional<Record> qrMatchesTextNeedData(ReportData& data);

// The file list: Letter landscape, a row per file.
Report FileListReport(const std::string& header, ReportData& data);
// The matches of every file of lstFiles2, listed again.
Report MatchesReportAllFiles(const std::string& header, ReportData& data);
// The matches of one file as the match list shows them (copied into lstLines2 first).
Report MatchesReportSelectedFile(const std::string& header, const FileResultRow& selected,
                                 const std::vector<MatchLineRow>& shownLines, ReportData& data);

} // namespace qv::reports
