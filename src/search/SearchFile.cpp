#include "SearchFile.h"

#include "regex/FileSource.h"

#include <cerrno>
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
    const std::size_t n = std::min(firstBytes.size(), kClassifyBytes);
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(firstBytes[i]);
        if (b < 32 && b != 9 && b != 10 && b != 12 && b != 13)
            return FileType::Binary;
    }
    return FileType::Text;
}

bool IsWordPerfect(std::string_view firstBytes)
{
    return firstBytes.size() >= 4 && firstBytes.substr(0, 4) == std::string_view("\xFFWPC", 4);
}

ByteMap BinaryCountMap(std::string_view firstBytes)
{
    ByteMap map = regex::identityByteMap();
    map[0] = 1;
    if (IsWordPerfect(firstBytes)) {
        map[128] = ' ';
        map[207] = ' ';
    }
    return map;
}

SearchFile::SearchFile(int fd, std::uint64_t size, std::optional<std::time_t> lastWrite, std::string_view first, bool eof)
    : fd_(fd), size_(size), lastWrite_(lastWrite), first_(first), eof_(eof)
{
}

SearchFile::SearchFile(SearchFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), lastWrite_(other.lastWrite_), first_(other.first_),
      eof_(other.eof_)
{
}

SearchFile& SearchFile::operator=(SearchFile&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        lastWrite_ = other.lastWrite_;
        first_ = other.first_;
        eof_ = other.eof_;
    }
    return *this;
}

SearchFile::~SearchFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<SearchFile> SearchFile::Open(const std::string& path, std::vector<char>& scratch)
{
    // Non-blocking, so a file that turned into a FIFO since the walk cannot hang the search.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    if (scratch.size() < kFirstBlock)
        scratch.resize(kFirstBlock);
    std::size_t got = 0;
    bool eof = false;
    while (got < kFirstBlock) {
        const ssize_t n = ::read(fd, scratch.data() + got, kFirstBlock - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        eof = true;
        break;
    }
    std::optional<std::time_t> lastWrite;
    if (st.st_mtime > 0)
        lastWrite = st.st_mtime;
    return SearchFile(fd, static_cast<std::uint64_t>(st.st_size), lastWrite, std::string_view(scratch.data(), got), eof);
}

FileType SearchFile::ClassifyFile() const
{
    return ClassifyBytes(first_);
}

bool SearchFile::StartsWith(std::string_view prefix) const
{
    return first_.size() >= prefix.size() && first_.substr(0, prefix.size()) == prefix;
}

std::uint64_t SearchFile::CountText(GrepEngine& engine, const CompiledPattern& pattern)
{
    engine.SCompileRGrep(pattern);
    engine.SFileSetFlags(CountFlags);
    engine.SFileAdopt(std::exchange(fd_, -1), first_, eof_);
    while (engine.SFileRGrep()) {
    }
    const bool failed = engine.readError();
    const std::uint64_t count = engine.SFileClose();
    return failed ? 0 : count;
}

std::uint64_t SearchFile::CountBinary(const CompiledPattern& pattern, std::uint64_t maxMatchLen,
                                      std::vector<std::uint8_t>* storage)
{
    regex::FileSource source(fd_, first_, eof_, {}, regex::FileSource::kBlock, storage);
    regex::BufferSearch search(pattern.regex(), source, BinaryCountMap(first_));
    auto m = search.RGrep(0);
    std::uint64_t count = 0;
    if (m) {
        count = 1;
        for (;;) {
            const std::uint64_t from = m->end + (m->begin == m->end ? 1 : 0);
            m = search.RGrep(from);
            if (!m)
                break;
            if (m->end - m->begin <= maxMatchLen)
                ++count;
        }
    }
    ::close(std::exchange(fd_, -1));
    return source.readError() ? 0 : count;
}

} // namespace qv
