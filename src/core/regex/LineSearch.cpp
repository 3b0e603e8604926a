#include "LineSearch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv::regex {

LineSearch::LineSearch(RegexPtr regex, LineSearchLimits limits)
    : ownAutomata_(std::make_unique<Automata>(std::move(regex))), matcher_(*ownAutomata_), limits_(limits)
{
}

LineSearch::LineSearch(Automata& automata, LineSearchLimits limits) : matcher_(automata), limits_(limits) { }

LineSearch::~LineSearch()
{
    close();
}

bool LineSearch::open(const std::string& path)
{
    close();
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return false;
    adopt(std::move(fd), {}, false);
    return true;
}

void LineSearch::start(int fd, std::size_t filled, bool atEof)
{
    fd_ = fd;
    eof_ = atEof;
    readErrno_ = 0;
    stopped_ = false;
    lineNo_ = 1;
    matches_ = 0;
    begin_ = 0;
    end_ = filled;
    bufBase_ = 0;
    readPos_ = produced_ = filled;
    readEnd_ = UINT64_MAX;
    decoder_.reset();
    if (buf_.size() < limits_.firstCapacity)
        buf_.resize(limits_.firstCapacity);
    matcher_.restart();
}

void LineSearch::adopt(platform::UniqueFd fd, std::string_view firstBytes, bool atEof)
{
    close();
    owned_ = std::move(fd);
    start(owned_.get(), firstBytes.size(), atEof);
    while (buf_.size() < end_)
        buf_.resize(buf_.size() * 2);
    if (!firstBytes.empty())
        std::memcpy(buf_.data(), firstBytes.data(), firstBytes.size());
}

void LineSearch::adoptBuffer(platform::UniqueFd fd, std::vector<std::uint8_t>& buffer, std::size_t filled, bool atEof)
{
    close();
    owned_ = std::move(fd);
    buf_.swap(buffer);
    start(owned_.get(), filled, atEof);
}

void LineSearch::adoptUtf16(platform::UniqueFd fd, std::string_view firstBytes, bool atEof, platform::ByteOrder order)
{
    close();
    owned_ = std::move(fd);
    start(owned_.get(), 0, false);
    readPos_ = firstBytes.size();
    decoder_.emplace(order);
    decoded_.resize(platform::Utf16Decoder::MaxOutput(firstBytes.size()));
    decoded_.resize(decoder_->decode(reinterpret_cast<const std::uint8_t*>(firstBytes.data()), firstBytes.size(), decoded_.data(), atEof));
    decodedAt_ = 0;
    decodedAll_ = atEof;
    end_ = deliverDecoded(0);
    eof_ = decodedAll_ && decodedAt_ == decoded_.size();
}

void LineSearch::searchRange(int fd, std::uint64_t begin, std::uint64_t end)
{
    close();
    start(fd, 0, begin >= end);
    bufBase_ = readPos_ = produced_ = begin;
    readEnd_ = end;
}

std::uint64_t LineSearch::close()
{
    owned_.reset();
    fd_ = -1;
    eof_ = true;
    begin_ = end_ = 0;
    return matches_;
}

std::uint64_t LineSearch::offsetOf(const std::uint8_t* p) const
{
    return bufBase_ + static_cast<std::uint64_t>(p - base());
}

std::size_t LineSearch::readInto(std::size_t at)
{
    if (decoder_)
        return readDecoded(at);
    for (;;) {
        if (readPos_ >= readEnd_) {
            eof_ = true;
            return 0;
        }
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buf_.size() - at, readEnd_ - readPos_));
        const ssize_t n = ::pread(fd_, buf_.data() + at, want, static_cast<off_t>(readPos_));
        if (n > 0) {
            readPos_ += static_cast<std::uint64_t>(n);
            produced_ += static_cast<std::uint64_t>(n);
            return static_cast<std::size_t>(n);
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            readErrno_ = errno;
        eof_ = true;
        return 0;
    }
}

std::size_t LineSearch::deliverDecoded(std::size_t at)
{
    const std::size_t n = std::min(buf_.size() - at, decoded_.size() - decodedAt_);
    std::memcpy(buf_.data() + at, decoded_.data() + decodedAt_, n);
    decodedAt_ += n;
    produced_ += n;
    return n;
}

// A UTF-16 file is read a block at a time and decoded beside the buffer; what does not fit
// waits for the next read, so the text comes in as from any other file and memory stays bounded.
std::size_t LineSearch::readDecoded(std::size_t at)
{
    constexpr std::size_t kRawBlock = std::size_t{128} << 10;
    while (decodedAt_ == decoded_.size()) {
        if (decodedAll_) {
            eof_ = true;
            return 0;
        }
        raw_.resize(kRawBlock);
        ssize_t n = 0;
        if (readPos_ < readEnd_) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(raw_.size(), readEnd_ - readPos_));
            n = ::pread(fd_, raw_.data(), want, static_cast<off_t>(readPos_));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                readErrno_ = errno;
                n = 0;
            }
        }
        readPos_ += static_cast<std::uint64_t>(n);
        decodedAll_ = n == 0;
        decoded_.resize(platform::Utf16Decoder::MaxOutput(static_cast<std::size_t>(n)));
        decoded_.resize(decoder_->decode(raw_.data(), static_cast<std::size_t>(n), decoded_.data(), decodedAll_));
        decodedAt_ = 0;
    }
    return deliverDecoded(at);
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
    lineNumberFound_ = lineNo_;
    lineOffset_ = offsetOf(ls);
    line_.assign(reinterpret_cast<const char*>(ls), len);
}

