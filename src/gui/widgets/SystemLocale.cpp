#include "SystemLocale.h"

#include <QLocale>

namespace qv {
namespace {

// The first character of a format that is not a letter or a quote: its separator.
std::string separatorIn(const QString& format, const char* fallback)
{
    for (const QChar c : format)
        if (!c.isLetter() && c != QLatin1Char('\'') && c != QLatin1Char(' '))
            return QString(c).toStdString();
    return fallback;
}

} // namespace

platform::LocaleInfo LocaleInfoFrom(const QLocale& locale)
{
    platform::LocaleInfo info;
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    const QString time = locale.timeFormat(QLocale::ShortFormat);
    info.shortDatePattern = date.toStdString();
    info.timeFormat = time.toStdString();
    info.twelveHourClock = time.contains(QLatin1Char('a'), Qt::CaseInsensitive);
    info.dateSeparator = separatorIn(date, "/");
    info.timeSeparator = separatorIn(time, ":");
    info.decimalSeparator = locale.decimalPoint().toStdString();
    return info;
}

platform::LocaleInfo SystemLocaleInfo()
{
    return LocaleInfoFrom(QLocale::system());
}

} // namespace qv
