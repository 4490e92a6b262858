#pragma once

#include <boost/multiprecision/cpp_int.hpp>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class RoundingMode {
    HalfEven,     // banker's rounding
    HalfUp,       // half away from zero
    HalfDown,     // half towards zero
    HalfCeiling,  // half towards positive infinity (XPath round())
    Down,         // towards zero
    Floor,
    Ceiling,
};

// An exact decimal number: coefficient × 10^exponent with an unbounded coefficient.
// Amounts never pass through binary floating point.
class Decimal {
  public:
    using Integer = boost::multiprecision::cpp_int;

    Decimal() = default;
    Decimal(std::int64_t value)
        : coefficient_(value) {}  // NOLINT: implicit like an integer literal
    Decimal(Integer coefficient, std::int32_t exponent);

    // Parses an XML numeral: optional sign, digits with an optional point, optional exponent.
    // Surrounding XML white space is ignored; anything else gives none.
    static std::optional<Decimal> parse(std::string_view text);
    // Exact value of a finite double (shortest round-trip text); none for NaN and infinities.
    static std::optional<Decimal> fromDouble(double value);

    const Integer& coefficient() const { return coefficient_; }
    std::int32_t exponent() const { return exponent_; }
    // Digits after the point as written (never negative).
    std::int32_t scale() const { return exponent_ < 0 ? -exponent_ : 0; }

    bool isZero() const { return coefficient_.is_zero(); }
    bool isNegative() const { return coefficient_ < 0; }
    bool isInteger() const;
    int sign() const { return coefficient_.sign(); }

    Decimal operator-() const { return Decimal(-coefficient_, exponent_); }
    Decimal operator+(const Decimal& other) const;
    Decimal operator-(const Decimal& other) const;
    Decimal operator*(const Decimal& other) const;
    Decimal& operator+=(const Decimal& other) { return *this = *this + other; }
    Decimal& operator-=(const Decimal& other) { return *this = *this - other; }
    Decimal& operator*=(const Decimal& other) { return *this = *this * other; }

    // Quotient rounded to `fractionDigits` places; none when dividing by zero.
    std::optional<Decimal> divide(const Decimal& divisor, std::int32_t fractionDigits,
                                  RoundingMode mode = RoundingMode::HalfEven) const;
    // Quotient with at least 18 fraction digits (more when an operand has more), trailing
    // zeros removed; none when dividing by zero.
    std::optional<Decimal> divide(const Decimal& divisor) const;
    // Integer division truncating towards zero; none when dividing by zero.
    std::optional<Integer> integerDivide(const Decimal& divisor) const;
    // Remainder with the sign of the dividend (a - b * trunc(a / b)); none when dividing by zero.
    std::optional<Decimal> remainder(const Decimal& divisor) const;

    Decimal rounded(std::int32_t fractionDigits, RoundingMode mode) const;
    Decimal abs() const { return coefficient_ < 0 ? -*this : *this; }
    // Same value with trailing zeros of the coefficient removed.
    Decimal normalized() const;
    // Integer part, truncated towards zero.
    Integer truncatedInteger() const;

    std::strong_ordering operator<=>(const Decimal& other) const;
    bool operator==(const Decimal& other) const { return (*this <=> other) == 0; }

    // Shortest plain text: no exponent, no trailing zeros after the point ("100.00" → "100").
    std::string toString() const;
    // Plain text keeping the scale the value was written with ("100.00" stays "100.00").
    std::string toScaledString() const;
    double toDouble() const;

  private:
    Integer coefficient_ = 0;
    std::int32_t exponent_ = 0;
};

}  // namespace platform
