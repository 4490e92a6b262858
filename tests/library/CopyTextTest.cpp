#include <gtest/gtest.h>

#include "RecordTestSupport.h"
#include "library/LLCopyColumn.h"
#include "library/SFDateTransformer.h"
#include "library/SFNumberTransformer.h"
#include "platform/SFLocalizeHelper.h"

using library::LLCopyColumn;
using library::LLInvoiceRecord;
using library::SFValueTransformer;

namespace {

// The shared transformers and the interface in US English for the length of a test.
class CopyText : public ::testing::Test {
  protected:
    void SetUp() override {
        savedLanguage_ = platform::SFLocalizeHelper::sharedHelper().currentLanguage();
        platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage("en");
        number()->setLocale("en_US");
        date()->setLocale("en_US");
    }
    void TearDown() override {
        number()->setLocale("");
        date()->setLocale("");
        platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(savedLanguage_);
    }
    static std::shared_ptr<library::SFNumberTransformer> number() {
        return SFValueTransformer::transformerNamed<library::SFNumberTransformer>(
            "SFNumberTransformer");
    }
    static std::shared_ptr<library::SFDateTransformer> date() {
        return SFValueTransformer::transformerNamed<library::SFDateTransformer>(
            "SFMediumDateTransformer");
    }

    std::string savedLanguage_;
    TestLibrary library_;
};

}  // namespace

TEST_F(CopyText, TwoRowsGiveHeaderAndTwoLines) {
    LLInvoiceRecord::Summary first;
    first.dateIssued = instant(2024, 7, 16);
    first.dateDue = instant(2024, 8, 15);
    first.taxExclusiveAmount = decimal("1234.5");
    first.taxInclusiveAmount = decimal("1469.055");
    first.sellerName = "Lieferant GmbH";
    first.name = "471102";
    first.currencyCode = "EUR";
    LLInvoiceRecord::Summary second;
    second.dateIssued = instant(2023, 1, 2);
    second.taxExclusiveAmount = decimal("0.123456");
    second.taxInclusiveAmount = decimal("19");
    second.sellerName = "Other";
    second.name = "B-2";
    std::vector<std::shared_ptr<LLInvoiceRecord>> arranged{
        library_.add(first), library_.addIssued(instant(2024, 1, 1), "Skipped", "X"),
        library_.add(second)};

    std::string text = library::copyTextUsingInstructions(arranged, {2, 0, 7},
                                                          library::invoiceListCopyInstructions());
    EXPECT_EQ(text,
              "Seller\tNumber\tIssued\tDue\tCurrency\tNet\tGross\n"
              "Lieferant GmbH\t471102\tJul 16, 2024\tAug 15, 2024\tEUR\t1,234.50\t1,469.055\n"
              "Other\tB-2\tJan 2, 2023\t\t\t0.12346\t19.00\n");
}

TEST_F(CopyText, NoSelectionCopiesTheHeaderOnly) {
    std::vector<std::shared_ptr<LLInvoiceRecord>> arranged{library_.addIssued(instant(2024, 1, 1))};
    EXPECT_EQ(
        library::copyTextUsingInstructions(arranged, {}, library::invoiceListCopyInstructions()),
        "Seller\tNumber\tIssued\tDue\tCurrency\tNet\tGross\n");
}

TEST_F(CopyText, UnregisteredTransformerShowsThePlainValue) {
    auto record = library_.addIssued(instant(2024, 1, 1), "S", "N");
    std::vector<LLCopyColumn> columns{{"Number", "name", "NoSuchTransformer"},
                                      {"Amount", "taxInclusiveAmount", "SFNumberTransformer"},
                                      {"Seller as number", "sellerName", "SFNumberTransformer"},
                                      {"Unknown", "noSuchKey", std::nullopt}};
    EXPECT_EQ(library::copyTextForRecords({record}, columns),
              "Number\tAmount\tSeller as number\tUnknown\nN\t\t\t\n");
}

TEST_F(CopyText, AbsentValuesAreEmptyCellsAndValuesStayInTheirCell) {
    auto record = library_.addIssued(instant(2024, 1, 1), "Müller\tGmbH\nBau", "R\r\n7");
    std::vector<LLCopyColumn> columns{{"Seller", "sellerName", std::nullopt},
                                      {"Number", "name", std::nullopt},
                                      {"Due", "dateDue", "SFMediumDateTransformer"}};
    EXPECT_EQ(library::copyTextForRecords({record}, columns),
              "Seller\tNumber\tDue\nMüller GmbH Bau\tR  7\t\n");
}
