// Document type, preceding invoices, totals and the payment code, read from real invoices.
#include <cstdlib>
#include <ostream>

#include "TestSupport.h"
#include "platform/SFLocalizeHelper.h"

using namespace model;

namespace {

std::string at(const SubstitutionDictionary& d, const std::string& key) {
    auto value = substitutionString(d, key);
    return value ? *value : "<absent>";
}

// Switches the label language for one test and restores it afterwards.
class LanguageScope {
  public:
    explicit LanguageScope(const std::string& language)
        : saved_(platform::SFLocalizeHelper::sharedHelper().currentLanguage()) {
        platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(language);
    }
    ~LanguageScope() { platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(saved_); }

  private:
    std::string saved_;
};

struct TypeCase {
    const char* file;
    const char* typeCode;
    DocumentKind kind;
    const char* precedingNumber;  // "" when none
    const char* titleEn;
    const char* titleDe;
};

// Test names show the file, not the bytes of the case.
void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.file; }

class DocumentTypeInCorpus : public ::testing::TestWithParam<TypeCase> {};

}  // namespace

TEST_P(DocumentTypeInCorpus, TypeTitleAndPrecedingInvoice) {
    SKIP_WITHOUT_CORPUS();
    const TypeCase& c = GetParam();
    auto read = readInvoice(readCorpusFile(c.file));
    ASSERT_TRUE(read.invoice) << c.file;
    const LLInvoice& invoice = *read.invoice;
    EXPECT_EQ(invoice.typeCode.value_or(""), c.typeCode);
    EXPECT_EQ(documentKindName(invoice.documentKind), documentKindName(c.kind));
    if (*c.precedingNumber) {
        ASSERT_FALSE(invoice.precedingInvoices.empty());
        EXPECT_EQ(invoice.precedingInvoices.front().number.value_or(""), c.precedingNumber);
        EXPECT_NE(at(*invoice.substitutionDictionary(), "document.precedinginvoice")
                      .find(c.precedingNumber),
                  std::string::npos);
    } else {
        EXPECT_TRUE(invoice.precedingInvoices.empty());
    }
    {
        LanguageScope english("en");
        EXPECT_EQ(at(*invoice.substitutionDictionary(), "document.title"), c.titleEn);
    }
    {
        LanguageScope german("de");
        EXPECT_EQ(at(*invoice.substitutionDictionary(), "document.title"), c.titleDe);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllSyntaxes, DocumentTypeInCorpus,
    ::testing::Values(TypeCase{"en16931-examples/cii/CII_example2.xml", "380",
                               DocumentKind::Invoice, "", "Invoice", "Rechnung"},
                      TypeCase{
                          "xrechnung/testsuite/business-cases/standard/01.18a-INVOICE_uncefact.xml",
                          "384", DocumentKind::Correction, "PRG1502168", "Corrective Invoice",
                          "Rechnungskorrektur"},
                      TypeCase{"zugferd/XML-Rechnung/CII/EN16931_Gutschrift.cii.xml", "389",
                               DocumentKind::SelfBilled, "", "Self-billed Invoice",
                               "Gutschrift (Selbstfakturierung)"},
                      TypeCase{"en16931-examples/ubl/ubl-tc434-creditnote1.xml", "381",
                               DocumentKind::CreditNote, "", "Credit Note", "Gutschrift"},
                      TypeCase{"en16931-examples/ubl/ubl-tc434-example5.xml", "380",
                               DocumentKind::Invoice, "TOSL109", "Invoice", "Rechnung"},
                      TypeCase{"fatturapa/eigor/A10-Licenses-CreditNote.xml", "TD04",
                               DocumentKind::CreditNote, "", "Credit Note", "Gutschrift"},
                      TypeCase{"fatturapa/official/IT01234567890_FPA01.xml", "TD01",
                               DocumentKind::Invoice, "", "Invoice", "Rechnung"},
                      TypeCase{"facturae/gobl/credit-note.xml", "OR", DocumentKind::Correction,
                               "TEST01001F", "Corrective Invoice", "Rechnungskorrektur"}));

TEST(DocumentType, TitlesAndTotalWordingInEveryLanguage) {
    LLInvoice credit;
    credit.documentKind = DocumentKind::CreditNote;
    credit.finalAmount = platform::Decimal(25);
    const std::map<std::string, std::pair<std::string, std::string>> expected = {
        {"en", {"Credit Note", "Amount Credited"}},
        {"de", {"Gutschrift", "Gutschriftsbetrag"}},
        {"fr", {"Avoir", "Montant crédité"}},
        {"it", {"Nota di credito", "Importo accreditato"}},
        {"es", {"Nota de crédito", "Importe abonado"}}};
    for (const auto& [language, words] : expected) {
        LanguageScope scope(language);
        auto d = *credit.substitutionDictionary();
        EXPECT_EQ(at(d, "document.title"), words.first) << language;
        EXPECT_EQ(at(d, "document.amountduelabel"), words.second) << language;
    }
    LanguageScope english("en");
    // A negative amount due on an invoice is money the recipient gets back, shown unsigned.
    LLInvoice refund;
    refund.finalAmount = platform::Decimal(-40);
    auto d = *refund.substitutionDictionary();
    EXPECT_EQ(at(d, "document.amountduelabel"), "Amount Credited");
    EXPECT_EQ(at(d, "document.amountdue").find('-'), std::string::npos)
        << at(d, "document.amountdue");
    EXPECT_EQ(at(*LLInvoice().substitutionDictionary(), "document.amountduelabel"), "Amount Due");
}

TEST(Totals, AllowancesAndChargesAddUpToTheNetAmount) {
    SKIP_WITHOUT_CORPUS();
    LanguageScope english("en");
    // CII: BT-106 − BT-107 + BT-108 = BT-109; prepaid and amount due from the document.
    auto cii = readInvoice(readCorpusFile("en16931-examples/cii/CII_example2.xml"));
    ASSERT_TRUE(cii.invoice);
    const LLInvoice& a = *cii.invoice;
    ASSERT_TRUE(a.lineTotalAmount && a.allowanceTotalAmount && a.chargeTotalAmount &&
                a.taxBasisAmount);
    EXPECT_EQ(*a.lineTotalAmount - *a.allowanceTotalAmount + *a.chargeTotalAmount,
              *a.taxBasisAmount);
    auto d = *a.substitutionDictionary();
    EXPECT_EQ(at(d, "document.allowancetotal").front(), '-');
    EXPECT_NE(at(d, "document.linetotal"), "<absent>");
    EXPECT_EQ(at(d, "document.prepaid").front(), '-');
    // Each document-level allowance row is negative and names its reason.
    ASSERT_TRUE(a.allowancesCharges && !a.allowancesCharges->empty());
    for (const auto& row : *a.allowancesCharges) {
        auto values = row->substitutionDictionaryWithNet(platform::Decimal(0));
        EXPECT_EQ(at(values, "signedamount").front() == '-', !row->isCharge);
        EXPECT_NE(at(values, "label"), "");
    }

    // UBL: the same terms in their own elements.
    auto ubl = readInvoice(readCorpusFile("en16931-examples/ubl/ubl-tc434-example2.xml"));
    ASSERT_TRUE(ubl.invoice);
    const LLInvoice& b = *ubl.invoice;
    ASSERT_TRUE(b.lineTotalAmount && b.taxBasisAmount);
    EXPECT_EQ(
        *b.lineTotalAmount - b.allowanceTotalAmount.value_or(0) + b.chargeTotalAmount.value_or(0),
        *b.taxBasisAmount);
}

TEST(Totals, FatturaPAWithoutDocumentTotalAddsUpTheTaxSummaries) {
    SKIP_WITHOUT_CORPUS();
    // The official samples leave ImportoTotaleDocumento out; the amount due is still known.
    auto read = readInvoice(readCorpusFile("fatturapa/official/IT01234567890_FPA01.xml"));
    ASSERT_TRUE(read.invoice);
    const LLInvoice& invoice = *read.invoice;
    ASSERT_TRUE(invoice.netAmount && invoice.grossAmount && invoice.finalAmount);
    EXPECT_EQ(*invoice.grossAmount, *invoice.netAmount + *invoice.taxAmount);
    EXPECT_TRUE(invoice.finalAmountAsString);
}

TEST(Totals, FacturaeLineAmountsAddUpToTheSumOfLines) {
    SKIP_WITHOUT_CORPUS();
    // The first line of this file has a 5 % discount: 20 x 200 = 4000, less 200.
    for (const char* file :
         {"facturae/gobl/invoice-vat-irpf.xml", "facturae/gobl/invoice-vat-irpf-inc.xml",
          "facturae/gobl/invoice-face.xml", "facturae/gobl/invoice-vat-provider.xml",
          "facturae/fawno/factura_ejemplo.xml"}) {
        auto read = readInvoice(readCorpusFile(file));
        ASSERT_TRUE(read.invoice) << file;
        const LLInvoice& invoice = *read.invoice;
        ASSERT_TRUE(invoice.items && invoice.lineTotalAmount) << file;
        platform::Decimal sum;
        for (const auto& item : *invoice.items)
            sum = sum + item->lineTotalAmount.value_or(platform::Decimal());
        EXPECT_EQ(sum, *invoice.lineTotalAmount) << file;
    }
    auto read = readInvoice(readCorpusFile("facturae/gobl/invoice-vat-irpf.xml"));
    ASSERT_TRUE(read.invoice && read.invoice->items && !read.invoice->items->empty());
    EXPECT_EQ(read.invoice->items->front()->lineTotalAmount, platform::Decimal(3800));
}

TEST(Totals, FacturaeWithholdingIsNamedAndSubtracted) {
    SKIP_WITHOUT_CORPUS();
    LanguageScope english("en");
    auto read = readInvoice(readCorpusFile("facturae/gobl/invoice-vat-irpf.xml"));
    ASSERT_TRUE(read.invoice);
    const LLInvoice& invoice = *read.invoice;
    EXPECT_EQ(invoice.withholdingName.value_or(""), "IRPF");
    ASSERT_TRUE(invoice.grossAmount && invoice.finalAmount && invoice.withholdingAmount);
    EXPECT_EQ(*invoice.grossAmount - *invoice.withholdingAmount, *invoice.finalAmount);
    auto d = *invoice.substitutionDictionary();
    EXPECT_EQ(at(d, "document.withholdinglabel"), "Withholding tax (IRPF)");
    EXPECT_EQ(at(d, "document.withholding").front(), '-');
    // Tax names, not codes.
    ASSERT_FALSE(invoice.taxes->empty());
    for (const auto& tax : *invoice.taxes) EXPECT_EQ(tax->name.value_or(""), "IVA");
    // The payment means code ("04") is not shown as payment terms.
    auto face = readInvoice(readCorpusFile("facturae/gobl/invoice-face.xml"));
    ASSERT_TRUE(face.invoice);
    EXPECT_FALSE(face.invoice->conditions);
}

TEST(IBAN, ChecksumCountryAndLength) {
    EXPECT_EQ(validIBAN("DE89 3704 0044 0532 0130 00").value_or(""), "DE89370400440532013000");
    EXPECT_EQ(validIBAN("de89370400440532013000").value_or(""), "DE89370400440532013000");
    EXPECT_FALSE(validIBAN("DE88370400440532013000"));         // check digits off by one
    EXPECT_FALSE(validIBAN("5050-1055"));                      // a Swedish bankgiro number
    EXPECT_FALSE(validIBAN("BR1800360305000010009795493C1"));  // outside SEPA
    EXPECT_FALSE(validIBAN(""));
    EXPECT_TRUE(validIBAN("SE4550000000058398257466"));
    EXPECT_TRUE(validIBAN("IT60X0542811101000000123456"));
}

namespace {

struct CodeCase {
    const char* file;
    bool code;
    const char* iban;  // the code's IBAN when there is one
};

void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.file; }

class PaymentCodeInCorpus : public ::testing::TestWithParam<CodeCase> {};

}  // namespace

