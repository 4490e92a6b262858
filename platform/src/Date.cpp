#include "platform/Date.h"

#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <cstdio>
#include <memory>

namespace platform {
namespace {

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool readDigits(std::string_view text, size_t pos, size_t count, int& out) {
    if (pos + count > text.size()) return false;
    int value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    out = value;
    return true;
}

// "Z", "+hh:mm" or "-hh:mm" as xs:date allows.
bool isTimeZoneSuffix(std::string_view rest) {
    if (rest.empty()) return true;
    if (rest == "Z") return true;
    int hh, mm;
    return rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && readDigits(rest, 1, 2, hh) &&
           rest[3] == ':' && readDigits(rest, 4, 2, mm) && hh <= 14 && mm < 60;
}

std::unique_ptr<icu::TimeZone> zoneFor(std::string_view id) {
    if (id.empty()) return std::unique_ptr<icu::TimeZone>(icu::TimeZone::createDefault());
    return std::unique_ptr<icu::TimeZone>(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(
            icu::StringPiece(id.data(), static_cast<int32_t>(id.size())))));
}

}  // namespace

bool Date::isValid(int year, int month, int day) {
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int limit = days[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= limit;
}

std::optional<Date> Date::parseInvoiceDate(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isXmlSpace(text[begin])) ++begin;
    while (end > begin && isXmlSpace(text[end - 1])) --end;
    text = text.substr(begin, end - begin);
    int y, m, d;
    if (text.size() == 8 && readDigits(text, 0, 4, y) && readDigits(text, 4, 2, m) &&
        readDigits(text, 6, 2, d) && isValid(y, m, d))
        return Date{y, m, d};
    if (text.size() >= 10 && readDigits(text, 0, 4, y) && text[4] == '-' &&
        readDigits(text, 5, 2, m) && text[7] == '-' && readDigits(text, 8, 2, d) &&
        isTimeZoneSuffix(text.substr(10)) && isValid(y, m, d))
        return Date{y, m, d};
    return std::nullopt;
}

std::string Date::toIsoString() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    return buffer;
}

// Howard Hinnant's civil calendar algorithms (proleptic Gregorian).
std::int64_t Date::daysSinceEpoch() const {
    std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date Date::fromDaysSinceEpoch(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    return Date{y, m, d};
}

double Date::startOfDayInstant(std::string_view timeZoneId) const {
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar(zoneFor(timeZoneId).release(), status);
    if (U_FAILURE(status)) return static_cast<double>(daysSinceEpoch()) * 86400000.0;
    calendar.clear();
    calendar.set(year, month - 1, day, 0, 0, 0);
    UDate instant = calendar.getTime(status);
    if (U_FAILURE(status)) return static_cast<double>(daysSinceEpoch()) * 86400000.0;
    return instant;
}

Date Date::fromInstant(double millis, std::string_view timeZoneId) {
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar(zoneFor(timeZoneId).release(), status);
    calendar.setTime(millis, status);
    if (U_FAILURE(status))
        return fromDaysSinceEpoch(static_cast<std::int64_t>(millis / 86400000.0));
    Date d{calendar.get(UCAL_YEAR, status), calendar.get(UCAL_MONTH, status) + 1,
           calendar.get(UCAL_DATE, status)};
    if (calendar.get(UCAL_ERA, status) == 0) d.year = 1 - d.year;
    return d;
}

}  // namespace platform
