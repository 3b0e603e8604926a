#pragma once

#include "OrderedDelivery.h"
#include "SearchFile.h"
#include "SearchRun.h"
#include "WorkQueue.h"
#include "regex/Automata.h"
#include "regex/LineSearch.h"

#include <array>
#include <chrono>
#include <functional>
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
    // Shards with a lock each, so the searchers seldom wait for one another.
    struct Shard {
        std::mutex mutex;
        std::unordered_map<platform::FileId, Entry, IdHash> entries;
    };
    static constexpr std::size_t kShards = 16;
    Shard& shardOf(const platform::FileId& id) { return shards_[IdHash()(id) % kShards]; }
    std::array<Shard, kShards> shards_;

public:
    CountMemo()
    {
        // A run of any size: room made once rather than the table grown again and again.
        for (Shard& s : shards_)
            s.entries.reserve(1024);
    }
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

    // Searches one file and hands its outcome on.
    void search(FileJob job);
    // Does the work and hands the outcomes on together.
    void handle(std::vector<Work>& work);
    // Takes work until the queue closes.
    void serve(WorkQueue& queue);

    // Text files from this size on are counted in stretches of about kStretchBytes by every
    // searcher of the run.
    static constexpr std::uint64_t kMapBytes = std::uint64_t{32} << 20;
    static constexpr std::uint64_t kStretchBytes = std::uint64_t{32} << 20;
    // A searcher tells what it is searching at most this often (and always for a big file): a
    // status line shows no more, and the sink is not kept busy with it.
    static constexpr std::chrono::milliseconds kProgressInterval{15};
    // Bytes read at most from a file of a kernel pseudo file system.
    static constexpr std::uint64_t kPseudoFileBytes = std::uint64_t{1} << 20;

private:
    void searchFile(FileJob job);
    void countStretch(const StretchTask& task);
    // Outcomes wait here until the work taken at once is done, then go to the delivery together.
    void done(std::uint64_t seq, FileOutcome outcome);
    void handOver();
    // Hands on a file's outcome; a read that failed part way is told, and the file not listed.
    void finish(FoundFile& found, std::uint64_t count, bool complete, int readError = 0);
    void countBig(FoundFile found, SearchFile& file);
    CountResult countRange(int fd, std::uint64_t begin, std::uint64_t end);

    void progress(const std::function<const std::string&()>& path, std::uint64_t size);

    RunShared& shared_;
    std::chrono::steady_clock::time_point lastProgress_{};
    regex::Automata automata_;
    regex::LineSearch lineSearch_;
    Block first_, binary_;
    std::optional<MatchLister> lister_;
    std::vector<std::pair<std::uint64_t, FileOutcome>> done_;
};

} // namespace qv
