#pragma once

#include <cstdint>
#include <string>

namespace qv {

enum class FileType { Text, Binary };

// One file with matches, as a search found it. The texts the list, the reports and qvsearch show
// for it are made where they are shown (RowTexts.h).
struct FileRow {
    std::string name; // without its folder; an archive member's path inside the archive
    std::string folder; // ending in "/"; for an archive member, the archive's full path
    std::uint64_t matches = 0; // matching lines of a text file, matches of a binary file
    FileType type = FileType::Text;
    std::uint64_t size = 0; // bytes when the file was classified
    std::int64_t modified = 0; // last write, seconds since the epoch
    std::string extractedCopy; // an archive member's extracted copy; empty otherwise

    [[nodiscard]] bool isArchiveMember() const { return !extractedCopy.empty(); }
    // The file the row stands for: the extracted copy when there is one, else folder + name.
    [[nodiscard]] std::string fullPath() const { return extractedCopy.empty() ? folder + name : extractedCopy; }

    friend bool operator==(const FileRow&, const FileRow&) = default;
};

} // namespace qv
