#include "ReportEngine.h"

#include "platform/Utf8.h"

#include <cfenv>
#include <algorithm>
#include <cmath>

namespace qv::reports {
namespace {

// Byte length of the UTF-8 character starting at s[i] (1 for anything malformed).
std::size_t charLength(const std::string& s, std::size_t i)
{
    const auto c = platform::DecodeUtf8(std::string_view(s).substr(i));
    return c ? c->length : 1;
}

} // namespace

double RoundHalfEven(double v)
{
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(mode);
    return r;
}

std::string PrintedLine(const std::string& text, const FieldSpec& field, const Measure& measure)
{
    if (!field.width || field.value) {
        std::string line;
        line.reserve(std::min(text.size(), text.find('\r')));
        for (char c : text) {
            if (c == '\r')
                break;
            if (c != '\n')
                line += c;
        }
        return line;
    }
    // The first of the wrapped lines: the longest run of whole words that fits, or, when not even
    // the first word fits, that word cut after its last character that does. The widths of
    // prefixes grow with their length, so both are found by bisection: a 10,000-character
    // directory costs a few measurements, not thousands.
    const std::string first = text.substr(0, text.find_first_of("\r\n"));
    const double width = *field.width;
    const auto fits = [&](std::size_t n) { return measure(first.substr(0, n), field.bold) <= width; };
    const auto longestFitting = [&](const std::vector<std::size_t>& ends) -> std::optional<std::size_t> {
        std::size_t lo = 0, hi = ends.size(); // ends[0, lo) fit; ends[hi, ...) do not
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (fits(ends[mid]))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo == 0 ? std::nullopt : std::optional<std::size_t>(ends[lo - 1]);
    };

    // Word ends that leave some text on the line (leading blanks alone are not a word).
    const std::size_t textStart = first.find_first_not_of(' ');
    if (textStart == std::string::npos)
        return {};
    std::vector<std::size_t> wordEnds;
    for (std::size_t p = first.find(' ', textStart); p != std::string::npos; p = first.find(' ', p + 1))
        if (first[p - 1] != ' ')
            wordEnds.push_back(p);
    if (first.back() != ' ')
        wordEnds.push_back(first.size());
    if (const auto end = longestFitting(wordEnds))
        return first.substr(0, *end);

    std::vector<std::size_t> charEnds;
    for (std::size_t i = 0; i < wordEnds.front();) {
        i += charLength(first, i);
        charEnds.push_back(std::min(i, wordEnds.front()));
    }
    return first.substr(0, longestFitting(charEnds).value_or(0));
}

bool RunReport(const Report& report, const Measure& measure, Destination& destination, const PageCallback& beforePage)
{
    const PageSetup& page = report.page;
    const double left = RoundHalfEven(page.left * 10);
    const double bottomLimit = page.length * 10 - page.bottom * 10;
    const auto rounded = [](double mm) { return RoundHalfEven(mm * 10); };
    int pageNumber = 0;
    double pos = 0;

    const auto place = [&](const Band& band, const Record& texts) {
        for (std::size_t i = 0; i < band.fields.size() && i < texts.size(); ++i) {
            const FieldSpec& f = band.fields[i];
            destination.placeText(PlacedText{left + f.edge * 10, pos + f.top * 10, f.align, PrintedLine(texts[i], f, measure), f.bold,
                                             f.width ? std::optional<double>(*f.width * 10) : std::nullopt, f.value});
        }
        destination.endBand();
        pos += rounded(band.height);
    };
    const auto newPage = [&] {
        if (beforePage && !beforePage(pageNumber + 1))
            return false;
        if (pageNumber > 0)
            destination.endPage();
        ++pageNumber;
        destination.startPage(pageNumber);
        pos = page.top * 10;
        place(report.pageHeader, report.pageHeaderTexts(pageNumber));
        return true;
    };
    const auto fits = [&](const Band& band) { return pos + rounded(band.height) <= bottomLimit; };

    destination.begin(page);
    bool completed = true;
    while (completed) {
        auto record = report.nextDetail();
        if (!record)
            break;
        if ((pageNumber == 0 || !fits(report.detail)) && !(completed = newPage()))
            break;
        place(report.detail, *record);
        if (!report.subDetail)
            continue;
        while (auto sub = report.nextSubDetail()) {
            if (!fits(*report.subDetail) && !(completed = newPage()))
                break;
            place(*report.subDetail, *sub);
        }
    }
    if (pageNumber > 0)
        destination.endPage();
    destination.end();
    return completed;
}

} // namespace qv::reports
