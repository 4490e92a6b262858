#include "platform/Decimal.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

using Integer = Decimal::Integer;

// Exponents beyond this are not amounts; refusing them keeps 10^n from exhausting memory.
constexpr std::int64_t kMaxExponent = 4096;
constexpr size_t kMaxDigits = 4096;

Integer powerOfTen(std::int64_t n) {
    Integer result = 1;
    Integer base = 10;
    while (n > 0) {
        if (n & 1) result *= base;
        base *= base;
        n >>= 1;
    }
    return result;
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Rounds coefficient / 10^shift (shift > 0) to an integer with the given mode.
Integer roundShift(const Integer& coefficient, std::int64_t shift, RoundingMode mode) {
    Integer divisor = powerOfTen(shift);
    Integer quotient, rest;
    boost::multiprecision::divide_qr(coefficient, divisor, quotient, rest);
    if (rest.is_zero()) return quotient;
    const int sign = coefficient.sign();
    Integer twice = rest * 2;
    if (twice < 0) twice = -twice;
    const int half = twice.compare(divisor);  // <0 below half, 0 exactly half, >0 above
    bool away = false;                        // away from zero
    switch (mode) {
        case RoundingMode::Down:
            away = false;
            break;
        case RoundingMode::Floor:
            away = sign < 0;
            break;
        case RoundingMode::Ceiling:
            away = sign > 0;
            break;
        case RoundingMode::HalfUp:
            away = half >= 0;
            break;
        case RoundingMode::HalfDown:
            away = half > 0;
            break;
        case RoundingMode::HalfCeiling:
            away = half > 0 || (half == 0 && sign > 0);
            break;
        case RoundingMode::HalfEven:
            away = half > 0 || (half == 0 && (quotient & 1) != 0);
            break;
    }
    if (away) quotient += sign;
    return quotient;
}

}  // namespace

Decimal::Decimal(Integer coefficient, std::int32_t exponent)
    : coefficient_(std::move(coefficient)), exponent_(exponent) {}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isXmlSpace(text[begin])) ++begin;
    while (end > begin && isXmlSpace(text[end - 1])) --end;
    text = text.substr(begin, end - begin);
    if (text.empty()) return std::nullopt;

    size_t i = 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    std::string digits;
    std::int64_t exponent = 0;
    bool sawDigit = false, sawPoint = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            sawDigit = true;
            if (!(digits.empty() && c == '0')) digits.push_back(c);
            if (sawPoint) --exponent;
        } else if (c == '.' && !sawPoint) {
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit || digits.size() > kMaxDigits) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            expNegative = text[i] == '-';
            ++i;
        }
        if (i >= text.size()) return std::nullopt;
        std::int64_t written = 0;
        for (; i < text.size(); ++i) {
            char c = text[i];
            if (c < '0' || c > '9') return std::nullopt;
            written = written * 10 + (c - '0');
            if (written > kMaxExponent) return std::nullopt;
        }
        exponent += expNegative ? -written : written;
    }
    if (exponent > kMaxExponent || exponent < -kMaxExponent) return std::nullopt;
    Integer coefficient = digits.empty() ? Integer(0) : Integer(digits);
    if (negative) coefficient = -coefficient;
    return Decimal(std::move(coefficient), static_cast<std::int32_t>(exponent));
}

std::optional<Decimal> Decimal::fromDouble(double value) {
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return std::nullopt;
    return parse(std::string_view(buffer, static_cast<size_t>(ptr - buffer)));
}

bool Decimal::isInteger() const {
    if (exponent_ >= 0 || coefficient_.is_zero()) return true;
    Integer q, r;
    boost::multiprecision::divide_qr(coefficient_, powerOfTen(-exponent_), q, r);
    return r.is_zero();
}

namespace {
// Both coefficients brought to the smaller exponent.
struct Aligned {
    Integer a, b;
    std::int32_t exponent;
};
Aligned align(const Decimal& x, const Decimal& y) {
    if (x.exponent() == y.exponent()) return {x.coefficient(), y.coefficient(), x.exponent()};
    if (x.exponent() < y.exponent())
        return {x.coefficient(), y.coefficient() * powerOfTen(y.exponent() - x.exponent()),
                x.exponent()};
    return {x.coefficient() * powerOfTen(x.exponent() - y.exponent()), y.coefficient(),
            y.exponent()};
}
}  // namespace

Decimal Decimal::operator+(const Decimal& other) const {
    Aligned al = align(*this, other);
    return Decimal(al.a + al.b, al.exponent);
}

Decimal Decimal::operator-(const Decimal& other) const {
    Aligned al = align(*this, other);
    return Decimal(al.a - al.b, al.exponent);
}

