#pragma once

#include "TextSource.h"

#include <functional>
#include <string_view>
#include <vector>

namespace qv::regex {

// A file read front to back through a bounded window. An optional filter rewrites each block as
// it arrives (it may drop bytes; positions then count the filtered text).
class FileSource final : public TextSource {
public:
    using Filter = std::function<std::size_t(std::uint8_t* data, std::size_t size, bool first)>;

    static constexpr std::size_t kBlock = std::size_t{256} << 10;
    // Bytes the window keeps behind the scan, when it can, for looking back to a line start.
    static constexpr std::size_t kLookBack = std::size_t{1} << 20;
    static constexpr std::size_t kMaxWindow = std::size_t{32} << 20;

    // The descriptor stays the caller's; `firstBytes` were read from it already. A caller that
    // reads file after file passes `storage` to keep one buffer for all of them.
    FileSource(int fd, std::string_view firstBytes, bool atEof, Filter filter = {}, std::size_t block = kBlock,
               std::vector<std::uint8_t>* storage = nullptr);
    // `storage` already holds the first `filled` bytes read from fd; it becomes the window's buffer.
    FileSource(int fd, std::vector<std::uint8_t>& storage, std::size_t filled, bool atEof);

    // Reads no further than this many bytes of the file (counted from its start).
    void limitTo(std::uint64_t bytes) { limit_ = bytes; }

    [[nodiscard]] TextWindow window() const override;
    bool advance(std::uint64_t keepFrom) override;
    // The error of a read that failed (0 when none did): what was read before it was searched.
    [[nodiscard]] int readError() const { return readErrno_; }

private:
    void append(std::size_t n);

    int fd_;
    Filter filter_;
    std::size_t block_;
    std::vector<std::uint8_t> own_;
    std::vector<std::uint8_t>& buf_;
    std::size_t size_ = 0;
    std::uint64_t base_ = 0;
    bool eof_;
    bool first_ = true;
    std::uint64_t raw_ = 0; // bytes read from the file so far
    std::uint64_t limit_ = UINT64_MAX;
    int readErrno_ = 0;
};

} // namespace qv::regex
