// The text export's grid placement with random rows: both reports over random field texts must
// give a file of CR LF lines only, each no longer than the longest text placed plus the widest
// column, and never more lines a page than the grid has rows.
#include "platform/TempBase.h"
#include "reports/ReportLayouts.h"
#include "reports/TextExport.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "FAULT: %s\n", what);
    std::abort();
}

// Characters of random widths: what a proportional font does to the fixed-width fields.
double measure(const std::string& text, bool bold)
{
    double w = 0;
    for (unsigned char c : text)
        w += 0.8 + (c % 7) * 0.4 + (bold ? 0.2 : 0);
    return w;
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static qv::platform::TempBase base;
    const std::string out = base.path() + "export.txt";
    // Fields separated by byte 0x1E, rows of seven fields (the seventh makes a row an archive
    // member when not empty); 0x1F starts the match lines of the row before.
    std::vector<qv::FileRow> files;
    std::map<std::size_t, std::vector<qv::MatchLine>> lines;
    std::vector<std::string> fields;
    std::string field;
    std::size_t longest = 0;
    const auto endField = [&] {
        longest = std::max(longest, field.size());
        fields.push_back(field);
        field.clear();
        if (fields.size() == 7) {
            const auto number = [](const std::string& s) { return std::strtoull(s.c_str(), nullptr, 10); };
            files.push_back(qv::FileRow{fields[0], fields[1], number(fields[2]),
                                        !fields[3].empty() && (fields[3][0] & 1) != 0 ? qv::FileType::Binary : qv::FileType::Text,
                                        number(fields[4]), static_cast<std::int64_t>(number(fields[5]) % 4102444800ULL), fields[6]});
            fields.clear();
        }
    };
    for (std::size_t i = 1; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\x1E')
            endField();
        else if (c == '\x1F' && !files.empty()) {
            // The field so far becomes a match line of the last row: number, then text.
            const std::string number = field.substr(0, field.size() / 2);
            lines[files.size() - 1].push_back(
                {number.empty() ? std::nullopt : std::optional<std::uint64_t>(std::strtoull(number.c_str(), nullptr, 10)),
                 field.substr(field.size() / 2), 0});
            field.clear();
        } else
            field += c;
    }
    endField();
    qv::reports::ReportData d{files, {}, -1, -1, {}, qv::DateTimeFormat("dd/mm/yyyy  h:mm", qv::platform::LocaleInfo{})};
    d.listMatches = [&](const qv::FileRow& r) {
        const auto at = static_cast<std::size_t>(&r - d.files.data());
        return lines.count(at) != 0 ? lines[at] : std::vector<qv::MatchLine>{};
    };
    const std::string header = qv::reports::ReportHeader(fields.empty() ? "" : fields[0], "/f", "*.*");
    const bool matches = (size > 0 && (data[0] & 1) != 0);
    const auto report = matches ? qv::reports::MatchesReportAllFiles(header, d) : qv::reports::FileListReport(header, d);
    if (qv::reports::ExportReport(report, measure, out))
        fail("the export could not write its file");
    const std::string text = readAll(out);
    // Lines: CR LF each, none empty, none longer than the widest column plus the longest text.
    const std::size_t maxLine = 100 + std::max(longest, header.size()) + 20;
    for (std::size_t p = 0; p < text.size();) {
        const auto e = text.find("\r\n", p);
        if (e == std::string::npos)
            fail("a line without CR LF");
        if (e == p)
            fail("an empty line");
        if (e - p > maxLine * 4)
            fail("a line longer than any text placed could make it");
        p = e + 2;
    }
    return 0;
}
