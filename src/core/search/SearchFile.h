#pragma once

#include "GrepEngine.h"
#include "platform/FileKind.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class FileType { Text, Binary };

// The buffer a file's first block is read into. A search keeps one and hands it on to the count,
// which gives another one back, so no block is ever copied.
using Block = std::vector<std::uint8_t>;

// Bytes below 32 other than tab, LF, form feed and CR mark a binary file; 127 and above do not.
FileType ClassifyBytes(std::string_view firstBytes);

// Bytes of a file's start that decide its type.
inline constexpr std::size_t kClassifyBytes = 2000;

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
    // Reads the first block into `scratch`; false when the file cannot be read.
    bool ReadFirstBlock(Block& scratch);
    // The file's identity: a file reached by two paths is the same file.
    [[nodiscard]] const platform::FileId& Id() const { return id_; }
    // When the file last changed in any way (nanoseconds); tells a reused identity apart.
    [[nodiscard]] std::int64_t ChangeStamp() const { return changeStamp_; }

    SearchFile(SearchFile&& other) noexcept;
    SearchFile& operator=(SearchFile&& other) noexcept;
    SearchFile(const SearchFile&) = delete;
    SearchFile& operator=(const SearchFile&) = delete;
    ~SearchFile();

    [[nodiscard]] FileType ClassifyFile() const;
    [[nodiscard]] std::uint64_t Size() const { return size_; }
    [[nodiscard]] std::optional<std::time_t> LastWrite() const { return lastWrite_; }
    [[nodiscard]] bool StartsWith(std::string_view prefix) const;
    // The first block of the file, as read.
    [[nodiscard]] std::string_view FirstBytes() const { return first_; }
    // The open descriptor, positioned after the first block; still this object's to close.
    [[nodiscard]] int Descriptor() const { return fd_; }
    [[nodiscard]] bool AtEof() const { return eof_; }

    // Matching lines of a text file, by the engine's line search. Uses up the file (and swaps the
    // first block's buffer with the engine's).
    std::uint64_t CountText(GrepEngine& engine, const CompiledPattern& pattern);
    // Matches of a binary file by the buffer search: NUL bytes count as byte 1, a WordPerfect
    // file's bytes 128 and 207 as blanks; the first match counts whatever its length, later ones
    // only up to maxMatchLen. A read failure counts 0. Uses up the file (and the first block's
    // buffer, swapped with `storage` when given).
    std::uint64_t CountBinary(const CompiledPattern& pattern, std::uint64_t maxMatchLen, Block* storage = nullptr);

private:
    SearchFile(int fd, std::uint64_t size, std::optional<std::time_t> lastWrite, std::string_view first, bool eof);

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::optional<std::time_t> lastWrite_;
    std::string_view first_;
    Block* block_ = nullptr; // where first_ lies
    bool eof_ = false;
    platform::FileId id_;
    std::int64_t changeStamp_ = 0;
};

// The byte substitutions of the binary count for a file beginning with `firstBytes`.
ByteMap BinaryCountMap(std::string_view firstBytes);
bool IsWordPerfect(std::string_view firstBytes);

} // namespace qv
