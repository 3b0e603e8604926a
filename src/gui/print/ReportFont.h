#pragma once

#include "reports/ReportEngine.h"

#include <QFont>

#include <memory>
#include <string>

namespace qv::reports {

// The print font of the reports in its two styles, and the measure the layouts wrap fixed-width
// fields with. Needs a QGuiApplication (the offscreen platform will do).
class ReportFont {
public:
    ReportFont(const std::string& family, int pointSize);

    [[nodiscard]] QFont font(bool bold) const { return bold ? bold_ : regular_; }
    // Text widths in millimetres, measured at 600 dots per inch so that rounding to device pixels
    // does not decide where a field is cut.
    [[nodiscard]] Measure measure() const;

private:
    QFont regular_;
    QFont bold_;
    struct Metrics;
    std::shared_ptr<const Metrics> metrics_;
};

} // namespace qv::reports
