#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace model;

// Spot checks of fields the corpus script does not compare, on real invoices.
TEST(CorpusReader, CIIExampleWithPrepaymentAndThreeTaxRates) {
    SKIP_WITHOUT_CORPUS();
    auto read = readInvoice(readCorpusFile("en16931-examples/cii/CII_example2.xml"));
    ASSERT_TRUE(read.invoice);
    auto& inv = *read.invoice;
    EXPECT_EQ(inv.number, "TOSL108");
    EXPECT_EQ(inv.dueDate, (platform::Date{2013, 7, 20}));
    EXPECT_EQ(inv.dateRangeStart, (platform::Date{2013, 6, 1}));
    EXPECT_EQ(str(inv.prepaidAmount), "1000");
    EXPECT_EQ(inv.finalAmountAsString, "801.78");
    ASSERT_EQ(inv.taxes->size(), 3u);
    EXPECT_EQ(str((*inv.taxes)[2]->net), "-25");
    EXPECT_EQ(inv.seller->iban, "NO9386011117947");
    EXPECT_EQ(inv.seller->bic, "DNBANOKK");
    EXPECT_EQ(inv.seller->vatNumber, "NO123456789MVA");
    EXPECT_EQ(inv.buyer->vatNumber, "NO987654321MVA");
    EXPECT_EQ(inv.buyer->formattedName, "John Doe");
    EXPECT_EQ(inv.notes->size(), 1u);
}

TEST(CorpusReader, UBLCreditNoteFromTheTestSuite) {
    SKIP_WITHOUT_CORPUS();
    auto dir = corpusDir() / "xrechnung" / "schematron-instances" / "ubl-cn";
    std::filesystem::path sample;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".xml") {
            sample = entry.path();
            break;
        }
    ASSERT_FALSE(sample.empty());
    std::ifstream in(sample, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    auto read = readInvoice(bytes.str());
    ASSERT_TRUE(read.invoice) << sample;
    EXPECT_TRUE(read.invoice->number);
    EXPECT_TRUE(read.invoice->items && !read.invoice->items->empty()) << sample;
}

TEST(CorpusReader, FatturaPAOfficialExampleWithTwoDocuments) {
    SKIP_WITHOUT_CORPUS();
    auto read = readInvoice(readCorpusFile("fatturapa/official/IT01234567890_FPA03.xml"));
    ASSERT_TRUE(read.invoice);
    // Two bodies, two invoices, each with its own number and tax.
    auto invoices = LLInvoice::invoicesFromXML(read.document->root());
    ASSERT_EQ(invoices.size(), 2u);
    EXPECT_EQ(invoices[0]->number, "12");
    EXPECT_EQ(str(invoices[0]->taxAmount), "5.5");
    EXPECT_EQ(invoices[1]->number, "456");
    EXPECT_EQ(str(invoices[1]->taxAmount), "440");
    EXPECT_EQ(invoices[1]->seller->vatNumber, "01234567890");
}

TEST(CorpusReader, FacturaeGoblWithPayeeAccount) {
    SKIP_WITHOUT_CORPUS();
    auto read = readInvoice(readCorpusFile("facturae/gobl/invoice-face.xml"));
    ASSERT_TRUE(read.invoice);
    EXPECT_TRUE(read.invoice->seller);
    EXPECT_TRUE(read.invoice->seller->iban);
    EXPECT_GT(read.invoice->items->size(), 0u);
}
