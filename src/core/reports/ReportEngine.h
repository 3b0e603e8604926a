#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::reports {

enum class Align { Left, Right };

// A text field of a band. Positions in millimetres from the band's top left corner; `edge` is the
// left edge, or for a right-aligned field the edge its text ends at. A field without a width
// grows with its text; so does a value field (a number or a date) whose text is wider than its
// width, since a cut value reads as another value.
struct FieldSpec {
    double edge;
    double top;
    Align align;
    std::optional<double> width;
    bool bold;
    bool value = false;
};

struct Band {
    double height; // millimetres
    std::vector<FieldSpec> fields;
};

struct PageSetup {
    double width, length; // the paper in millimetres, as laid out (landscape: the long side across)
    bool landscape;
    double top, bottom, left, right; // margins
};

// A field's text as placed on the page. Positions are tenths of a millimetre from the paper's
// left and top edges; x is the field's left edge, or its right edge when it is right-aligned; y
// is the top of the printed line.
struct PlacedText {
    double x = 0;
    double y = 0;
    Align align = Align::Left;
    std::string text;
    bool bold = false;
    std::optional<double> width; // the field's, in tenths of a millimetre; none: as wide as its text
    bool value = false; // a number or a date: never cut, so it may be wider than its field
};

// Where a report goes: the printer, the preview, or the text export.
class Destination {
public:
    virtual ~Destination() = default;
    virtual void begin(const PageSetup& page) = 0;
    virtual void startPage(int number) = 0;
    virtual void placeText(const PlacedText& text) = 0;
    virtual void endBand() { } // the texts placed since the last call were one band's
    virtual void endPage() = 0;
    virtual void end() = 0;
};

// The width of a text in the print font, in millimetres (bold or regular).
using Measure = std::function<double(const std::string& text, bool bold)>;

// The line a field prints: a growing field or a value field its text up to the first CR (LFs
// dropped); any other fixed-width field the first line of its text wrapped at its width between
// words, a first word wider than the field cut after the last character that fits.
std::string PrintedLine(const std::string& text, const FieldSpec& field, const Measure& measure);

// Rounds to the nearest whole number, halves to the even neighbour.
double RoundHalfEven(double v);

// A record of a band: the texts of its fields, in the order of the fields.
using Record = std::vector<std::string>;

// A banded report: a page header on every page; a detail band per record of its source; after
// each detail, a sub-detail band per record of the sub-source, which is restarted for each detail
// record. A band that does not fit above the bottom margin starts a new page. A source that
// supplies nothing prints nothing, not even an empty page.
struct Report {
    PageSetup page;
    Band pageHeader;
    std::function<Record(int pageNumber)> pageHeaderTexts;
    Band detail;
    std::function<std::optional<Record>()> nextDetail;
    std::optional<Band> subDetail;
    std::function<std::optional<Record>()> nextSubDetail; // restarts itself after a detail record
};

// Asked before each page with its number; false stops the report before that page.
using PageCallback = std::function<bool(int pageNumber)>;

// Lays the report out into the destination. Returns false when `beforePage` stopped it; the
// pages so far are ended and the destination closed either way.
bool RunReport(const Report& report, const Measure& measure, Destination& destination, const PageCallback& beforePage = {});

} // namespace qv::reports
