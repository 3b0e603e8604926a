#pragma once

#include "LocaleInfo.h"

#include <string_view>

namespace qv::platform {

// The user's regional settings as the C library has them from the environment (LC_ALL, LC_TIME,
// LC_NUMERIC, LANG): the window and qvsearch read the same.
LocaleInfo SystemLocaleInfo();

// The same from a locale's date and time formats in strftime's notation and its decimal
// separator ("%d.%m.%Y", "%H:%M:%S", ",").
LocaleInfo LocaleInfoFromFormats(std::string_view dateFormat, std::string_view timeFormat, std::string_view decimalSeparator);

} // namespace qv::platform
