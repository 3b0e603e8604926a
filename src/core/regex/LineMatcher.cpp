#include "LineMatcher.h"

#include <cstring>

namespace qv::regex {
namespace {

const std::uint8_t* lineStart(const std::uint8_t* floor, const std::uint8_t* at)
{
    const void* lf = at > floor ? memrchr(floor, '\n', static_cast<std::size_t>(at - floor)) : nullptr;
    return lf != nullptr ? static_cast<const std::uint8_t*>(lf) + 1 : floor;
}

const std::uint8_t* lineEnd(const std::uint8_t* at, const std::uint8_t* end)
{
    const void* lf = at < end ? std::memchr(at, '\n', static_cast<std::size_t>(end - at)) : nullptr;
    return lf != nullptr ? static_cast<const std::uint8_t*>(lf) : end;
}

} // namespace

LineMatcher::LineMatcher(Automata& automata) : automata_(automata), regex_(automata.regex()), driver_(regex_.driver())
{
    steppers_.resize(regex_.size());
    runs_.resize(regex_.size());
}

Stepper& LineMatcher::stepper(std::size_t k)
{
    if (!steppers_[k])
        steppers_[k] = std::make_unique<Stepper>(regex_.conjunct(k).program());
    return *steppers_[k];
}

void LineMatcher::restart()
{
    cache_.clear();
    automata_.startText();
    prefilterOn_ = true;
    payoff_.restart();
}

void LineMatcher::startRun(std::size_t k, Run& run)
{
    Dfa& dfa = automata_.lineDfa(k);
    run.matched = false;
    run.nfa = dfa.failed();
    run.state = dfa.idle(kCtxBegin);
    run.pending.clear();
    run.ctx = kCtxBegin;
}

void LineMatcher::feed(std::size_t k, Run& run, const std::uint8_t* p, const std::uint8_t* end)
{
    // A long line goes in pieces, so a stop is seen within one piece of slow matching.
    while (static_cast<std::size_t>(end - p) > kStopCheckBytes) {
        feedPiece(k, run, p, p + kStopCheckBytes);
        p += kStopCheckBytes;
        if (run.matched || automata_.stopRequested())
            return;
    }
    feedPiece(k, run, p, end);
}

void LineMatcher::feedPiece(std::size_t k, Run& run, const std::uint8_t* p, const std::uint8_t* end)
{
    if (run.matched)
        return;
    if (!run.nfa) {
        Dfa& dfa = automata_.lineDfa(k);
        const std::uint8_t* cls = dfa.classes().classOf.data();
        const std::int32_t* tbl = dfa.table();
        std::int32_t s = run.state;
        while (p < end) {
            std::int32_t t = tbl[s + cls[*p]];
            if (t < 0) {
                if (t == Dfa::kUnknown) {
                    t = dfa.transition(s, cls[*p]);
                    tbl = dfa.table();
                }
                if (t == Dfa::kMatch) {
                    run.matched = true;
                    return;
                }
                if (dfa.failed()) {
                    run.nfa = true;
                    run.pending = dfa.instsOf(t);
                    run.ctx = dfa.contextOf(t);
                    ++p;
                    break;
                }
            }
            s = t;
            ++p;
        }
        if (!run.nfa) {
            run.state = s;
            return;
        }
    }
    Stepper& st = stepper(k);
    const ByteClasses& bc = st.program().classes;
    for (; p < end; ++p) {
        const int cls = bc.classOf[*p];
        if (st.step(run.pending, run.ctx, cls, &scratch_)) {
            run.matched = true;
            return;
        }
        run.pending.swap(scratch_);
        run.ctx = contextAfter(bc, cls);
    }
}

bool LineMatcher::finish(std::size_t k, Run& run, bool unterminated)
{
    if (run.matched)
        return true;
    if (run.nfa) {
        Stepper& st = stepper(k);
        return unterminated ? st.lastLineEnd(run.pending, run.ctx) : st.lineEnd(run.pending, run.ctx);
    }
    Dfa& dfa = automata_.lineDfa(k);
    if (unterminated)
        return dfa.lastLineMatches(run.state);
    const int lf = dfa.classes().classOf['\n'];
    std::int32_t t = dfa.table()[run.state + lf];
    if (t == Dfa::kUnknown)
        t = dfa.transition(run.state, lf);
    return t == Dfa::kMatch;
}

bool LineMatcher::lineMatches(std::size_t k, const std::uint8_t* ls, const std::uint8_t* le, bool unterminated)
{
    Run& run = runs_[k];
    startRun(k, run);
    feed(k, run, ls, le);
    return finish(k, run, unterminated);
}

bool LineMatcher::othersMatch(const std::uint8_t* ls, const std::uint8_t* le, bool unterminated)
{
    for (std::size_t k = 0; k < regex_.size(); ++k)
        if (k != driver_ && !lineMatches(k, ls, le, unterminated))
            return false;
    return true;
}

std::optional<LineMatcher::Line> LineMatcher::findLine(const std::uint8_t* p, const std::uint8_t* end, bool lastLineUnterminated)
{
    const Conjunct& driver = regex_.conjunct(driver_);
    if (driver.prefilter() != nullptr && prefilterOn_) {
        if (auto line = scanWithPrefilter(p, end, lastLineUnterminated))
            return line;
        if (p >= end || automata_.stopRequested())
            return std::nullopt;
    }
    if (automata_.lineDfa(driver_).failed())
        return scanLineByLine(p, end, lastLineUnterminated);
    return scanWithDfa(p, end, lastLineUnterminated);
}

// Candidate lines from the literal search, each confirmed by the DFAs. Leaves p where it stopped
// when the prefilter turns out not to pay on this text.
std::optional<LineMatcher::Line> LineMatcher::scanWithPrefilter(const std::uint8_t*& p, const std::uint8_t* end, bool unterminated)
{
    const Conjunct& driver = regex_.conjunct(driver_);
    const Prefilter& pf = *driver.prefilter();
    const bool exact = driver.exactLines();
    const std::uint8_t* looked = p; // at the stop request, when confirming is slow
    while (p < end) {
        if (static_cast<std::size_t>(p - looked) >= kStopCheckBytes) {
            if (automata_.stopRequested())
                return std::nullopt;
            looked = p;
        }
        const std::uint8_t* c = pf.find(p, end, reinterpret_cast<std::uintptr_t>(p), cache_);
        if (c == nullptr) {
            p = end;
            return std::nullopt;
        }
        const std::uint8_t* ls = lineStart(p, c);
        const std::uint8_t* le = lineEnd(c, end);
        const bool open = unterminated && le == end;
        bool ok = true;
        if (!exact) {
            payoff_.candidate(static_cast<std::uint64_t>(ls - p)); // the DFA confirms the line itself
            ok = lineMatches(driver_, ls, le, open);
        }
        if (ok && othersMatch(ls, le, open)) {
            p = le == end ? end : le + 1;
            return Line{ls, le};
        }
        p = le == end ? end : le + 1;
        if (!exact && !payoff_.pays()) {
            prefilterOn_ = false;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<LineMatcher::Line> LineMatcher::scanWithDfa(const std::uint8_t* p, const std::uint8_t* end, bool unterminated)
{
    Dfa& dfa = automata_.lineDfa(driver_);
    const std::uint8_t* cls = dfa.classes().classOf.data();
    const std::int32_t* tbl = dfa.table();
    const std::int32_t start = dfa.idle(kCtxBegin);
    const std::uint8_t* const floor = p;
    std::int32_t s = start;
    while (p < end) {
        // Four bytes per round while every transition is an ordinary one.
        while (end - p >= 4) {
            const std::int32_t t0 = tbl[s + cls[p[0]]];
            if (t0 < 0)
                break;
            const std::int32_t t1 = tbl[t0 + cls[p[1]]];
            if (t1 < 0) {
                s = t0;
                p += 1;
                break;
            }
            const std::int32_t t2 = tbl[t1 + cls[p[2]]];
            if (t2 < 0) {
                s = t1;
                p += 2;
                break;
            }
            const std::int32_t t3 = tbl[t2 + cls[p[3]]];
            if (t3 < 0) {
                s = t2;
                p += 3;
                break;
            }
            s = t3;
            p += 4;
        }
        if (p >= end)
            break;
        std::int32_t t = tbl[s + cls[*p]];
        if (t >= 0) {
            s = t;
            ++p;
            continue;
        }
        if (t == Dfa::kUnknown) {
            // Building states is the slow part of a DFA that thrashes: look at the stop request
            // now and then while it does.
            if (++statesBuilt_ % kStatesBetweenStopLooks == 0 && automata_.stopRequested())
                return std::nullopt;
            t = dfa.transition(s, cls[*p]);
            tbl = dfa.table();
            if (dfa.failed())
                return scanLineByLine(lineStart(floor, p), end, unterminated);
            if (t >= 0) {
                s = t;
                ++p;
                continue;
            }
        }
        // A match ends before byte p: it lies in the line holding p (or ended by the LF at p).
        const std::uint8_t* ls = lineStart(floor, p);
        const std::uint8_t* le = *p == '\n' ? p : lineEnd(p, end);
        const bool open = unterminated && le == end;
        if (othersMatch(ls, le, open))
            return Line{ls, le};
        if (le == end)
            return std::nullopt;
        p = le + 1;
        s = start;
    }
    if (unterminated && p == end && end > floor && end[-1] != '\n' && dfa.lastLineMatches(s)) {
        const std::uint8_t* ls = lineStart(floor, end);
        if (othersMatch(ls, end, true))
            return Line{ls, end};
    }
    return std::nullopt;
}

std::optional<LineMatcher::Line> LineMatcher::scanLineByLine(const std::uint8_t* p, const std::uint8_t* end, bool unterminated)
{
    const std::uint8_t* looked = p;
    while (p < end) {
        if (static_cast<std::size_t>(p - looked) >= kStopCheckBytes) {
            if (automata_.stopRequested())
                return std::nullopt;
            looked = p;
        }
        const std::uint8_t* le = lineEnd(p, end);
        const bool open = unterminated && le == end;
        if (lineMatches(driver_, p, le, open) && othersMatch(p, le, open))
            return Line{p, le};
        if (le == end)
            break;
        p = le + 1;
    }
    return std::nullopt;
}

void LineMatcher::beginLongLine()
{
    for (std::size_t k = 0; k < regex_.size(); ++k)
        startRun(k, runs_[k]);
}

void LineMatcher::feedLongLine(const std::uint8_t* p, const std::uint8_t* end)
{
    for (std::size_t k = 0; k < regex_.size(); ++k)
        feed(k, runs_[k], p, end);
}

bool LineMatcher::longLineDecided() const
{
    for (const Run& r : runs_)
        if (!r.matched)
            return false;
    return true;
}

bool LineMatcher::endLongLine(bool unterminated)
{
    for (std::size_t k = 0; k < regex_.size(); ++k)
        if (!finish(k, runs_[k], unterminated))
            return false;
    return true;
}

} // namespace qv::regex
