#include "EnginePaths.h"

#include "regex/BufferSearch.h"
#include "regex/FileSource.h"
#include "regex/LineSearch.h"

#include <sys/mman.h>
#include <unistd.h>

namespace qvtest {
namespace {

// The text's lines as a listing shows them: without LF, and without the CR before it.
std::vector<std::string_view> contentsOf(std::string_view text)
{
    std::vector<std::string_view> contents;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t lf = text.find('\n', pos);
        std::string_view c = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
        if (lf != std::string_view::npos && !c.empty() && c.back() == '\r')
            c.remove_suffix(1);
        contents.push_back(c);
        if (lf == std::string_view::npos)
            break;
        pos = lf + 1;
    }
    return contents;
}

// The line numbers a listing reports, each checked to carry the line's text (a prefix of it when
// the listing cuts long lines).
std::vector<std::uint64_t> listedLines(qv::regex::LineSearch& search, std::string_view text, bool exactText, std::string& fault)
{
    const auto contents = contentsOf(text);
    std::vector<std::uint64_t> numbers;
    while (search.next()) {
        const std::uint64_t n = search.lineNumber();
        numbers.push_back(n);
        const std::string_view got = search.lineText();
        if (n < 1 || n > contents.size())
            fault = "listed line number out of range: " + std::to_string(n);
        else if (exactText ? got != contents[n - 1] : got != contents[n - 1].substr(0, got.size()))
            fault = "listed line " + std::to_string(n) + " reads [" + Escaped(got) + "]";
    }
    search.close();
    return numbers;
}

int memoryFile(std::string_view text)
{
    const int fd = memfd_create("qvtest", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        std::abort();
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

Pairs bufferMatches(const qv::regex::RegexPtr& regex, qv::regex::TextSource& source, std::size_t textSize, std::size_t maxMatches)
{
    qv::regex::BufferSearch search(regex, source);
    Pairs out;
    std::uint64_t from = 0;
    while (from <= textSize && out.size() < maxMatches) {
        auto m = search.RGrep(from);
        if (!m)
            break;
        out.emplace_back(m->begin, m->end);
        from = m->end + (m->begin == m->end ? 1 : 0);
    }
    return out;
}

} // namespace

const std::vector<Variant>& EngineVariants()
{
    static const std::vector<Variant> variants{
        {"dfa+prefilter", qv::regex::RegexOptions{}},
        {"dfa", qv::regex::RegexOptions{qv::regex::Dfa::kDefaultBudget, false}},
        {"nfa+prefilter", qv::regex::RegexOptions{16, true}},
        {"nfa", qv::regex::RegexOptions{16, false}},
        {"small-dfa-cache", qv::regex::RegexOptions{4096, true}},
    };
    return variants;
}

PathResults RunAllPaths(const qv::regex::RegexPtr& regex, std::string_view text, std::size_t maxMatches)
{
    PathResults r;
    qv::regex::LineSearch list(regex);
    list.setListing(true);
    list.adopt({}, text, true);
    r.listed = listedLines(list, text, true, r.fault);

    qv::regex::LineSearch count(regex);
    count.adopt({}, text, true);
    while (count.next()) { }
    r.counted = count.close();

    // Tiny buffers: lines straddle reads and long ones are matched in pieces.
    qv::regex::LineSearch streamed(regex, qv::regex::LineSearchLimits{4, 4, 16});
    streamed.setListing(true);
    streamed.adopt(qv::platform::UniqueFd(memoryFile(text)), {}, false);
    r.streamed = listedLines(streamed, text, false, r.fault);

    qv::regex::MemorySource memory(text);
    r.inMemory = bufferMatches(regex, memory, text.size(), maxMatches);

    const int fd = memoryFile(text);
    qv::regex::FileSource file(fd, {}, false, {}, 3);
    r.fromFile = bufferMatches(regex, file, text.size(), maxMatches);
    ::close(fd);
    return r;
}

std::string Escaped(std::string_view s)
{
    std::string out;
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

} // namespace qvtest
