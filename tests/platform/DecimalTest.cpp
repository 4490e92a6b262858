#include <gtest/gtest.h>

#include "platform/Decimal.h"

using platform::Decimal;
using platform::RoundingMode;

namespace {
Decimal D(const char* text) {
    auto value = Decimal::parse(text);
    EXPECT_TRUE(value) << text;
    return value.value_or(Decimal());
}
}  // namespace

TEST(Decimal, ParsesXmlNumerals) {
    EXPECT_EQ(D("100.00").toString(), "100");
    EXPECT_EQ(D("100.00").toScaledString(), "100.00");
    EXPECT_EQ(D("-0.50").toString(), "-0.5");
    EXPECT_EQ(D("+7").toString(), "7");
    EXPECT_EQ(D(".5").toString(), "0.5");
    EXPECT_EQ(D("5.").toString(), "5");
    EXPECT_EQ(D("1.5E3").toString(), "1500");
    EXPECT_EQ(D("15e-3").toString(), "0.015");
    EXPECT_EQ(D("  42.10\n").toString(), "42.1");
    EXPECT_EQ(D("-0.00").toString(), "0");
    EXPECT_EQ(D("000123.4500").toString(), "123.45");
}

TEST(Decimal, RefusesWhatIsNotANumber) {
    for (const char* text : {"", " ", "abc", "1,5", "1.2.3", "--1", "1e", "e5", "12a", "NaN",
                             "INF", "1e999999", ".", "+"})
        EXPECT_FALSE(Decimal::parse(text)) << text;
}

TEST(Decimal, ArithmeticIsExact) {
    // The classic binary floating point failure: 0.1 + 0.2 != 0.3.
    EXPECT_EQ(D("0.1") + D("0.2"), D("0.3"));
    EXPECT_EQ((D("19.99") * D("3")).toString(), "59.97");
    EXPECT_EQ((D("1000.10") - D("0.1")).toString(), "1000");
    Decimal sum;
    for (int i = 0; i < 1000; ++i) sum += D("0.01");
    EXPECT_EQ(sum.toString(), "10");
    EXPECT_EQ((D("-2.5") * D("-2.5")).toString(), "6.25");
}

TEST(Decimal, StaysExactBeyondSixtyFourBits) {
    Decimal big = D("123456789012345678901234567890");
    EXPECT_EQ((big + D("1")).toString(), "123456789012345678901234567891");
    // An IBAN check: the rearranged number modulo 97 is 1 for a valid IBAN (DE89370400440532013000).
    Decimal iban = D("370400440532013000131489");
    EXPECT_EQ(iban.remainder(D("97"))->toString(), "1");
    EXPECT_EQ(D("-7").remainder(D("3"))->toString(), "-1");
    EXPECT_EQ(D("7.5").integerDivide(D("2"))->str(), "3");
    EXPECT_EQ(D("-7.5").integerDivide(D("2"))->str(), "-3");
}

TEST(Decimal, DivisionRoundsAndRefusesZero) {
    EXPECT_EQ(D("38").divide(D("200"))->toString(), "0.19");
    EXPECT_EQ((D("38") * 100).divide(D("200"))->toString(), "19");
    EXPECT_EQ(D("1").divide(D("3"))->toString(), "0.333333333333333333");
    EXPECT_EQ(D("2").divide(D("3"))->toString(), "0.666666666666666667");
    EXPECT_EQ(D("-2").divide(D("3"))->toString(), "-0.666666666666666667");
    EXPECT_FALSE(D("1").divide(D("0")));
    EXPECT_FALSE(D("1").remainder(D("0.00")));
    // Exact halves follow the mode; anything above half rounds up whatever the mode.
    EXPECT_EQ(D("1").divide(D("8"), 2, RoundingMode::HalfEven)->toString(), "0.12");
    EXPECT_EQ(D("1").divide(D("8"), 2, RoundingMode::HalfUp)->toString(), "0.13");
    EXPECT_EQ(D("1.0000001").divide(D("8"), 2, RoundingMode::HalfEven)->toString(), "0.13");
    EXPECT_EQ(D("-1").divide(D("8"), 2, RoundingMode::HalfUp)->toString(), "-0.13");
}

TEST(Decimal, RoundingModes) {
    EXPECT_EQ(D("2.345").rounded(2, RoundingMode::HalfEven).toString(), "2.34");
    EXPECT_EQ(D("2.355").rounded(2, RoundingMode::HalfEven).toString(), "2.36");
    EXPECT_EQ(D("2.345").rounded(2, RoundingMode::HalfUp).toString(), "2.35");
    EXPECT_EQ(D("-2.345").rounded(2, RoundingMode::HalfUp).toString(), "-2.35");
    EXPECT_EQ(D("-2.5").rounded(0, RoundingMode::HalfCeiling).toString(), "-2");
    EXPECT_EQ(D("2.5").rounded(0, RoundingMode::HalfCeiling).toString(), "3");
    EXPECT_EQ(D("-2.1").rounded(0, RoundingMode::Floor).toString(), "-3");
    EXPECT_EQ(D("-2.9").rounded(0, RoundingMode::Ceiling).toString(), "-2");
    EXPECT_EQ(D("2.9").rounded(0, RoundingMode::Down).toString(), "2");
    EXPECT_EQ(D("2.9").rounded(3, RoundingMode::Down).toScaledString(), "2.9");
}

TEST(Decimal, ComparesByValueNotByScale) {
    EXPECT_EQ(D("100.00"), D("100"));
    EXPECT_LT(D("-1"), D("0.0001"));
    EXPECT_GT(D("10.01"), D("10.001"));
    EXPECT_LT(D("-10.01"), D("-10.001"));
    EXPECT_TRUE(D("3.000").isInteger());
    EXPECT_FALSE(D("3.001").isInteger());
}

TEST(Decimal, ConvertsDoublesAndBack) {
    EXPECT_EQ(Decimal::fromDouble(0.1)->toString(), "0.1");
    EXPECT_EQ(Decimal::fromDouble(-1234.5)->toString(), "-1234.5");
    EXPECT_FALSE(Decimal::fromDouble(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_DOUBLE_EQ(D("19.5").toDouble(), 19.5);
}
