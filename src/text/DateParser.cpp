#include "text/DateParser.h"

#include "text/StringBuffer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace plentor {

using platform::CalendarTime;

namespace {

constexpr int kMinutesPerDay = 1440;
constexpr int kSecondsPerDay = 86400;
constexpr int kMaxYear = 9999;
constexpr int kMaxOffsetHours = 23;
// Years written with fewer than four digits are completed: two-digit years
// above the pivot are 19xx, the others 20xx, and three-digit years count from
// 1900 (105 is 2005, as some old servers write it). Four-digit years before
// 1900 are taken as written.
constexpr int kTwoDigitYearPivot = 49;
constexpr int kFirstFourDigitYear = 1000;
// Half a second in days: OLE dates are rounded to the nearest second.
constexpr double kHalfSecondInDays = 5.787037037037037e-6;
// 30 December 1899, OLE day 0, in days from 1 January 1970.
constexpr int64_t kOleEpoch = -25569;

constexpr std::array<const char*, 7> kDayNames = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr std::array<const char*, 12> kMonthNames = {"jan", "feb", "mar", "apr", "may", "jun",
                                                     "jul", "aug", "sep", "oct", "nov", "dec"};
// Month names of other languages met in feeds (Romanian, Portuguese, German, Italian).
constexpr std::array<const char*, 12> kAlternativeMonthNames = {"ian", "fev", "mar", "apr", "mai", "jun",
                                                                "jul", "aug", "set", "okt", "nov", "dez"};
constexpr std::array<const char*, 7> kOutputDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kOutputMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<int, 12> kDaysBeforeMonth = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr std::array<int, 12> kDaysInMonth = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

struct ZoneName {
    std::string_view name;
    std::string_view offset;
};

// Any name not listed counts as "0000".
constexpr std::array<ZoneName, 14> kZones = {{
    {"ut", "0000"},  {"gmt", "0000"}, {"est", "-0500"}, {"edt", "-0400"}, {"cst", "-0600"},
    {"cdt", "-0500"}, {"mst", "-0700"}, {"mdt", "-0600"}, {"pst", "-0800"}, {"pdt", "-0700"},
    {"a", "-0100"},  {"m", "-1200"},  {"n", "0100"},   {"y", "1200"},
}};

// A zone offset as read: sign apart from the magnitude.
struct Offset {
    bool negative = false;
    int hours = 0;
    int minutes = 0;
};

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    return month == 2 && IsLeapYear(year) ? 29 : kDaysInMonth[static_cast<size_t>(month - 1)];
}

