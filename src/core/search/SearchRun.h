#pragma once

#include "FileRow.h"
#include "SearchRequest.h"
#include "SearchSink.h"
#include "regex/Regex.h"

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace qv {

// Where a run looks: the window has its one start folder; qvsearch may name several folders and
// single files.
struct SearchTargets {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

// Everything a run reads, taken when it starts: nothing the user does while it goes on can
// change it.
struct RunSetup {
    SearchRequest request; // as accepted
    regex::RegexPtr regex; // the prepared pattern, compiled with the request's case
    SearchTargets targets; // with the request's start folder for the window
    std::vector<FileRow> listedRows; // a search of the listed files only walks these, in order
    std::uint64_t maxMatchLen = 300; // longest match a binary file's count takes after its first
    bool listMatches = false; // hand each row's matching lines to the sink with it
    long long maxMatches = 500; // ... at most this many per file
    // The private temporary folder (ending in "/"; empty when there is none), asked for when the
    // first archive is to be extracted: a run that meets none makes none.
    std::function<std::string()> temporaryFolder;
    std::vector<std::string> foldersToDelete; // extraction folders of earlier runs
    // Told of each file or folder that could not be opened, with the error number; it is passed
    // over either way. Called from any of the run's threads, perhaps from several at once.
    std::function<void(const std::string& path, int error)> unreadable;
    unsigned threads = 0; // searching threads; 0: one per core
};

// The whole search between a click on Search and its summary, on threads of its own: a walk
// lists the candidate files in order, a pool of searchers (one per core by default) classifies
// and counts them, each with its own automata over the shared compiled pattern, and the results
// reach the sink in walk order, so the output is the same whatever the number of threads. Big
// text files are counted in stretches by several searchers at once. Zip archives met on the way
// are extracted after the walks, one folder each, and walked in turn.
//
// A stop request (from any thread) ends the run within milliseconds wherever it is: in the walk,
// inside a file, inside an extraction. Files already counted are still delivered; the one being
// counted is not; the summary says the search was canceled.
class SearchRun {
public:
    SearchRun(RunSetup setup, SearchSink& sink);
    ~SearchRun(); // stops the run and waits for it
    SearchRun(const SearchRun&) = delete;
    SearchRun& operator=(const SearchRun&) = delete;

    // Runs on the calling thread (which does the walking; with one thread it searches too).
    void run();
    // Runs on a thread of its own and returns at once.
    void start();
    void requestStop() { stop_.request_stop(); }
    // Waits for a run started with start().
    void wait();

    // The searching threads a run with `requested` threads uses.
    static unsigned ThreadCount(unsigned requested);

private:
    RunSetup setup_;
    SearchSink& sink_;
    std::stop_source stop_;
    std::thread thread_;
};

// Deletes extraction folders with everything in them.
void DeleteExtractionFolders(const std::vector<std::string>& folders);

} // namespace qv
