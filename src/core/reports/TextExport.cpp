#include "TextExport.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv::reports {
namespace {

// Rows hold characters, not bytes, so a name with accents keeps its columns. Bytes that are not
// UTF-8 (file names may hold any) pass through as U+DC80..U+DCFF and are written back unchanged.
std::u32string decode(const std::string& s)
{
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (const auto c = platform::DecodeUtf8(std::string_view(s).substr(i))) {
            out += c->code;
            i += c->length;
        } else {
            out += static_cast<char32_t>(0xDC00 + static_cast<unsigned char>(s[i]));
            ++i;
        }
    }
    return out;
}

void encode(const std::u32string& s, std::string& out)
{
    for (char32_t c : s) {
        if (c >= 0xDC80 && c <= 0xDCFF)
            out += static_cast<char>(c - 0xDC00);
        else
            platform::AppendUtf8(out, c);
    }
}

} // namespace

TextExport::TextExport(std::string fileName, double baseFontPoints)
    : fileName_(std::move(fileName)), cellHeight_(baseFontPoints * 254.0 / 72.0), rows_(kBufferRows)
{
}

void TextExport::begin(const PageSetup& page)
{
    rowsPerPage_ = static_cast<int>(RoundHalfEven(page.length * 10 / cellHeight_));
    file_.reset(::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file_)
        fail();
}

void TextExport::fail()
{
    if (!failed_)
        error_ = std::strerror(errno);
    failed_ = true;
}

void TextExport::startPage(int)
{
    for (auto& row : rows_)
        row.clear();
    shift_ = 0;
    earlierBands_ = -1;
    thisBand_ = -1;
}

void TextExport::placeText(const PlacedText& t)
{
    const double r = RoundHalfEven(t.y / cellHeight_);
    if (r < 0 || r >= kBufferRows)
        return; // beyond the page buffer: never written
    int at = static_cast<int>(r) + shift_;
    if (at <= earlierBands_) {
        shift_ += earlierBands_ + 1 - at;
        at = earlierBands_ + 1;
    }
    if (at >= kBufferRows)
        return;
    thisBand_ = std::max(thisBand_, at);

    Placed p;
    p.row = at;
    p.text = decode(t.text);
    p.value = t.value;
    const auto length = static_cast<long long>(p.text.size());
    const double q = t.x / cellHeight_ * 1.7; // the field's edge as a 1-based column
    // A text that would start left of the page starts at its first column.
    const auto k = static_cast<long long>(RoundHalfEven(t.align == Align::Right ? q - static_cast<double>(length) : q));
    p.column = std::max(0LL, k - 1);
    p.padTo = std::max(0LL, k);
    const long long cells = t.width ? static_cast<long long>(RoundHalfEven(*t.width / cellHeight_ * 1.7)) : length;
    p.fieldStart = t.align == Align::Right ? k - 1 + length - cells : k - 1;
    p.fieldEnd = p.fieldStart + cells;
    // A text field cut to its width on paper may still run past its cells here: that part is the
    // next field's to overwrite. A value is never cut, and a field without a width is as wide as
    // its text.
    const bool ownsAll = t.value || !t.width;
    p.ownStart = ownsAll ? p.column : std::max(p.column, p.fieldStart);
    p.ownEnd = ownsAll ? p.end() : std::min(p.end(), p.fieldEnd);
    band_.push_back(std::move(p));
}

// A value wider than its field takes the room it needs, but never cells that another field of
// the band holds: where it would, it moves right of them (a right-aligned value growing to the
// left) or moves them right of itself (a left-aligned one growing to the right), one blank
// between, and the fields after it on the row move along. Where nothing collides every text
// stays where its field puts it. The texts are then written in the order they were placed.
void TextExport::layOutBand()
{
    std::vector<Placed*> order;
    for (Placed& p : band_)
        order.push_back(&p);
    std::stable_sort(order.begin(), order.end(),
                     [](const Placed* a, const Placed* b) { return a->row != b->row ? a->row < b->row : a->fieldStart < b->fieldStart; });
    long long moved = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        Placed& t = *order[i];
        if (i > 0 && order[i - 1]->row != t.row)
            moved = 0;
        t.moveBy(moved);
        if (t.text.empty())
            continue; // takes no room, and needs none
        long long by = 0;
        for (std::size_t j = i; j-- > 0 && order[j]->row == t.row;) {
            const Placed& p = *order[j];
            if (p.text.empty())
                continue;
            // p, a value, runs past its field onto t's cells.
            if (p.value && p.end() > p.fieldEnd && p.end() > t.ownStart && p.column < t.ownEnd)
                by = std::max(by, p.end() + 1 - t.ownStart);
            // t, a value, runs left of its field onto p's cells.
            if (t.value && t.column < t.fieldStart && p.ownEnd > t.column && p.ownStart < t.fieldStart)
                by = std::max(by, p.ownEnd + 1 - t.column);
        }
        t.moveBy(by);
        t.blankBefore = by > 0;
        moved += by;
    }
    for (const Placed& p : band_) {
        std::u32string& row = rows_[static_cast<std::size_t>(p.row)];
        if (p.text.empty()) {
            // An empty field still pads its row up to its column, blank included.
            if (row.size() < static_cast<std::size_t>(p.padTo))
                row.resize(static_cast<std::size_t>(p.padTo), ' ');
            continue;
        }
        const auto column = static_cast<std::size_t>(p.column);
        if (row.size() < column)
            row.resize(column, ' ');
        if (p.blankBefore)
            row[column - 1] = ' ';
        row.replace(column, std::min(p.text.size(), row.size() - column), p.text);
    }
    band_.clear();
}

void TextExport::endBand()
{
    layOutBand();
    earlierBands_ = std::max(earlierBands_, thisBand_);
    thisBand_ = -1;
}

std::string TextExport::bufferRow(int r) const
{
    std::string out;
    if (r >= 0 && r < kBufferRows)
        encode(rows_[static_cast<std::size_t>(r)], out);
    return out;
}

void TextExport::endPage()
{
    if (!band_.empty())
        endBand();
    if (!file_)
        return;
    std::string page;
    // The rows of the page, and those its texts were moved down onto.
    for (int r = 0; r < rowsPerPage_ + shift_ && r < kBufferRows; ++r) {
        const std::u32string& row = rows_[static_cast<std::size_t>(r)];
        if (row.empty())
            continue;
        encode(row, page);
        page += "\r\n";
    }
    for (std::size_t done = 0; !failed_ && done < page.size();) {
        const ssize_t n = ::write(file_.get(), page.data() + done, page.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            fail();
        else
            done += static_cast<std::size_t>(n);
    }
}

void TextExport::end()
{
    // Closing is where a full disk may show.
    if (file_ && ::close(file_.release()) != 0)
        fail();
}

std::optional<std::string> ExportReport(const Report& report, const Measure& measure, const std::string& fileName,
                                        const PageCallback& beforePage)
{
    TextExport out(fileName);
    if (!RunReport(report, measure, out, beforePage)) {
        std::remove(fileName.c_str()); // half a report is no report
        return std::nullopt;
    }
    if (out.succeeded())
        return std::nullopt;
    return "Cannot write the file \"" + fileName + "\": " + out.error() + ".";
}

} // namespace qv::reports
