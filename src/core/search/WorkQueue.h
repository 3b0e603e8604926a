#pragma once

#include "TreeWalker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <variant>
#include <vector>

namespace qv {

// An archive whose extracted members are being searched, and the folder they are in (ending in
// "/"): a member's row names it by its path below that folder.
struct ArchiveSource {
    std::string path;
    std::string folder;
};

// One file the walk found, numbered in walk order.
struct FileJob {
    std::uint64_t seq = 0;
    std::shared_ptr<const OpenFolder> folder; // null: `path` is opened as it stands
    std::string name; // in `folder`
    std::string path; // the whole path; made by the searcher for a walk's file
    std::shared_ptr<const ArchiveSource> archive; // for an archive member
    bool mayRecur = false; // the run may have reached this file by another path
    bool linked = false; // reached through a link: another path may reach it too
};

// Files that follow one another in the walk, of one folder, numbered from `seq` on; or a single
// file named by its path. What the searchers take from the queue.
struct FileRun {
    std::uint64_t seq = 0;
    std::shared_ptr<const OpenFolder> folder;
    std::vector<std::string> names;
    std::string path; // without a folder: the one file
    std::shared_ptr<const ArchiveSource> archive;
    bool mayRecur = false;
    bool linked = false;

    [[nodiscard]] std::size_t size() const { return folder ? names.size() : 1; }
    // The k-th file of the run.
    [[nodiscard]] FileJob job(std::size_t k);
};

class StretchCount;

// One stretch of a big text file counted by several searchers at once.
struct StretchTask {
    std::shared_ptr<StretchCount> count;
    std::size_t index = 0;
};

using Work = std::variant<FileRun, StretchTask>;

// The work of a run's searchers: files in walk order, and the stretches of files being counted
// in parallel, which go first so a big file finishes soon. Holds a bounded number of files, so
// the walk never runs far ahead of the searchers (and open folders do not pile up).
class WorkQueue {
public:
    // `capacity` counts files.
    explicit WorkQueue(std::size_t capacity, std::stop_token stop) : capacity_(capacity), stop_(std::move(stop)) { }

    // Queues the runs in their order. While the queue is full, `whileFull` is given work from its
    // front to do meanwhile (the walk searches instead of waiting); after a stop request the runs
    // go in at once, to be passed over. Leaves `runs` empty.
    void push(std::vector<FileRun>& runs, const std::function<void(std::vector<Work>&)>& whileFull);
    // Offers the stretches of a file to the searchers.
    void pushStretches(const std::shared_ptr<StretchCount>& count, std::size_t stretches);
    // The next work: a stretch or a run of files; false when the queue is closed and empty.
    bool pop(std::vector<Work>& out);
    // The same, waiting no longer than `wait`; false when there was none.
    bool popFor(std::vector<Work>& out, std::chrono::milliseconds wait);
    // No more files will come.
    void close();
    // Some searcher waits for work right now.
    [[nodiscard]] bool searchersWaiting() const { return waiting_.load(std::memory_order_relaxed) > 0; }

private:
    void take(std::vector<Work>& out); // with the lock held, work there

    std::mutex mutex_;
    std::condition_variable_any work_; // searchers wait for work

    std::deque<FileRun> runs_;
    std::size_t files_ = 0; // in runs_
    std::deque<StretchTask> stretches_;
    std::size_t capacity_;
    std::stop_token stop_;
    bool closed_ = false;
    std::atomic<int> waiting_{0};
    static constexpr std::size_t kHelperFiles = 32; // taken at once by the walk while the queue is full
};

} // namespace qv
