#include "support/ReferenceMatcher.h"

#include "platform/CaseFolding.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <set>

namespace ref {
namespace {

bool isWord(unsigned char c)
{
    return std::isalnum(c) != 0 || c == '_' || c >= 0x80;
}

std::bitset<256> one(unsigned char c, bool caseSensitive)
{
    std::bitset<256> s;
    s.set(c);
    if (!caseSensitive && std::isalpha(c) != 0 && c < 0x80) {
        s.set(static_cast<unsigned char>(std::tolower(c)));
        s.set(static_cast<unsigned char>(std::toupper(c)));
    }
    return s;
}

unsigned char unescape(unsigned char c)
{
    return c == 'r' ? '\r' : (c == 'n' ? '\n' : c);
}

// Ignoring case, a well-formed UTF-8 character of the pattern beyond ASCII is a Letter: it
// matches every character of the text that folds as it does. (ASCII letters match their two
// ASCII cases only.)
std::optional<Piece> letterAt(std::string_view p, std::size_t i, bool caseSensitive, std::size_t& length)
{
    if (caseSensitive || static_cast<unsigned char>(p[i]) < 0x80)
        return std::nullopt;
    const auto decoded = qv::platform::DecodeUtf8(p.substr(i));
    if (!decoded)
        return std::nullopt;
    length = decoded->length;
    Piece piece;
    piece.kind = Piece::Letter;
    piece.folded = qv::platform::SimpleCaseFold(decoded->code);
    return piece;
}

// Where a Letter's character ends when the text has one at `at`.
std::optional<std::size_t> letterEnd(const Piece& pc, std::string_view t, std::size_t at)
{
    if (at >= t.size())
        return std::nullopt;
    const auto decoded = qv::platform::DecodeUtf8(t.substr(at));
    if (!decoded || qv::platform::SimpleCaseFold(decoded->code) != pc.folded)
        return std::nullopt;
    return at + decoded->length;
}

// The class body starting after '['; returns the position after ']' or npos.
std::size_t parseClass(std::string_view p, std::size_t i, bool caseSensitive, std::bitset<256>& out)
{
    bool negate = false;
    if (i < p.size() && p[i] == '^') {
        negate = true;
        ++i;
    }
    std::vector<std::pair<unsigned char, bool>> items; // byte, was it escaped
    bool first = true;
    while (true) {
        if (i >= p.size())
            return std::string_view::npos;
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (c == ']' && !first)
            break;
        if (c == '\\') {
            if (i + 1 >= p.size())
                return std::string_view::npos;
            items.emplace_back(unescape(static_cast<unsigned char>(p[i + 1])), true);
            i += 2;
        } else {
            items.emplace_back(c, false);
            ++i;
        }
        first = false;
    }
    ++i; // past ']'
    std::bitset<256> s;
    for (std::size_t k = 0; k < items.size(); ++k) {
        // "x-y": an unescaped '-' between two items, not first or last, after a single item.
        if (k + 2 < items.size() + 0 && items[k + 1].first == '-' && !items[k + 1].second && k + 2 < items.size()) {
            const unsigned char lo = items[k].first, hi = items[k + 2].first;
            if (hi < lo)
                return std::string_view::npos;
            for (unsigned b = lo; b <= hi; ++b)
                s.set(b);
            k += 2;
            continue;
        }
        s.set(items[k].first);
    }
    if (!caseSensitive)
        for (unsigned b = 0; b < 128; ++b)
            if (s.test(b) && std::isalpha(static_cast<int>(b)) != 0) {
                s.set(static_cast<unsigned char>(std::tolower(static_cast<int>(b))));
                s.set(static_cast<unsigned char>(std::toupper(static_cast<int>(b))));
            }
    if (negate) {
        s.flip();
        s.reset('\r');
        s.reset('\n');
    }
    out = s;
    return i;
}

// All ends of matches of branch pieces [k..] starting at pos.
void ends(const Branch& b, std::size_t k, std::string_view t, std::size_t pos, std::set<std::size_t>& out, bool line)
{
    if (k == b.size()) {
        out.insert(pos);
        return;
    }
    const Piece& pc = b[k];
    const auto prevCtx = [&]() -> int { // 0 begin, 1 word, 2 other
        // In a line's text the end, after its CR LF, does not begin another line.
        if (pos == 0 || (t[pos - 1] == '\n' && !(line && pos == t.size())))
            return 0;
        return isWord(static_cast<unsigned char>(t[pos - 1])) ? 1 : 2;
    };
    const bool atEnd = pos == t.size();
    switch (pc.kind) {
    case Piece::LineBegin:
        if (prevCtx() == 0)
            ends(b, k + 1, t, pos, out, line);
        return;
    case Piece::LineEnd:
        if (atEnd || t[pos] == '\r' || t[pos] == '\n')
            ends(b, k + 1, t, pos, out, line);
        return;
    case Piece::WordBegin:
        if (prevCtx() != 1 && !atEnd && isWord(static_cast<unsigned char>(t[pos])))
            ends(b, k + 1, t, pos, out, line);
        return;
    case Piece::WordEnd:
        if (prevCtx() == 1 && (atEnd || !isWord(static_cast<unsigned char>(t[pos]))))
            ends(b, k + 1, t, pos, out, line);
        return;
    case Piece::Set:
    case Piece::Letter: break;
    }
    // Where each run of repetitions ends: after none, one, two...
    const auto next = [&](std::size_t at) -> std::optional<std::size_t> {
        if (pc.kind == Piece::Letter)
            return letterEnd(pc, t, at);
        if (at < t.size() && pc.set.test(static_cast<unsigned char>(t[at])))
            return at + 1;
        return std::nullopt;
    };
    std::vector<std::size_t> runEnds{pos};
    while (auto e = next(runEnds.back()))
        runEnds.push_back(*e);
    const std::size_t maxRun = runEnds.size() - 1;
    std::size_t lo = pc.quantifier == '*' || pc.quantifier == '-' ? 0 : 1;
    std::size_t hi = pc.quantifier == '*' || pc.quantifier == '+' ? maxRun : std::min<std::size_t>(1, maxRun);
    for (std::size_t n = lo; n <= hi; ++n)
        ends(b, k + 1, t, runEnds[n], out, line);
}

std::set<std::size_t> endsAt(const Alternation& a, std::string_view t, std::size_t pos, bool line)
{
    std::set<std::size_t> out;
    for (const Branch& b : a)
        ends(b, 0, t, pos, out, line);
    return out;
}

std::optional<std::pair<std::size_t, std::size_t>> leftmostLongest(const Alternation& a, std::string_view t, std::size_t from,
                                                                   bool line = false)
{
    for (std::size_t s = from; s <= t.size(); ++s) {
        auto e = endsAt(a, t, s, line);
        if (!e.empty())
            return std::make_pair(s, *e.rbegin());
    }
    return std::nullopt;
}

} // namespace

std::optional<Pattern> parse(std::string_view p, bool caseSensitive)
{
    if (p.empty())
        return std::nullopt;
    Pattern pat;
    Alternation alt;
    Branch br;
    bool lastQuant = false;
    for (std::size_t i = 0; i < p.size();) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c == '|' || c == '&') {
            if (br.empty() || i + 1 == p.size())
                return std::nullopt;
            alt.push_back(br);
            br.clear();
            if (c == '&') {
                pat.conjuncts.push_back(alt);
                alt.clear();
            }
            lastQuant = false;
            ++i;
            continue;
        }
        if (c == '*' || c == '+' || c == '-') {
            if (!lastQuant && !br.empty() && (br.back().kind == Piece::Set || br.back().kind == Piece::Letter) &&
                br.back().quantifier == 0) {
                br.back().quantifier = static_cast<char>(c);
                lastQuant = true;
            } else {
                br.push_back(Piece{Piece::Set, one(c, true), 0});
                lastQuant = false;
            }
            ++i;
            continue;
        }
        lastQuant = false;
        if (c == '\\') {
            if (i + 1 == p.size())
                return std::nullopt;
            const unsigned char e = static_cast<unsigned char>(p[i + 1]);
            if (e == '<')
                br.push_back(Piece{Piece::WordBegin, {}, 0});
            else if (e == '>')
                br.push_back(Piece{Piece::WordEnd, {}, 0});
            else if (std::size_t length = 0; e != 'r' && e != 'n' && letterAt(p, i + 1, caseSensitive, length)) {
                br.push_back(*letterAt(p, i + 1, caseSensitive, length));
                i += length - 1;
            } else
                br.push_back(Piece{Piece::Set, one(unescape(e), caseSensitive), 0});
            i += 2;
        } else if (c == '[') {
            std::bitset<256> s;
            const std::size_t next = parseClass(p, i + 1, caseSensitive, s);
            if (next == std::string_view::npos)
                return std::nullopt;
            br.push_back(Piece{Piece::Set, s, 0});
            i = next;
        } else if (c == '.') {
            std::bitset<256> s;
            s.set();
            s.reset('\r');
            s.reset('\n');
            br.push_back(Piece{Piece::Set, s, 0});
            ++i;
        } else if (c == '^' && br.empty()) {
            br.push_back(Piece{Piece::LineBegin, {}, 0});
            ++i;
        } else if (c == '$' && (i + 1 == p.size() || p[i + 1] == '|' || p[i + 1] == '&')) {
            br.push_back(Piece{Piece::LineEnd, {}, 0});
            ++i;
        } else if (std::size_t length = 0; letterAt(p, i, caseSensitive, length)) {
            br.push_back(*letterAt(p, i, caseSensitive, length));
            i += length;
        } else {
            br.push_back(Piece{Piece::Set, one(c, caseSensitive), 0});
            ++i;
        }
    }
    alt.push_back(br);
    pat.conjuncts.push_back(alt);
    return pat;
}

