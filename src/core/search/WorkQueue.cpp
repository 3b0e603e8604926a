#include "WorkQueue.h"

namespace qv {

FileJob FileRun::job(std::size_t k)
{
    FileJob j;
    j.seq = seq + k;
    j.folder = folder;
    if (folder)
        j.name = std::move(names[k]);
    else
        j.path = path;
    j.archive = archive;
    j.mayRecur = mayRecur;
    j.linked = linked;
    return j;
}

void WorkQueue::push(std::vector<FileRun>& runs, const std::function<void(std::vector<Work>&)>& whileFull)
{
    std::vector<Work> meanwhile;
    for (FileRun& run : runs) {
        std::unique_lock lock(mutex_);
        while (files_ >= capacity_ && !stop_.stop_requested()) {
            take(meanwhile);
            lock.unlock();
            whileFull(meanwhile);
            meanwhile.clear();
            lock.lock();
        }
        files_ += run.size();
        runs_.push_back(std::move(run));
        const bool wake = waiting_ > 0;
        lock.unlock();
        if (wake)
            work_.notify_one();
    }
    runs.clear();
}

void WorkQueue::pushStretches(const std::shared_ptr<StretchCount>& count, std::size_t stretches)
{
    {
        std::lock_guard lock(mutex_);
        for (std::size_t k = 0; k < stretches; ++k)
            stretches_.push_back(StretchTask{count, k});
    }
    work_.notify_all();
}

void WorkQueue::take(std::vector<Work>& out)
{
    if (!stretches_.empty()) {
        // One stretch at a time, so every searcher gets its share of a big file.
        out.emplace_back(std::move(stretches_.front()));
        stretches_.pop_front();
        return;
    }
    if (runs_.empty())
        return;
    files_ -= runs_.front().size();
    out.emplace_back(std::move(runs_.front()));
    runs_.pop_front();
}

bool WorkQueue::pop(std::vector<Work>& out)
{
    out.clear();
    std::unique_lock lock(mutex_);
    if (!closed_ && runs_.empty() && stretches_.empty()) {
        ++waiting_;
        work_.wait(lock, [&] { return closed_ || !runs_.empty() || !stretches_.empty(); });
        --waiting_;
    }
    take(out);
    return !out.empty();
}

bool WorkQueue::popFor(std::vector<Work>& out, std::chrono::milliseconds wait)
{
    out.clear();
    std::unique_lock lock(mutex_);
    if (runs_.empty() && stretches_.empty()) {
        ++waiting_;
        work_.wait_for(lock, wait, [&] { return closed_ || !runs_.empty() || !stretches_.empty(); });
        --waiting_;
    }
    take(out);
    return !out.empty();
}

void WorkQueue::close()
{
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    work_.notify_all();
}

} // namespace qv
