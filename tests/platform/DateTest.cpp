#include <gtest/gtest.h>

#include "platform/Date.h"

using platform::Date;

TEST(Date, ReadsBothInvoiceFormats) {
    EXPECT_EQ(Date::parseInvoiceDate("20240716"), (Date{2024, 7, 16}));
    EXPECT_EQ(Date::parseInvoiceDate("2024-07-16"), (Date{2024, 7, 16}));
    EXPECT_EQ(Date::parseInvoiceDate(" 2024-07-16\n"), (Date{2024, 7, 16}));
    // xs:date may carry a time zone; the day stays the day written.
    EXPECT_EQ(Date::parseInvoiceDate("2024-07-16Z"), (Date{2024, 7, 16}));
    EXPECT_EQ(Date::parseInvoiceDate("2024-07-16+02:00"), (Date{2024, 7, 16}));
}

TEST(Date, RefusesOtherTexts) {
    for (const char* text : {"16.07.2024", "", "2024716", "2024-7-16", "2024-02-30", "20230229",
                             "2024-13-01", "2024-07-16T10:00:00", "abcdefgh", "2024-07-16+2"})
        EXPECT_FALSE(Date::parseInvoiceDate(text)) << text;
    EXPECT_TRUE(Date::parseInvoiceDate("20240229"));
}

TEST(Date, EpochDaysRoundTrip) {
    EXPECT_EQ((Date{1970, 1, 1}).daysSinceEpoch(), 0);
    EXPECT_EQ((Date{2000, 3, 1}).daysSinceEpoch(), 11017);
    for (std::int64_t days : {-1000000, -1, 0, 59, 60, 11016, 20000, 2932896})
        EXPECT_EQ(Date::fromDaysSinceEpoch(days).daysSinceEpoch(), days);
}

TEST(Date, StartOfDayFollowsTheTimeZone) {
    Date day{2024, 7, 16};
    EXPECT_DOUBLE_EQ(day.startOfDayInstant("UTC"), 19920.0 * 86400000.0);
    // Berlin is two hours ahead in summer: its midnight is 22:00 UTC the day before.
    EXPECT_DOUBLE_EQ(day.startOfDayInstant("Europe/Berlin"), 19920.0 * 86400000.0 - 7200000.0);
    EXPECT_EQ(Date::fromInstant(day.startOfDayInstant("Europe/Berlin"), "Europe/Berlin"), day);
    EXPECT_EQ(Date::fromInstant(day.startOfDayInstant("America/New_York"), "America/New_York"), day);
}
