#pragma once

#include "ReportEngine.h"

#include <cstdint>
#include <vector>

namespace qv::reports {

// A report laid out once and kept, page by page, to be sent to another destination later: the
// preview lays a report out on a thread of its own and paints it, quickly, whenever it is asked.
class ReportRecording final : public Destination {
public:
    // Keeps at most `keepBytes` of each text (whole UTF-8 characters): no more than the
    // destination it is meant for would show, so long lines cost no memory.
    explicit ReportRecording(std::size_t keepBytes = SIZE_MAX) : keepBytes_(keepBytes) { }

    void begin(const PageSetup& page) override;
    void startPage(int number) override;
    void placeText(const PlacedText& text) override;
    void endBand() override;
    void endPage() override { }
    void end() override { }

    [[nodiscard]] int pageCount() const { return static_cast<int>(pages_.size()); }
    // Sends the report, as it was laid out, to `destination`.
    void replay(Destination& destination) const;

private:
    // A page's texts, and after which of them each band ended.
    struct Page {
        std::vector<PlacedText> texts;
        std::vector<std::size_t> bandEnds;
    };
    std::size_t keepBytes_;
    PageSetup setup_{};
    std::vector<Page> pages_;
};

} // namespace qv::reports
