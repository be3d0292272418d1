#include "platform/time/Iso8601.hpp"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>

namespace kestrava::iso8601 {
namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date (Howard Hinnant's days_from_civil).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Reads `count` ASCII digits at `position`, or -1.
int digits(std::string_view text, std::size_t position, std::size_t count) {
    if (position + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = position; i < position + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool hasAt(std::string_view text, std::size_t position, char expected) {
    return position < text.size() && text[position] == expected;
}

// The offset designator at the end of the text, in seconds east of UTC.
std::optional<int> offsetSeconds(std::string_view designator) {
    if (designator == "Z") {
        return 0;
    }
    const bool withColon = designator.size() == 6;
    if ((designator.size() != 5 && !withColon) || (designator[0] != '+' && designator[0] != '-') ||
        (withColon && designator[3] != ':')) {
        return std::nullopt;
    }
    const int hours = digits(designator, 1, 2);
    const int minutes = digits(designator, withColon ? 4 : 3, 2);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) {
        return std::nullopt;
    }
    const int magnitude = hours * 3600 + minutes * 60;
    return designator[0] == '-' ? -magnitude : magnitude;
}

} // namespace

std::string format(Timestamp time) {
    const auto wholeSeconds = static_cast<std::time_t>(wholeSecondsSince1970(time));
    std::tm fields{};
    gmtime_r(&wholeSeconds, &fields);
    char text[80]; // room for any int in each field
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
    return text;
}

std::optional<Timestamp> parse(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS, then the designator.
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59 || !hasAt(text, 4, '-') || !hasAt(text, 7, '-') ||
        !hasAt(text, 10, 'T') || !hasAt(text, 13, ':') || !hasAt(text, 16, ':')) {
        return std::nullopt;
    }
    if (day > daysInMonth(year, month)) {
        return std::nullopt;
    }
    const auto offset = offsetSeconds(text.substr(19));
    if (!offset) {
        return std::nullopt;
    }
    const std::int64_t secondsSince1970 =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
        minute * 60 + second - *offset;
    // A Timestamp counts nanoseconds in 64 bits: roughly the years 1678 to 2261.
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 1'000'000'000;
    if (secondsSince1970 < -limit || secondsSince1970 > limit) {
        return std::nullopt;
    }
    return timestampFromSeconds(secondsSince1970);
}

} // namespace kestrava::iso8601
