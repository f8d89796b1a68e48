#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// Dates of the removal log: seconds since 1970-01-01 00:00 UTC, shown in
// local time with the zone's offset from GMT, as "GMT", "GMT+1", "GMT-5",
// "GMT+5:30" (the zone part "z"). An offset, unlike a zone abbreviation,
// reads back to the same moment on any machine.

// "yyyy-MM-dd HH:mm:ss z": the "date" of a log and the "date_mod" of its
// records. Empty when the C library cannot give a calendar date for it.
std::string logDateText(std::int64_t seconds);
// "yyyy-MM-dd HH.mm.ss z": a log's file name, without ".log".
std::string logFileDateText(std::int64_t seconds);

// Reads a date in any of the forms "yyyy-MM-dd HH:mm:ss z", "yyyy-MM-dd
// HH.mm.ss z", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH.mm.ss". The zone may
// be "GMT" or "UTC" with an offset ("+1", "-05", "+5:30", "+0530"), an
// offset alone, or "Z"; a zone it does not know (an abbreviation such as
// "CET") or none means local time. None for anything else.
std::optional<std::int64_t> parseLogDate(std::string_view text);

// The local calendar day of a moment, and the moment at 12:00 of that day
// (midnight of the day plus 43,200 seconds, as the history groups days).
struct LocalDay {
    int year = 0;
    int month = 0;  // 1 ... 12
    int day = 0;    // 1 ... 31

    friend auto operator<=>(const LocalDay&, const LocalDay&) = default;
};
LocalDay localDayOf(std::int64_t seconds);
std::int64_t noonOfDay(const LocalDay& day);

}  // namespace kestrane
