#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "platform/Date.h"
#include "platform/Decimal.h"

namespace library {

// A stored date: milliseconds since the epoch. Invoice days are stored as the start of the day in
// the user's time zone at the time of import, the way a date attribute holds an instant.
struct LLInstant {
    std::int64_t millis = 0;

    static LLInstant startOfDay(const platform::Date& day, std::string_view timeZone = {});
    // The calendar day in the user's (or the given) time zone.
    platform::Date day(std::string_view timeZone = {}) const;
    auto operator<=>(const LLInstant&) const = default;
};

// One attribute value as read by key: none, text, instant, exact decimal or integer.
using LLValue =
    std::variant<std::monostate, std::string, LLInstant, platform::Decimal, std::int64_t>;

// "%@" of a value: the text itself, "(null)" for none, the decimal's plain digits, an instant as
// "2024-07-16 00:00:00 +0000".
std::string describeValue(const LLValue& value);

}  // namespace library
