#include "RunTexts.h"

#include <cstdio>

namespace qv {

std::string SummaryText(const RunSummary& s, const std::string& decimalSeparator)
{
    std::string text = " Found " + std::to_string(s.totalMatches) + (s.totalMatches == 1 ? " match" : " matches") + " in " +
                       std::to_string(s.filesWithMatches) + (s.filesWithMatches == 1 ? " file" : " files") + " of " +
                       std::to_string(s.filesSearched) + " searched";
    if (s.cancelled)
        return text + " - search canceled";
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(s.elapsed.count()) / 1000.0);
    std::string number = seconds;
    if (const auto dot = number.find('.'); dot != std::string::npos)
        number.replace(dot, 1, decimalSeparator);
    return text + " - elapsed time " + number + " seconds";
}

std::string ProgressText(const RunProgress& p)
{
    switch (p.kind) {
    case RunProgress::Kind::Searching: return " Searching " + p.path;
    case RunProgress::Kind::Extracting: return "Extracting Zip file " + p.path;
    case RunProgress::Kind::Deleting: return "Deleting temporary files";
    case RunProgress::Kind::Idle: break;
    }
    return {};
}

std::string ArchiveErrorText(const std::string& archive)
{
    return "Error in Zip file: " + archive + "\n\nThis file will not be searched, but processing\nwill continue for other files.";
}

std::optional<std::string> OutcomeText(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::NoFilesSearched: return "No files found";
    case RunOutcome::NoMatches: return "No matches found";
    case RunOutcome::Matches: break;
    }
    return std::nullopt;
}

std::string TypeLetter(FileType type)
{
    return type == FileType::Binary ? "B" : "T";
}

std::string RowFieldText(const FileRow& row, RowField field, const DateTimeFormat& dates)
{
    switch (field) {
    case RowField::Name: return row.name;
    case RowField::Folder: return row.folder;
    case RowField::Matches: return std::to_string(row.matches);
    case RowField::Type: return TypeLetter(row.type);
    case RowField::Size: return std::to_string(row.size);
    case RowField::DateTime: return dates.Format(static_cast<std::time_t>(row.modified));
    }
    return {};
}

std::string LineNumberText(const MatchLine& line)
{
    return line.line ? std::to_string(*line.line) : std::string();
}

} // namespace qv