// Matches the whole lines of [b, sliceEnd); true when a listing line was found. `e` is the end
// of what the buffer holds, and the text's last line ends there without an LF when unterminated.
bool LineSearch::scanSlice(const std::uint8_t*& b, const std::uint8_t* sliceEnd, const std::uint8_t* e, bool unterminated)
{
    const bool openEnd = unterminated && sliceEnd == e;
    while (b < sliceEnd) {
        auto found = matcher_.findLine(b, sliceEnd, openEnd);
        if (matcher_.stopped()) {
            stopped_ = true;
            return false;
        }
        // Line numbers are only wanted for a listing; counting skips the work.
        if (!found) {
            if (listing_)
                lineNo_ += countLineFeeds(b, sliceEnd);
            b = sliceEnd;
            return false;
        }
        if (listing_)
            lineNo_ += countLineFeeds(b, found->begin);
        const bool open = found->end == e && unterminated;
        reportLine(found->begin, found->end, open);
        b = found->end == sliceEnd ? sliceEnd : found->end + 1;
        if (!open)
            ++lineNo_;
        if (listing_)
            return true;
    }
    return false;
}

bool LineSearch::scanRegion()
{
    const std::uint8_t* const base = this->base();
    const std::uint8_t* b = base + begin_;
    const std::uint8_t* e = base + end_;
    const void* lastLF = b < e ? memrchr(b, '\n', static_cast<std::size_t>(e - b)) : nullptr;
    const bool unterminated = eof_ && b < e && e[-1] != '\n';
    const std::uint8_t* regionEnd = unterminated ? e : (lastLF != nullptr ? static_cast<const std::uint8_t*>(lastLF) + 1 : b);
    bool listed = false;
    // Slices of whole lines, with a look at the stop request between them.
    while (b < regionEnd && !listed && !stopped_) {
        const std::uint8_t* sliceEnd = regionEnd;
        if (static_cast<std::size_t>(regionEnd - b) > kSlice) {
            const void* lf = std::memchr(b + kSlice, '\n', static_cast<std::size_t>(regionEnd - b - kSlice));
            sliceEnd = lf != nullptr ? static_cast<const std::uint8_t*>(lf) + 1 : regionEnd;
        }
        listed = scanSlice(b, sliceEnd, e, unterminated);
        if (!listed && !stopped_ && b < regionEnd && matcher_.stopped())
            stopped_ = true;
    }
    begin_ = static_cast<std::size_t>(b - base);
    return listed;
}

void LineSearch::fill()
{
    matcher_.textMoved();
    const std::size_t carry = end_ - begin_;
    if (begin_ > 0 && carry > 0)
        std::memmove(buf_.data(), buf_.data() + begin_, carry);
    bufBase_ += begin_;
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
    const std::uint64_t lineStart = bufBase_;
    const std::size_t kept = std::min(end_, std::min(kMaxListedLine, buf_.size() / 2));
    const std::uint8_t* base = buf_.data();
    matcher_.feedLongLine(base, base + end_);
    bool unterminated = true;
    std::size_t restBegin = end_, restEnd = end_;
    while (!matcher_.stopped()) {
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
    if (matcher_.stopped()) {
        stopped_ = true;
        return false;
    }
    const bool matched = matcher_.endLongLine(unterminated);
    if (matched) {
        bufBase_ = lineStart;
        reportLine(base, base + kept, true); // cut: the tail is gone, and so is any CR before the LF
    }
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
        bufBase_ = produced_ - rest - kept;
    }
    return matched && listing_;
}

bool LineSearch::next()
{
    if (stopped_ || (fd_ < 0 && begin_ == end_))
        return false;
    for (;;) {
        if (scanRegion())
            return true;
        if (stopped_)
            return false;
        if (eof_) {
            begin_ = end_;
            return false;
        }
        if (matcher_.stopped()) {
            stopped_ = true;
            return false;
        }
        if (begin_ == 0 && end_ == buf_.size() && buf_.size() >= limits_.maxCapacity) {
            // Nothing was consumed from a full buffer of the largest size: one partial line.
            if (longLine())
                return true;
            if (stopped_)
                return false;
        } else {
            fill();
        }
        if (!listing_)
            return true; // one block at a time, so a caller can stay responsive
    }
}

} // namespace qv::regex
