#include "OrderedDelivery.h"

namespace qv {

void SerialSink::progress(const RunProgress& p)
{
    std::lock_guard lock(mutex_);
    sink_.progress(p);
}

void SerialSink::row(FileRow row, std::vector<MatchLine> lines)
{
    std::lock_guard lock(mutex_);
    sink_.row(std::move(row), std::move(lines));
}

void SerialSink::archiveError(const std::string& archive, const std::string& detail)
{
    std::lock_guard lock(mutex_);
    sink_.archiveError(archive, detail);
}

void SerialSink::finished(const RunSummary& summary)
{
    std::lock_guard lock(mutex_);
    sink_.finished(summary);
}

void OrderedDelivery::place(std::uint64_t seq, FileOutcome outcome)
{
    const auto at = static_cast<std::size_t>(seq - next_);
    if (waiting_.size() <= at)
        waiting_.resize(at + 1);
    waiting_[at] = std::move(outcome);
}

void OrderedDelivery::complete(std::uint64_t seq, FileOutcome outcome)
{
    std::unique_lock lock(mutex_);
    place(seq, std::move(outcome));
    deliver(lock);
}

void OrderedDelivery::complete(std::vector<std::pair<std::uint64_t, FileOutcome>>& outcomes)
{
    std::unique_lock lock(mutex_);
    for (auto& [seq, outcome] : outcomes)
        place(seq, std::move(outcome));
    outcomes.clear();
    deliver(lock);
}

void OrderedDelivery::deliver(std::unique_lock<std::mutex>& lock)
{
    if (delivering_)
        return; // the thread handing outcomes on takes this one too
    delivering_ = true;
    std::vector<FileOutcome> ready;
    for (;;) {
        ready.clear();
        std::uint64_t dropped = 0;
        while (!waiting_.empty() && waiting_.front()) {
            FileOutcome& o = *waiting_.front();
            cut_ = cut_ || o.interrupted;
            if (cut_) {
                waiting_.pop_front();
                ++next_;
                ++dropped;
                continue;
            }
            if (o.searched)
                ++counts_.filesSearched;
            if (o.row) {
                ++counts_.filesWithMatches;
                counts_.totalMatches += o.row->matches;
            }
            if (o.archive && archivesMet_.insert(o.path).second)
                counts_.archives.push_back(o.path);
            ready.push_back(std::move(o));
            waiting_.pop_front();
            ++next_;
        }
        if (ready.empty() && dropped == 0)
            break;
        // The sink is called without the lock, so searchers can go on completing meanwhile.
        lock.unlock();
        for (FileOutcome& o : ready) {
            if (o.row)
                sink_.row(std::move(*o.row), std::move(o.lines));
            if (o.archiveError)
                sink_.archiveError(o.path, *o.archiveError);
        }
        lock.lock();
        delivered_ += ready.size() + dropped; // outcomes past a cut count as delivered
        changed_.notify_all();
    }
    delivering_ = false;
}

void OrderedDelivery::waitDelivered(std::uint64_t count)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return delivered_ >= count; });
}

bool OrderedDelivery::delivered(std::uint64_t count) const
{
    std::lock_guard lock(mutex_);
    return delivered_ >= count;
}

void OrderedDelivery::waitForRoom(std::uint64_t issued, std::uint64_t ahead, const std::stop_token& stop)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, stop, [&] { return issued < delivered_ + ahead; });
}

RunSummary OrderedDelivery::counts() const
{
    std::lock_guard lock(mutex_);
    return counts_;
}

} // namespace qv
