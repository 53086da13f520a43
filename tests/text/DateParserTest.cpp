#include "text/DateParser.h"

#include "text/StringBuffer.h"

#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>

namespace plentor {
namespace {

using platform::CalendarTime;

// "1994-11-06 08:49:37 0" (the last number is the day of week).
std::string Show(const CalendarTime& t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.dayOfWeek);
    return text;
}

struct ParseCase {
    const char* text;
    const char* expected;   // nullptr: the text must not parse
};

const ParseCase kDateCases[] = {
    {"Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37 0"},
    {"06 Nov 94 23:30 EST", "1994-11-07 04:30:00 1"},
    {"1 Ian 2005 10:00:00 +0100", "2005-01-01 09:00:00 6"},
    {"2005-03-01T00:30:00+02:00", "2005-02-28 22:30:00 1"},
    {"Tue, 15 Nov 1994 12:45:26 bst", "1994-11-15 12:45:26 2"},
    {"Sunday, 06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37 0"},
    {"Sun,06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37 0"},
    {"  \tSUN ,  06 NOV 1994 08:49:37 ut", "1994-11-06 08:49:37 0"},
    {"06 Nov 1994 08:49:37", "1994-11-06 08:49:37 0"},
    {"06 November 1994 08:49 Z", "1994-11-06 08:49:00 0"},
    // Every zone name of the table.
    {"12 Oct 2004 08:00:00 PDT", "2004-10-12 15:00:00 2"},
    {"12 Oct 2004 08:00:00 pst", "2004-10-12 16:00:00 2"},
    {"12 Oct 2004 08:00:00 MDT", "2004-10-12 14:00:00 2"},
    {"12 Oct 2004 08:00:00 MST", "2004-10-12 15:00:00 2"},
    {"12 Oct 2004 08:00:00 CDT", "2004-10-12 13:00:00 2"},
    {"12 Oct 2004 08:00:00 CST", "2004-10-12 14:00:00 2"},
    {"12 Oct 2004 08:00:00 EDT", "2004-10-12 12:00:00 2"},
    {"12 Oct 2004 08:00:00 A", "2004-10-12 09:00:00 2"},
    {"12 Oct 2004 08:00:00 M", "2004-10-12 20:00:00 2"},
    {"12 Oct 2004 08:00:00 N", "2004-10-12 07:00:00 2"},
    {"12 Oct 2004 08:00:00 Y", "2004-10-11 20:00:00 1"},
    {"12 Oct 2004 08:00:00 CEST", "2004-10-12 08:00:00 2"},
    // Offsets in their three forms; day, month and year roll over.
    {"01 Mar 2005 00:15:00 +01:00", "2005-02-28 23:15:00 1"},
    {"01 Mar 2004 00:15:00 +0100", "2004-02-29 23:15:00 0"},
    {"31 Dec 2005 23:30:00 -0100", "2006-01-01 00:30:00 0"},
    {"01 Mar 2005 10:00:00 -5", "2005-03-01 15:00:00 2"},
    {"01 Mar 2005 10:00:00 +0530", "2005-03-01 04:30:00 2"},
    // Alternative month names.
    {"06 Dez 2004 08:00:00 GMT", "2004-12-06 08:00:00 1"},
    {"06 Mai 2004 08:00:00 GMT", "2004-05-06 08:00:00 4"},
    {"06 Fev 2004 08:00:00 GMT", "2004-02-06 08:00:00 5"},
    {"06 Set 2004 08:00:00 GMT", "2004-09-06 08:00:00 1"},
    {"06 Okt 2004 08:00:00 GMT", "2004-10-06 08:00:00 3"},
    // Two-digit years.
    {"31 Dec 49 23:00 GMT", "2049-12-31 23:00:00 5"},
    {"01 Jan 50 00:00 GMT", "1950-01-01 00:00:00 0"},
    {"01 Jan 105 00:00 GMT", "2005-01-01 00:00:00 6"},
    {"Wed, 01 Jan 1800 00:00:00 GMT", "1800-01-01 00:00:00 3"},
    // Not dates.
    {"", nullptr},
    {" \t ", nullptr},
    {"Sun, 06 Xyz 1994 08:49:37 GMT", nullptr},
    {"06 Nov 1994", nullptr},
    {"06 Nov", nullptr},
    {"06 Nov 1994 8h49 GMT", nullptr},
    {"Sunday, 06-Nov-94 08:49:37 GMT", nullptr},
    // Values that are no calendar time.
    {"32 Jan 2005 10:00 GMT", nullptr},
    {"29 Feb 2005 10:00 GMT", nullptr},
    {"06 Nov 1994 25:00 GMT", nullptr},
    {"06 Nov 1994 08:61 GMT", nullptr},
    {"06 Nov -5 08:00 GMT", nullptr},
    {"06 Nov 1994 08:49 +2500", nullptr},
    {"06 Nov 1994 08:49 -abc", nullptr},
    {"99999999999 Nov 1994 08:49 GMT", nullptr},
};

TEST(DateParserTest, ParseDateReadsHeaderDates)
{
    for (const ParseCase& c : kDateCases) {
        SCOPED_TRACE(c.text);
        CalendarTime t;
        bool ok = DateParser::ParseDate(c.text, t);
        EXPECT_EQ(ok, c.expected != nullptr);
        if (ok && c.expected) {
            EXPECT_EQ(Show(t), c.expected);
        }
    }
    CalendarTime t;
    EXPECT_FALSE(DateParser::ParseDate(nullptr, t));
}

TEST(DateParserTest, ParseDateReadsOnlyTheFirstCharacters)
{
    CalendarTime t;
    std::string padded = "Sun, 06 Nov 1994 08:49:37 GMT" + std::string(100000, ' ') + "junk";
    ASSERT_TRUE(DateParser::ParseDate(padded.c_str(), t));
    EXPECT_EQ(Show(t), "1994-11-06 08:49:37 0");

    // The time lies beyond the characters read.
    std::string late = "06 Nov 1994" + std::string(DateParser::kMaxDateText, ' ') + "08:49:37 GMT";
    EXPECT_FALSE(DateParser::ParseDate(late.c_str(), t));
}

const ParseCase kIsoCases[] = {
    {"2005-03-01", "2005-03-01 00:00:00 2"},
    {"20050301", "2005-03-01 00:00:00 2"},
    {"2005-03-01T12:34:56Z", "2005-03-01 12:34:56 2"},
    {"2005-03-01T12:34:56", "2005-03-01 12:34:56 2"},
    {"2005-03-01T12:34:56.789Z", "2005-03-01 12:34:56 2"},
    {"2005-03-01T00:30:00+02:00", "2005-02-28 22:30:00 1"},
    {"2005-03-01T20:00:00-05:00", "2005-03-02 01:00:00 3"},
    {"2005-03-01T00:30:00+0530", "2005-02-28 19:00:00 1"},
    {"2005-03-01T12:00:00+2", "2005-03-01 10:00:00 2"},
    {"2004-12-31T23:00:00-01:30", "2005-01-01 00:30:00 6"},
    {"2005-03", nullptr},
    {"2005-13-01", nullptr},
    {"2005-02-29", nullptr},
    {"2005-03-01T12:30Z", nullptr},
    {"2005-03-01T25:00:00Z", nullptr},
    {"2005-03-01T12:00:00+xx", nullptr},
    {"", nullptr},
};

TEST(DateParserTest, ParseIsoDateReadsW3cDates)
{
    for (const ParseCase& c : kIsoCases) {
        SCOPED_TRACE(c.text);
        CalendarTime t;
        bool ok = DateParser::ParseIsoDate(StringBuffer(c.text), t);
        EXPECT_EQ(ok, c.expected != nullptr);
        if (ok && c.expected) {
            EXPECT_EQ(Show(t), c.expected);
        }
    }
}

TEST(DateParserTest, DayOfWeekOfKnownDays)
{
    struct {
        int year, month, day, expected;
    } const cases[] = {
        {1970, 1, 1, 4}, {2000, 1, 1, 6}, {2000, 2, 29, 2}, {2000, 3, 1, 3}, {1900, 2, 28, 3}, {1900, 3, 1, 4},
        {2024, 12, 31, 2}, {1, 1, 1, 1}, {9999, 12, 31, 5}, {2005, 0, 1, 6}, {2005, 13, 1, 6},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateParser::DayOfWeek(c.year, c.month, c.day), c.expected) << c.year << "-" << c.month << "-" << c.day;
}

// Walks the calendar one day at a time.
struct CalendarWalk {
    int year, month, day;
    void Next()
    {
        static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        int length = month == 2 && leap ? 29 : kDays[month - 1];
        if (++day > length) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
    }
};

TEST(DateParserTest, FromOleDateAgreesWithTheCalendarOverItsWholeRange)
{
    CalendarWalk walk {100, 1, 1};
    int weekday = 5;   // 1 January 100 was a Friday (proleptic Gregorian)
    for (long d = static_cast<long>(DateParser::kMinOleDate); d <= static_cast<long>(DateParser::kMaxOleDate); ++d) {
        CalendarTime t;
        ASSERT_TRUE(DateParser::FromOleDate(static_cast<double>(d), t)) << d;
        ASSERT_TRUE(t.year == walk.year && t.month == walk.month && t.day == walk.day && t.dayOfWeek == weekday &&
                    t.hour == 0 && t.minute == 0 && t.second == 0)
            << "OLE day " << d << " gave " << Show(t);
        ASSERT_EQ(DateParser::DayOfWeek(walk.year, walk.month, walk.day), weekday) << Show(t);
        walk.Next();
        weekday = (weekday + 1) % 7;
    }
    EXPECT_EQ(walk.year, 10000);
}

TEST(DateParserTest, FromOleDateSplitsTimeOfDay)
{
    struct {
        double date;
        const char* expected;
    } const cases[] = {
        {0.0, "1899-12-30 00:00:00 6"},
        {2.5, "1900-01-01 12:00:00 1"},
        {-1.25, "1899-12-29 06:00:00 5"},
        {-0.5, "1899-12-30 12:00:00 6"},
        {38353.75, "2005-01-01 18:00:00 6"},
        {0.5 + 0.4 / 86400, "1899-12-30 12:00:00 6"},
        {0.5 + 0.6 / 86400, "1899-12-30 12:00:01 6"},
        {0.9999999, "1899-12-31 00:00:00 0"},
        {DateParser::kMaxOleDate, "9999-12-31 00:00:00 5"},
    };
    for (const auto& c : cases) {
        CalendarTime t;
        ASSERT_TRUE(DateParser::FromOleDate(c.date, t)) << c.date;
        EXPECT_EQ(Show(t), c.expected) << c.date;
    }
    CalendarTime t;
    for (double bad : {DateParser::kMinOleDate - 0.5, DateParser::kMaxOleDate + 0.5, std::nan(""), HUGE_VAL})
        EXPECT_FALSE(DateParser::FromOleDate(bad, t)) << bad;
}

// Sets the process time zone (TZ) for one test and puts the old one back.
// Windows takes its zone from the system, not from TZ: the Windows test
// main leaves these tests out.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : tz_("TZ", zone) { tzset(); }

private:
    // Goes after tz_ has put the old TZ back, so the C library reads it again.
    struct Reload {
        ~Reload() { tzset(); }
    } reload_;
    testsupport::ScopedEnv tz_;
};

