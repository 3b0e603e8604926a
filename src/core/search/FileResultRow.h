#pragma once

#include <string>

namespace qv {

// One row of the file result list, as the list holds it: all texts.
struct FileResultRow {
    std::string FileName;      // the row's own text: the name without its folder
    std::string Directory;     // folder ending in "/"; for an archive member, the archive's full path
    std::string Matches;       // match count, decimal, at least 1
    std::string Type;          // "T" text or "B" binary
    std::string Size;          // bytes when the file was classified, decimal
    std::string DateTime;      // last write, in DateTimeDisplayFormat
    std::string ExtractedCopy; // hidden: an archive member's extracted copy; empty otherwise

    [[nodiscard]] bool IsArchiveMember() const { return !ExtractedCopy.empty(); }
    // The file the row stands for: the extracted copy when there is one, else folder + name.
    [[nodiscard]] std::string FullPath() const { return ExtractedCopy.empty() ? Directory + FileName : ExtractedCopy; }

    friend bool operator==(const FileResultRow&, const FileResultRow&) = default;
};

} // namespace qv
