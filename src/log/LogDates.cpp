#include "log/LogDates.h"

#include <cstdio>
#include <ctime>

namespace kestrane {

namespace {

// The zone of a local time as "GMT", "GMT+1" or "GMT+5:30".
std::string zoneText(long offsetSeconds) {
    if (offsetSeconds == 0) return "GMT";
    const char sign = offsetSeconds < 0 ? '-' : '+';
    const long magnitude = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    const long hours = magnitude / 3600;
    const long minutes = magnitude % 3600 / 60;
    char text[24];
    if (minutes == 0)
        std::snprintf(text, sizeof text, "GMT%c%ld", sign, hours);
    else
        std::snprintf(text, sizeof text, "GMT%c%ld:%02ld", sign, hours, minutes);
    return text;
}

std::string format(std::int64_t seconds, char timeSeparator) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    long offset = 0;
    if (::localtime_r(&time, &parts) != nullptr) {
        offset = parts.tm_gmtoff;
    } else if (::gmtime_r(&time, &parts) == nullptr) {
        return {};
    }
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d%c%02d%c%02d %s",
                  static_cast<long long>(parts.tm_year) + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                  timeSeparator, parts.tm_min, timeSeparator, parts.tm_sec, zoneText(offset).c_str());
    return text;
}

// Reads exactly `digits` decimal digits.
bool readNumber(std::string_view& text, std::size_t digits, int& value) {
    if (text.size() < digits) return false;
    value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(digits);
    return true;
}

bool readChar(std::string_view& text, char expected) {
    if (text.empty() || text.front() != expected) return false;
    text.remove_prefix(1);
    return true;
}

// "+1", "-05", "+5:30", "+0530" -> seconds east of GMT; none when malformed.
std::optional<long> parseOffset(std::string_view text) {
    if (text.empty()) return 0;  // "GMT" alone
    if (text.front() != '+' && text.front() != '-') return std::nullopt;
    const long sign = text.front() == '-' ? -1 : 1;
    text.remove_prefix(1);
    int hours = 0;
    int minutes = 0;
    std::size_t hourDigits = 0;
    while (hourDigits < text.size() && hourDigits < 4 && text[hourDigits] >= '0' && text[hourDigits] <= '9')
        ++hourDigits;
    if (hourDigits == 0) return std::nullopt;
    if (hourDigits == 4) {  // +0530
        if (!readNumber(text, 2, hours) || !readNumber(text, 2, minutes)) return std::nullopt;
    } else if (hourDigits <= 2) {
        if (!readNumber(text, hourDigits, hours)) return std::nullopt;
        if (!text.empty()) {
            if (!readChar(text, ':') || !readNumber(text, 2, minutes)) return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    if (!text.empty() || hours > 18 || minutes > 59) return std::nullopt;
    return sign * (hours * 3600L + minutes * 60L);
}

// Days from 1970-01-01 to a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

std::string logDateText(std::int64_t seconds) { return format(seconds, ':'); }

std::string logFileDateText(std::int64_t seconds) { return format(seconds, '.'); }

std::optional<std::int64_t> parseLogDate(std::string_view text) {
    int year, month, day, hour, minute, second;
    if (!readNumber(text, 4, year) || !readChar(text, '-') || !readNumber(text, 2, month) || !readChar(text, '-') ||
        !readNumber(text, 2, day) || !readChar(text, ' ') || !readNumber(text, 2, hour))
        return std::nullopt;
    if (text.empty() || (text.front() != ':' && text.front() != '.')) return std::nullopt;
    const char separator = text.front();
    if (!readChar(text, separator) || !readNumber(text, 2, minute) || !readChar(text, separator) ||
        !readNumber(text, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;

    std::optional<long> offset;  // none: local time
    if (!text.empty()) {
        if (!readChar(text, ' ') || text.empty()) return std::nullopt;
        if (text == "Z") {
            offset = 0;
        } else if (text.starts_with("GMT") || text.starts_with("UTC")) {
            offset = parseOffset(text.substr(3));
            if (!offset) return std::nullopt;
        } else if (text.front() == '+' || text.front() == '-') {
            offset = parseOffset(text);
            if (!offset) return std::nullopt;
        } else {
            for (const char c : text)
                if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return std::nullopt;
            // An abbreviation ("CET", "EDT") names no offset for sure: local time.
        }
    }
    if (offset) {
        const std::int64_t days = daysFromCivil(year, month, day);
        return days * 86400 + hour * 3600 + minute * 60 + second - *offset;
    }
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    const std::time_t local = std::mktime(&parts);
    if (local == static_cast<std::time_t>(-1) && !(year == 1969 && month == 12 && day == 31)) return std::nullopt;
    return static_cast<std::int64_t>(local);
}

LocalDay localDayOf(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (::localtime_r(&time, &parts) == nullptr) return {};
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

std::int64_t noonOfDay(const LocalDay& day) {
    std::tm parts{};
    parts.tm_year = day.year - 1900;
    parts.tm_mon = day.month - 1;
    parts.tm_mday = day.day;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts)) + 43200;
}

}  // namespace kestrane
