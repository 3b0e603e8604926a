#pragma once

#include "platform/LocaleInfo.h"

class QLocale;

namespace qv {

// The regional settings the core needs, read from a Qt locale (the system's by default, which
// follows LC_ALL, LC_TIME and LANG).
platform::LocaleInfo LocaleInfoFrom(const QLocale& locale);
platform::LocaleInfo SystemLocaleInfo();

} // namespace qv
