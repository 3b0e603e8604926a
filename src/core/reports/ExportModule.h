#pragma once

#include "platform/LocaleInfo.h"
#include "search/FileRow.h"

#include <string>
#include <vector>

// qvsearch's report export lives in a module of its own, loaded only for --export: measuring the
// print font needs Qt's GUI library, and loading that at every start would slow every search.
namespace qv::reports {

struct ExportJob {
    const std::vector<FileRow>* rows = nullptr; // in the order found
    std::string searchText; // as typed, for the report header
    std::string pattern; // as prepared, to list the matches again
    bool caseSensitive = false;
    long long maxMatchLen = 300;
    long long maxMatches = 500;
    std::string printFontName;
    int printFontSize = 10;
    std::string dateTimeFormat;
    platform::LocaleInfo locale;
    std::string folder; // for the report header
    std::string fileSpecs;
    std::string fileName;
    bool allMatches = false; // "Matches for all files" rather than the file list
    bool (*stopRequested)() = nullptr; // asked before each page: true ends the report, leaving no file
};

// Writes the report; false, with the message for the user in *failure, when the file could not
// be written.
using ExportFunction = bool (*)(const ExportJob* job, std::string* failure);

inline constexpr const char* kExportModule = "qvsearch-export.so";
inline constexpr const char* kExportSymbol = "qvsearchExportReport";

} // namespace qv::reports
