#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Date.h"
#include "platform/Decimal.h"

namespace platform {

enum class DateStyle { Short, Medium, Long };

// Locale-aware display texts through ICU. `locale` is an ICU/POSIX locale id ("de_DE", "en-US");
// empty means the user's locale.
struct Formatting {
    // The user's locale from LC_ALL, LC_MESSAGES, LC_NUMERIC/LC_TIME or LANG ("en_US" without
    // them).
    static std::string userLocale();

    static std::string formatDecimal(const Decimal& value, int minFractionDigits,
                                     int maxFractionDigits, std::string_view locale = {},
                                     bool grouping = true);
    // Reads a number written the locale's way ("1.234,50" in de_DE); none when it is not one.
    static std::optional<Decimal> parseDecimal(std::string_view text, std::string_view locale = {});
    static std::string formatDate(const Date& date, DateStyle style, std::string_view locale = {});
    // Country name for an ISO 3166 code in the locale's language; the code itself when unknown.
    static std::string countryDisplayName(std::string_view countryCode,
                                          std::string_view locale = {});
    // Month name, 1 = January; `standalone` gives the nominative form used in headings.
    static std::string monthName(int month, std::string_view locale = {}, bool standalone = true);
};

}  // namespace platform
