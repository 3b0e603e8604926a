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
    // Seconds since the epoch of a text in this format; 1 January 1980 00:00 when unreadable.
    [[nodiscard]] std::time_t Parse(std::string_view text) const;
    // A number that orders texts of this format by the local date and time they show (no time
    // zone arithmetic, so sorting many rows stays cheap); unreadable texts as 1 January 1980.
    [[nodiscard]] std::int64_t SortKey(std::string_view text) const;
    // 1 January 1980 00:00, local time: the date of a file whose date cannot be read.
    static std::time_t UnknownDate();

private:
    struct Fields {
        int year, month, day, hour, minute;
    };
    [[nodiscard]] std::optional<Fields> fields(std::string_view text) const;

    std::string pattern_;
    platform::LocaleInfo locale_;
};

} // namespace qv
