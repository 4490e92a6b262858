// Finding the notations of an amount in the text of a page: numbers of their own only, boxes
// of the characters found, overlapping places merged.
#include <gtest/gtest.h>

#include "preview/LLPDFTextSearch.h"
#include "preview/LLValueNotations.h"

using preview::findNotationsInPage;
using preview::LLPageText;
using preview::mergeOverlappingRects;

namespace {

// A line of words at `y`, each character 5 points wide, words 5 points apart.
LLPageText line(const std::vector<QString>& words, double y = 100, LLPageText page = {}) {
    double x = 10;
    for (size_t i = 0; i < words.size(); ++i) {
        std::vector<QRectF> boxes;
        for (qsizetype c = 0; c < words[i].size(); ++c) boxes.emplace_back(x + 5 * c, y, 5, 10);
        const QRectF wordBox(x, y, 5 * words[i].size(), 10);
        page.appendWord(words[i], wordBox, boxes, true, i + 1 == words.size());
        x += 5 * words[i].size() + 5;
    }
    return page;
}

std::vector<QRectF> find(const LLPageText& page, const char* value) {
    return findNotationsInPage(
        page, preview::generatePossibleStringsForNumber(*platform::Decimal::parse(value)));
}

TEST(TextSearch, FindsTheAmountInEveryNotationOnThePage) {
    // Clicking 1234.5 highlights a printed 1.234,50 and a printed 1,234.50.
    LLPageText page = line({"Total", "1.234,50", "EUR"});
    page = line({"Sum", "1,234.50"}, 120, page);
    const auto found = find(page, "1234.5");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], QRectF(40, 100, 40, 10));  // after "Total" and a gap
    EXPECT_EQ(found[1], QRectF(30, 120, 40, 10));
}

TEST(TextSearch, AWholeNumberIsFoundOnlyWithItsFraction) {
    // Clicking 19 does not highlight a bare 19 but does highlight 19,00.
    const auto found = find(line({"Pos", "19", "19,00"}), "19");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].left(), 10 + 15 + 5 + 10 + 5);
}

TEST(TextSearch, PartsOfLongerNumbersAreNotTheAmount) {
    // Each of these holds the characters of 19,00 (or 12,50) without printing that amount.
    for (const char* word : {"119,00", "19,005", "1.119,00", "19,00000", "219.00"}) {
        EXPECT_TRUE(find(line({word}), "19").empty()) << word;
    }
    EXPECT_TRUE(find(line({"12,500.00"}), "12.5").empty());
    EXPECT_TRUE(find(line({"0,50"}), "10.5").empty());
    // A currency or a sign beside the amount is no digit: still found.
    EXPECT_EQ(find(line({"€19,00"}), "19").size(), 1u);
    EXPECT_EQ(find(line({"19,00€"}), "19").size(), 1u);
    EXPECT_EQ(find(line({"(19.00)"}), "19").size(), 1u);
}

TEST(TextSearch, BlanksOfNumberFormattersCountAsBlanks) {
    // French and Swiss formatters group with a narrow no-break space.
    const auto found = find(line({QString::fromUtf8("1\u202F234,50")}), "1234.5");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].width(), 40);
    // A group mark printed as a gap between two words.
    EXPECT_EQ(find(line({"1", "234,50"}), "1234.5").size(), 1u);
}

TEST(TextSearch, AMatchDoesNotRunAcrossLines) {
    LLPageText page = line({"1"});
    page = line({"234,50"}, 120, page);
    EXPECT_TRUE(find(page, "1234.5").empty());
}

TEST(TextSearch, CharactersWithoutBoxesTakeTheBoxOfTheirWord) {
    LLPageText page;
    page.appendWord("336.90", QRectF(50, 60, 30, 10), {}, false, true);
    const auto found = find(page, "336.9");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], QRectF(50, 60, 30, 10));
}

TEST(TextSearch, OverlappingRectanglesMergeIntoOne) {
    const auto merged = mergeOverlappingRects(
        {QRectF(0, 0, 10, 10), QRectF(5, 5, 10, 10), QRectF(100, 4, 5, 10), QRectF(14, 14, 5, 5)});
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0], QRectF(0, 0, 19, 19));  // a chain of overlaps joins as a whole
    EXPECT_EQ(merged[1], QRectF(100, 4, 5, 10));
    // Touching edges are no overlap.
    EXPECT_EQ(mergeOverlappingRects({QRectF(0, 0, 10, 10), QRectF(10, 0, 10, 10)}).size(), 2u);
}

TEST(TextSearch, PlacesComeInReadingOrder) {
    LLPageText page = line({"b", "2,50"}, 200);
    page = line({"2.50", "x", "2,50"}, 100, page);
    const auto found = find(page, "2.5");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_LT(found[0].top(), found[2].top());
    EXPECT_LT(found[0].left(), found[1].left());
    EXPECT_EQ(found[1].top(), 100);
}

}  // namespace
