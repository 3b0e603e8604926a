#pragma once

#include "Automata.h"
#include "LineMatcher.h"
#include "platform/UniqueFd.h"
#include "platform/Utf16Decoder.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::regex {

// Buffer sizes of a line search: the first block, the block size after it, and the largest buffer
// before a line is matched in pieces.
struct LineSearchLimits {
    std::size_t firstCapacity = std::size_t{256} << 10;
    std::size_t steadyCapacity = std::size_t{1} << 20; // from the second block on
    std::size_t maxCapacity = std::size_t{16} << 20;
};

// Line search over a file, read in large blocks with the partial last line carried over; a line
// longer than the largest block is matched in pieces and never held whole. Memory stays bounded
// whatever the file's size. Reads are positional, so several searches can share one descriptor,
// each over its own stretch of the file.
class LineSearch {
public:
    // Listed lines longer than this are cut to it.
    static constexpr std::size_t kMaxListedLine = std::size_t{1} << 20;
    // The most bytes matched between two looks at the stop request (whole lines: a longer line is
    // fed to the matcher in pieces that look at it themselves).
    static constexpr std::size_t kSlice = std::size_t{128} << 10;

    // With automata of its own, or with a thread's automata shared with its other searches.
    explicit LineSearch(RegexPtr regex, LineSearchLimits limits = {});
    explicit LineSearch(Automata& automata, LineSearchLimits limits = {});
    ~LineSearch();
    LineSearch(const LineSearch&) = delete;
    LineSearch& operator=(const LineSearch&) = delete;

    // Listing: each next() finds the next matching line. Counting: each next() goes through one
    // block and says whether the file goes on.
    void setListing(bool listing) { listing_ = listing; }

    bool open(const std::string& path);
    // Takes over an open descriptor whose first bytes have been read already (none with atEof
    // for a text held in memory).
    void adopt(platform::UniqueFd fd, std::string_view firstBytes, bool atEof);
    // Takes over an open descriptor and the buffer holding its first `filled` bytes; the caller
    // gets this search's previous buffer back in exchange.
    void adoptBuffer(platform::UniqueFd fd, std::vector<std::uint8_t>& buffer, std::size_t filled, bool atEof);
    // Takes over a UTF-16 file (in this byte order, with its byte-order mark) whose first bytes
    // have been read already: it is searched as its UTF-8 text, and line numbers, offsets and
    // listed lines are those of that text.
    void adoptUtf16(platform::UniqueFd fd, std::string_view firstBytes, bool atEof, platform::ByteOrder order);
    // Searches bytes [begin, end) of a file through a descriptor that stays the caller's. `begin`
    // starts a line; the stretch ends a line or the file.
    void searchRange(int fd, std::uint64_t begin, std::uint64_t end);

    // Reads no further than this offset of the file.
    void limitTo(std::uint64_t end) { readEnd_ = std::min(readEnd_, end); }

    bool next();
    // The line found by the last next() when listing: its number, its text without the line end
    // (cut to kMaxListedLine) and where in the file it starts.
    [[nodiscard]] std::uint64_t lineNumber() const { return lineNumberFound_; }
    [[nodiscard]] std::string_view lineText() const { return line_; }
    [[nodiscard]] std::uint64_t lineOffset() const { return lineOffset_; }
    // Ends the search and closes the file; returns the number of matching lines found.
    std::uint64_t close();
    // The error of a read that failed (0 when none did): what was read before it was searched.
    [[nodiscard]] int readError() const { return readErrno_; }
    // A stop request ended the search early: its count is not the file's.
    [[nodiscard]] bool stopped() const { return stopped_; }

private:
    void start(int fd, std::size_t filled, bool atEof); // a new file whose first bytes are in buf_
    bool scanRegion(); // whole lines held in the buffer; true when a listing line was found
    bool scanSlice(const std::uint8_t*& b, const std::uint8_t* sliceEnd, const std::uint8_t* e, bool unterminated);
    void fill();
    bool longLine(); // matches the line that fills the whole buffer; true when listed
    void reportLine(const std::uint8_t* ls, const std::uint8_t* le, bool unterminated);
    std::size_t readInto(std::size_t at);
    std::size_t readDecoded(std::size_t at);
    // Hands on decoded text that waits, as much as fits at `at`.
    std::size_t deliverDecoded(std::size_t at);
    [[nodiscard]] std::uint64_t offsetOf(const std::uint8_t* p) const;
    [[nodiscard]] const std::uint8_t* base() const { return buf_.data(); }

    std::unique_ptr<Automata> ownAutomata_;
    LineMatcher matcher_;
    LineSearchLimits limits_;
    platform::UniqueFd owned_; // the descriptor taken over, if any
    int fd_ = -1; // the descriptor read: owned_'s or the caller's
    bool listing_ = false;
    std::vector<std::uint8_t> buf_;
    std::size_t begin_ = 0, end_ = 0;
    std::uint64_t bufBase_ = 0; // file offset of buf_[0]
    std::uint64_t readPos_ = 0; // file offset of the next read
    std::uint64_t readEnd_ = UINT64_MAX; // reads stop here
    std::uint64_t produced_ = 0; // text offset of what the next read gives
    // A UTF-16 file's decoding: the decoder, a block of the file and its UTF-8 not handed on yet.
    std::optional<platform::Utf16Decoder> decoder_;
    std::vector<std::uint8_t> raw_, decoded_;
    std::size_t decodedAt_ = 0;
    bool decodedAll_ = false;
    bool eof_ = true;
    int readErrno_ = 0;
    bool stopped_ = false;
    std::uint64_t lineNo_ = 1; // number of the line that starts at begin_
    std::uint64_t matches_ = 0;
    std::uint64_t lineNumberFound_ = 0;
    std::uint64_t lineOffset_ = 0;
    std::string line_;
};

} // namespace qv::regex
