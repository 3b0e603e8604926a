#pragma once

#include "FileRow.h"
#include "regex/Automata.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// One listed match: a text file's matching line with its number, or a binary file's match with
// up to 30 characters of context on either side (no number).
struct MatchLine {
    std::optional<std::uint64_t> line; // 1 for the first line of a file
    std::string text; // the line without its end, or the match in its context
    // Where the line starts in the file (in its UTF-8, for a UTF-16 file), or the match in the
    // cleaned text.
    std::uint64_t position = 0;
    friend bool operator==(const MatchLine&, const MatchLine&) = default;
};

// The 28 control characters removed from a binary file before its matches are listed: every
// code below 32 but tab, line feed, form feed and carriage return.
const std::array<bool, 256>& ControlChars();

struct MatchListing {
    std::vector<MatchLine> lines;
    bool binary = false;
};

// What the listing works with: the last search's prepared pattern, the case box as it is now,
// and the two limits.
struct ListingParameters {
    std::string pattern;
    bool caseSensitive = false;
    long long maxMatchLen = 300;
    long long maxMatches = 500;
};

// Lists the matching lines of result rows' files, searching each again: a text file's lines by
// number, a binary file's matches with up to 30 characters of context on either side (control
// characters removed, matches longer than maxMatchLen passed over). At most maxMatches lines per
// file. A file that has vanished or shrunk lists what can still be read. Compiles the pattern
// once for all the files it lists; one thread at a time.
class MatchLister {
public:
    explicit MatchLister(const ListingParameters& parameters, std::stop_token stop = {});
    // With a pattern compiled already (a run's), sharing nothing with other threads' listings.
    MatchLister(regex::RegexPtr regex, long long maxMatchLen, long long maxMatches, std::stop_token stop = {});

    MatchListing list(const FileRow& row);

private:
    MatchListing listText(const FileRow& row, std::size_t limit);
    MatchListing listBinary(const FileRow& row, std::size_t limit);

    std::optional<regex::Automata> automata_; // none when the pattern does not compile
    long long maxMatchLen_;
    long long maxMatches_;
};

// One row's listing (compiles the pattern for it).
MatchListing ListMatches(const FileRow& row, const ListingParameters& parameters);

// "Matches in: " and the file, or the member's name and its archive.
std::string MatchesLabel(const FileRow& row);

} // namespace qv