bool IsScanWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads numbers and words with the rules of the C library's scanf family:
// numbers and words skip white space before them, literals do not.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    std::string_view Rest() const { return text_.substr(pos_); }

    void SkipWhite()
    {
        while (!AtEnd() && IsScanWhite(text_[pos_]))
            ++pos_;
    }

    void SkipSpacesAndTabs()
    {
        while (!AtEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
    }

    bool Literal(char c)
    {
        if (Peek() != c)
            return false;
        ++pos_;
        return true;
    }

    // "%d", or "%Nd" when width is given: optional sign and digits, the sign
    // counting towards the width. Fails on overflow.
    bool Int(int& value, size_t width = std::string_view::npos)
    {
        SkipWhite();
        std::string_view field = text_.substr(pos_, width);
        size_t n = (!field.empty() && (field[0] == '-' || field[0] == '+')) ? 1 : 0;
        size_t digitsStart = n;
        while (n < field.size() && IsDigit(field[n]))
            ++n;
        if (n == digitsStart)
            return false;
        const char* first = field.data() + (field[0] == '+' ? 1 : 0);
        auto [end, error] = std::from_chars(first, field.data() + n, value);
        if (error != std::errc() || end != field.data() + n)
            return false;
        pos_ += n;
        return true;
    }

    // "%s": a run of characters other than white space.
    bool Word(std::string_view& word)
    {
        SkipWhite();
        size_t start = pos_;
        while (!AtEnd() && !IsScanWhite(text_[pos_]))
            ++pos_;
        word = text_.substr(start, pos_ - start);
        return !word.empty();
    }

    void SkipWord()
    {
        std::string_view ignored;
        Word(ignored);
    }

    void SkipLetters()
    {
        while (!AtEnd() && text_[pos_] >= 'a' && text_[pos_] <= 'z')
            ++pos_;
    }

    size_t Position() const { return pos_; }
    void Rewind(size_t pos) { pos_ = pos; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

bool StartsWith3(std::string_view text, const char* name)
{
    return text.size() >= 3 && text.compare(0, 3, name, 3) == 0;
}

int FindMonth(std::string_view word)
{
    for (const auto* table : {&kMonthNames, &kAlternativeMonthNames})
        for (size_t i = 0; i < table->size(); ++i)
            if (StartsWith3(word, (*table)[i]))
                return static_cast<int>(i) + 1;
    return 0;
}

bool ValidDate(int year, int month, int day)
{
    return year >= 1 && year <= kMaxYear && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool ValidTime(int hour, int minute, int second)
{
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

// Steps the date one day forward (+1) or back (-1), rolling months and years.
void StepDay(CalendarTime& t, int delta)
{
    t.day += delta;
    if (t.day < 1) {
        if (--t.month < 1) {
            t.month = 12;
            --t.year;
        }
        t.day = DaysInMonth(t.year, t.month);
    } else if (t.day > DaysInMonth(t.year, t.month)) {
        t.day = 1;
        if (++t.month > 12) {
            t.month = 1;
            ++t.year;
        }
    }
}

// Moves a local time written with the given offset to UTC. The offset is
// below one day, so at most one day step is needed.
void ToUtc(CalendarTime& t, const Offset& offset)
{
    int shift = offset.hours * 60 + offset.minutes;
    int minutes = t.hour * 60 + t.minute + (offset.negative ? shift : -shift);
    if (minutes < 0) {
        StepDay(t, -1);
        minutes += kMinutesPerDay;
    } else if (minutes >= kMinutesPerDay) {
        StepDay(t, 1);
        minutes -= kMinutesPerDay;
    }
    t.hour = minutes / 60;
    t.minute = minutes % 60;
    t.dayOfWeek = DateParser::DayOfWeek(t.year, t.month, t.day);
}

// Reads "HHMM", "HH:MM" or "H" after a sign has been taken off.
bool ReadOffsetDigits(std::string_view text, Offset& offset)
{
    Scanner packed(text);
    bool ok = packed.Int(offset.hours, 2) && packed.Int(offset.minutes, 2);
    if (!ok) {
        Scanner colon(text);
        ok = colon.Int(offset.hours, 2) && colon.Literal(':') && colon.Int(offset.minutes, 2);
    }
    if (!ok) {
        Scanner hoursOnly(text);
        offset.minutes = 0;
        ok = hoursOnly.Int(offset.hours);
    }
    return ok && offset.hours >= 0 && offset.hours <= kMaxOffsetHours && offset.minutes >= 0 && offset.minutes < 60;
}

std::string_view ZoneOffset(std::string_view word)
{
    if (word.empty())
        return "0000";
    if (IsDigit(word[0]) || word[0] == '-')
        return word;
    for (const ZoneName& zone : kZones)
        if (zone.name == word)
            return zone.offset;
    return "0000";
}

bool ReadZone(Scanner& in, Offset& offset)
{
    in.SkipWhite();
    in.Literal('+');
    std::string_view word;
    if (!in.Word(word))
        word = "gmt";
    std::string_view text = ZoneOffset(word);
    offset.negative = !text.empty() && text[0] == '-';
    if (offset.negative)
        text.remove_prefix(1);
    return ReadOffsetDigits(text, offset);
}

// The day name, its white space and one optional comma.
void SkipDayName(Scanner& in)
{
    for (const char* name : kDayNames) {
        if (StartsWith3(in.Rest(), name)) {
            in.SkipLetters();
            in.SkipWhite();
            in.Literal(',');
            in.SkipWhite();
            return;
        }
    }
}

// "06 Nov 1994" with the year completed.
bool ReadDayMonthYear(Scanner& in, CalendarTime& t)
{
    size_t start = in.Position();
    std::string_view monthWord;
    if (!in.Int(t.day) || !in.Word(monthWord) || !in.Int(t.year))
        return false;
    in.Rewind(start);
    for (int i = 0; i < 3; ++i)
        in.SkipWord();
    t.month = FindMonth(monthWord);
    if (t.month == 0 || t.year < 0)
        return false;
    if (t.year < kFirstFourDigitYear)
        t.year += t.year > kTwoDigitYearPivot ? 1900 : 2000;
    return ValidDate(t.year, t.month, t.day);
}

// "08:49:37" or "08:49".
bool ReadTime(Scanner& in, CalendarTime& t)
{
    size_t start = in.Position();
    if (!in.Int(t.hour) || !in.Literal(':') || !in.Int(t.minute))
        return false;
    if (!in.Literal(':') || !in.Int(t.second))
        t.second = 0;
    in.Rewind(start);
    in.SkipWord();
    return ValidTime(t.hour, t.minute, t.second);
}

std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return out;
}

bool ParseRfc822(std::string_view text, CalendarTime& out)
{
    std::string lower = LowerAscii(text);
    Scanner in(lower);
    in.SkipSpacesAndTabs();
    if (in.AtEnd())
        return false;
    SkipDayName(in);
    CalendarTime t;
    Offset offset;
    if (!ReadDayMonthYear(in, t) || !ReadTime(in, t) || !ReadZone(in, offset))
        return false;
    ToUtc(t, offset);
    out = t;
    return true;
}

// Year, month and day from "2005 03 01" (dashes already blanked) or "20050301".
bool ReadIsoDay(std::string_view datePart, CalendarTime& t)
{
    std::string blanked(datePart);
    for (char& c : blanked)
        if (c == '-')
            c = ' ';
    Scanner spaced(blanked);
    int count = 0;
    int* fields[] = {&t.year, &t.month, &t.day};
    while (count < 3 && spaced.Int(*fields[count]))
        ++count;
    if (count == 1) {
        Scanner packed(blanked);
        const size_t widths[] = {4, 2, 2};
        count = 0;
        while (count < 3 && packed.Int(*fields[count], widths[count]))
            ++count;
    }
    return count == 3 && ValidDate(t.year, t.month, t.day);
}

// "00:30:00" out of "00:30:00+02:00" or "12:00:00Z".
bool ReadIsoTime(std::string_view afterT, CalendarTime& t)
{
    std::string_view timePart = afterT.substr(0, afterT.find('-'));
    timePart = timePart.substr(0, timePart.find('+'));
    if (!timePart.empty() && timePart.back() == 'Z')
        timePart.remove_suffix(1);
    std::string spaced(timePart);
    for (char& c : spaced)
        if (c == ':')
            c = ' ';
    Scanner in(spaced);
    return in.Int(t.hour) && in.Int(t.minute) && in.Int(t.second) && ValidTime(t.hour, t.minute, t.second);
}

// The offset after the time, when there is one: "+02:00", "-0500", "+2".
bool ReadIsoOffset(std::string_view afterT, bool& present, Offset& offset)
{
    size_t at = afterT.find('+');
    if (at == std::string_view::npos)
        at = afterT.find('-');
    present = at != std::string_view::npos;
    if (!present)
        return true;
    std::string text;
    for (char c : afterT.substr(at))
        if (c != ':' && c != '+')
            text += c;
    std::string_view digits(text);
    offset.negative = !digits.empty() && digits[0] == '-';
    if (offset.negative)
        digits.remove_prefix(1);
    return ReadOffsetDigits(digits, offset);
}

bool ParseIso(std::string_view text, CalendarTime& out)
{
    text = text.substr(0, DateParser::kMaxDateText);
    size_t t = text.find('T');
    CalendarTime result;
    if (!ReadIsoDay(text.substr(0, t), result))
        return false;
    result.dayOfWeek = DateParser::DayOfWeek(result.year, result.month, result.day);
    if (t != std::string_view::npos) {
        std::string_view afterT = text.substr(t + 1);
        bool hasOffset = false;
        Offset offset;
        if (!ReadIsoTime(afterT, result) || !ReadIsoOffset(afterT, hasOffset, offset))
            return false;
        if (hasOffset)
            ToUtc(result, offset);
    }
    out = result;
    return true;
}

// "+0100" / "-0530": the machine's current offset from UTC, daylight saving
// included. The sign is written apart so that zones less than an hour west
// of UTC come out negative.
void AppendZoneOffset(StringBuffer& out)
{
    int bias = platform::TimeZoneBiasMinutes();
    int magnitude = std::abs(bias);
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d%02d", bias > 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    out.Append(text);
}

const char* OutputDayName(int dayOfWeek)
{
    return kOutputDayNames[dayOfWeek >= 0 && dayOfWeek <= 6 ? static_cast<size_t>(dayOfWeek) : 0];
}

const char* OutputMonthName(int month)
{
    return kOutputMonthNames[month >= 1 && month <= 12 ? static_cast<size_t>(month - 1) : 0];
}

} // namespace

bool DateParser::ParseDate(const char* text, CalendarTime& out)
{
    if (!text)
        return false;
    std::string_view copy(text, strnlen(text, kMaxDateText));
    if (copy.size() > 10 && copy[10] == 'T' && copy[4] == '-' && copy[7] == '-')
        return ParseIso(copy, out);
    return ParseRfc822(copy, out);
}

bool DateParser::ParseIsoDate(const StringBuffer& text, CalendarTime& out)
{
    return ParseIso(std::string_view(text.GetString(), static_cast<size_t>(text.GetLength())), out);
}

void DateParser::FormatRfc822(const CalendarTime& time, StringBuffer& out)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s, %02d %s %d %02d:%02d:%02d ", OutputDayName(time.dayOfWeek), time.day,
                  OutputMonthName(time.month), time.year, time.hour, time.minute, time.second);
    out.Append(text);
    AppendZoneOffset(out);
}