TEST(DateParserTest, FormatRfc822AppendsTheLocalOffset)
{
    struct {
        const char* zone;
        const char* offset;
    } const zones[] = {
        {"UTC0", "+0000"}, {"EST5", "-0500"}, {"XST-5:30", "+0530"}, {"XST5:30", "-0530"}, {"XST0:30", "-0030"},
        {"XST-13", "+1300"},
    };
    CalendarTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 8;
    t.dayOfWeek = 2;
    t.hour = 22;
    t.minute = 33;
    t.second = 5;
    for (const auto& z : zones) {
        ScopedTimeZone zone(z.zone);
        StringBuffer out("If-Modified-Since: ");
        DateParser::FormatRfc822(t, out);
        EXPECT_EQ(out.ToStdString(), std::string("If-Modified-Since: Tue, 08 Dec 2026 22:33:05 ") + z.offset) << z.zone;
    }
}

TEST(DateParserTest, FormatRfc822ClampsNamesOutOfRange)
{
    ScopedTimeZone zone("UTC0");
    CalendarTime t;
    t.year = 2005;
    t.month = 13;
    t.day = 1;
    t.dayOfWeek = 9;
    StringBuffer out;
    DateParser::FormatRfc822(t, out);
    EXPECT_EQ(out.ToStdString(), "Sun, 01 Jan 2005 00:00:00 +0000");
    t.month = 0;
    out.Clear();
    DateParser::FormatRfc822(t, out);
    EXPECT_EQ(out.ToStdString(), "Sun, 01 Jan 2005 00:00:00 +0000");
}

