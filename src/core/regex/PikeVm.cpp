#include "PikeVm.h"

#include <algorithm>

namespace qv::regex {

namespace {

// Bound on the instructions the fresh-closure cache holds: patterns with tens of thousands of
// optional pieces would otherwise keep one long list per context and byte class.
constexpr std::size_t kMaxFreshCached = std::size_t{1} << 22;

} // namespace

PikeVm::PikeVm(const Program& prog)
    : prog_(prog), markOld_(prog.insts.size(), 0), markFresh_(prog.insts.size(), 0), markNext_(prog.insts.size(), 0),
      freshCache_(static_cast<std::size_t>(kCtxCount) * static_cast<std::size_t>(prog.classes.count() + 1))
{
}

const PikeVm::FreshClosure& PikeVm::fresh(int next)
{
    const std::size_t column = next == kEndOfText ? static_cast<std::size_t>(prog_.classes.count()) : static_cast<std::size_t>(next);
    FreshClosure& cached = freshCache_[static_cast<std::size_t>(ctx_) * static_cast<std::size_t>(prog_.classes.count() + 1) + column];
    if (cached.known)
        return cached;
    FreshClosure& f = freshCached_ < kMaxFreshCached ? cached : freshScratch_;
    f.insts.clear();
    f.match = false;
    // Its own marks: the caller's generation marks the old threads and must stay as it is.
    if (++freshGeneration_ == 0) {
        std::fill(markFresh_.begin(), markFresh_.end(), 0);
        freshGeneration_ = 1;
    }
    const std::uint8_t rep = next == kEndOfText ? 0 : prog_.classes.representative[static_cast<std::size_t>(next)];
    FollowEmpty(
        prog_, stack_, prog_.start, ctx_, next, [&](std::uint32_t i) { return MarkOnce(markFresh_, i, freshGeneration_); },
        [&](std::uint32_t i) {
            // At the end of the text no byte follows: only a match counts there.
            if (next != kEndOfText && prog_.accepts(prog_.insts[i], rep))
                f.insts.push_back(i);
        },
        [&] { f.match = true; });
    if (&f == &cached) {
        f.known = true;
        freshCached_ += f.insts.size() + 1;
    }
    return f;
}

void PikeVm::reset(std::uint64_t pos, Ctx ctx)
{
    threads_.clear();
    pending_.clear();
    pos_ = pos;
    ctx_ = ctx;
}

void PikeVm::record(std::uint64_t start, std::uint64_t end)
{
    // A match starting at `start` supersedes every waiting match that starts at or after it.
    while (!pending_.empty() && pending_.back().begin >= start)
        pending_.pop_back();
    pending_.push_back(Match{start, end});
}

// Follows the empty transitions of the alive threads, then of a thread starting here. The fresh
// thread is followed on its own: a younger thread at an instruction an older one holds has the
// same future, except that it may match the empty string right here, after the older one's match.
void PikeVm::closure(int next)
{
    if (++generation_ == 0) {
        std::fill(markOld_.begin(), markOld_.end(), 0);
        std::fill(markNext_.begin(), markNext_.end(), 0);
        generation_ = 1;
    }
    list_.clear();
    bool haveOldMatch = false;
    std::uint64_t oldMatchStart = 0;

    for (const Thread& t : threads_) {
        // Threads that started inside a match found here are over; they must not hide a younger
        // thread at the same instruction either.
        if (haveOldMatch && t.start > oldMatchStart)
            break;
        FollowEmpty(
            prog_, stack_, t.inst, ctx_, next, [&](std::uint32_t i) { return MarkOnce(markOld_, i, generation_); },
            [&](std::uint32_t i) {
                list_.push_back(Thread{i, t.start});
            },
            [&] {
                if (!haveOldMatch) {
                    haveOldMatch = true;
                    oldMatchStart = t.start;
                }
            });
    }

    // A thread starting here, at the instructions no older thread holds.
    const FreshClosure& f = fresh(next);
    for (const std::uint32_t i : f.insts)
        if (markOld_[i] != generation_)
            list_.push_back(Thread{i, pos_});
    const bool freshMatch = f.match;

    if (haveOldMatch)
        record(oldMatchStart, pos_);
    if (freshMatch)
        record(pos_, pos_);
}

void PikeVm::emitFinal(std::vector<Match>& out)
{
    if (pending_.size() > kMaxPending) {
        const std::uint64_t cut = pending_.front().begin;
        std::erase_if(threads_, [&](const Thread& t) { return t.start <= cut; });
    }
    const std::uint64_t oldest = threads_.empty() ? UINT64_MAX : threads_.front().start;
    while (!pending_.empty() && pending_.front().begin < oldest) {
        out.push_back(pending_.front());
        pending_.pop_front();
    }
}

void PikeVm::step(int cls, std::vector<Match>& out)
{
    closure(cls);
    const std::uint8_t rep = prog_.classes.representative[static_cast<std::size_t>(cls)];
    next_.clear();
    for (const Thread& t : list_) {
        const Inst& inst = prog_.insts[t.inst];
        if (!prog_.accepts(inst, rep) || markNext_[inst.out] == generation_)
            continue;
        markNext_[inst.out] = generation_;
        next_.push_back(Thread{inst.out, t.start});
    }
    threads_.swap(next_);
    ++pos_;
    ctx_ = contextAfter(prog_.classes, cls);
    emitFinal(out);
}

void PikeVm::finish(std::vector<Match>& out)
{
    closure(kEndOfText);
    threads_.clear();
    emitFinal(out);
}

} // namespace qv::regex
