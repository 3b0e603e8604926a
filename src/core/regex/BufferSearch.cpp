#include "BufferSearch.h"

#include <algorithm>
#include <cstring>

namespace qv::regex {

BufferSearch::BufferSearch(RegexPtr regex, TextSource& source, const ByteMap& map)
    : ownAutomata_(std::make_unique<Automata>(std::move(regex))), automata_(*ownAutomata_), regex_(automata_.regex()), source_(source)
{
    for (std::size_t k = 0; k < regex_.size(); ++k)
        scanners_.push_back(std::make_unique<MatchScanner>(automata_, k, map));
}

BufferSearch::BufferSearch(Automata& automata, TextSource& source, const ByteMap& map)
    : automata_(automata), regex_(automata.regex()), source_(source)
{
    automata_.startText();
    for (std::size_t k = 0; k < regex_.size(); ++k)
        scanners_.push_back(std::make_unique<MatchScanner>(automata_, k, map));
}

Ctx BufferSearch::contextAt(std::size_t k, std::uint64_t pos) const
{
    const TextWindow w = source_.window();
    if (pos == 0 || pos - 1 < w.base || pos - 1 >= w.endPos())
        return kCtxBegin;
    return scanners_[k]->contextOfByte(*w.at(pos - 1));
}

std::uint64_t BufferSearch::keepFrom() const
{
    std::uint64_t keep = UINT64_MAX;
    for (const auto& s : scanners_)
        keep = std::min(keep, s->keepFrom());
    return keep;
}

std::optional<Match> BufferSearch::RGrep(std::uint64_t from)
{
    std::optional<Match> m = regex_.size() == 1 ? nextSingle(from) : nextConjunction(from);
    if (m)
        expected_ = m->end + (m->begin == m->end ? 1 : 0);
    return m;
}

std::optional<Match> BufferSearch::nextSingle(std::uint64_t from)
{
    MatchScanner& scanner = *scanners_[0];
    if (!primed_ || from != expected_) {
        scanner.reset(from, contextAt(0, from));
        queue_.clear();
        head_ = 0;
        primed_ = true;
    }
    while (head_ == queue_.size()) {
        queue_.clear();
        head_ = 0;
        scanner.scan(source_.window(), queue_, 1);
        if (!queue_.empty())
            break;
        if (scanner.finished())
            return std::nullopt;
        if (!source_.advance(scanner.keepFrom()) && !source_.window().eof)
            return std::nullopt;
    }
    return queue_[head_++];
}

// The first match of conjunct k at or after `from` that starts no later than `limit`; bytes from
// `keep` on stay available for the other conjuncts.
std::optional<Match> BufferSearch::firstMatch(std::size_t k, std::uint64_t from, std::uint64_t limit, std::uint64_t keep)
{
    constexpr std::uint64_t kStride = std::uint64_t{64} << 10;
    MatchScanner& scanner = *scanners_[k];
    scanner.reset(from, contextAt(k, from));
    std::vector<Match> out;
    // Scan in bounded steps past the limit, so a line's check never runs through the whole text.
    std::uint64_t stop = limit == UINT64_MAX ? UINT64_MAX : limit + 1;
    for (;;) {
        TextWindow w = source_.window();
        const bool truncated = stop < w.endPos();
        if (truncated) {
            w.size = static_cast<std::size_t>(std::max(stop, scanner.position()) - w.base);
            w.eof = false;
        }
        scanner.scan(w, out, 1);
        if (!out.empty())
            return out.front().begin <= limit ? std::optional<Match>(out.front()) : std::nullopt;
        if (scanner.finished() || scanner.earliestStart() > limit)
            return std::nullopt;
        if (truncated) {
            stop += kStride;
            continue;
        }
        if (!source_.advance(std::min(scanner.keepFrom(), keep)) && !source_.window().eof)
            return std::nullopt;
    }
}

std::uint64_t BufferSearch::lineStartBefore(std::uint64_t pos, std::uint64_t floor) const
{
    const TextWindow w = source_.window();
    floor = std::max(floor, w.base);
    if (pos <= floor)
        return floor;
    const void* lf = memrchr(w.at(floor), '\n', static_cast<std::size_t>(pos - floor));
    return lf != nullptr ? w.base + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(lf) - w.data) + 1 : floor;
}

// Position of the LF that ends the line holding pos, or the end of the text.
std::uint64_t BufferSearch::lineEndFrom(std::uint64_t pos, std::uint64_t keepFrom)
{
    for (;;) {
        const TextWindow w = source_.window();
        const std::uint64_t from = std::max(pos, w.base);
        if (from < w.endPos()) {
            const void* lf = std::memchr(w.at(from), '\n', static_cast<std::size_t>(w.endPos() - from));
            if (lf != nullptr)
                return w.base + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(lf) - w.data);
            pos = w.endPos();
        }
        if (w.eof || !source_.advance(keepFrom))
            return source_.window().endPos();
    }
}

std::optional<Match> BufferSearch::nextConjunction(std::uint64_t from)
{
    const std::size_t driver = regex_.driver();
    std::uint64_t segmentFrom = from;
    for (;;) {
        const auto lead = firstMatch(driver, segmentFrom, UINT64_MAX, segmentFrom);
        if (!lead)
            return std::nullopt;
        const std::uint64_t lineBegin = lineStartBefore(lead->begin, segmentFrom);
        const std::uint64_t lineEnd = lineEndFrom(lead->begin, lineBegin);
        Match extent = *lead;
        bool all = true;
        for (std::size_t k = 0; k < regex_.size() && all; ++k) {
            if (k == driver)
                continue;
            const auto m = firstMatch(k, lineBegin, lineEnd, lineBegin);
            all = m.has_value();
            if (all) {
                extent.begin = std::min(extent.begin, m->begin);
                extent.end = std::max(extent.end, m->end);
            }
        }
        if (all)
            return extent;
        if (lineEnd >= source_.window().endPos() && source_.window().eof)
            return std::nullopt;
        segmentFrom = lineEnd + 1;
    }
}

} // namespace qv::regex
