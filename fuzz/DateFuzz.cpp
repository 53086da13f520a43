// The date parser: header and feed dates, ISO 8601 dates, OLE automation
// dates. A date read is a valid calendar time.

#include "FuzzInput.h"

#include "platform/Clock.h"
#include "text/DateParser.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

void RequireValid(const platform::CalendarTime& t)
{
    Require(t.month >= 1 && t.month <= 12);
    Require(t.day >= 1 && t.day <= 31);
    Require(t.hour >= 0 && t.hour <= 23);
    Require(t.minute >= 0 && t.minute <= 59);
    Require(t.second >= 0 && t.second <= 60);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    if (mode == 0xFF) {
        double ole = 0;
        const std::string_view bytes = in.Rest();
        std::memcpy(&ole, bytes.data(), std::min(bytes.size(), sizeof ole));
        platform::CalendarTime t;
        if (DateParser::FromOleDate(ole, t)) {
            RequireValid(t);
            StringBuffer out;
            DateParser::FormatRfc822(t, out);
        }
        return 0;
    }
    const std::string text = CString(in.Rest());
    platform::CalendarTime t;
    if (DateParser::ParseDate(text.c_str(), t)) {
        RequireValid(t);
        StringBuffer written;
        DateParser::FormatRfc822(t, written);
        DateParser::DayOfWeek(t.year, t.month, t.day);
    }
    platform::CalendarTime iso;
    if (DateParser::ParseIsoDate(StringBuffer(text.c_str()), iso))
        RequireValid(iso);
    return 0;
}
