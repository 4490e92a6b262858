#include <gtest/gtest.h>

#include "library/SFDateTransformer.h"
#include "library/SFNumberTransformer.h"

using library::SFDateTransformer;
using library::SFMediumDateTransformer;
using library::SFNumberTransformer;
using library::SFValueTransformer;
using platform::Decimal;

namespace {

Decimal dec(const char* text) { return *Decimal::parse(text); }

}  // namespace

TEST(NumberTransformer, FormatsInTheLocaleWithTwoToFiveFractionDigits) {
    SFNumberTransformer en;
    en.setLocale("en_US");
    EXPECT_EQ(en.transformedValue(dec("1234.5")), "1,234.50");
    EXPECT_EQ(en.transformedValue(dec("0.123456")), "0.12346");
    EXPECT_EQ(en.transformedValue(dec("19")), "19.00");
    EXPECT_EQ(en.transformedValue(dec("-50")), "-50.00");
    EXPECT_EQ(en.transformedValue(std::nullopt), std::nullopt);

    SFNumberTransformer de;
    de.setLocale("de_DE");
    EXPECT_EQ(de.transformedValue(dec("1234.5")), "1.234,50");
    EXPECT_EQ(de.transformedValue(dec("1234567.125")), "1.234.567,125");
    // Amounts are exact: no binary rounding on the way to the text.
    EXPECT_EQ(de.transformedValue(dec("0.1")), "0,10");
}

TEST(NumberTransformer, FollowsTheCurrentLocaleWhenNoneIsSet) {
    SFNumberTransformer transformer;
    const char* saved = std::getenv("LC_ALL");
    std::string restore = saved ? saved : "";
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(transformer.transformedValue(dec("1234.5")), "1.234,50");
    setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_EQ(transformer.transformedValue(dec("1234.5")), "1,234.50");
    if (saved)
        setenv("LC_ALL", restore.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(NumberTransformer, ReadsTypedNumbers) {
    SFNumberTransformer en;
    en.setLocale("en_US");
    EXPECT_EQ(en.reverseTransformedValue(std::nullopt), Decimal(0));
    EXPECT_EQ(en.reverseTransformedValue("1,234.56"), dec("1234.56"));
    EXPECT_EQ(en.reverseTransformedValue("0.123456789012345"), dec("0.123456789"));
    EXPECT_EQ(en.reverseTransformedValue("0.00000000005"), dec("0.0000000001"));
    // Hours and minutes.
    EXPECT_EQ(en.reverseTransformedValue("1:30"), dec("1.5"));
    EXPECT_EQ(en.reverseTransformedValue("-1:30"), dec("-1.5"));
    EXPECT_EQ(en.reverseTransformedValue("-0:30"), dec("-0.5"));
    EXPECT_EQ(en.reverseTransformedValue("1:20"), dec("1.33333"));
    // Tolerant reading of other conventions.
    EXPECT_EQ(en.reverseTransformedValue("1.234,56"), dec("1234.56"));
    EXPECT_EQ(en.reverseTransformedValue("1'234.56"), dec("1234.56"));
    EXPECT_EQ(en.reverseTransformedValue("letters"), Decimal(0));
    EXPECT_EQ(en.reverseTransformedValue(""), Decimal(0));

    SFNumberTransformer de;
    de.setLocale("de_DE");
    EXPECT_EQ(de.reverseTransformedValue("1.234,56"), dec("1234.56"));
    EXPECT_EQ(de.reverseTransformedValue("12,5"), dec("12.5"));
    EXPECT_EQ(de.reverseTransformedValue("1'234.56"), dec("1234.56"));
}

TEST(DateTransformer, BaseClassHasNoFormatterMediumFormats) {
    platform::Date day{2026, 12, 8};
    SFDateTransformer base;
    EXPECT_EQ(base.transformedValue(day), std::nullopt);

    SFMediumDateTransformer medium;
    medium.setLocale("de_DE");
    EXPECT_EQ(medium.transformedValue(day), "08.12.2026");
    medium.setLocale("en_US");
    EXPECT_EQ(medium.transformedValue(day), "Dec 8, 2026");
    EXPECT_EQ(medium.transformedValue(std::nullopt), std::nullopt);
}

TEST(ValueTransformerRegistry, FindsSharedInstancesByName) {
    auto number = SFValueTransformer::valueTransformerForName("SFNumberTransformer");
    ASSERT_TRUE(number);
    EXPECT_EQ(number, SFValueTransformer::valueTransformerForName("SFNumberTransformer"));
    EXPECT_EQ(number->className(), "SFNumberTransformer");
    EXPECT_TRUE(
        SFValueTransformer::transformerNamed<SFMediumDateTransformer>("SFMediumDateTransformer"));
    EXPECT_FALSE(
        SFValueTransformer::transformerNamed<SFMediumDateTransformer>("SFNumberTransformer"));
    EXPECT_FALSE(SFValueTransformer::valueTransformerForName("NoSuchTransformer"));

    auto custom = std::make_shared<SFMediumDateTransformer>();
    SFValueTransformer::setValueTransformerForName(custom, "TestTransformer");
    EXPECT_EQ(SFValueTransformer::valueTransformerForName("TestTransformer"), custom);
    SFValueTransformer::setValueTransformerForName(nullptr, "TestTransformer");
    EXPECT_FALSE(SFValueTransformer::valueTransformerForName("TestTransformer"));
}
