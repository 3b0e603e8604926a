#pragma once

#include "FileRow.h"
#include "platform/FileKind.h"
#include "platform/UniqueFd.h"
#include "regex/Automata.h"
#include "regex/LineSearch.h"
#include "regex/MatchScanner.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The buffer a file's first block is read into. A search keeps one and hands it on to the count,
// which gives another one back, so no block is ever copied.
using Block = std::vector<std::uint8_t>;

// Bytes below 32 other than tab, LF, form feed and CR mark a binary file; 127 and above do not.
// A file that begins with a UTF-16 byte-order mark is text.
FileType ClassifyBytes(std::string_view firstBytes);

// Bytes of a file's start that decide its type.
inline constexpr std::size_t kClassifyBytes = 2000;

// What counting a file came to. A count cut short by a stop request, or by a read that failed,
// is not the file's count.
struct CountResult {
    std::uint64_t count = 0;
    int readError = 0; // the error of a read that failed
    bool stopped = false;
    [[nodiscard]] bool complete() const { return readError == 0 && !stopped; }
};

// One file being searched: opened once, read-only, its size and date taken from the open file and
// its first block read once to serve the classification, the archive check and the count.
class SearchFile {
public:
    // Regular files only (never a FIFO, device or socket). Nothing when it cannot be opened or
    // its first bytes cannot be read. The first block is read into `scratch`, which a search
    // reuses from file to file and which must outlive this object.
    static std::optional<SearchFile> Open(const std::string& path, Block& scratch);
    // Opens `name` relative to an open folder (a faster lookup than a whole path) and takes its
    // size and date, without reading yet.
    static std::optional<SearchFile> OpenAt(int directoryFd, const std::string& name);
    // Reads no further than this many bytes (for files that a kernel makes up as they are read).
    void LimitReads(std::uint64_t bytes) { readLimit_ = bytes; }
    // Reads the first block into `scratch`; false when the file cannot be read.
    bool ReadFirstBlock(Block& scratch);
    // The file's identity: a file reached by two paths is the same file.
    [[nodiscard]] const platform::FileId& Id() const { return id_; }
    // When the file last changed in any way (nanoseconds); tells a reused identity apart.
    [[nodiscard]] std::int64_t ChangeStamp() const { return changeStamp_; }
    // Names the file has (hard links).
    [[nodiscard]] std::uint64_t LinkCount() const { return links_; }

    [[nodiscard]] FileType ClassifyFile() const;
    [[nodiscard]] std::uint64_t Size() const { return size_; }
    // Seconds since the epoch of the last write.
    [[nodiscard]] std::int64_t LastWrite() const { return lastWrite_; }
    [[nodiscard]] bool StartsWith(std::string_view prefix) const;
    // The first block of the file, as read.
    [[nodiscard]] std::string_view FirstBytes() const { return first_; }
    [[nodiscard]] int Descriptor() const { return fd_.get(); }
    [[nodiscard]] bool AtEof() const { return eof_; }

    // The file is UTF-16 text (it begins with a byte-order mark).
    [[nodiscard]] bool IsUtf16() const;
    // Hands the file, from its first block on, to a line search that lists or counts its lines
    // (UTF-16 text as its UTF-8; the search takes the first block's buffer and gives its own
    // back). Uses up the file.
    void StartLineSearch(regex::LineSearch& search, bool listing);
    // Matching lines of a text file, by the line search. Uses up the file.
    CountResult CountText(regex::LineSearch& search);
    // Matches of a binary file by the buffer search: NUL bytes count as byte 1, a WordPerfect
    // file's bytes 128 and 207 as blanks; the first match counts whatever its length, later ones
    // only up to maxMatchLen. Uses up the file (and the first block's buffer, swapped with
    // `storage`).
    CountResult CountBinary(regex::Automata& automata, std::uint64_t maxMatchLen, Block& storage);

    // The descriptor, for searches that read the file in stretches of their own.
    platform::UniqueFd TakeDescriptor() { return std::move(fd_); }

private:
    SearchFile() = default;

    platform::UniqueFd fd_;
    std::uint64_t size_ = 0;
    std::int64_t lastWrite_ = 0;
    std::string_view first_;
    Block* block_ = nullptr; // where first_ lies
    bool eof_ = false;
    std::uint64_t readLimit_ = UINT64_MAX;
    platform::FileId id_;
    std::int64_t changeStamp_ = 0;
    std::uint64_t links_ = 1;
};

// The byte substitutions of the binary count for a file beginning with `firstBytes`.
regex::ByteMap BinaryCountMap(std::string_view firstBytes);
bool IsWordPerfect(std::string_view firstBytes);

} // namespace qv