TEST(DateParserTest, FormatRfc822OutputParsesBack)
{
    ScopedTimeZone zone("XST3:30");
    CalendarTime local;
    ASSERT_TRUE(DateParser::FromOleDate(38353.75, local));   // 2005-01-01 18:00
    StringBuffer text;
    DateParser::FormatRfc822(local, text);
    CalendarTime utc;
    ASSERT_TRUE(DateParser::ParseDate(text.GetString(), utc)) << text.GetString();
    EXPECT_EQ(Show(utc), "2005-01-01 21:30:00 6");
}

// The expected text for the current second, by the C library.
std::string StrftimeNow()
{
    std::time_t now = std::time(nullptr);
    const std::tm local = *std::localtime(&now);
    char text[64];
    std::strftime(text, sizeof text, "%a %b %d %Y %H:%M:%S ", &local);
    return text;
}

TEST(DateParserTest, FormatLocalNowWritesBrowserStyleTime)
{
    ScopedTimeZone zone("XST-1");
    std::string expected;
    std::string text;
    // Retried when the clock moved on to the next second in between.
    for (int attempt = 0; attempt < 3; ++attempt) {
        expected = "d=" + StrftimeNow() + "+0100";
        StringBuffer out("d=");
        DateParser::FormatLocalNow(out);
        text = out.ToStdString();
        if (text == expected)
            break;
    }
    EXPECT_EQ(text, expected);
    static const std::regex kShape(
        "d=(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "[0-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9] \\+0100");
    EXPECT_TRUE(std::regex_match(text, kShape)) << text;
}

// The calendar arithmetic the cache files and OLE dates share: known days,
// leap days of the century rules, and every day of a span there and back.
TEST(DateParserTest, CivilDaysKnownValuesAndRoundTrip)
{
    struct Case {
        int year, month, day;
        int64_t days;
    };
    for (const Case& c : {Case{1970, 1, 1, 0}, Case{1969, 12, 31, -1}, Case{1899, 12, 30, -25569},
                          Case{2000, 2, 29, 11016}, Case{2000, 3, 1, 11017}, Case{1900, 3, 1, -25508},
                          Case{1600, 2, 29, -135081}, Case{0, 3, 1, -719468}, Case{9999, 12, 31, 2932896}}) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
        EXPECT_EQ(DateParser::DaysFromCivil(c.year, c.month, c.day), c.days);
        int y = 0, m = 0, d = 0;
        DateParser::CivilFromDays(c.days, y, m, d);
        EXPECT_EQ(y, c.year);
        EXPECT_EQ(m, c.month);
        EXPECT_EQ(d, c.day);
    }
    for (int64_t days = -800000; days <= 3000000; days += 997) {
        int y = 0, m = 0, d = 0;
        DateParser::CivilFromDays(days, y, m, d);
        ASSERT_EQ(DateParser::DaysFromCivil(y, m, d), days);
    }
}

} // namespace
} // namespace plentor
