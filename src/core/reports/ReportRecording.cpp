#include "ReportRecording.h"

namespace qv::reports {

void ReportRecording::begin(const PageSetup& page)
{
    setup_ = page;
    pages_.clear();
}

void ReportRecording::startPage(int)
{
    pages_.emplace_back();
}

void ReportRecording::placeText(const PlacedText& text)
{
    if (!pages_.empty())
        pages_.back().texts.push_back(text);
}

void ReportRecording::endBand()
{
    if (!pages_.empty())
        pages_.back().bandEnds.push_back(pages_.back().texts.size());
}

void ReportRecording::replay(Destination& destination) const
{
    destination.begin(setup_);
    int number = 0;
    for (const Page& page : pages_) {
        destination.startPage(++number);
        std::size_t band = 0;
        for (std::size_t i = 0; i < page.texts.size(); ++i) {
            for (; band < page.bandEnds.size() && page.bandEnds[band] == i; ++band)
                destination.endBand();
            destination.placeText(page.texts[i]);
        }
        for (; band < page.bandEnds.size(); ++band)
            destination.endBand();
        destination.endPage();
    }
    destination.end();
}

} // namespace qv::reports
