#pragma once

#include "platform/RegistryHive.h"

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// One stored search: start folder, search text, file specification and option letters.
struct SavedSearch {
    std::string Directory;
    std::string SearchText;
    std::string FileSpecs;
    std::string Options; // letters X B I Z C W L for the checked boxes
    friend bool operator==(const SavedSearch&, const SavedSearch&) = default;
};

// The option boxes as they are stored, one letter each in this order.
struct SearchOptions {
    bool TextFiles = false, BinaryFiles = false, InclSub = false, SearchZip = false, Case = false, Word = false, Literal = false;
};
std::string OptionLetters(const SearchOptions& o);
// A box is checked when its letter occurs anywhere in the letters.
SearchOptions OptionsFromLetters(std::string_view letters);

// The value "Searches": records one after the other, newest first. A record is the directory,
// the search text, the file specification and the letters, each followed by byte 127, and byte
// 128 ending the record.
//
// UTF-8 texts hold bytes 127 and 128 too ("À" is C3 80), so inside a field each of them is
// written as 128 128 and then "1" (for 127) or "2" (for 128). A record never holds two 128s in a
// row otherwise (one ends it, and the next record is never empty), so values written without
// escapes read back exactly as they were written.
inline constexpr char kFieldEnd = '\x7F';
inline constexpr char kRecordEnd = '\x80';

std::string RecordText(const SavedSearch& s);
// Reads every record: cut at each 128 that ends one (an empty last piece dropped, a missing final
// 128 tolerated), then at 127 (missing fields empty, anything after the fourth ignored).
std::vector<SavedSearch> ParseSearches(std::string_view value);
// Removes every whole record (from the start or right after the 128 that ends one) equal to
// `record`.
std::string RemoveRecords(std::string_view value, std::string_view record);

// The stored value; a missing value, or one that is not a string, reads as no searches.
std::string ReadSearches(platform::RegistryHive& hive);
// Writes the value; "Failed to set data for 'Searches'" when it cannot.
[[nodiscard]] platform::Failure WriteSearches(platform::RegistryHive& hive, std::string_view value);

} // namespace qv
