#pragma once

#include "TextView.h"
#include "search/FileRow.h"
#include "store/PreferenceSet.h"

#include <QRect>

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

namespace qv {

// What the viewer reads from the program when it opens.
struct ViewerInput {
    std::string path; // CurrentFilePath
    FileRow row; // the selected result row (its Type and Size)
    std::string pattern; // the last search's prepared pattern
    bool caseSensitive = false; // the case box as it is now
    PreferenceSet preferences;
    QRect screen; // the screen's geometry
};

// What the viewer shows of a file: its text and where the matches are. Made without widgets, so
// it can be made on a thread of its own.
struct ViewerContent {
    bool readable = false; // false: the file cannot be shown
    bool truncated = false; // only its first kMaxViewerBytes are
    std::string text; // as shown
    bool utf8 = false; // the text is valid UTF-8
    std::vector<std::int64_t> matchKeys; // display offsets (binary) or line indexes (text)
    std::vector<std::int64_t> lineStarts; // text: where each match's line starts
    std::vector<TextView::Range> ranges; // what is coloured
};

// The most bytes of a file the viewer shows.
inline constexpr std::uint64_t kMaxViewerBytes = std::uint64_t{128} << 20;

// Reads the file and finds at most `matchLimit` matches: a text file's matching lines (its lines
// as displayed: the CR of a CR LF goes, a lone CR shows as a blank), or a binary file's matches
// in its cleaned bytes, each exactly. A stop request ends it early, with what it has.
ViewerContent LoadViewerContent(const ViewerInput& input, bool binary, int matchLimit, std::stop_token stop = {});

// The binary view's cleaning of a file's bytes: WordPerfect and OLE documents first, then every
// control byte but tab, LF, form feed and CR removed, and every byte from 127 up.
std::string CleanBinaryText(std::string bytes);

} // namespace qv
