#include "library/LLValue.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace library {

LLInstant LLInstant::startOfDay(const platform::Date& day, std::string_view timeZone) {
    return LLInstant{static_cast<std::int64_t>(std::llround(day.startOfDayInstant(timeZone)))};
}

platform::Date LLInstant::day(std::string_view timeZone) const {
    return platform::Date::fromInstant(static_cast<double>(millis), timeZone);
}

std::string describeValue(const LLValue& value) {
    struct Describe {
        std::string operator()(std::monostate) const { return "(null)"; }
        std::string operator()(const std::string& text) const { return text; }
        std::string operator()(const platform::Decimal& number) const { return number.toString(); }
        std::string operator()(std::int64_t number) const { return std::to_string(number); }
        std::string operator()(const LLInstant& instant) const {
            // Floor division keeps instants before 1970 on the right second.
            std::int64_t seconds = instant.millis / 1000;
            if (instant.millis % 1000 < 0) --seconds;
            std::time_t t = static_cast<std::time_t>(seconds);
            std::tm parts{};
            gmtime_r(&t, &parts);
            char text[64];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d +0000",
                          parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                          parts.tm_min, parts.tm_sec);
            return text;
        }
    };
    return std::visit(Describe{}, value);
}

}  // namespace library