TEST_P(PaymentCodeInCorpus, OnlyForEuroAmountsDueToAPayeeIBAN) {
    SKIP_WITHOUT_CORPUS();
    const CodeCase& c = GetParam();
    auto read = readInvoice(readCorpusFile(c.file));
    ASSERT_TRUE(read.invoice) << c.file;
    auto code = read.invoice->paymentCodeValues();
    ASSERT_EQ(code.has_value(), c.code) << c.file;
    if (!code) return;
    EXPECT_EQ(at(*code, "qr.iban"), c.iban);
    EXPECT_EQ(at(*code, "qr.amount").rfind("EUR", 0), 0u);
    EXPECT_NE(at(*code, "qr.name"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, PaymentCodeInCorpus,
    ::testing::Values(
        // Credit notes ask nobody to pay.
        CodeCase{"en16931-examples/ubl/ubl-tc434-creditnote1.xml", false, ""},
        CodeCase{"fatturapa/eigor/A10-Licenses-CreditNote.xml", false, ""},
        CodeCase{"facturae/gobl/credit-note.xml", false, ""},
        // Swedish kronor, bankgiro account.
        CodeCase{"en16931-examples/ubl-testfiles/BIS_Billing_30-Kreditering_med_kreditnota.xml",
                 false, ""},
        CodeCase{"en16931-examples/cii/CII_example2.xml", false, ""},
        CodeCase{"xrechnung/testsuite/business-cases/standard/01.10a-INVOICE_ubl.xml", true,
                 "DE79000000001234567890"}));

namespace {

std::shared_ptr<LLInvoice> payable() {
    auto invoice = std::make_shared<LLInvoice>();
    invoice->number = "2024-17";
    invoice->finalAmount = *platform::Decimal::parse("119.5");
    invoice->currency = std::make_shared<LLInvoiceCurrency>();
    invoice->currency->name = "EUR";
    invoice->seller = std::make_shared<LLInvoiceTradeParty>();
    invoice->seller->name = "Seller GmbH";
    invoice->creditTransferIBAN = validIBAN("DE89 3704 0044 0532 0130 00");
    return invoice;
}

}  // namespace

TEST(PaymentCode, RulesOfTheTransferCode) {
    auto base = payable();
    auto code = *base->paymentCodeValues();
    EXPECT_EQ(at(code, "qr.iban"), "DE89370400440532013000");
    EXPECT_EQ(at(code, "qr.amount"), "EUR119.50");
    EXPECT_EQ(at(code, "qr.name"), "Seller GmbH");    // no holder, no payee: the seller
    EXPECT_EQ(at(code, "qr.remittance"), "2024-17");  // no payment reference: the number
    EXPECT_EQ(at(code, "qr.bic"), "<absent>");

    auto named = payable();
    named->payeeName = "Factor AG";
    EXPECT_EQ(at(*named->paymentCodeValues(), "qr.name"), "Factor AG");
    named->creditTransferAccountName = "Factor AG Treuhandkonto";
    named->paymentReference = " RF18 5390 0754 7034 ";
    named->creditTransferBIC = "COBADEFFXXX";
    auto full = *named->paymentCodeValues();
    EXPECT_EQ(at(full, "qr.name"), "Factor AG Treuhandkonto");
    EXPECT_EQ(at(full, "qr.remittance"), "RF18 5390 0754 7034");
    EXPECT_EQ(at(full, "qr.bic"), "COBADEFFXXX");

    // Each of these takes the code away.
    auto credit = payable();
    credit->documentKind = DocumentKind::CreditNote;
    auto kronor = payable();
    kronor->currency->name = "SEK";
    auto zero = payable();
    zero->finalAmount = platform::Decimal(0);
    auto negative = payable();
    negative->finalAmount = platform::Decimal(-5);
    auto noAccount = payable();
    noAccount->creditTransferIBAN.reset();
    auto nameless = payable();
    nameless->seller->name = " ";
    for (const auto& invoice : {credit, kronor, zero, negative, noAccount, nameless})
        EXPECT_FALSE(invoice->paymentCodeValues());
}

TEST(PaymentCode, DirectDebitAndNonIBANAccountsAreNoPayeeAccount) {
    SKIP_WITHOUT_CORPUS();
    // Swedish bankgiro number: an account, but no IBAN.
    auto sek = readInvoice(readCorpusFile(
        "en16931-examples/ubl-testfiles/BIS_Billing_30-Kreditering_med_kreditnota.xml"));
    ASSERT_TRUE(sek.invoice);
    EXPECT_FALSE(sek.invoice->creditTransferIBAN);
    ASSERT_FALSE(sek.invoice->paymentAccounts.empty());
    LanguageScope english("en");
    auto accounts = at(*sek.invoice->substitutionDictionary(), "payment.accounts");
    EXPECT_EQ(accounts.find("IBAN"), std::string::npos) << accounts;
    // A FatturaPA SEPA direct debit (MP19) is paid from the buyer's account.
    auto debit = readInvoice(readCorpusFile("fatturapa/official/IT01234567890_FPR03.xml"));
    auto second = LLInvoice::invoicesFromXML(debit.document->root());
    ASSERT_EQ(second.size(), 2u);
    ASSERT_FALSE(second[1]->paymentAccounts.empty());
    EXPECT_TRUE(second[1]->paymentAccounts.front().directDebit);
    EXPECT_FALSE(second[1]->creditTransferIBAN);
    EXPECT_FALSE(second[1]->paymentCodeValues());
}

namespace {

struct TermCase {
    const char* file;
    const char* language;
    const char* key;       // substitution key
    const char* contains;  // text the value must hold
};

void PrintTo(const TermCase& c, std::ostream* os) {
    *os << c.file << " " << c.language << " " << c.key;
}

class BusinessTermsOnThePage : public ::testing::TestWithParam<TermCase> {};

}  // namespace

TEST_P(BusinessTermsOnThePage, ValueOfTheKey) {
    SKIP_WITHOUT_CORPUS();
    const TermCase& c = GetParam();
    auto read = readInvoice(readCorpusFile(c.file));
    ASSERT_TRUE(read.invoice) << c.file;
    LanguageScope language(c.language);
    const char* saved = std::getenv("LC_ALL");
    std::string restore = saved ? saved : "";
    setenv("LC_ALL", std::string(c.language) == "de" ? "de_DE.UTF-8" : "en_US.UTF-8", 1);
    auto d = *read.invoice->substitutionDictionary();
    std::string value = at(d, c.key);
    if (saved)
        setenv("LC_ALL", restore.c_str(), 1);
    else
        unsetenv("LC_ALL");
    EXPECT_NE(value.find(c.contains), std::string::npos) << c.key << " = " << value;
    EXPECT_EQ(value.find("#SKONTO#"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, BusinessTermsOnThePage,
    ::testing::Values(
        // Discount terms in words, with the date and the amount to pay.
        TermCase{"xrechnung/testsuite/business-cases/standard/01.10a-INVOICE_ubl.xml", "de",
                 "document.conditions", "2\u00A0% Skonto bis 04.07.2016 = 2.542,32 EUR"},
        TermCase{"xrechnung/testsuite/business-cases/standard/01.10a-INVOICE_ubl.xml", "en",
                 "document.conditions", "2% discount until 7/4/2016 = 2,542.32 EUR"},
        // Routing reference and order number each keep their own slot in UBL...
        TermCase{"xrechnung/testsuite/business-cases/standard/01.10a-INVOICE_ubl.xml", "en",
                 "document.buyerreference", "04011000-12350-85"},
        TermCase{"xrechnung/testsuite/business-cases/standard/01.10a-INVOICE_ubl.xml", "en",
                 "document.orderreference", "Dummywert"},
        // ...and the Leitweg-ID is read from CII too.
        TermCase{"xrechnung/testsuite/business-cases/standard/02.05a-INVOICE_uncefact.xml", "en",
                 "document.buyerreference", "90000000-03083-72"},
        TermCase{"xrechnung/testsuite/business-cases/standard/02.05a-INVOICE_uncefact.xml", "de",
                 "document.contractreference", "0000000752"},
        // Attachments are listed by name.
        TermCase{"xrechnung/testsuite/technical-cases/cius/01.01_comprehensive_test_uncefact.xml",
                 "en", "document.attachments", "01_15_Anhang_02.pdf"},
        TermCase{"xrechnung/testsuite/technical-cases/cius/01.03_comprehensive_test_ubl.xml", "en",
                 "document.attachments", "01_15_Anhang_01.pdf"},
        // Notes lose their subject codes.
        TermCase{"xrechnung/testsuite/business-cases/standard/01.10a-INVOICE_ubl.xml", "en",
                 "document.lead", "Wir liefern"}));

TEST(UBLReader, VATIdOfTheVATSchemePositionsAndUnits) {
    SKIP_WITHOUT_CORPUS();
    auto read =
        readInvoice(readCorpusFile("en16931-examples/ubl-testfiles/BIS_Billing_30-Telefoni.xml"));
    ASSERT_TRUE(read.invoice);
    EXPECT_EQ(read.invoice->seller->vatNumber.value_or(""), "SE556677889901");
    ASSERT_FALSE(read.invoice->items->empty());
    for (const auto& item : *read.invoice->items) {
        EXPECT_TRUE(item->lineID) << "the position column needs the line id";
        EXPECT_TRUE(item->unitCode);
    }
    auto lead = readInvoice(
        readCorpusFile("xrechnung/testsuite/business-cases/standard/01.10a-INVOICE_ubl.xml"));
    EXPECT_EQ(lead.invoice->lead->rfind("#", 0), std::string::npos) << *lead.invoice->lead;
}

TEST(CIIReader, OlderGenerationLinesTaxesAndUnits) {
    // ZUGFeRD 1.0 COMFORT, from the ZUGFeRD corpus PDF ZUGFeRD_1p0_COMFORT_Rabatte.pdf.
    std::ifstream in(std::string(LEDGERLENS_MODEL_TEST_DATA) + "/zugferd1-comfort-rabatte.xml");
    std::stringstream xml;
    xml << in.rdbuf();
    auto read = readInvoice(xml.str());
    ASSERT_TRUE(read.invoice);
    const LLInvoice& invoice = *read.invoice;
    ASSERT_FALSE(invoice.taxes->empty());
    for (const auto& tax : *invoice.taxes) {
        EXPECT_TRUE(tax->rate && tax->net && tax->tax);
    }
    int priced = 0;
    for (const auto& item : *invoice.items) {
        if (!item->lineID) continue;  // a text line
        ++priced;
        EXPECT_TRUE(item->billedQuantity && item->netPrice && item->lineTotalAmount)
            << item->description();
        EXPECT_TRUE(item->unitCode);
    }
    EXPECT_GT(priced, 0);
    // The first line's gross price and discount let quantity × price = amount be followed.
    const auto& first = *(*invoice.items)[1];
    EXPECT_EQ(str(first.grossPrice), "4");
    EXPECT_EQ(str(first.priceDiscount), "0.6667");
    LanguageScope german("de");
    auto line = *first.substitutionDictionary();
    EXPECT_EQ(at(line, "unitname"), "m²");
    EXPECT_NE(at(line, "detail").find("4012345001235"), std::string::npos) << at(line, "detail");
}
