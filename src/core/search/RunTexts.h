#pragma once

#include "DateTimeFormat.h"
#include "FileRow.h"
#include "MatchListing.h"
#include "SearchSink.h"

#include <optional>
#include <string>

namespace qv {

// The texts a run and its results are shown with, the same in the window, its reports and
// qvsearch's output.

// " Found 4 matches in 2 files of 3 searched - elapsed time 0.4 seconds" (or "- search canceled").
std::string SummaryText(const RunSummary& summary, const std::string& decimalSeparator);
// " Searching <path>", "Extracting Zip file <path>", "Deleting temporary files", or nothing.
std::string ProgressText(const RunProgress& progress);
// The message box of an archive that cannot be extracted, and its caption.
std::string ArchiveErrorText(const std::string& archive);
inline constexpr const char* kArchiveErrorCaption = "Zip File Error";
// "No files found", "No matches found", or nothing after a run with matches.
std::optional<std::string> OutcomeText(RunOutcome outcome);

// The columns of a file row.
enum class RowField { Name, Folder, Matches, Type, Size, DateTime };
inline constexpr int kRowFieldCount = 6;
// "T" or "B".
std::string TypeLetter(FileType type);
std::string RowFieldText(const FileRow& row, RowField field, const DateTimeFormat& dates);
// A match line's number, empty for a binary file's match.
std::string LineNumberText(const MatchLine& line);

} // namespace qv
