#include "MatchListing.h"

#include "SearchFile.h"
#include "regex/BufferSearch.h"
#include "regex/FileSource.h"
#include "regex/LineSearch.h"

namespace qv {
namespace {

constexpr std::uint64_t kContext = 30;

std::size_t limitOf(long long maxMatches)
{
    return maxMatches > 0 ? static_cast<std::size_t>(maxMatches) : 0;
}

std::optional<regex::RegexPtr> compiled(const ListingParameters& p)
{
    auto c = regex::Regex::compile(p.pattern, p.caseSensitive);
    if (auto* r = std::get_if<regex::RegexPtr>(&c))
        return *r;
    return std::nullopt;
}

} // namespace

MatchLister::MatchLister(const ListingParameters& parameters, std::stop_token stop)
    : maxMatchLen_(parameters.maxMatchLen), maxMatches_(parameters.maxMatches)
{
    if (auto regex = compiled(parameters))
        automata_.emplace(std::move(*regex), std::move(stop));
}

MatchLister::MatchLister(regex::RegexPtr regex, long long maxMatchLen, long long maxMatches, std::stop_token stop)
    : maxMatchLen_(maxMatchLen), maxMatches_(maxMatches)
{
    automata_.emplace(std::move(regex), std::move(stop));
}

MatchListing MatchLister::list(const FileRow& row)
{
    if (!automata_) {
        MatchListing none;
        none.binary = row.type == FileType::Binary;
        return none;
    }
    const std::size_t limit = limitOf(maxMatches_);
    return row.type == FileType::Binary ? listBinary(row, limit) : listText(row, limit);
}

MatchListing MatchLister::listText(const FileRow& row, std::size_t limit)
{
    MatchListing out;
    Block scratch;
    auto file = limit > 0 ? SearchFile::Open(row.fullPath(), scratch) : std::nullopt;
    if (!file)
        return out;
    regex::LineSearch search(*automata_);
    file->StartLineSearch(search, true);
    out.lines.reserve(std::min<std::uint64_t>(row.matches, limit));
    while (out.lines.size() < limit && search.next())
        out.lines.push_back(MatchLine{search.lineNumber(), std::string(search.lineText()), search.lineOffset()});
    search.close();
    return out;
}

MatchListing MatchLister::listBinary(const FileRow& row, std::size_t limit)
{
    MatchListing out;
    out.binary = true;
    Block scratch;
    auto file = SearchFile::Open(row.fullPath(), scratch);
    if (!file || limit == 0)
        return out;
    // As many bytes as the row's size (fewer when the file is shorter now), WordPerfect's 128 and
    // 207 as blanks, control characters removed.
    std::uint64_t rawLeft = row.size;
    const bool wordPerfect = IsWordPerfect(file->FirstBytes());
    const std::array<bool, 256>& control = ControlChars();
    auto filter = [&](std::uint8_t* data, std::size_t size, bool) {
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, rawLeft));
        rawLeft -= size;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < size; ++i) {
            std::uint8_t b = data[i];
            if (wordPerfect && (b == 128 || b == 207))
                b = ' ';
            if (!control[b])
                data[kept++] = b;
        }
        return kept;
    };
    regex::FileSource source(file->Descriptor(), file->FirstBytes(), file->AtEof(), filter);
    regex::BufferSearch search(*automata_, source);
    out.lines.reserve(std::min<std::uint64_t>(row.matches, limit));
    std::uint64_t from = 0;
    while (out.lines.size() < limit) {
        const auto m = search.RGrep(from);
        if (!m)
            break;
        from = m->end + (m->begin == m->end ? 1 : 0);
        const std::uint64_t length = m->end - m->begin;
        if (maxMatchLen_ < 0 || length > static_cast<std::uint64_t>(maxMatchLen_))
            continue;
        // 30 characters before the match (fewer at the start), then the match and 60 more.
        const std::uint64_t begin = m->begin >= kContext ? m->begin - kContext : 0;
        const std::uint64_t end = begin + length + 2 * kContext;
        while (source.window().endPos() < end && !source.window().eof)
            if (!source.advance(std::min(search.keepFrom(), begin)))
                break;
        const regex::TextWindow w = source.window();
        const std::uint64_t b = std::max(begin, w.base);
        const std::uint64_t e = std::min(end, w.endPos());
        out.lines.push_back(
            MatchLine{std::nullopt, e > b ? std::string(reinterpret_cast<const char*>(w.at(b)), e - b) : std::string(), m->begin});
    }
    return out;
}

const std::array<bool, 256>& ControlChars()
{
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (int b = 0; b < 32; ++b)
            t[static_cast<std::size_t>(b)] = b != 9 && b != 10 && b != 12 && b != 13;
        return t;
    }();
    return table;
}

std::string MatchesLabel(const FileRow& row)
{
    if (row.isArchiveMember())
        return "Matches in: " + row.name + " (in " + row.folder + ")";
    return "Matches in: " + row.fullPath();
}

MatchListing ListMatches(const FileRow& row, const ListingParameters& parameters)
{
    return MatchLister(parameters).list(row);
}

} // namespace qv
