#pragma once

#include "FileRow.h"
#include "MatchListing.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// What a run is doing, for a status line.
struct RunProgress {
    enum class Kind { Idle, Searching, Extracting, Deleting };
    Kind kind = Kind::Idle;
    std::string path; // the file searched or the archive extracted
};

// How a run ended, for the window's control states.
enum class RunOutcome { NoFilesSearched, NoMatches, Matches };

// What a run came to, and what it leaves behind.
struct RunSummary {
    std::uint64_t filesSearched = 0;
    std::uint64_t filesWithMatches = 0;
    std::uint64_t totalMatches = 0;
    bool cancelled = false;
    std::chrono::milliseconds elapsed{0};
    // Folders the run extracted archives into; their members' rows point into them, so they
    // stay until the next run that is not of the listed files only, or until the program ends.
    std::vector<std::string> extractionFolders;
    // The archives met, in the order they were met (archives inside archives included; those
    // wait for a run of their own).
    std::vector<std::string> archives;

    [[nodiscard]] RunOutcome outcome() const
    {
        if (filesSearched == 0)
            return RunOutcome::NoFilesSearched;
        return totalMatches == 0 ? RunOutcome::NoMatches : RunOutcome::Matches;
    }
};

// Where a run's results go. Calls come from the run's threads, one at a time; rows and archive
// errors in the order of the walk whatever the number of threads, progress as it happens, and
// finished last.
class SearchSink {
public:
    virtual ~SearchSink() = default;
    virtual void progress(const RunProgress& progress) = 0;
    // A file with matches, and its listed matches when the run was asked to list them.
    virtual void row(FileRow row, std::vector<MatchLine> lines) = 0;
    // An archive that could not be extracted: it is not searched, the run goes on.
    virtual void archiveError(const std::string& archive, const std::string& detail) = 0;
    virtual void finished(const RunSummary& summary) = 0;
};

} // namespace qv
