#pragma once

#include "dialogs/PrintDialog.h"
#include "platform/LocaleInfo.h"
#include "search/SearchSink.h"
#include "store/PreferenceSet.h"

#include <string>
#include <vector>

namespace qv {

// What the main window keeps from one run to the next and hands, as values, to the windows it
// opens. Owned by the main window for the program's life.
struct ProgramState {
    std::string SearchText; // of the last accepted search, as typed
    std::string Pattern; // ... as prepared
    PreferenceSet Preferences;
    platform::LocaleInfo Locale;
    std::string DateTimeDisplayFormat; // chosen from the regional settings at every activation
    std::string TempBase; // the private temporary folder, ending in "/"
    // Extraction folders whose members may still be listed; deleted at the next run that is not
    // of the listed files only, and when the program ends.
    std::vector<std::string> TempDirList;
    RunSummary LastRun;
    int SortDirection = 1;
    std::string CurrentFilePath; // the file the last View, Open or Edit acted on
    std::string HelpFile;
    ReportRequest Report;
};

} // namespace qv