void DateParser::FormatLocalNow(StringBuffer& out)
{
    CalendarTime now = platform::LocalTime();
    char text[96];
    std::snprintf(text, sizeof text, "%s %s %02d %d %02d:%02d:%02d ", OutputDayName(now.dayOfWeek),
                  OutputMonthName(now.month), now.day, now.year, now.hour, now.minute, now.second);
    out.Append(text);
    AppendZoneOffset(out);
}

int DateParser::DayOfWeek(int year, int month, int day)
{
    if (month < 1 || month > 12)
        month = 1;
    // The calendar repeats every 400 years (146097 days, a whole number of
    // weeks), so any year maps onto 400..799 with the same weekdays.
    int y = (year % 400 + 400) % 400 + 400;
    int leapDaysBefore = (y - 1) / 4 - (y - 1) / 100 + (y - 1) / 400;
    int leapDay = (month > 2 && IsLeapYear(y)) ? 1 : 0;
    int dayInWeek = (day % 7 + 6) % 7;   // (day - 1) mod 7 without overflow
    // 1 January of year y falls on (y + leapDaysBefore) mod 7, 0 being Sunday.
    return (leapDaysBefore + y % 7 + kDaysBeforeMonth[static_cast<size_t>(month - 1)] % 7 + leapDay + dayInWeek) % 7;
}

// Years counted from 1 March, so that the leap day ends a year; eras of
// 400 years (146097 days) repeat, and 719468 is 1970-01-01 from 0000-03-01.
int64_t DateParser::DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void DateParser::CivilFromDays(int64_t days, int& year, int& month, int& day)
{
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

bool DateParser::FromOleDate(double date, CalendarTime& out)
{
    if (!(date >= kMinOleDate && date <= kMaxOleDate))
        return false;
    double rounded = date + (date >= 0 ? kHalfSecondInDays : -kHalfSecondInDays);
    long days = static_cast<long>(rounded);   // towards zero: the time of day is always the fraction's size
    int seconds = static_cast<int>(std::fabs(rounded - static_cast<double>(days)) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay)
        seconds = kSecondsPerDay - 1;
    CalendarTime t;
    CivilFromDays(days + kOleEpoch, t.year, t.month, t.day);
    t.dayOfWeek = DayOfWeek(t.year, t.month, t.day);
    t.hour = seconds / 3600;
    t.minute = seconds / 60 % 60;
    t.second = seconds % 60;
    out = t;
    return true;
}

} // namespace plentor
