#pragma once

#include "reports/ReportEngine.h"
#include "ReportFont.h"

#include <QPainter>

class QPrinter;

namespace qv::reports {

// Paints a report on a printer (a real one, a PDF file, or the preview's): Letter paper in the
// report's own orientation, positions from the paper's edges, black text on white.
class PainterDestination final : public Destination {
public:
    // No field reaches past the paper's width with a legible font; longer texts are cut before
    // shaping so that a 100,000-character line costs no more than a short one.
    static constexpr int kMaxPaintedChars = 1000;

    PainterDestination(QPrinter& printer, const ReportFont& font);

    void begin(const PageSetup& page) override;
    void startPage(int number) override;
    void placeText(const PlacedText& text) override;
    void endPage() override { }
    void end() override;
    // Throws away what was printed so far (a cancelled print).
    void abort();

    // False when the printer could not be started or a page could not be begun.
    [[nodiscard]] bool succeeded() const { return ok_; }

private:
    QPrinter& printer_;
    const ReportFont& font_;
    QPainter painter_;
    double scale_ = 1; // device pixels per tenth of a millimetre
    bool ok_ = true;
};

} // namespace qv::reports
