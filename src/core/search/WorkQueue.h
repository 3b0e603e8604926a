#pragma once

#include "TreeWalker.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <variant>
#include <vector>

namespace qv {

// One file the walk found, numbered in walk order.
struct FileJob {
    std::uint64_t seq = 0;
    std::shared_ptr<const OpenFolder> folder; // null: `path` is opened as it stands
    std::string name;                         // in `folder`
    std::string path;                         // the whole path, for the row and the status line
    std::string archive;                      // the archive a member was extracted from
};

class StretchCount;

// One stretch of a big text file counted by several searchers at once.
struct StretchTask {
    std::shared_ptr<StretchCount> count;
    std::size_t index = 0;
};

using Work = std::variant<FileJob, StretchTask>;

// The work of a run's searchers: files in walk order, and the stretches of files being counted
// in parallel, which go first so a big file finishes soon. Holds a bounded number of files, so
// the walk never runs far ahead of the searchers (and open folders do not pile up).
class WorkQueue {
public:
    explicit WorkQueue(std::size_t capacity, std::stop_token stop) : capacity_(capacity), stop_(std::move(stop)) {}

    // Waits for room (not after a stop request, when the file is queued at once to be passed over).
    void push(FileJob job);
    // Offers the stretches of a file to the searchers.
    void pushStretches(const std::shared_ptr<StretchCount>& count, std::size_t stretches);
    // The next work; false when the queue is closed and empty.
    bool pop(Work& out);
    // No more files will come.
    void close();

private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<FileJob> files_;
    std::deque<StretchTask> stretches_;
    std::size_t capacity_;
    std::stop_token stop_;
    bool closed_ = false;
};

} // namespace qv
