#include "Dfa.h"

#include <cstring>

namespace qv::regex {
namespace {
constexpr int kMaxResets = 16;
// A budget below this cannot hold a useful cache: give up at once.
constexpr std::size_t kMinimumBudget = 4096;
constexpr std::size_t kStateOverhead = 96; // map node, vector headers, bookkeeping
} // namespace

Dfa::Dfa(const Program& prog, Mode mode, std::size_t budget)
    : prog_(prog), mode_(mode), budget_(budget), stride_(prog.classes.count()), stepper_(prog), failed_(budget < kMinimumBudget)
{
    clear();
}

void Dfa::startText()
{
    if (!failed_ || budget_ < kMinimumBudget)
        return;
    failed_ = false;
    resets_ = 0;
    clear();
}

void Dfa::clear()
{
    states_.clear();
    trans_.clear();
    endCache_.clear();
    index_.clear();
    memory_ = 0;
    for (int c = 0; c < kCtxCount; ++c)
        intern({}, static_cast<Ctx>(c));
}

std::int32_t Dfa::intern(const std::vector<std::uint32_t>& insts, Ctx ctx)
{
    key_.assign(1, static_cast<char>(ctx));
    key_.append(reinterpret_cast<const char*>(insts.data()), insts.size() * sizeof(std::uint32_t));
    if (auto it = index_.find(key_); it != index_.end())
        return it->second;

    const std::size_t cost = kStateOverhead + 2 * key_.size() + static_cast<std::size_t>(stride_) * sizeof(std::int32_t);
    if (memory_ + cost > budget_ && states_.size() > kCtxCount) {
        if (++resets_ > kMaxResets)
            failed_ = true;
        std::string saved = key_;
        clear();
        key_ = std::move(saved);
    }
    const auto offset = static_cast<std::int32_t>(states_.size()) * stride_;
    states_.push_back(State{insts, ctx});
    trans_.resize(trans_.size() + static_cast<std::size_t>(stride_), kUnknown);
    endCache_.push_back(-1);
    index_.emplace(key_, offset);
    memory_ += cost;
    return offset;
}

std::int32_t Dfa::transition(std::int32_t s, int cls)
{
    const std::size_t id = static_cast<std::size_t>(s / stride_);
    const std::vector<std::uint32_t> insts = states_[id].insts; // copy: interning may clear the cache
    const Ctx ctx = states_[id].ctx;
    const std::size_t generation = static_cast<std::size_t>(resets_);

    std::int32_t result;
    if (mode_ == Mode::Line && prog_.classes.isLF[static_cast<std::size_t>(cls)]) {
        result = stepper_.lineEnd(insts, ctx) ? kMatch : idle(kCtxBegin);
    } else {
        const bool matched = stepper_.step(insts, ctx, cls, &scratch_);
        result = matched ? kMatch : intern(scratch_, contextAfter(prog_.classes, cls));
    }
    if (generation == static_cast<std::size_t>(resets_))
        trans_[static_cast<std::size_t>(s + cls)] = result;
    return result;
}

bool Dfa::lastLineMatches(std::int32_t s)
{
    const State& st = states_[static_cast<std::size_t>(s / stride_)];
    return stepper_.lastLineEnd(st.insts, st.ctx);
}

bool Dfa::endMatches(std::int32_t s)
{
    const std::size_t id = static_cast<std::size_t>(s / stride_);
    if (endCache_[id] < 0)
        endCache_[id] = stepper_.step(states_[id].insts, states_[id].ctx, kEndOfText, nullptr) ? 1 : 0;
    return endCache_[id] == 1;
}

} // namespace qv::regex
