#include "WorkQueue.h"

namespace qv {

void WorkQueue::push(FileJob job)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, stop_, [&] { return files_.size() < capacity_; });
    files_.push_back(std::move(job));
    changed_.notify_all();
}

void WorkQueue::pushStretches(const std::shared_ptr<StretchCount>& count, std::size_t stretches)
{
    std::lock_guard lock(mutex_);
    for (std::size_t k = 0; k < stretches; ++k)
        stretches_.push_back(StretchTask{count, k});
    changed_.notify_all();
}

bool WorkQueue::pop(Work& out)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || !files_.empty() || !stretches_.empty(); });
    if (!stretches_.empty()) {
        out = std::move(stretches_.front());
        stretches_.pop_front();
    } else if (!files_.empty()) {
        out = std::move(files_.front());
        files_.pop_front();
    } else {
        return false;
    }
    changed_.notify_all();
    return true;
}

void WorkQueue::close()
{
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

} // namespace qv
