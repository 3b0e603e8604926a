#include "SearchFile.h"

#include "platform/Utf16Decoder.h"
#include "regex/BufferSearch.h"
#include "regex/FileSource.h"

#include <cerrno>
#include "platform/Simd.h"
#if QV_HAVE_X86_SIMD
#include <emmintrin.h>
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qv {
namespace {
constexpr std::size_t kFirstBlock = std::size_t{256} << 10;
} // namespace

FileType ClassifyBytes(std::string_view firstBytes)
{
    // UTF-16 is text, though half its bytes may be zeros.
    if (platform::Utf16Mark(firstBytes))
        return FileType::Text;
    const std::size_t n = std::min(firstBytes.size(), kClassifyBytes);
    const auto* p = reinterpret_cast<const unsigned char*>(firstBytes.data());
    std::size_t i = 0;
#if QV_HAVE_X86_SIMD
    // Sixteen bytes at a time: a byte up to 31 that is none of tab, LF, form feed, CR.
    const __m128i max31 = _mm_set1_epi8(31);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, max31), v);
        const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(9)), _mm_cmpeq_epi8(v, _mm_set1_epi8(10))),
                                             _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(12)), _mm_cmpeq_epi8(v, _mm_set1_epi8(13))));
        if (_mm_movemask_epi8(_mm_andnot_si128(allowed, control)) != 0)
            return FileType::Binary;
    }
#endif
    for (; i < n; ++i) {
        const unsigned b = p[i];
        if (b < 32 && b != 9 && b != 10 && b != 12 && b != 13)
            return FileType::Binary;
    }
    return FileType::Text;
}

bool IsWordPerfect(std::string_view firstBytes)
{
    return firstBytes.size() >= 4 && firstBytes.substr(0, 4) == std::string_view("\xFFWPC", 4);
}

regex::ByteMap BinaryCountMap(std::string_view firstBytes)
{
    regex::ByteMap map = regex::identityByteMap();
    map[0] = 1;
    if (IsWordPerfect(firstBytes)) {
        map[128] = ' ';
        map[207] = ' ';
    }
    return map;
}

std::optional<SearchFile> SearchFile::Open(const std::string& path, Block& scratch)
{
    auto file = OpenAt(AT_FDCWD, path);
    if (!file || !file->ReadFirstBlock(scratch))
        return std::nullopt;
    return file;
}

std::optional<SearchFile> SearchFile::OpenAt(int directoryFd, const std::string& name)
{
    // Non-blocking, so a file that turned into a FIFO since the walk cannot hang the search.
    platform::UniqueFd fd(::openat(directoryFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return std::nullopt;
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    SearchFile file;
    file.fd_ = std::move(fd);
    file.size_ = static_cast<std::uint64_t>(st.st_size);
    file.lastWrite_ = static_cast<std::int64_t>(st.st_mtime);
    file.id_ = platform::FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    file.changeStamp_ = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    file.links_ = static_cast<std::uint64_t>(st.st_nlink);
    return file;
}

bool SearchFile::ReadFirstBlock(Block& scratch)
{
    if (scratch.size() < kFirstBlock)
        scratch.resize(kFirstBlock);
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kFirstBlock, readLimit_));
    std::size_t got = 0;
    eof_ = false;
    while (got < want) {
        const ssize_t n = ::read(fd_.get(), scratch.data() + got, want - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            // All the bytes the file had when opened: no need to ask again for the end.
            if (size_ > 0 && got == size_) {
                eof_ = true;
                break;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        eof_ = true;
        break;
    }
    if (got == readLimit_)
        eof_ = true;
    first_ = std::string_view(reinterpret_cast<const char*>(scratch.data()), got);
    block_ = &scratch;
    return true;
}

FileType SearchFile::ClassifyFile() const
{
    return ClassifyBytes(first_);
}

bool SearchFile::StartsWith(std::string_view prefix) const
{
    return first_.size() >= prefix.size() && first_.substr(0, prefix.size()) == prefix;
}

bool SearchFile::IsUtf16() const
{
    return platform::Utf16Mark(first_).has_value();
}

void SearchFile::StartLineSearch(regex::LineSearch& search, bool listing)
{
    search.setListing(listing);
    if (const auto order = platform::Utf16Mark(first_))
        search.adoptUtf16(std::move(fd_), first_, eof_, *order);
    else
        search.adoptBuffer(std::move(fd_), *block_, first_.size(), eof_);
    first_ = {};
    search.limitTo(readLimit_);
}

CountResult SearchFile::CountText(regex::LineSearch& search)
{
    StartLineSearch(search, false);
    while (search.next()) { }
    CountResult r;
    r.readError = search.readError();
    r.stopped = search.stopped();
    r.count = search.close();
    return r;
}

CountResult SearchFile::CountBinary(regex::Automata& automata, std::uint64_t maxMatchLen, Block& storage)
{
    const regex::ByteMap map = BinaryCountMap(first_);
    const std::size_t filled = first_.size();
    storage.swap(*block_);
    first_ = {};
    regex::FileSource source(fd_.get(), storage, filled, eof_);
    source.limitTo(readLimit_);
    regex::BufferSearch search(automata, source, map);
    auto m = search.RGrep(0);
    CountResult r;
    if (m) {
        r.count = 1;
        for (;;) {
            const std::uint64_t from = m->end + (m->begin == m->end ? 1 : 0);
            m = search.RGrep(from);
            if (!m)
                break;
            if (m->end - m->begin <= maxMatchLen)
                ++r.count;
        }
    }
    fd_.reset();
    r.readError = source.readError();
    r.stopped = search.stopped();
    return r;
}

} // namespace qv
