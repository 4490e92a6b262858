#include "platform/Formatting.h"

#include <map>

#include <unicode/datefmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <cstdlib>
#include <memory>

namespace platform {
namespace {

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// POSIX locale names carry an encoding and modifier ICU does not want ("de_DE.UTF-8@euro").
std::string cleanLocaleName(std::string_view name) {
    std::string id(name);
    for (char stop : {'.', '@'}) {
        auto pos = id.find(stop);
        if (pos != std::string::npos) id.erase(pos);
    }
    if (id == "C" || id == "POSIX") id = "en_US";
    return id;
}

icu::Locale localeFor(std::string_view locale) {
    std::string id = locale.empty() ? Formatting::userLocale() : cleanLocaleName(locale);
    return icu::Locale::createCanonical(id.c_str());
}

}  // namespace

std::string Formatting::userLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return cleanLocaleName(value);
    }
    return "en_US";
}

std::string Formatting::formatDecimal(const Decimal& value, int minFractionDigits,
                                      int maxFractionDigits, std::string_view locale,
                                      bool grouping) {
    using namespace icu::number;
    if (maxFractionDigits < minFractionDigits) maxFractionDigits = minFractionDigits;
    UErrorCode status = U_ZERO_ERROR;
    std::string text = value.toScaledString();
    icu::Locale resolved = localeFor(locale);
    // Making a formatter costs far more than using one; lists format thousands of amounts.
    thread_local std::map<std::string, LocalizedNumberFormatter> formatters;
    std::string key = std::string(resolved.getName()) + "|" + std::to_string(minFractionDigits) +
                      "|" + std::to_string(maxFractionDigits) + (grouping ? "|g" : "|n");
    auto found = formatters.find(key);
    if (found == formatters.end()) {
        if (formatters.size() > 64) formatters.clear();
        found = formatters
                    .emplace(key, NumberFormatter::withLocale(resolved)
                                      .precision(Precision::minMaxFraction(minFractionDigits,
                                                                           maxFractionDigits))
                                      .roundingMode(UNUM_ROUND_HALFUP)
                                      .grouping(grouping ? UNUM_GROUPING_AUTO : UNUM_GROUPING_OFF))
                    .first;
    }
    FormattedNumber formatted = found->second.formatDecimal(icu::StringPiece(text), status);
    if (U_FAILURE(status)) return value.toString();
    icu::UnicodeString result = formatted.toString(status);
    if (U_FAILURE(status)) return value.toString();
    return toUtf8(result);
}

std::optional<Decimal> Formatting::parseDecimal(std::string_view text, std::string_view locale) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format(
        icu::NumberFormat::createInstance(localeFor(locale), status));
    if (U_FAILURE(status) || !format) return std::nullopt;
    format->setLenient(false);
    icu::Formattable result;
    icu::ParsePosition position(0);
    icu::UnicodeString input = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    input.trim();
    format->parse(input, result, position);
    if (position.getIndex() == 0 || position.getIndex() != input.length()) return std::nullopt;
    icu::StringPiece digits = result.getDecimalNumber(status);
    if (U_FAILURE(status)) return std::nullopt;
    return Decimal::parse(std::string_view(digits.data(), static_cast<size_t>(digits.size())));
}

std::string Formatting::formatDate(const Date& date, DateStyle style, std::string_view locale) {
    icu::DateFormat::EStyle icuStyle = style == DateStyle::Short    ? icu::DateFormat::kShort
                                       : style == DateStyle::Medium ? icu::DateFormat::kMedium
                                                                    : icu::DateFormat::kLong;
    icu::Locale resolved = localeFor(locale);
    thread_local std::map<std::string, std::unique_ptr<icu::DateFormat>> formats;
    std::string key = std::string(resolved.getName()) + "|" + std::to_string(int(icuStyle));
    auto found = formats.find(key);
    if (found == formats.end()) {
        if (formats.size() > 64) formats.clear();
        std::unique_ptr<icu::DateFormat> format(
            icu::DateFormat::createDateInstance(icuStyle, resolved));
        if (!format) return date.toIsoString();
        // A day is formatted in UTC so no time zone can move it to its neighbour.
        format->adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
        found = formats.emplace(key, std::move(format)).first;
    }
    icu::UnicodeString out;
    found->second->format(static_cast<UDate>(date.daysSinceEpoch()) * 86400000.0, out);
    return toUtf8(out);
}

std::string Formatting::countryDisplayName(std::string_view countryCode, std::string_view locale) {
    std::string code(countryCode);
    icu::Locale country("", code.c_str());
    icu::UnicodeString name;
    country.getDisplayCountry(localeFor(locale), name);
    std::string result = toUtf8(name);
    return result.empty() ? code : result;
}

std::string Formatting::monthName(int month, std::string_view locale, bool standalone) {
    if (month < 1 || month > 12) return {};
    UErrorCode status = U_ZERO_ERROR;
    icu::DateFormatSymbols symbols(localeFor(locale), status);
    if (U_FAILURE(status)) return {};
    int32_t count = 0;
    const icu::UnicodeString* months = symbols.getMonths(
        count, standalone ? icu::DateFormatSymbols::STANDALONE : icu::DateFormatSymbols::FORMAT,
        icu::DateFormatSymbols::WIDE);
    if (!months || month > count) return {};
    return toUtf8(months[month - 1]);
}

}  // namespace platform
