#pragma once

#include "LineMatcher.h"

#include <cstdint>
#include <memory>
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
// whatever the file's size.
class LineSearch {
public:
    // Listed lines longer than this are cut to it.
    static constexpr std::size_t kMaxListedLine = std::size_t{1} << 20;

    explicit LineSearch(std::shared_ptr<Regex> regex, LineSearchLimits limits = {});
    ~LineSearch();
    LineSearch(const LineSearch&) = delete;
    LineSearch& operator=(const LineSearch&) = delete;

    // Listing: each next() finds the next matching line. Counting: each next() goes through one
    // block and says whether the file goes on.
    void setListing(bool listing) { listing_ = listing; }

    bool open(const std::string& path);
    // Takes over an open descriptor whose first bytes have been read already (-1 with atEof for
    // a text held in memory).
    void adopt(int fd, std::string_view firstBytes, bool atEof);
    // Takes over an open descriptor and the buffer holding its first `filled` bytes; the caller
    // gets this search's previous buffer back in exchange.
    void adoptBuffer(int fd, std::vector<std::uint8_t>& buffer, std::size_t filled, bool atEof);

    bool next();
    // The line found by the last next() when listing: "number:text" followed by CR LF.
    [[nodiscard]] std::string_view line() const { return line_; }
    // Ends the search and closes the file; returns the number of matching lines found.
    std::uint64_t close();
    [[nodiscard]] bool readError() const { return readError_; }

private:
    void start(int fd, std::size_t filled, bool atEof); // a new file whose first bytes are in buf_
    bool scanRegion(); // whole lines held in the buffer; true when a listing line was found
    void fill();
    bool longLine();   // matches the line that fills the whole buffer; true when listed
    void reportLine(const std::uint8_t* ls, const std::uint8_t* le, bool unterminated);
    std::size_t readInto(std::size_t at);

    LineMatcher matcher_;
    LineSearchLimits limits_;
    int fd_ = -1;
    bool listing_ = false;
    std::vector<std::uint8_t> buf_;
    std::size_t begin_ = 0, end_ = 0;
    bool eof_ = true;
    bool readError_ = false;
    std::uint64_t lineNo_ = 1; // number of the line that starts at begin_
    std::uint64_t matches_ = 0;
    std::string line_;
};

} // namespace qv::regex
