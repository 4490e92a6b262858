#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A calendar day. Invoices carry days, not instants; the instant is derived where a store needs it.
struct Date {
    int year = 1970;
    int month = 1;
    int day = 1;

    static bool isValid(int year, int month, int day);
    // "yyyyMMdd" (CII format 102), then "yyyy-MM-dd" with an optional time zone suffix.
    static std::optional<Date> parseInvoiceDate(std::string_view text);
    // "yyyy-MM-dd".
    std::string toIsoString() const;
    // Days since 1970-01-01.
    std::int64_t daysSinceEpoch() const;
    static Date fromDaysSinceEpoch(std::int64_t days);
    // Milliseconds since the epoch at the start of this day in the given (or the user's) time zone.
    double startOfDayInstant(std::string_view timeZoneId = {}) const;
    // The calendar day an instant falls on in the given (or the user's) time zone.
    static Date fromInstant(double millisSinceEpoch, std::string_view timeZoneId = {});

    auto operator<=>(const Date&) const = default;
};

}  // namespace platform
