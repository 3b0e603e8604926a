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
    if (pages_.empty())
        return;
    pages_.back().texts.push_back(text);
    std::string& kept = pages_.back().texts.back().text;
    if (kept.size() > keepBytes_) {
        std::size_t cut = keepBytes_;
        while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
        kept.resize(cut);
    }
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
