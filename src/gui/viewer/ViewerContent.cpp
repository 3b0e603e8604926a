#include "ViewerContent.h"

#include "platform/UniqueFd.h"
#include "platform/Utf16Decoder.h"
#include "platform/Utf8.h"
#include "regex/Automata.h"
#include "regex/BufferSearch.h"
#include "regex/LineSearch.h"
#include "search/SearchFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

bool isStripped(unsigned char b)
{
    return (b < 32 && b != 9 && b != 10 && b != 12 && b != 13) || b >= 127;
}

// Does `what` occur at `at` in `text`, a '?' in it standing for any one character?
bool occursAt(const std::string& text, std::size_t at, const std::string& what)
{
    for (std::size_t k = 0; k < what.size(); ++k)
        if (what[k] != '?' && text[at + k] != what[k])
            return false;
    return true;
}

// Never a FIFO or a device: the viewer must not hang on what it reads.
platform::UniqueFd openRegular(const std::string& path, struct stat& st)
{
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)))
        fd.reset();
    return fd;
}

// A UTF-16 file is shown as its UTF-8, decoded a block at a time, at most kMaxViewerBytes of it.
bool readUtf16(int fd, platform::ByteOrder order, std::string& text, bool& truncated, const std::stop_token& stop)
{
    platform::Utf16Decoder decoder(order);
    std::vector<std::uint8_t> block(std::size_t{1} << 20);
    text.clear();
    truncated = false;
    while (!stop.stop_requested()) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        const std::size_t at = text.size();
        text.resize(at + platform::Utf16Decoder::MaxOutput(static_cast<std::size_t>(n)));
        text.resize(at +
                    decoder.decode(block.data(), static_cast<std::size_t>(n), reinterpret_cast<std::uint8_t*>(text.data() + at), n == 0));
        if (text.size() > kMaxViewerBytes) {
            // Cut between two characters.
            std::size_t cut = kMaxViewerBytes;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text.resize(cut);
            truncated = true;
            return true;
        }
        if (n == 0)
            return true;
    }
    return true;
}

// The file's bytes, at most `limit` (and kMaxViewerBytes) of them, read a block at a time.
bool readFile(const std::string& path, std::uint64_t limit, std::string& bytes, bool& truncated, const std::stop_token& stop)
{
    constexpr std::size_t kBlock = std::size_t{4} << 20;
    struct stat st { };
    const platform::UniqueFd file = openRegular(path, st);
    if (!file)
        return false;
    const int fd = file.get();
    const std::uint64_t want = std::min<std::uint64_t>(limit, kMaxViewerBytes);
    truncated = limit > kMaxViewerBytes && static_cast<std::uint64_t>(st.st_size) > kMaxViewerBytes;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(want, static_cast<std::uint64_t>(st.st_size) + 1)));
    std::size_t got = 0;
    bool ok = true;
    while (got < bytes.size() && !stop.stop_requested()) {
        const ssize_t n = ::read(fd, bytes.data() + got, std::min(kBlock, bytes.size() - got));
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ok = n == 0;
            break;
        }
    }
    bytes.resize(got);
    return ok;
}

bool readText(const std::string& path, std::string& text, bool& truncated, const std::stop_token& stop)
{
    struct stat st { };
    const platform::UniqueFd fd = openRegular(path, st);
    if (!fd)
        return false;
    char start[4];
    const ssize_t n = ::pread(fd.get(), start, sizeof start, 0);
    if (const auto order = platform::Utf16Mark(std::string_view(start, n > 0 ? static_cast<std::size_t>(n) : 0)))
        return readUtf16(fd.get(), *order, text, truncated, stop);
    return readFile(path, UINT64_MAX, text, truncated, stop);
}

void loadText(const ViewerInput& input, int limit, const std::stop_token& stop, ViewerContent& c)
{
    std::string bytes;
    if (!readText(input.path, bytes, c.truncated, stop))
        return;
    // One displayed line per line of the file: the CR of a CR LF goes, a lone CR shows as a blank.
    if (bytes.find('\r') == std::string::npos) {
        c.text = std::move(bytes);
    } else {
        c.text.reserve(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != '\r')
                c.text += bytes[i];
            else if (i + 1 == bytes.size() || bytes[i + 1] != '\n')
                c.text += ' ';
        }
    }
    c.utf8 = platform::IsValidUtf8(c.text);
    c.readable = true;

    auto compiled = regex::Regex::compile(input.pattern, input.caseSensitive);
    Block scratch;
    auto file = SearchFile::Open(input.path, scratch);
    auto* pattern = std::get_if<regex::RegexPtr>(&compiled);
    if (pattern == nullptr || !file)
        return;
    regex::Automata automata(*pattern, stop);
    regex::LineSearch search(automata);
    file->StartLineSearch(search, true);
    // The shown lines end at LF, as the text box's do: the line of each match is found by
    // counting them from the last match on.
    const char* const text = c.text.data();
    const auto size = static_cast<std::int64_t>(c.text.size());
    std::int64_t line = 0, lineStart = 0;
    while (static_cast<int>(c.matchKeys.size()) < limit && search.next()) {
        const auto index = static_cast<std::int64_t>(search.lineNumber()) - 1;
        while (line < index) {
            const void* lf = std::memchr(text + lineStart, '\n', static_cast<std::size_t>(size - lineStart));
            if (lf == nullptr)
                break;
            lineStart = static_cast<const char*>(lf) - text + 1;
            ++line;
        }
        if (index < 0 || line != index)
            break; // beyond the part of the file shown
        const void* lf = std::memchr(text + lineStart, '\n', static_cast<std::size_t>(size - lineStart));
        const std::int64_t lineEnd = lf != nullptr ? static_cast<const char*>(lf) - text : size;
        c.matchKeys.push_back(index);
        c.lineStarts.push_back(lineStart);
        c.ranges.push_back({lineStart, lineEnd});
    }
    search.close();
}

