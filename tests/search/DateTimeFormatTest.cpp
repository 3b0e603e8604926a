#include "search/DateTimeFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using qv::platform::LocaleInfo;

class DateTimeFormatTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    static std::time_t at(int y, int mo, int d, int h, int mi)
    {
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = mo - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_isdst = -1;
        return std::mktime(&tm);
    }
};

LocaleInfo locale(const char* date, bool twelve, const char* dateSep, const char* timeSep)
{
    LocaleInfo l;
    l.shortDatePattern = date;
    l.twelveHourClock = twelve;
    l.dateSeparator = dateSep;
    l.timeSeparator = timeSep;
    return l;
}

TEST_F(DateTimeFormatTest, TheThreeExampleLocales)
{
    const std::time_t t = at(2001, 3, 5, 14, 7);
    const LocaleInfo us = locale("M/d/yyyy", true, "/", ":");
    const LocaleInfo de = locale("dd.MM.yyyy", false, ".", ":");
    const LocaleInfo iso = locale("yyyy-MM-dd", false, "-", ":");
    EXPECT_EQ(qv::ChooseDateTimeFormat(us, ""), "mm/dd/yyyy  h:mmam/pm");
    EXPECT_EQ(qv::DateTimeFormat(qv::ChooseDateTimeFormat(us, ""), us).Format(t), "03/05/2001  2:07pm");
    EXPECT_EQ(qv::DateTimeFormat(qv::ChooseDateTimeFormat(de, ""), de).Format(t), "05.03.2001  14:07");
    EXPECT_EQ(qv::DateTimeFormat(qv::ChooseDateTimeFormat(iso, ""), iso).Format(t), "2001-03-05  14:07");
}

TEST_F(DateTimeFormatTest, TwelveHourClockAroundMidnightAndNoon)
{
    const LocaleInfo us = locale("M/d/yyyy", true, "/", ":");
    const qv::DateTimeFormat f(qv::ChooseDateTimeFormat(us, ""), us);
    EXPECT_EQ(f.Format(at(2020, 1, 2, 0, 5)), "01/02/2020  12:05am");
    EXPECT_EQ(f.Format(at(2020, 1, 2, 12, 0)), "01/02/2020  12:00pm");
    EXPECT_EQ(f.Format(at(2020, 1, 2, 23, 59)), "01/02/2020  11:59pm");
}

TEST_F(DateTimeFormatTest, ReadBackGivesTheSameMinute)
{
    for (const LocaleInfo& l :
         {locale("M/d/yyyy", true, "/", ":"), locale("dd.MM.yyyy", false, ".", ":"), locale("yyyy-MM-dd", false, "-", ".")}) {
        const qv::DateTimeFormat f(qv::ChooseDateTimeFormat(l, ""), l);
        for (std::time_t t : {at(1999, 12, 31, 23, 58), at(2000, 1, 1, 0, 0), at(2024, 2, 29, 12, 30)})
            EXPECT_EQ(f.Parse(f.Format(t)), t) << f.Format(t);
    }
}

TEST_F(DateTimeFormatTest, DatesBefore1980AreWrittenAsTheyAreAndBadTextsReadAsNone)
{
    const LocaleInfo us = locale("M/d/yyyy", true, "/", ":");
    const qv::DateTimeFormat f(qv::ChooseDateTimeFormat(us, ""), us);
    EXPECT_EQ(f.Format(at(1969, 7, 20, 20, 17)), "07/20/1969  8:17pm");
    EXPECT_EQ(f.Parse(f.Format(at(1969, 7, 20, 20, 17))), at(1969, 7, 20, 20, 17));
    for (const char* bad : {"", "garbage", "13/45/2001  2:07pm", "03/05/2001", "03/05/2001  2:07", "03/05/2001  2:07xm"})
        EXPECT_EQ(f.Parse(bad), std::nullopt) << bad;
}

TEST_F(DateTimeFormatTest, AnOtherFirstLetterKeepsTheFormerChoice)
{
    const LocaleInfo odd = locale("gggg", false, "/", ":");
    EXPECT_EQ(qv::ChooseDateTimeFormat(odd, "dd/mm/yyyy  h:mm"), "dd/mm/yyyy  h:mm");
    // Nothing chosen yet: a usable date is still written.
    const LocaleInfo oddTwelve = locale("gggg", true, "/", ":");
    const std::string chosen = qv::ChooseDateTimeFormat(oddTwelve, "");
    EXPECT_EQ(chosen, "am/pm");
    EXPECT_EQ(qv::ChooseDateTimeFormat(oddTwelve, qv::ChooseDateTimeFormat(oddTwelve, "dd/mm/yyyy  h:mm")), "dd/mm/yyyy  h:mmam/pm");
    EXPECT_EQ(qv::ChooseDateTimeFormat(odd, "dd/mm/yyyy  h:mmam/pm"), "dd/mm/yyyy  h:mm");
    EXPECT_EQ(qv::DateTimeFormat(chosen, oddTwelve).Format(at(2001, 3, 5, 14, 7)), "2001/03/05  2:07pm");
}

} // namespace
