#pragma once

#include "search/MatchListing.h"
#include "search/SearchRun.h"

#include <string>
#include <vector>

namespace qv {

// The program state shared by the main window and the windows it opens, owned by the main window
// for the program's life and passed by reference to the dialogs that read or write it.
struct ProgramState {
    SearchState search;           // SearchText, Pattern, the run's counters and archive lists, the
                                  // preferences, the date format, and lstFiles2 (the hidden file list)
    std::vector<MatchLineRow> lstLines2; // the hidden match list of the reports
    int SortDirection = 1;
    std::string CurrentFilePath;  // the file the last View, Open or Edit acted on
    std::string HelpFile;

    // The print/export request of the last click on Print/Export.
    int ReportChoice = -1;
    bool ReportPreview = false;
    std::string ExportFileName;
    int ReportFileIndex = -1;
    int ReportLineIndex = -1;
};

} // namespace qv
