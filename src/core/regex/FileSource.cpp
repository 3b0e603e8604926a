#include "FileSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qv::regex {

FileSource::FileSource(int fd, std::string_view firstBytes, bool atEof, Filter filter, std::size_t block,
                       std::vector<std::uint8_t>* storage)
    : fd_(fd), filter_(std::move(filter)), block_(block), buf_(storage != nullptr ? *storage : own_), eof_(atEof)
{
    if (buf_.size() < std::max(block, firstBytes.size()))
        buf_.resize(std::max(block, firstBytes.size()));
    if (!firstBytes.empty())
        std::memcpy(buf_.data(), firstBytes.data(), firstBytes.size());
    append(firstBytes.size());
    if (size_ == 0 && !eof_)
        advance(0);
}

FileSource::FileSource(int fd, std::vector<std::uint8_t>& storage, std::size_t filled, bool atEof)
    : fd_(fd), block_(kBlock), buf_(storage), eof_(atEof)
{
    if (buf_.size() < std::max(block_, filled))
        buf_.resize(std::max(block_, filled));
    append(filled);
    if (size_ == 0 && !eof_)
        advance(0);
}

TextWindow FileSource::window() const
{
    return TextWindow{buf_.data(), base_, size_, eof_};
}

void FileSource::append(std::size_t n)
{
    raw_ += n;
    if (filter_)
        n = filter_(buf_.data() + size_, n, first_);
    if (n > 0)
        first_ = false;
    size_ += n;
}

bool FileSource::advance(std::uint64_t keepFrom)
{
    if (eof_)
        return false;
    // Keep from keepFrom, and a little look-back behind the end where the window allows.
    const std::uint64_t end = base_ + size_;
    std::uint64_t keep = std::min<std::uint64_t>(keepFrom, end);
    keep = std::min<std::uint64_t>(keep, end > kLookBack ? end - kLookBack : 0);
    keep = std::max(keep, base_);
    if (end - keep + block_ > kMaxWindow)
        keep = end + block_ > kMaxWindow ? end + block_ - kMaxWindow : 0;
    const std::size_t drop = static_cast<std::size_t>(keep - base_);
    if (drop > 0) {
        std::memmove(buf_.data(), buf_.data() + drop, size_ - drop);
        size_ -= drop;
        base_ = keep;
    }
    if (buf_.size() < size_ + block_)
        buf_.resize(size_ + block_);
    for (;;) {
        if (raw_ >= limit_) {
            eof_ = true;
            return false;
        }
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(std::min(block_, buf_.size() - size_), limit_ - raw_));
        const ssize_t n = ::read(fd_, buf_.data() + size_, want);
        if (n > 0) {
            const std::size_t before = size_;
            append(static_cast<std::size_t>(n));
            if (size_ > before)
                return true;
            continue; // the filter dropped the whole block
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            readErrno_ = errno;
        eof_ = true;
        return false;
    }
}

} // namespace qv::regex