void loadBinary(const ViewerInput& input, int limit, const std::stop_token& stop, ViewerContent& c)
{
    const std::uint64_t size = input.row.size;
    std::string bytes;
    // A file that cannot be read, or is shorter now than when it was listed, is not shown.
    if (!readFile(input.path, size, bytes, c.truncated, stop) || (bytes.size() < size && !c.truncated && !stop.stop_requested()))
        return;
    const std::string clean = CleanBinaryText(std::move(bytes));
    // The box breaks lines at LF; a CR before an LF is dropped, a lone CR becomes a line break.
    c.text.reserve(clean.size());
    std::vector<std::int64_t> dropped; // positions in `clean` of the CRs not shown
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if (clean[i] == '\r' && i + 1 < clean.size() && clean[i + 1] == '\n') {
            dropped.push_back(static_cast<std::int64_t>(i));
            continue;
        }
        c.text += clean[i] == '\r' ? '\n' : clean[i];
    }
    c.readable = true;
    const auto shownAt = [&](std::int64_t o) {
        return o - static_cast<std::int64_t>(std::lower_bound(dropped.begin(), dropped.end(), o) - dropped.begin());
    };

    auto compiled = regex::Regex::compile(input.pattern, input.caseSensitive);
    auto* pattern = std::get_if<regex::RegexPtr>(&compiled);
    if (pattern == nullptr)
        return;
    regex::Automata automata(*pattern, stop);
    regex::MemorySource source(clean);
    regex::BufferSearch grep(automata, source);
    // The search position is found again from the matched text: its first occurrence at or
    // after the end of the last coloured match, a '?' in it standing for any character.
    std::size_t p = 0;
    auto m = grep.RGrep(0);
    while (m && static_cast<int>(c.matchKeys.size()) < limit && !stop.stop_requested()) {
        const std::size_t len = m->end - m->begin;
        if (static_cast<long long>(len) <= input.preferences.MaxMatchLen) {
            const std::string matched = clean.substr(m->begin, len);
            // The engine found it at its begin, so the search ends there at the latest; when
            // that lies behind p, a bounded stretch after p is searched.
            const std::size_t until =
                std::min(clean.size() - std::min(clean.size(), len), m->begin >= p ? m->begin : p + (std::size_t{64} << 10));
            std::size_t o = p;
            while (o <= until && !occursAt(clean, o, matched))
                ++o;
            if (o <= until && o + len <= clean.size()) {
                c.matchKeys.push_back(shownAt(static_cast<std::int64_t>(o)));
                c.ranges.push_back({shownAt(static_cast<std::int64_t>(o)), shownAt(static_cast<std::int64_t>(o + len))});
                p = o + len;
            }
        } else {
            p += len;
        }
        m = grep.RGrep(m->end + (m->begin == m->end ? 1 : 0));
    }
}

} // namespace

ViewerContent LoadViewerContent(const ViewerInput& input, bool binary, int matchLimit, std::stop_token stop)
{
    ViewerContent c;
    if (binary)
        loadBinary(input, matchLimit, stop, c);
    else
        loadText(input, matchLimit, stop, c);
    return c;
}

std::string CleanBinaryText(std::string bytes)
{
    const auto starts = [&](std::string_view sig) { return bytes.size() >= sig.size() && bytes.compare(0, sig.size(), sig) == 0; };
    if (starts(std::string_view("\xFF\x57\x50\x43", 4))) {
        for (char& c : bytes)
            if (c == '\x80' || c == '\xCF')
                c = ' ';
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
            if (bytes[i] == '\xCC' && bytes[i + 1] == '\xCC') {
                bytes[i] = '\r';
                bytes[i + 1] = '\n';
                ++i;
            }
    }
    if (starts(std::string_view("\xD0\xCF", 2))) {
        std::string expanded;
        expanded.reserve(bytes.size() + bytes.size() / 16);
        for (char c : bytes) {
            expanded += c;
            if (c == '\r')
                expanded += '\n';
        }
        bytes = std::move(expanded);
    }
    std::size_t kept = 0;
    for (char c : bytes)
        if (!isStripped(static_cast<unsigned char>(c)))
            bytes[kept++] = c;
    bytes.resize(kept);
    return bytes;
}

} // namespace qv
