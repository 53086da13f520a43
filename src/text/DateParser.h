#pragma once

#include "platform/Clock.h"

#include <cstdint>

namespace plentor {

class StringBuffer;

// Reads the date formats of HTTP header fields and feeds (RFC 822/1123 dates
// with zone names or numeric offsets, ISO 8601 "W3C" dates), normalising
// them to UTC, and writes dates for request headers and form fields.
class DateParser {
public:
    // Longer date texts are read only up to this many characters; no date
    // format needs more.
    static constexpr int kMaxDateText = 199;
    // The range of OLE automation dates: 1 January 100 to 31 December 9999.
    static constexpr double kMinOleDate = -657434.0;
    static constexpr double kMaxOleDate = 2958465.0;

    virtual ~DateParser() = default;

    // Reads an RFC 822 style date ("Sun, 06 Nov 1994 08:49:37 GMT", day name,
    // seconds and zone optional; two-digit years allowed) or an ISO 8601 date
    // and converts it to UTC. False when no complete, valid date was read.
    static bool ParseDate(const char* text, platform::CalendarTime& out);

    // Reads "YYYY-MM-DD" or "YYYYMMDD", optionally followed by "T" and a time
    // with a zone offset ("2005-03-01T00:30:00+02:00"). The result is UTC when
    // the text carries an offset, otherwise the time as written.
    static bool ParseIsoDate(const StringBuffer& text, platform::CalendarTime& out);

    // Appends "Tue, 08 Dec 2026 22:33:05 -0500": the given time followed by
    // the machine's current offset from UTC.
    static void FormatRfc822(const platform::CalendarTime& time, StringBuffer& out);

    // Appends the current local time as "Tue Dec 08 2026 22:33:05 -0500".
    static void FormatLocalNow(StringBuffer& out);

    // 0 (Sunday) to 6 in the proleptic Gregorian calendar. A month outside
    // 1 to 12 counts as January.
    static int DayOfWeek(int year, int month, int day);

    // Days from 1 January 1970 to a date of the proleptic Gregorian calendar
    // (negative before it), and back. Valid far beyond any year in use.
    static int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);
    static void CivilFromDays(int64_t days, int& year, int& month, int& day);

    // Splits an OLE automation date (days since 30 December 1899, the fraction
    // being the time of day) into calendar time, rounded to the second. False
    // outside kMinOleDate to kMaxOleDate.
    static bool FromOleDate(double date, platform::CalendarTime& out);
};

} // namespace plentor
