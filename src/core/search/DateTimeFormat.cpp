#include "DateTimeFormat.h"

#include <cctype>

namespace qv {
namespace {

constexpr std::string_view kFallbackDate = "yyyy/mm/dd  h:mm";

bool startsWith(std::string_view s, std::size_t at, std::string_view token)
{
    return s.substr(at, token.size()) == token;
}

std::string twoDigits(int v)
{
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

// The tokens of a pattern, read left to right; calls visit(kind, literal) for each.
enum class Token { Day, Month, Year, Hour, Minute, AmPm, DateSep, TimeSep, Literal };

template <class Visit> void tokens(std::string_view p, Visit&& visit)
{
    bool afterHour = false;
    for (std::size_t i = 0; i < p.size();) {
        if (startsWith(p, i, "am/pm")) {
            visit(Token::AmPm, std::string_view());
            i += 5;
        } else if (startsWith(p, i, "yyyy")) {
            visit(Token::Year, std::string_view());
            i += 4;
        } else if (startsWith(p, i, "dd")) {
            visit(Token::Day, std::string_view());
            i += 2;
        } else if (startsWith(p, i, "mm")) {
            visit(afterHour ? Token::Minute : Token::Month, std::string_view());
            i += 2;
        } else if (p[i] == 'h') {
            visit(Token::Hour, std::string_view());
            afterHour = true;
            ++i;
        } else if (p[i] == '/') {
            visit(Token::DateSep, std::string_view());
            ++i;
        } else if (p[i] == ':') {
            visit(Token::TimeSep, std::string_view());
            ++i;
        } else {
            visit(Token::Literal, p.substr(i, 1));
            ++i;
        }
    }
}

std::string effective(const std::string& pattern)
{
    if (pattern.find("yyyy") != std::string::npos)
        return pattern;
    std::string p(kFallbackDate);
    if (pattern.find("am/pm") != std::string::npos)
        p += "am/pm";
    return p;
}

} // namespace

std::string ChooseDateTimeFormat(const platform::LocaleInfo& locale, std::string current)
{
    // The clock is the locale's as it is now: an earlier choice's "am/pm" is not kept (nor added
    // twice when the date part stays).
    while (current.ends_with("am/pm"))
        current.resize(current.size() - 5);
    if (!locale.shortDatePattern.empty()) {
        switch (std::toupper(static_cast<unsigned char>(locale.shortDatePattern.front()))) {
        case 'M': current = "mm/dd/yyyy  h:mm"; break;
        case 'D': current = "dd/mm/yyyy  h:mm"; break;
        case 'Y': current = "yyyy/mm/dd  h:mm"; break;
        default: break;
        }
    }
    if (locale.twelveHourClock)
        current += "am/pm";
    return current;
}

DateTimeFormat::DateTimeFormat(std::string pattern, platform::LocaleInfo locale) : pattern_(effective(pattern)), locale_(std::move(locale))
{
}

std::string DateTimeFormat::Format(std::time_t t) const
{
    std::tm tm{};
    localtime_r(&t, &tm);
    const bool twelve = pattern_.find("am/pm") != std::string::npos;
    std::string out;
    tokens(pattern_, [&](Token k, std::string_view lit) {
        switch (k) {
        case Token::Day: out += twoDigits(tm.tm_mday); break;
        case Token::Month: out += twoDigits(tm.tm_mon + 1); break;
        case Token::Year: out += std::to_string(tm.tm_year + 1900); break;
        case Token::Hour: out += std::to_string(twelve ? (tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12) : tm.tm_hour); break;
        case Token::Minute: out += twoDigits(tm.tm_min); break;
        case Token::AmPm: out += tm.tm_hour < 12 ? "am" : "pm"; break;
        case Token::DateSep: out += locale_.dateSeparator; break;
        case Token::TimeSep: out += locale_.timeSeparator; break;
        case Token::Literal: out += lit; break;
        }
    });
    return out;
}

std::optional<DateTimeFormat::Fields> DateTimeFormat::fields(std::string_view text) const
{
    Fields f{0, 0, 0, 0, 0};
    bool pm = false, twelve = false, ok = true;
    std::size_t at = 0;
    auto number = [&](std::size_t maxDigits, int& value) {
        std::size_t n = 0;
        value = 0;
        while (at < text.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(text[at]))) {
            value = value * 10 + (text[at] - '0');
            ++at;
            ++n;
        }
        ok = ok && n > 0;
    };
    auto literal = [&](std::string_view s) {
        ok = ok && text.substr(at, s.size()) == s;
        at += s.size();
    };
    tokens(pattern_, [&](Token k, std::string_view lit) {
        if (!ok)
            return;
        switch (k) {
        case Token::Day: number(2, f.day); break;
        case Token::Month: number(2, f.month); break;
        case Token::Year: number(4, f.year); break;
        case Token::Hour: number(2, f.hour); break;
        case Token::Minute: number(2, f.minute); break;
        case Token::AmPm:
            twelve = true;
            if (text.substr(at, 2) == "am" || text.substr(at, 2) == "pm")
                pm = text.substr(at, 2) == "pm";
            else
                ok = false;
            at += 2;
            break;
        case Token::DateSep: literal(locale_.dateSeparator); break;
        case Token::TimeSep: literal(locale_.timeSeparator); break;
        case Token::Literal: literal(lit); break;
        }
    });
    if (!ok || at != text.size() || f.day < 1 || f.day > 31 || f.month < 1 || f.month > 12 || f.hour > 23 || f.minute > 59 ||
        (twelve && (f.hour < 1 || f.hour > 12)))
        return std::nullopt;
    if (twelve)
        f.hour = (f.hour % 12) + (pm ? 12 : 0);
    return f;
}

std::optional<std::time_t> DateTimeFormat::Parse(std::string_view text) const
{
    const auto f = fields(text);
    if (!f)
        return std::nullopt;
    std::tm tm{};
    tm.tm_isdst = -1;
    tm.tm_year = f->year - 1900;
    tm.tm_mon = f->month - 1;
    tm.tm_mday = f->day;
    tm.tm_hour = f->hour;
    tm.tm_min = f->minute;
    // mktime's -1 is also the last second of 1969, which no minute-exact text names.
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? std::nullopt : std::optional<std::time_t>(t);
}

} // namespace qv
