#include "ReportFont.h"

#include "widgets/Text.h"

#include <QFontMetricsF>
#include <QImage>

#include <algorithm>

namespace qv::reports {
namespace {

constexpr int kMeasureDpi = 600;

QImage measuringDevice()
{
    QImage image(1, 1, QImage::Format_Mono);
    const int dotsPerMetre = static_cast<int>(kMeasureDpi / 0.0254 + 0.5);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

} // namespace

struct ReportFont::Metrics {
    QImage device;
    QFontMetricsF regular;
    QFontMetricsF bold;
    Metrics(const QFont& r, const QFont& b) : device(measuringDevice()), regular(r, &device), bold(b, &device) { }
};

ReportFont::ReportFont(const std::string& family, int pointSize) : regular_(ToQString(family), std::max(1, pointSize))
{
    // Unhinted, so that widths, and where fixed-width fields are cut, do not depend on the
    // display's font settings: the window and qvsearch export the same bytes.
    regular_.setHintingPreference(QFont::PreferNoHinting);
    regular_.setBold(false);
    bold_ = regular_;
    bold_.setBold(true);
    metrics_ = std::make_shared<const Metrics>(regular_, bold_);
}

Measure ReportFont::measure() const
{
    return [metrics = metrics_](const std::string& text, bool bold) {
        const QFontMetricsF& m = bold ? metrics->bold : metrics->regular;
        return m.horizontalAdvance(ToQString(text)) * 25.4 / kMeasureDpi;
    };
}

} // namespace qv::reports
