#pragma once

#include "FileResultRow.h"

#include <array>
#include <string>
#include <vector>

namespace qv {

// One row of a match list: the line number (empty for a binary file) and the matching text.
struct MatchLineRow {
    std::string LineNumber;
    std::string Text;
    friend bool operator==(const MatchLineRow&, const MatchLineRow&) = default;
};

// The 28 control characters removed from a binary file before its matches are listed: every
// code below 32 but tab, line feed, form feed and carriage return.
const std::array<bool, 256>& ControlChars();

struct MatchListing {
    std::vector<MatchLineRow> Rows;
    bool Binary = false;
};

// What the listing works with: the last search's prepared pattern, the case box as it is now,
// and the two limits.
struct ListingParameters {
    std::string Pattern;
    bool CaseSensitive = false;
    long long MaxMatchLen = 300;
    long long MaxMatches = 500;
};

// The matching lines of a result row's file, searched again: a text file's lines by number, a
// binary file's matches with up to 30 characters of context on either side (control characters
// removed, matches longer than MaxMatchLen passed over). At most MaxMatches rows. A file that
// has vanished or shrunk lists what can still be read.
MatchListing ListMatches(const FileResultRow& row, const ListingParameters& parameters);

// "Matches in: " and the file, or the member's name and its archive.
std::string MatchesLabel(const FileResultRow& row);

} // namespace qv
