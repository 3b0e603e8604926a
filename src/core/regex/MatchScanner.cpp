#include "MatchScanner.h"

#include <algorithm>
#include <cstring>

namespace qv::regex {

ByteMap identityByteMap()
{
    ByteMap m{};
    for (unsigned b = 0; b < 256; ++b)
        m[b] = static_cast<std::uint8_t>(b);
    return m;
}

namespace {

// Literal searches look at raw bytes, so they only work where the map leaves their bytes alone
// and maps nothing onto them.
bool mapSparesLiterals(const Prefilter& pf, const ByteMap& map)
{
    std::array<bool, 256> touched{};
    for (unsigned b = 0; b < 256; ++b) {
        if (map[b] != b) {
            touched[b] = true;
            touched[map[b]] = true;
        }
    }
    return std::none_of(pf.finders().begin(), pf.finders().end(), [&](const LiteralFinder& f) { return f.holdsAny(touched); });
}

} // namespace

MatchScanner::MatchScanner(Automata& automata, std::size_t conjunct, const ByteMap& map)
    : automata_(automata), conj_(automata.regex().conjunct(conjunct)), pike_(conj_.program())
{
    const ByteClasses& bc = conj_.program().classes;
    for (unsigned b = 0; b < 256; ++b)
        cls_[b] = bc.classOf[map[b]];
    if (const Prefilter* pf = conj_.prefilter(); pf != nullptr && mapSparesLiterals(*pf, map))
        prefilter_ = pf;
    dfa_ = &automata_.bufferDfa(conjunct);
    reset(0, kCtxBegin);
}

void MatchScanner::reset(std::uint64_t pos, Ctx ctx)
{
    pos_ = pos;
    finished_ = false;
    candidateValid_ = false;
    prefilterOn_ = prefilter_ != nullptr;
    payoff_.restart();
    cache_.clear();
    if (prefilter_ != nullptr && conj_.exactBuffer()) {
        mode_ = Mode::Exact;
    } else if (dfa_->failed()) {
        toPike(pos, ctx);
    } else {
        mode_ = Mode::Dfa;
        state_ = dfa_->idle(ctx);
        lastIdle_ = pos;
        lastIdleCtx_ = ctx;
    }
}

void MatchScanner::toPike(std::uint64_t from, Ctx ctx)
{
    mode_ = Mode::Pike;
    pike_.reset(from, ctx);
    pos_ = from;
}

void MatchScanner::scan(const TextWindow& w, std::vector<Match>& out, std::size_t maxOut)
{
    while (!finished_ && out.size() < maxOut) {
        if (automata_.stopRequested()) {
            finished_ = true;
            return;
        }
        if (pos_ < w.endPos()) {
            bool needMore = false;
            switch (mode_) {
            case Mode::Exact:
                scanExact(w, out, maxOut);
                needMore = !w.eof && !finished_;
                break;
            case Mode::Dfa: scanDfa(w); break;
            case Mode::Pike: scanPike(w, out, maxOut); break;
            }
            if (!needMore && pos_ < w.endPos())
                continue;
            if (needMore)
                return;
        }
        if (!w.eof)
            return;
        switch (mode_) {
        case Mode::Exact: finished_ = true; break;
        case Mode::Dfa:
            if (dfa_->endMatches(state_))
                toPike(lastIdle_, lastIdleCtx_);
            else
                finished_ = true;
            break;
        case Mode::Pike:
            pike_.finish(out);
            finished_ = true;
            break;
        }
    }
}

void MatchScanner::scanExact(const TextWindow& w, std::vector<Match>& out, std::size_t maxOut)
{
    const std::uint8_t* end = w.data + w.size;
    const std::uint8_t* p = w.at(pos_);
    while (out.size() < maxOut) {
        std::size_t len = 0;
        const std::uint8_t* c = prefilter_->find(p, end, w.base + static_cast<std::uint64_t>(p - w.data), cache_, &len);
        if (c == nullptr)
            break;
        const std::uint64_t at = w.base + static_cast<std::uint64_t>(c - w.data);
        out.push_back(Match{at, at + len});
        p = c + len;
    }
    if (out.size() >= maxOut) {
        pos_ = w.base + static_cast<std::uint64_t>(p - w.data);
        return;
    }
    // Nothing more in the window; an occurrence may still straddle its end.
    const std::size_t keep = w.eof ? 0 : prefilter_->maxLength() - 1;
    const std::uint64_t tail = w.endPos() - std::min<std::uint64_t>(keep, w.size);
    pos_ = std::max(w.base + static_cast<std::uint64_t>(p - w.data), tail);
    if (w.eof)
        finished_ = true;
}

// At an idle point: let the literal search skip to where a match could begin. Returns false
// when no match can follow at all.
bool MatchScanner::jump(const TextWindow& w, const std::uint8_t*& p, std::int32_t& s)
{
    const std::uint8_t* end = w.data + w.size;
    const Program& prog = conj_.program();
    std::size_t len = 0;
    const std::uint8_t* c = prefilter_->find(p, end, w.base + static_cast<std::uint64_t>(p - w.data), cache_, &len);
    const std::uint8_t* target;
    if (c == nullptr) {
        if (w.eof)
            return false;
        // An occurrence may straddle the window's end; the DFA covers that stretch itself.
        const std::size_t keep = prefilter_->maxLength() - 1;
        target = static_cast<std::size_t>(end - p) > keep ? end - keep : p;
        candidate_ = w.endPos();
    } else {
        target = c;
        candidate_ = w.base + static_cast<std::uint64_t>(c - w.data);
    }
    candidateValid_ = true;
    // The earliest start of a match that holds the literal at `target`.
    const std::uint8_t* q = p;
    if (!prog.canMatchLF) {
        const void* lf = target > p ? memrchr(p, '\n', static_cast<std::size_t>(target - p)) : nullptr;
        q = lf != nullptr ? static_cast<const std::uint8_t*>(lf) + 1 : p;
    } else if (prog.maxLength) {
        const std::size_t back = *prog.maxLength;
        q = static_cast<std::size_t>(target - p) > back ? target - back : p;
    }
    payoff_.candidate(q > p ? static_cast<std::uint64_t>(q - p) : 0);
    if (q > p) {
        s = dfa_->idle(contextAfter(prog.classes, cls_[q[-1]]));
        p = q;
    }
    // Jumps that skip next to nothing cost more than they save.
    if (!payoff_.pays())
        prefilterOn_ = false;
    return true;
}

void MatchScanner::scanDfa(const TextWindow& w)
{
    const std::uint8_t* const data = w.data;
    const std::uint8_t* const end = data + w.size;
    const std::uint8_t* p = w.at(pos_);
    const std::int32_t idleLimit = dfa_->idleLimit();
    const int stride = dfa_->stride();
    const std::int32_t* tbl = dfa_->table();
    std::int32_t s = state_;
    const std::uint8_t* lastIdle = lastIdle_ >= w.base ? w.at(lastIdle_) : nullptr;
    std::int32_t lastIdleState = dfa_->idle(lastIdleCtx_);
    auto absolute = [&](const std::uint8_t* q) { return w.base + static_cast<std::uint64_t>(q - data); };
    auto saveIdle = [&] {
        if (lastIdle != nullptr) {
            lastIdle_ = absolute(lastIdle);
            lastIdleCtx_ = static_cast<Ctx>(lastIdleState / stride);
        }
    };

    while (p < end) {
        if (s < idleLimit) {
            lastIdle = p;
            lastIdleState = s;
            if (prefilterOn_ && (!candidateValid_ || absolute(p) > candidate_)) {
                if (!jump(w, p, s)) {
                    pos_ = w.endPos();
                    finished_ = true;
                    return;
                }
                lastIdle = p;
                lastIdleState = s;
                continue;
            }
        }
        // Past the candidate, stop at the next idle point to search again.
        const std::uint8_t* watch = end;
        if (prefilterOn_)
            watch = candidateValid_ && candidate_ >= absolute(p) ? (candidate_ < w.endPos() ? w.at(candidate_) + 1 : end) : p;
        std::int32_t t = 0;
        while (p < end) {
            if (s < idleLimit) {
                lastIdle = p;
                lastIdleState = s;
                if (p >= watch)
                    break;
            }
            t = tbl[s + cls_[*p]];
            if (t < 0)
                break;
            s = t;
            ++p;
        }
        if (p >= end || t >= 0)
            continue;
        if (t == Dfa::kUnknown) {
            // Building states is the slow part of a DFA that thrashes: the stop request is looked
            // at now and then while it does (scan() ends the search).
            if (++statesBuilt_ % kStatesBetweenStopLooks == 0 && automata_.stopRequested()) {
                state_ = s;
                pos_ = absolute(p);
                saveIdle();
                return;
            }
            t = dfa_->transition(s, cls_[*p]);
            tbl = dfa_->table();
            if (dfa_->failed()) {
                saveIdle();
                toPike(lastIdle_, lastIdleCtx_);
                return;
            }
            if (t >= 0) {
                s = t;
                ++p;
                continue;
            }
        }
        // A match ends before p: the NFA works out its extent from the last idle point.
        saveIdle();
        toPike(lastIdle_, lastIdleCtx_);
        return;
    }
    state_ = s;
    pos_ = w.endPos();
    if (s < idleLimit) {
        lastIdle = end;
        lastIdleState = s;
    }
    saveIdle();
    if (pos_ - lastIdle_ > kMaxRetained)
        toPike(lastIdle_, lastIdleCtx_);
}

void MatchScanner::scanPike(const TextWindow& w, std::vector<Match>& out, std::size_t maxOut)
{
    const std::uint8_t* const end = w.data + w.size;
    if (pos_ < w.base) // the source could not keep what was asked for; resume where it starts
        toPike(w.base, kCtxBegin);
    const std::uint8_t* p = w.at(pos_);
    const bool dfaUsable = !dfa_->failed();
    // The simulation is the slow path: look at the stop request every few kilobytes.
    const std::uint8_t* looked = p;
    while (p < end) {
        if (static_cast<std::size_t>(p - looked) >= kStopCheckBytes) {
            if (automata_.stopRequested())
                break;
            looked = p;
        }
        pike_.step(cls_[*p], out);
        ++p;
        if (pike_.idle() && dfaUsable) {
            mode_ = Mode::Dfa;
            state_ = dfa_->idle(pike_.context());
            lastIdle_ = w.base + static_cast<std::uint64_t>(p - w.data);
            lastIdleCtx_ = pike_.context();
            candidateValid_ = false;
            break;
        }
        if (out.size() >= maxOut)
            break;
    }
    pos_ = w.base + static_cast<std::uint64_t>(p - w.data);
}

} // namespace qv::regex
