#include "LineSearch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv::regex {
LineSearch::LineSearch(std::shared_ptr<Regex> regex, LineSearchLimits limits) : matcher_(std::move(regex)), limits_(limits) {}

LineSearch::~LineSearch()
{
    close();
}

bool LineSearch::open(const std::string& path)
{
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    adopt(fd, {}, false);
    return true;
}

void LineSearch::start(int fd, std::size_t filled, bool atEof)
{
    fd_ = fd;
    eof_ = atEof;
    readError_ = false;
    lineNo_ = 1;
    matches_ = 0;
    begin_ = 0;
    end_ = filled;
    if (buf_.size() < limits_.firstCapacity)
        buf_.resize(limits_.firstCapacity);
    matcher_.restart();
}

void LineSearch::adopt(int fd, std::string_view firstBytes, bool atEof)
{
    close();
    start(fd, firstBytes.size(), atEof);
    while (buf_.size() < end_)
        buf_.resize(buf_.size() * 2);
    if (!firstBytes.empty())
        std::memcpy(buf_.data(), firstBytes.data(), firstBytes.size());
}

void LineSearch::adoptBuffer(int fd, std::vector<std::uint8_t>& buffer, std::size_t filled, bool atEof)
{
    close();
    buf_.swap(buffer);
    start(fd, filled, atEof);
}

std::uint64_t LineSearch::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    eof_ = true;
    begin_ = end_ = 0;
    return matches_;
}

std::size_t LineSearch::readInto(std::size_t at)
{
    for (;;) {
        const ssize_t n = ::read(fd_, buf_.data() + at, buf_.size() - at);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            readError_ = true;
        eof_ = true;
        return 0;
    }
}

void LineSearch::reportLine(const std::uint8_t* ls, const std::uint8_t* le, bool unterminated)
{
    ++matches_;
    if (!listing_)
        return;
    // The CR of a CR LF pair belongs to the line end, not to the text.
    if (!unterminated && le > ls && le[-1] == '\r')
        --le;
    const std::size_t len = std::min(static_cast<std::size_t>(le - ls), kMaxListedLine);
    line_ = std::to_string(lineNo_);
    line_ += ':';
    line_.append(reinterpret_cast<const char*>(ls), len);
    line_ += "\r\n";
}

bool LineSearch::scanRegion()
{
    const std::uint8_t* const base = buf_.data();
    const std::uint8_t* b = base + begin_;
    const std::uint8_t* e = base + end_;
    const void* lastLF = b < e ? memrchr(b, '\n', static_cast<std::size_t>(e - b)) : nullptr;
    const bool unterminated = eof_ && b < e && e[-1] != '\n';
    const std::uint8_t* regionEnd = unterminated ? e : (lastLF != nullptr ? static_cast<const std::uint8_t*>(lastLF) + 1 : b);
    while (b < regionEnd) {
        auto found = matcher_.findLine(b, regionEnd, unterminated);
        // Line numbers are only wanted for a listing; counting skips the work.
        if (!found) {
            if (listing_)
                lineNo_ += countLineFeeds(b, regionEnd);
            b = regionEnd;
            break;
        }
        if (listing_)
            lineNo_ += countLineFeeds(b, found->begin);
        const bool open = found->end == e && unterminated;
        reportLine(found->begin, found->end, open);
        b = found->end == regionEnd ? regionEnd : found->end + 1;
        if (!open)
            ++lineNo_;
        if (listing_) {
            begin_ = static_cast<std::size_t>(b - base);
            return true;
        }
    }
    begin_ = static_cast<std::size_t>(b - base);
    return false;
}

void LineSearch::fill()
{
    matcher_.textMoved();
    const std::size_t carry = end_ - begin_;
    if (begin_ > 0 && carry > 0)
        std::memmove(buf_.data(), buf_.data() + begin_, carry);
    begin_ = 0;
    end_ = carry;
    // A file that needs a second block is big: read it in larger blocks, fewer system calls.
    if (buf_.size() < limits_.steadyCapacity)
        buf_.resize(limits_.steadyCapacity);
    if (end_ == buf_.size() && buf_.size() < limits_.maxCapacity)
        buf_.resize(buf_.size() * 2);
    if (end_ < buf_.size())
        end_ += readInto(end_);
}

// The buffer holds one partial line filling all of it. Match it in pieces: keep what a listing
// shows at the front and read the rest through the space behind it.
bool LineSearch::longLine()
{
    matcher_.textMoved();
    matcher_.beginLongLine();
    const std::size_t kept = std::min(end_, std::min(kMaxListedLine, buf_.size() / 2));
    const std::uint8_t* base = buf_.data();
    matcher_.feedLongLine(base, base + end_);
    bool unterminated = true;
    std::size_t restBegin = end_, restEnd = end_;
    for (;;) {
        const std::size_t n = readInto(kept);
        if (n == 0)
            break;
        const std::uint8_t* p = base + kept;
        const auto* lf = static_cast<const std::uint8_t*>(std::memchr(p, '\n', n));
        const std::uint8_t* pieceEnd = lf != nullptr ? lf : p + n;
        if (!matcher_.longLineDecided())
            matcher_.feedLongLine(p, pieceEnd);
        if (lf != nullptr) {
            unterminated = false;
            restBegin = static_cast<std::size_t>(lf - base) + 1;
            restEnd = kept + n;
            break;
        }
    }
    const bool matched = matcher_.endLongLine(unterminated);
    if (matched)
        reportLine(base, base + kept, true); // cut: the tail is gone, and so is any CR before the LF
    if (!unterminated)
        ++lineNo_;
    // What followed the LF becomes the start of the buffer.
    const std::size_t rest = restEnd - restBegin;
    begin_ = 0;
    end_ = 0;
    if (!unterminated) {
        std::memmove(buf_.data() + kept, buf_.data() + restBegin, rest);
        begin_ = kept;
        end_ = kept + rest;
    }
    return matched && listing_;
}

bool LineSearch::next()
{
    if (fd_ < 0 && begin_ == end_)
        return false;
    for (;;) {
        if (scanRegion())
            return true;
        if (eof_) {
            begin_ = end_;
            return false;
        }
        if (begin_ == 0 && end_ == buf_.size() && buf_.size() >= limits_.maxCapacity) {
            // Nothing was consumed from a full buffer of the largest size: one partial line.
            if (longLine())
                return true;
        } else {
            fill();
        }
        if (!listing_)
            return true; // one block at a time, so a caller can stay responsive
    }
}

} // namespace qv::regex
