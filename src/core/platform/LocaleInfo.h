#pragma once

#include <string>

namespace qv::platform {

// The user's regional settings as the core needs them. The window fills this from the system
// locale; tests fill it by hand.
struct LocaleInfo {
    std::string shortDatePattern = "M/d/yyyy"; // e.g. "dd.MM.yyyy"; its first letter orders the date
    std::string timeFormat = "h:mm:ss AP"; // a 12-hour clock shows AM/PM
    bool twelveHourClock = true;
    std::string dateSeparator = "/";
    std::string timeSeparator = ":";
    std::string decimalSeparator = ".";
};

} // namespace qv::platform
