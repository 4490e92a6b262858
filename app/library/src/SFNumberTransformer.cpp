#include "library/SFNumberTransformer.h"

#include <charconv>
#include <cmath>

#include "platform/Formatting.h"

namespace library {
namespace {

using platform::Decimal;
using platform::RoundingMode;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Trims ASCII white space and the no-break spaces ICU puts beside signs and symbols.
std::string trimmed(std::string_view text) {
    auto strip = [&](bool atEnd) {
        for (bool changed = true; changed && !text.empty();) {
            changed = false;
            for (std::string_view blank : {" ", "\t", "\n", "\r", "\xC2\xA0", "\xE2\x80\xAF"}) {
                bool hit = atEnd ? text.ends_with(blank) : text.starts_with(blank);
                if (hit) {
                    atEnd ? text.remove_suffix(blank.size()) : text.remove_prefix(blank.size());
                    changed = true;
                }
            }
        }
    };
    strip(false);
    strip(true);
    return std::string(text);
}

// The leading numeric part of a text as a double, 0 when there is none (blanks and a sign first).
double leadingDouble(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    double value = 0;
    auto result = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                  std::chars_format::general);
    if (result.ec != std::errc()) value = 0;
    return negative ? -value : value;
}

// The leading plain decimal of a text ("12.5abc" is 12.5); none when it starts with no digit.
std::optional<Decimal> leadingDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        size_t point = i++;
        size_t fraction = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++fraction;
        if (fraction == 0) i = point;
        digits += fraction;
    }
    if (digits == 0) return std::nullopt;
    std::string_view numeral = text.substr(start, i - start);
    if (!numeral.empty() && numeral.front() == '+') numeral.remove_prefix(1);
    return Decimal::parse(numeral);
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

}  // namespace

void SFNumberTransformer::setLocale(std::string_view locale) {
    std::lock_guard lock(mutex_);
    locale_ = std::string(locale);
}

std::string SFNumberTransformer::locale() const {
    std::lock_guard lock(mutex_);
    return locale_;
}

std::string SFNumberTransformer::effectiveLocale() const {
    std::string chosen = locale();
    return chosen.empty() ? platform::Formatting::userLocale() : chosen;
}

std::optional<std::string> SFNumberTransformer::transformedValue(
    const std::optional<Decimal>& value) const {
    if (!value) return std::nullopt;
    FormatterSettings settings;
    setupFormatter(settings);
    return trimmed(platform::Formatting::formatDecimal(*value, settings.minFractionDigits,
                                                       settings.maxFractionDigits,
                                                       effectiveLocale(), settings.grouping));
}

Decimal SFNumberTransformer::reverseTransformedValue(const std::optional<std::string>& text) const {
    if (!text) return Decimal(0);
    const std::string& input = *text;

    // Hours and minutes: "1:30" is one and a half hours.
    size_t colon = input.find(':');
    if (colon != std::string::npos && input.find(':', colon + 1) == std::string::npos) {
        double hours = leadingDouble(std::string_view(input).substr(0, colon));
        double minutes = leadingDouble(std::string_view(input).substr(colon + 1));
        // Single precision keeps 1:20 at 1.33333 rather than exposing double noise.
        float magnitude = static_cast<float>(std::fabs(hours) + minutes / 60.0);
        // signbit, not "< 0": "-0:30" is minus half an hour.
        double value = std::signbit(hours) ? -static_cast<double>(magnitude) : magnitude;
        auto decimal = Decimal::fromDouble(value);
        return decimal ? decimal->rounded(5, RoundingMode::HalfUp) : Decimal(0);
    }

    if (auto parsed = platform::Formatting::parseDecimal(input, effectiveLocale()))
        return parsed->rounded(10, RoundingMode::HalfUp);

    // Tolerant reading: any of "," "." as the decimal point, the last one wins; "'" groups.
    std::string tolerantText = replaceAll(replaceAll(input, ",", "."), "'", "");
    size_t lastPoint = tolerantText.rfind('.');
    if (lastPoint != std::string::npos) {
        std::string whole = replaceAll(tolerantText.substr(0, lastPoint), ".", "");
        tolerantText = whole + "." + tolerantText.substr(lastPoint + 1);
    }
    auto tolerant = leadingDecimal(tolerantText);
    return tolerant ? *tolerant : Decimal(0);
}

}  // namespace library
