#include "MatchListing.h"

#include "GrepEngine.h"
#include "SearchFile.h"
#include "regex/FileSource.h"

#include <charconv>

namespace qv {
namespace {

constexpr std::uint64_t kContext = 30;

std::uint64_t parseCount(const std::string& text)
{
    std::uint64_t v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

std::size_t limitOf(long long maxMatches)
{
    return maxMatches > 0 ? static_cast<std::size_t>(maxMatches) : 0;
}

MatchListing listText(const FileResultRow& row, const CompiledPattern& pattern, std::size_t limit)
{
    MatchListing out;
    GrepEngine engine;
    engine.SCompileRGrep(pattern);
    if (!engine.SFileOpen(row.FullPath()))
        return out;
    out.Rows.reserve(std::min<std::uint64_t>(parseCount(row.Matches), limit));
    for (;;) {
        engine.SFileSetFlags(ListFlags);
        if (out.Rows.size() >= limit)
            break;
        auto line = engine.SFileRGrep();
        if (!line)
            break;
        std::string_view l = *line;
        l.remove_suffix(std::min<std::size_t>(2, l.size())); // the line end
        const auto colon = l.find(':');
        out.Rows.push_back(MatchLineRow{std::string(l.substr(0, colon)), std::string(l.substr(colon + 1))});
    }
    engine.SFileClose();
    return out;
}

MatchListing listBinary(const FileResultRow& row, const CompiledPattern& pattern, long long maxMatchLen, std::size_t limit)
{
    MatchListing out;
    out.Binary = true;
    Block scratch;
    auto file = SearchFile::Open(row.FullPath(), scratch);
    if (!file || limit == 0)
        return out;
    // As many bytes as the row's size (fewer when the file is shorter now), WordPerfect's 128 and
    // 207 as blanks, control characters removed.
    std::uint64_t rawLeft = parseCount(row.Size);
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
    regex::BufferSearch search(pattern.regex(), source);
    out.Rows.reserve(std::min<std::uint64_t>(parseCount(row.Matches), limit));
    std::uint64_t from = 0;
    while (out.Rows.size() < limit) {
        const auto m = search.RGrep(from);
        if (!m)
            break;
        from = m->end + (m->begin == m->end ? 1 : 0);
        const std::uint64_t length = m->end - m->begin;
        if (maxMatchLen < 0 || length > static_cast<std::uint64_t>(maxMatchLen))
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
        out.Rows.push_back(MatchLineRow{{}, e > b ? std::string(reinterpret_cast<const char*>(w.at(b)), e - b) : std::string()});
    }
    return out;
}

} // namespace

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

std::string MatchesLabel(const FileResultRow& row)
{
    if (row.IsArchiveMember())
        return "Matches in: " + row.FileName + " (in " + row.Directory + ")";
    return "Matches in: " + row.FullPath();
}

MatchListing ListMatches(const FileResultRow& row, const ListingParameters& parameters)
{
    auto compiled = CompileRGrep(parameters.Pattern, parameters.CaseSensitive);
    if (!std::holds_alternative<CompiledPattern>(compiled))
        return {};
    const CompiledPattern& pattern = std::get<CompiledPattern>(compiled);
    const std::size_t limit = limitOf(parameters.MaxMatches);
    if (row.Type == "B")
        return listBinary(row, pattern, parameters.MaxMatchLen, limit);
    return listText(row, pattern, limit);
}

} // namespace qv
