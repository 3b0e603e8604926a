#include "ReportLayouts.h"

#include "search/RunTexts.h"

#include <memory>

namespace qv::reports {
namespace {

FieldSpec left(double x, double top, bool bold, std::optional<double> width = std::nullopt)
{
    return FieldSpec{x, top, Align::Left, width, bold};
}

FieldSpec right(double edge, double top, bool bold, std::optional<double> width = std::nullopt)
{
    return FieldSpec{edge, top, Align::Right, width, bold};
}

// A number or a date: never cut to its width.
FieldSpec value(FieldSpec f)
{
    f.value = true;
    return f;
}

const PageSetup kLandscape{279.4, 215.9, true, 12.7, 12.7, 7.62, 7.62};
const PageSetup kPortrait{215.9, 279.4, false, 12.7, 12.7, 12.7, 12.7};

std::string pageText(int n)
{
    return "Page " + std::to_string(n);
}

Report matchesLayout(const std::string& header)
{
    Report r;
    r.page = kPortrait;
    r.pageHeader = Band{11.11, {left(1.59, 1.59, true), left(164.31, 1.59, true)}};
    r.pageHeaderTexts = [header](int page) { return Record{header, pageText(page)}; };
    r.detail = Band{9.00, {left(1.59, 3.44, true)}};
    // The line's text is placed before its number. On paper a number wider than its field may run
    // into the text's start; the text export moves the text along instead.
    r.subDetail = Band{4.23, {left(13.49, 0, false), value(left(1.59, 0, false, 10.58))}};
    return r;
}

} // namespace

std::string ReportHeader(const std::string& searchText, const std::string& folder, const std::string& fileSpecs)
{
    std::string f = folder;
    while (!f.empty() && f.back() == '/')
        f.pop_back();
    return "Search for: \"" + searchText + "\" in " + f + "/" + fileSpecs;
}

std::string FileHeading(const FileRow& row)
{
    const std::string name = row.isArchiveMember() ? row.name + " (in " + row.folder + ")" : row.folder + row.name;
    return name + " - " + std::to_string(row.matches) + (row.matches == 1 ? " match" : " matches");
}

std::optional<Record> NextFileRecord(ReportData& data)
{
    ++data.fileIndex;
    if (data.fileIndex >= static_cast<int>(data.files.size()))
        return std::nullopt;
    const FileRow& r = data.files[static_cast<std::size_t>(data.fileIndex)];
    Record record;
    for (int f = 0; f < kRowFieldCount; ++f)
        record.push_back(RowFieldText(r, static_cast<RowField>(f), data.dates));
    return record;
}

std::optional<Record> NextFileHeading(ReportData& data)
{
    ++data.fileIndex;
    if (data.fileIndex >= static_cast<int>(data.files.size()))
        return std::nullopt;
    const FileRow& r = data.files[static_cast<std::size_t>(data.fileIndex)];
    data.lines = data.listMatches(r);
    data.lineIndex = -1;
    return Record{FileHeading(r)};
}

std::optional<Record> NextMatchLine(ReportData& data)
{
    ++data.lineIndex;
    if (data.lineIndex >= static_cast<int>(data.lines.size()))
        return std::nullopt;
    const MatchLine& m = data.lines[static_cast<std::size_t>(data.lineIndex)];
    return Record{m.text, LineNumberText(m)};
}

Report FileListReport(const std::string& header, ReportData& data)
{
    Report r;
    r.page = kLandscape;
    r.pageHeader = Band{17.99,
                        {left(1.59, 1.59, true), left(229.39, 3.17, true), left(1.59, 10.05, true), left(66.67, 10.05, true),
                         right(200.29, 10.05, true), left(202.67, 10.05, true), right(226.22, 10.05, true), left(229.39, 10.05, true)}};
    r.pageHeaderTexts = [header](int page) {
        return Record{header, pageText(page), "File Name", "Directory", "Matches", "Type", "Size", "Date/Time"};
    };
    r.detail = Band{4.76,
                    {left(1.59, 0, false, 63.76), left(66.67, 0, false, 117.74), value(right(200.29, 0, false, 14.55)),
                     value(left(205.32, 0, false, 5.29)), value(right(226.22, 0, false, 15.08)), value(left(229.39, 0, false, 34.13))}};
    data.fileIndex = -1;
    r.nextDetail = [&data] { return NextFileRecord(data); };
    return r;
}

Report MatchesReportAllFiles(const std::string& header, ReportData& data)
{
    Report r = matchesLayout(header);
    data.fileIndex = -1;
    r.nextDetail = [&data] { return NextFileHeading(data); };
    r.nextSubDetail = [&data] { return NextMatchLine(data); };
    return r;
}

Report MatchesReportSelectedFile(const std::string& header, const FileRow& selected, const std::vector<MatchLine>& shownLines,
                                 ReportData& data)
{
    Report r = matchesLayout(header);
    auto supplied = std::make_shared<bool>(false);
    r.nextDetail = [&data, selected, shownLines, supplied]() -> std::optional<Record> {
        if (*supplied)
            return std::nullopt;
        *supplied = true;
        data.lines = shownLines;
        data.lineIndex = -1;
        return Record{FileHeading(selected)};
    };
    r.nextSubDetail = [&data] { return NextMatchLine(data); };
    return r;
}

} // namespace qv::reports
