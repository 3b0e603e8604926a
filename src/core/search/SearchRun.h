#pragma once

#include "ArchiveExtractor.h"
#include "FileResultRow.h"
#include "GrepEngine.h"
#include "SearchFile.h"
#include "SearchRequest.h"
#include "TreeScanner.h"
#include "platform/LocaleInfo.h"
#include "store/PreferenceSet.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qv {

enum class MessageIcon { Information, Warning };

// How a run ended, for the window's control states.
enum class RunOutcome { NoFilesSearched, NoMatches, Matches };

// What a search run needs from the program that hosts it: the window, or qvsearch.
class SearchHost {
public:
    virtual ~SearchHost() = default;
    // The busy cursor, Stop over Search, "Matches in:" hidden, the insert list's choice cleared,
    // the file list enabled, the match list and Print/Export disabled.
    virtual void RunStarting() = 0;
    virtual void AddToHistory(const std::string& searchText) = 0;
    // The file result list's rows in their current order.
    virtual std::vector<FileResultRow> VisibleRows() = 0;
    // Empties the file result list and the match list.
    virtual void ClearResults() = 0;
    virtual void AddRow(const FileResultRow& row) = 0;
    // The status line's text, shown at once.
    virtual void SetStatus(const std::string& text) = 0;
    // Lets the user interface handle pending events; the Stop button sets CancelRequested here.
    virtual void ProcessEvents() = 0;
    virtual void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) = 0;
    // Stop hidden, the cursor normal again.
    virtual void RunStopped() = 0;
    // The control states that follow the outcome ("Search listed files only" is unchecked).
    virtual void RunEnded(RunOutcome outcome) = 0;
};

// The program state a run reads and leaves behind for the match listing, the viewer, the file
// actions and the reports. One instance, owned by the window (or qvsearch).
struct SearchState {
    std::string SearchText; // of the last accepted search, as typed
    std::string Pattern;    // as prepared
    bool CaseSensitive = false;
    std::uint64_t FilesSearched = 0;
    std::uint64_t FilesWithMatches = 0;
    std::uint64_t TotalMatches = 0;
    bool CancelRequested = false;
    bool InZipPhase = false;
    bool ZipError = false;
    std::string CurrentZip;
    std::vector<std::string> ZipList;
    std::vector<std::string> TempDirList;
    std::string TempBase; // the private temporary folder, ending in "/"
    std::string DateTimeDisplayFormat;
    platform::LocaleInfo Locale;
    PreferenceSet Preferences;
    std::vector<FileResultRow> lstFiles2; // the hidden copy of the result list
    bool Running = false;
};

// Where a run looks, beyond the one start folder of the window: qvsearch may name several
// folders and single files.
struct SearchTargets {
    std::vector<std::string> Folders;
    std::vector<std::string> Files;
};

// The whole search between a click on Search and the summary in the status line.
class SearchRun {
public:
    SearchRun(SearchState& state, SearchHost& host);

    // Checks and runs the request: returns false (after telling the host) when it is refused.
    bool cmdSearchClick(const SearchRequest& request);
    bool Run(const SearchRequest& request, const SearchTargets& targets);

    // Deletes the extraction folders of earlier runs (at the next run and when the program ends).
    void DeleteExtractionFolders(bool showStatus);

    // The summary of the last run as the status line shows it.
    [[nodiscard]] std::string Summary(double elapsedSeconds) const;

private:
    void walk(const std::string& folder, const std::string& mask);
    void Tree1FileFound(TTreeScanner& scanner);
    void Tree1DirectoryFound(TTreeScanner& scanner);
    void searchFile(const std::string& path, int directoryFd, const std::string& name);
    void archivePhase(const std::vector<std::string>& masks);
    void Zip1Message(ArchiveExtractor& sender, int code, const std::string& text);

    SearchState& state_;
    SearchHost& host_;
    TTreeScanner Tree1;
    ArchiveExtractor Zip1;
    GrepEngine engine_;
    SearchRequest options_;
    std::optional<CompiledPattern> pattern_;
    Block firstBlock_;
    Block binaryStorage_;

    // The files counted in this run, by identity: a file reached by a second path (a link)
    // gives its count again without being read again.
    struct Counted {
        std::uint64_t size;
        std::int64_t changeStamp;
        FileType type;
        std::uint64_t count;
    };
    struct IdHash {
        std::size_t operator()(const platform::FileId& id) const { return std::hash<std::uint64_t>()(id.inode * 31 + id.device); }
    };
    std::unordered_map<platform::FileId, Counted, IdHash> counted_;
};

} // namespace qv
