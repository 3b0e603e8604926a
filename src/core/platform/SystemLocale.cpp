#include "SystemLocale.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace qv::platform {
namespace {

// The formats written out: %D and %F are their long forms, %x and %X what the locale says.
std::string expanded(std::string_view format)
{
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            const char c = format[i + 1];
            if (c == 'D') {
                out += "%m/%d/%y";
                ++i;
                continue;
            }
            if (c == 'F') {
                out += "%Y-%m-%d";
                ++i;
                continue;
            }
            if (c == 'T') {
                out += "%H:%M:%S";
                ++i;
                continue;
            }
            if (c == 'r') {
                out += "%I:%M:%S %p";
                ++i;
                continue;
            }
            if (c == 'R') {
                out += "%H:%M";
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

// The short date pattern in letters (day d, month M, year y) as the date format orders them.
std::string datePattern(std::string_view format)
{
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        std::size_t j = i + 1;
        while (j < format.size() && (format[j] == '-' || format[j] == '_' || format[j] == '0' || format[j] == 'E' || format[j] == 'O'))
            ++j;
        if (j >= format.size())
            break;
        switch (format[j]) {
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += "MM"; break;
        case 'b':
        case 'h': out += "MMM"; break;
        case 'B': out += "MMMM"; break;
        case 'y': out += "yy"; break;
        case 'Y': out += "yyyy"; break;
        default: break;
        }
        i = j;
    }
    return out;
}

// The first character between two conversions that is no blank: the format's separator.
std::string separatorOf(std::string_view format, const char* fallback)
{
    bool afterConversion = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%') {
            ++i;
            afterConversion = true;
            continue;
        }
        if (afterConversion && format[i] != ' ')
            return std::string(1, format[i]);
    }
    return fallback;
}

} // namespace

LocaleInfo LocaleInfoFromFormats(std::string_view dateFormat, std::string_view timeFormat, std::string_view decimalSeparator)
{
    const std::string date = expanded(dateFormat);
    const std::string time = expanded(timeFormat);
    LocaleInfo info;
    info.shortDatePattern = datePattern(date);
    info.timeFormat = time;
    info.twelveHourClock = time.find("%I") != std::string::npos || time.find("%l") != std::string::npos ||
                           time.find("%p") != std::string::npos || time.find("%P") != std::string::npos;
    info.dateSeparator = separatorOf(date, "/");
    info.timeSeparator = separatorOf(time, ":");
    info.decimalSeparator = decimalSeparator.empty() ? std::string(".") : std::string(decimalSeparator);
    return info;
}

LocaleInfo SystemLocaleInfo()
{
    // A locale object of its own: the program's global locale is left as it is.
    locale_t loc = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr))
        loc = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const LocaleInfo info =
        LocaleInfoFromFormats(::nl_langinfo_l(D_FMT, loc), ::nl_langinfo_l(T_FMT, loc), ::nl_langinfo_l(RADIXCHAR, loc));
    ::freelocale(loc);
    return info;
}

} // namespace qv::platform
