#pragma once

#include "platform/LocaleInfo.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The pattern the Date/Time column is written in, chosen from the regional settings: the first
// letter of the short date pattern picks "mm/dd/yyyy  h:mm", "dd/mm/yyyy  h:mm" or
// "yyyy/mm/dd  h:mm" (any other letter leaves `current` as it is), and a 12-hour clock appends
// "am/pm".
std::string ChooseDateTimeFormat(const platform::LocaleInfo& locale, std::string current);

// Writes and reads back texts in such a pattern: "dd", "mm", "yyyy" day, month, year; "h" the
// hour; "mm" after "h:" the minutes; "am/pm" a 12-hour clock; "/" and ":" are the locale's date
// and time separators. A pattern without a date part (nothing chosen yet) is written as
// "yyyy/mm/dd  h:mm", keeping its am/pm.
class DateTimeFormat {
public:
    DateTimeFormat(std::string pattern, platform::LocaleInfo locale);

    [[nodiscard]] std::string Format(std::time_t t) const;
    // Seconds since the epoch of a text in this format; nothing when it is not one.
    [[nodiscard]] std::optional<std::time_t> Parse(std::string_view text) const;

private:
    struct Fields {
        int year, month, day, hour, minute;
    };
    [[nodiscard]] std::optional<Fields> fields(std::string_view text) const;

    std::string pattern_;
    platform::LocaleInfo locale_;
};

} // namespace qv
