// The notations an amount is looked for in a PDF.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "preview/LLValueNotations.h"

using preview::generatePossibleStringsForNumber;

namespace {

std::set<std::string> notationsOf(const char* value) {
    auto number = platform::Decimal::parse(value);
    EXPECT_TRUE(number) << value;
    auto list = generatePossibleStringsForNumber(*number);
    std::set<std::string> unique(list.begin(), list.end());
    EXPECT_EQ(unique.size(), list.size()) << "duplicates for " << value;
    return unique;
}

struct NotationCase {
    const char* value;
    size_t count;
    std::vector<std::string> present;
    std::vector<std::string> absent;
};

void PrintTo(const NotationCase& row, std::ostream* out) { *out << row.value; }

class NotationTable : public ::testing::TestWithParam<NotationCase> {};

TEST_P(NotationTable, HoldsTheUsualNotations) {
    const NotationCase& row = GetParam();
    const auto notations = notationsOf(row.value);
    EXPECT_EQ(notations.size(), row.count) << row.value;
    for (const auto& text : row.present) EXPECT_TRUE(notations.count(text)) << text;
    for (const auto& text : row.absent) EXPECT_FALSE(notations.count(text)) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Amounts, NotationTable,
    ::testing::Values(
        // 6 integer forms × 2 decimal marks × 3 fraction lengths.
        NotationCase{
            "1234.5",
            36,
            {"1234.50", "1,234.50", "1.234,50", "1'234.500", "1 234,5", "1\u2019234,50", "1234,5"},
            {"1234", "1.234"}},
        // The trailing zeros of the stored value do not count: 1234.50 is 1234.5.
        NotationCase{"1234.50", 36, {"1.234,50", "1234.5"}, {}},
        // A whole number is never looked for on its own.
        NotationCase{"19",
                     6,
                     {"19.00", "19.000", "19.0000", "19,00", "19,000", "19,0000"},
                     {"19", "19.0", "19,0"}},
        NotationCase{"19.00", 6, {"19,00"}, {"19"}},
        NotationCase{"0.5", 6, {"0.5", "0.50", "0,500"}, {".5"}},
        NotationCase{"336.9", 6, {"336.90", "336,90"}, {}},
        // The sign counts as a character of the integer part.
        NotationCase{"-123.4", 36, {"-,123.40", "-123,40", "-.123,4"}, {"123.40"}},
        NotationCase{"-12.5", 6, {"-12.50", "-12,5"}, {}},
        // Seven digits and more: one mark before the last three, and marks between all groups
        // (both without a mark are the same: 11 integer forms).
        NotationCase{"1234567.89",
                     66,
                     {"1234.567,89", "1234567.89", "1.234.567,89", "1,234,567.89", "1 234 567,89",
                      "1'234'567.890"},
                     {"1.234567,89"}},
        NotationCase{"-1234567", 66, {"-1.234.567,00", "-1234.567,00"}, {"-.1234.567,00"}},
        NotationCase{"0.12345", 6, {"0.12345", "0,1234500"}, {}}),
    [](const ::testing::TestParamInfo<NotationCase>& info) {
        std::string name = std::to_string(info.index) + "_";
        for (const char* c = info.param.value; *c; ++c) {
            name += *c == '-'   ? std::string("minus")
                    : *c == '.' ? std::string("_")
                                : std::string(1, *c);
        }
        return name;
    });

}  // namespace