Decimal Decimal::operator*(const Decimal& other) const {
    std::int64_t exponent = std::int64_t(exponent_) + other.exponent_;
    Decimal product(coefficient_ * other.coefficient_, 0);
    if (exponent < -kMaxExponent * 2) {
        // Keep pathological products bounded; far below any meaningful amount.
        return product.rounded(0, RoundingMode::HalfEven);
    }
    product.exponent_ = static_cast<std::int32_t>(exponent);
    return product;
}

std::optional<Decimal> Decimal::divide(const Decimal& divisor, std::int32_t fractionDigits,
                                       RoundingMode mode) const {
    if (divisor.isZero()) return std::nullopt;
    // value = (c1 / c2) * 10^(e1 - e2); we want an integer q with q * 10^-fractionDigits.
    std::int64_t shift = std::int64_t(fractionDigits) + exponent_ - divisor.exponent_;
    Integer numerator = coefficient_;
    Integer denominator = divisor.coefficient_;
    if (shift >= 0)
        numerator *= powerOfTen(shift);
    else
        denominator *= powerOfTen(-shift);
    // Keep one guard digit for rounding.
    numerator *= 10;
    Integer q, r;
    boost::multiprecision::divide_qr(numerator, denominator, q, r);
    if (!r.is_zero()) {
        // A sticky digit below the guard digit: an exact half plus anything is more than half.
        q = q * 10 + numerator.sign() * denominator.sign();
        return Decimal(roundShift(q, 2, mode), -fractionDigits);
    }
    return Decimal(roundShift(q, 1, mode), -fractionDigits);
}

std::optional<Decimal> Decimal::divide(const Decimal& divisor) const {
    std::int32_t digits = std::max<std::int32_t>(18, std::max(scale(), divisor.scale()));
    auto q = divide(divisor, digits, RoundingMode::HalfEven);
    if (!q) return q;
    return q->normalized();
}

std::optional<Decimal::Integer> Decimal::integerDivide(const Decimal& divisor) const {
    if (divisor.isZero()) return std::nullopt;
    Aligned al = align(*this, divisor);
    return Integer(al.a / al.b);  // cpp_int division truncates towards zero
}

std::optional<Decimal> Decimal::remainder(const Decimal& divisor) const {
    if (divisor.isZero()) return std::nullopt;
    Aligned al = align(*this, divisor);
    return Decimal(al.a % al.b, al.exponent);
}

Decimal Decimal::rounded(std::int32_t fractionDigits, RoundingMode mode) const {
    std::int64_t shift = -std::int64_t(fractionDigits) - exponent_;
    if (shift <= 0) return *this;
    return Decimal(roundShift(coefficient_, shift, mode), -fractionDigits);
}

Decimal Decimal::normalized() const {
    if (coefficient_.is_zero()) return Decimal(0, 0);
    Integer c = coefficient_;
    std::int32_t e = exponent_;
    Integer q, r;
    for (;;) {
        boost::multiprecision::divide_qr(c, Integer(10), q, r);
        if (!r.is_zero()) break;
        c = q;
        ++e;
    }
    return Decimal(std::move(c), e);
}

Decimal::Integer Decimal::truncatedInteger() const {
    if (exponent_ >= 0) return coefficient_ * powerOfTen(exponent_);
    return coefficient_ / powerOfTen(-std::int64_t(exponent_));
}

std::strong_ordering Decimal::operator<=>(const Decimal& other) const {
    if (sign() != other.sign()) return sign() <=> other.sign();
    Aligned al = align(*this, other);
    int c = al.a.compare(al.b);
    return c <=> 0;
}

namespace {
std::string plainText(const Integer& coefficient, std::int32_t exponent) {
    bool negative = coefficient.sign() < 0;
    std::string digits = (negative ? Integer(-coefficient) : coefficient).str();
    std::string text;
    if (exponent >= 0) {
        text = digits;
        if (digits != "0") text.append(static_cast<size_t>(exponent), '0');
    } else {
        size_t fraction = static_cast<size_t>(-std::int64_t(exponent));
        if (digits.size() <= fraction) digits.insert(0, fraction - digits.size() + 1, '0');
        text = digits.substr(0, digits.size() - fraction) + "." +
               digits.substr(digits.size() - fraction);
    }
    if (negative) text.insert(0, 1, '-');
    return text;
}
}  // namespace

std::string Decimal::toString() const {
    Decimal n = normalized();
    return plainText(n.coefficient_, n.exponent_);
}

std::string Decimal::toScaledString() const {
    if (exponent_ > 0) return plainText(coefficient_ * powerOfTen(exponent_), 0);
    return plainText(coefficient_, exponent_);
}

double Decimal::toDouble() const {
    std::string text = toScaledString();
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace platform
