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

// Text values lose the white space and line breaks written around them in the XML.
TEST(CorpusReader, TextValuesAreTrimmed) {
    SKIP_WITHOUT_CORPUS();
    auto read = readInvoice(readCorpusFile("zugferd/XML-Rechnung/UBL/EN16931_Rabatte.ubl.xml"));
    ASSERT_TRUE(read.invoice);
    const auto& inv = *read.invoice;
    // Written as "\nRechnung gemäß … 01.03.2018. \n      \n      ".
    EXPECT_EQ(inv.lead, "Rechnung gemäß Bestellung Nr. 2018-471331 vom 01.03.2018.");
    ASSERT_TRUE(inv.notes && inv.notes->size() >= 2);
    // Written as "#AAK#\nEs bestehen …\n\t\t\t\n      ".
    EXPECT_EQ((*inv.notes)[0]->note, "Es bestehen Rabatt- und Bonusvereinbarungen.");
    for (const auto& note : *inv.notes) {
        ASSERT_TRUE(note->note);
        EXPECT_EQ(std::string(" \t\r\n").find(note->note->front()), std::string::npos)
            << "leading white space in " << *note->note;
        EXPECT_EQ(std::string(" \t\r\n").find(note->note->back()), std::string::npos)
            << "trailing white space in " << *note->note;
    }
}

// Address lines 2 (AdditionalStreetName) and 3 (AddressLine) of UBL parties are both kept.
TEST(CorpusReader, UBLAddressLinesTwoAndThree) {
    SKIP_WITHOUT_CORPUS();
    auto read = readInvoice(readCorpusFile(
        "xrechnung/testsuite/technical-cases/cius/01.02_comprehensive_test_ubl.xml"));
    ASSERT_TRUE(read.invoice && read.invoice->seller && read.invoice->buyer);
    EXPECT_EQ(read.invoice->seller->lineOne, "[Seller address line 1]");
    EXPECT_EQ(read.invoice->seller->lineTwo, "[Seller address line 2], [Seller address line 3]");
    EXPECT_EQ(read.invoice->buyer->lineTwo, "[Buyer address line 2], [Buyer address line 3]");
    ASSERT_TRUE(read.invoice->shipTo);
    EXPECT_EQ(read.invoice->shipTo->lineTwo, "4. OG");
}

// The bollo is shown as its own totals row; it is part of the document total, not added on top.
TEST(CorpusReader, FatturaPAStampDutyRow) {
    SKIP_WITHOUT_CORPUS();
    auto read = readInvoice(readCorpusFile("fatturapa/eigor/con-bollo.xml"));
    ASSERT_TRUE(read.invoice);
    const auto& inv = *read.invoice;
    EXPECT_EQ(str(inv.stampDutyAmount), "2");
    EXPECT_EQ(str(inv.finalAmount), "1302");
    auto d = inv.substitutionDictionary();
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->count("document.stampduty"));
    const auto* shown = std::get_if<std::string>(&d->at("document.stampduty"));
    ASSERT_TRUE(shown);
    EXPECT_NE(shown->find('2'), std::string::npos) << *shown;

    // Without a bollo there is no row.
    auto plain = readInvoice(readCorpusFile("fatturapa/official/IT01234567890_FPA03.xml"));
    ASSERT_TRUE(plain.invoice);
    EXPECT_FALSE(plain.invoice->substitutionDictionary()->count("document.stampduty"));
}
