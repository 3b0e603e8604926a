#pragma once

#include "ReportEngine.h"
#include "platform/UniqueFd.h"

#include <optional>
#include <string>
#include <vector>

namespace qv::reports {

// The report as a text file laid out on a grid of character cells: a cell is as high as the base
// font (13 points: 45.8611 tenths of a millimetre), a column that divided by 1.7; each page's
// rows are written as lines ending in CR LF, empty rows left out, nothing between pages.
// The grid is coarser than the matches report's line band, so now and then a band's row is one
// an earlier band of the page already wrote: that band goes to the next row, and the rest of
// the page moves down with it, so no printed line is lost.
class TextExport final : public Destination {
public:
    static constexpr int kBufferRows = 201;

    explicit TextExport(std::string fileName, double baseFontPoints = 13);
    TextExport(const TextExport&) = delete;
    TextExport& operator=(const TextExport&) = delete;

    void begin(const PageSetup& page) override; // BeginExport: creates or empties the file
    void startPage(int number) override; // StartPage
    void placeText(const PlacedText& text) override; // PlaceText
    void endBand() override;
    void endPage() override; // WritePage
    void end() override; // EndExport

    // False when the file could not be created or fully written.
    [[nodiscard]] bool succeeded() const { return !failed_; }
    // Why it failed, as the system put it.
    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] int rowsPerPage() const { return rowsPerPage_; }
    // Row r of the page buffer as it stands (the last page's after the report), as written.
    [[nodiscard]] std::string bufferRow(int r) const;
    [[nodiscard]] double cellHeight() const { return cellHeight_; }

private:
    // A text of the band being placed, on its row, in columns counted from 0.
    struct Placed {
        int row = 0;
        std::u32string text;
        bool value = false;
        bool blankBefore = false; // moved to keep clear of another field: the cell before is a blank
        long long column = 0; // where the text starts
        long long padTo = 0; // the row's length at least, once an empty text is placed
        long long fieldStart = 0, fieldEnd = 0; // the cells of its field
        long long ownStart = 0, ownEnd = 0; // the cells no value of the band may overwrite
        [[nodiscard]] long long end() const { return column + static_cast<long long>(text.size()); }
        void moveBy(long long n)
        {
            column += n;
            fieldStart += n;
            fieldEnd += n;
            ownStart += n;
            ownEnd += n;
            padTo += n;
        }
    };

    void fail();
    void layOutBand();

    std::string fileName_;
    double cellHeight_;
    int rowsPerPage_ = 0;
    int shift_ = 0; // rows this page's texts have moved down
    int earlierBands_ = -1; // the last row that earlier bands of the page wrote
    int thisBand_ = -1; // the last row the band being placed wrote
    std::vector<Placed> band_; // placed since the band began
    std::vector<std::u32string> rows_;
    platform::UniqueFd file_;
    bool failed_ = false;
    std::string error_;
};

// Runs a report into a text file. Returns the message to show when the file could not be
// created or written (naming the file), nothing when it was. A report stopped by `beforePage`
// leaves no file behind.
std::optional<std::string> ExportReport(const Report& report, const Measure& measure, const std::string& fileName,
                                        const PageCallback& beforePage = {});

} // namespace qv::reports
