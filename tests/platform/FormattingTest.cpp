#include <gtest/gtest.h>

#include "platform/Formatting.h"

using platform::DateStyle;
using platform::Decimal;
using platform::Formatting;

TEST(Formatting, NumbersFollowTheLocale) {
    Decimal amount = *Decimal::parse("1234567.891");
    EXPECT_EQ(Formatting::formatDecimal(amount, 2, 2, "en_US"), "1,234,567.89");
    EXPECT_EQ(Formatting::formatDecimal(amount, 2, 2, "de_DE"), "1.234.567,89");
    EXPECT_EQ(Formatting::formatDecimal(amount, 2, 2, "de_DE", false), "1234567,89");
    EXPECT_EQ(Formatting::formatDecimal(*Decimal::parse("5"), 2, 4, "de_DE.UTF-8"), "5,00");
    EXPECT_EQ(Formatting::formatDecimal(*Decimal::parse("0.12345"), 0, 3, "en_US"), "0.123");
    // Exact: more digits than a double holds survive.
    EXPECT_EQ(Formatting::formatDecimal(*Decimal::parse("12345678901234567.25"), 2, 2, "en_US"),
              "12,345,678,901,234,567.25");
    EXPECT_EQ(Formatting::formatDecimal(*Decimal::parse("-0.5"), 0, 0, "en_US"), "-1");
}

TEST(Formatting, ParsesLocaleNumbers) {
    EXPECT_EQ(Formatting::parseDecimal("1.234,50", "de_DE"), Decimal::parse("1234.5"));
    EXPECT_EQ(Formatting::parseDecimal("1,234.50", "en_US"), Decimal::parse("1234.5"));
    EXPECT_FALSE(Formatting::parseDecimal("12abc", "en_US"));
    EXPECT_FALSE(Formatting::parseDecimal("", "en_US"));
}

TEST(Formatting, DatesKeepTheirDay) {
    platform::Date day{2024, 7, 16};
    EXPECT_EQ(Formatting::formatDate(day, DateStyle::Short, "de_DE"), "16.07.24");
    EXPECT_EQ(Formatting::formatDate(day, DateStyle::Medium, "de_DE"), "16.07.2024");
    EXPECT_EQ(Formatting::formatDate(day, DateStyle::Medium, "en_US"), "Jul 16, 2024");
    EXPECT_EQ(Formatting::formatDate(day, DateStyle::Short, "en_US"), "7/16/24");
}

TEST(Formatting, CountriesAndMonths) {
    EXPECT_EQ(Formatting::countryDisplayName("DE", "de_DE"), "Deutschland");
    EXPECT_EQ(Formatting::countryDisplayName("DE", "en_US"), "Germany");
    EXPECT_EQ(Formatting::countryDisplayName("IT", "fr_FR"), "Italie");
    EXPECT_EQ(Formatting::monthName(3, "de_DE"), "März");
    EXPECT_EQ(Formatting::monthName(12, "en_US"), "December");
    EXPECT_EQ(Formatting::monthName(13, "en_US"), "");
}
