#include "TextExport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv::reports {
namespace {

// Rows hold characters, not bytes, so a name with accents keeps its columns. Bytes that are not
// UTF-8 (file names may hold any) pass through as U+DC80..U+DCFF and are written back unchanged.
std::u32string decode(const std::string& s)
{
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = n != 0 && i + n <= s.size();
        for (std::size_t k = 1; ok && k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8 either.
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && cp >= kMin[n] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!ok) {
            out += static_cast<char32_t>(0xDC00 + b);
            ++i;
            continue;
        }
        out += cp;
        i += n;
    }
    return out;
}

void encode(const std::u32string& s, std::string& out)
{
    for (char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += static_cast<char>(c - 0xDC00);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

} // namespace

TextExport::TextExport(std::string fileName, double baseFontPoints)
    : fileName_(std::move(fileName)), cellHeight_(baseFontPoints * 254.0 / 72.0), rows_(kBufferRows)
{
}

TextExport::~TextExport()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

void TextExport::begin(const PageSetup& page)
{
    rowsPerPage_ = static_cast<int>(RoundHalfEven(page.length * 10 / cellHeight_));
    file_ = std::fopen(fileName_.c_str(), "wbe");
    if (file_ == nullptr)
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

void TextExport::endBand()
{
    earlierBands_ = std::max(earlierBands_, thisBand_);
    thisBand_ = -1;
}

void TextExport::placeText(double x, double y, Align align, const std::string& utf8, bool)
{
    const std::u32string text = decode(utf8);
    const double r = RoundHalfEven(y / cellHeight_);
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
    std::u32string& row = rows_[static_cast<std::size_t>(at)];
    double q = x / cellHeight_ * 1.7;
    if (align == Align::Right)
        q -= static_cast<double>(text.size());
    const auto k = static_cast<long long>(RoundHalfEven(q));
    if (q > static_cast<double>(row.size()) && k > static_cast<long long>(row.size()))
        row.resize(static_cast<std::size_t>(k), ' ');
    // Overwrite in place from column k (1-based); a k below 1 writes at the start.
    const std::size_t column = k < 1 ? 0 : static_cast<std::size_t>(k - 1);
    const std::size_t start = std::min(column, row.size());
    row.erase(start, std::min(text.size(), row.size() - start));
    row.insert(start, text);
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
    if (file_ == nullptr)
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
    if (!failed_ && std::fwrite(page.data(), 1, page.size(), file_) != page.size())
        fail();
}

void TextExport::end()
{
    if (file_ != nullptr) {
        if (std::fclose(file_) != 0)
            fail();
        file_ = nullptr;
    }
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
