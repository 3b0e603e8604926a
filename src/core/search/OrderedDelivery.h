#pragma once

#include "FileRow.h"
#include "MatchListing.h"
#include "SearchSink.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_set>
#include <vector>

namespace qv {

// What one numbered item of a run came to: a file searched (or passed over), an archive met, or
// an archive that could not be extracted.
struct FileOutcome {
    bool searched = false; // of a wanted type and counted to its end
    bool archive = false; // a Zip archive, to extract after the walks
    std::string path; // the archive's path
    std::optional<FileRow> row; // when it has matches
    std::vector<MatchLine> lines; // its listing, when the run lists matches
    std::optional<std::string> archiveError; // the extractor's reason
    // Cut short by a stop: neither it nor anything numbered after it reaches the sink, so a
    // stopped run shows exactly the files the walk order had reached, none of them half done.
    bool interrupted = false;
};

// A sink that takes one call at a time, from whichever thread.
class SerialSink final : public SearchSink {
public:
    explicit SerialSink(SearchSink& sink) : sink_(sink) { }
    void progress(const RunProgress& p) override;
    void row(FileRow row, std::vector<MatchLine> lines) override;
    void archiveError(const std::string& archive, const std::string& detail) override;
    void finished(const RunSummary& summary) override;

private:
    std::mutex mutex_;
    SearchSink& sink_;
};

// Hands outcomes to the sink in the order of their numbers, whatever order they are completed
// in, and keeps the run's counts as it goes.
class OrderedDelivery {
public:
    explicit OrderedDelivery(SearchSink& sink) : sink_(sink) { }

    void complete(std::uint64_t seq, FileOutcome outcome);
    // Several at once (numbers in any order); leaves `outcomes` empty.
    void complete(std::vector<std::pair<std::uint64_t, FileOutcome>>& outcomes);
    // Waits until everything numbered below `count` has reached the sink.
    void waitDelivered(std::uint64_t count);
    [[nodiscard]] bool delivered(std::uint64_t count) const;
    // Waits while `issued` runs more than `ahead` numbers in front of what has been delivered.
    void waitForRoom(std::uint64_t issued, std::uint64_t ahead, const std::stop_token& stop);

    // The counts so far and the archives met (valid once everything is delivered).
    [[nodiscard]] RunSummary counts() const;

private:
    void place(std::uint64_t seq, FileOutcome outcome); // with the lock held
    void deliver(std::unique_lock<std::mutex>& lock);

    SearchSink& sink_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    // Outcomes completed ahead of their turn, by number from next_ on; they mostly come in order.
    std::deque<std::optional<FileOutcome>> waiting_;
    std::uint64_t next_ = 0; // the next number to hand on
    std::uint64_t delivered_ = 0; // numbers below this have reached the sink
    bool delivering_ = false; // one thread hands outcomes on at a time
    bool cut_ = false; // an interrupted outcome was met: nothing more is counted or handed on
    RunSummary counts_;
    // Archives already met: two walks (the user's mask and the added archive mask) may both
    // reach one, and it is searched once.
    std::unordered_set<std::string> archivesMet_;
};

} // namespace qv
