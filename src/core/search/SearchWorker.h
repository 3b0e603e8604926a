#pragma once

#include "OrderedDelivery.h"
#include "SearchFile.h"
#include "SearchRun.h"
#include "WorkQueue.h"
#include "regex/Automata.h"
#include "regex/LineSearch.h"

#include <mutex>
#include <optional>
#include <stop_token>
#include <unordered_map>

namespace qv {

// Counts of the files a run has counted, by identity: a file reached by a second path (a link)
// gives its count again without being read again, as long as it has not changed.
class CountMemo {
public:
    struct Entry {
        std::uint64_t size;
        std::int64_t changeStamp;
        FileType type;
        std::uint64_t count;
    };
    std::optional<Entry> find(const platform::FileId& id, std::uint64_t size, std::int64_t changeStamp);
    void store(const platform::FileId& id, const Entry& entry);

private:
    struct IdHash {
        std::size_t operator()(const platform::FileId& id) const { return std::hash<std::uint64_t>()(id.inode * 31 + id.device); }
    };
    std::mutex mutex_;
    std::unordered_map<platform::FileId, Entry, IdHash> entries_;
};

// A file classified as of a wanted type, about to be counted.
struct FoundFile;

// What the searchers of one run share.
struct RunShared {
    const RunSetup& setup;
    std::stop_token stop;
    SearchSink& sink; // takes one call at a time
    OrderedDelivery& delivery;
    WorkQueue* queue = nullptr; // none when the run searches on one thread
    CountMemo memo;
};

// One searching thread of a run: opens, classifies and counts files with automata and buffers
// of its own, and hands each outcome to the delivery. A big text file is split into stretches
// that every searcher of the run helps to count.
class SearchWorker {
public:
    explicit SearchWorker(RunShared& shared);

    void search(FileJob job);
    void countStretch(const StretchTask& task);
    // Takes work until the queue closes.
    void serve(WorkQueue& queue);

    // Text files from this size on are counted in stretches when several threads search.
    static constexpr std::uint64_t kStretchBytes = std::uint64_t{8} << 20;
    // Bytes read at most from a file of a kernel pseudo file system.
    static constexpr std::uint64_t kPseudoFileBytes = std::uint64_t{1} << 20;

private:
    void finish(FoundFile& found, std::uint64_t count, bool complete);
    void startStretches(FoundFile found, SearchFile& file);

    RunShared& shared_;
    regex::Automata automata_;
    regex::LineSearch lineSearch_;
    Block first_, binary_;
    std::optional<MatchLister> lister_;
};

} // namespace qv