bool lineMatches(const Pattern& p, std::string_view content)
{
    const std::string t = std::string(content) + "\r\n";
    for (const Alternation& a : p.conjuncts)
        if (!leftmostLongest(a, t, 0, true))
            return false;
    return true;
}

std::vector<std::uint64_t> matchingLines(const Pattern& p, std::string_view text)
{
    std::vector<std::uint64_t> out;
    std::uint64_t number = 1;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        std::string_view content = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
        if (lf != std::string_view::npos && !content.empty() && content.back() == '\r')
            content.remove_suffix(1);
        if (lineMatches(p, content))
            out.push_back(number);
        ++number;
        if (lf == std::string_view::npos)
            break;
        pos = lf + 1;
    }
    return out;
}

std::optional<std::pair<std::size_t, std::size_t>> search(const Pattern& p, std::string_view t, std::size_t from)
{
    if (p.conjuncts.size() == 1)
        return leftmostLongest(p.conjuncts[0], t, from);
    std::size_t lineFrom = from;
    while (lineFrom <= t.size()) {
        std::size_t lf = t.find('\n', lineFrom);
        const std::size_t lineEnd = lf == std::string_view::npos ? t.size() : lf;
        bool all = true;
        std::pair<std::size_t, std::size_t> extent{SIZE_MAX, 0};
        for (const Alternation& a : p.conjuncts) {
            auto m = leftmostLongest(a, t, lineFrom);
            if (!m || m->first > lineEnd) {
                all = false;
                break;
            }
            extent.first = std::min(extent.first, m->first);
            extent.second = std::max(extent.second, m->second);
        }
        if (all)
            return extent;
        if (lineEnd >= t.size())
            break;
        lineFrom = lineEnd + 1;
    }
    return std::nullopt;
}

std::vector<std::pair<std::size_t, std::size_t>> allMatches(const Pattern& p, std::string_view text)
{
    std::vector<std::pair<std::size_t, std::size_t>> out;
    std::size_t from = 0;
    while (from <= text.size()) {
        auto m = search(p, text, from);
        if (!m)
            break;
        out.push_back(*m);
        from = m->second + (m->first == m->second ? 1 : 0);
    }
    return out;
}

} // namespace ref
