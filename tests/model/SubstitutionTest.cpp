#include <cstdlib>

#include "TestSupport.h"
#include "model/LLInvoice.h"

using namespace model;
using platform::Date;
using platform::Decimal;

namespace {

Decimal dec(const char* text) { return *Decimal::parse(text); }

// Sets LC_ALL for one test and restores it afterwards.
class LocaleScope {
  public:
    explicit LocaleScope(const char* locale) {
        if (const char* old = std::getenv("LC_ALL")) saved_ = old;
        setenv("LC_ALL", locale, 1);
    }
    ~LocaleScope() {
        if (saved_)
            setenv("LC_ALL", saved_->c_str(), 1);
        else
            unsetenv("LC_ALL");
    }

  private:
    std::optional<std::string> saved_;
};

std::string at(const SubstitutionDictionary& d, const std::string& key) {
    auto value = substitutionString(d, key);
    return value ? *value : "<absent>";
}

std::shared_ptr<LLInvoice> sampleInvoice() {
    auto invoice = std::make_shared<LLInvoice>();
    invoice->number = "2024-17";
    invoice->issueDate = Date{2024, 3, 5};
    invoice->dueDate = Date{2024, 4, 4};
    invoice->dateRangeStart = Date{2024, 2, 1};
    invoice->netAmount = dec("1000.00");
    invoice->taxAmount = dec("190.00");
    invoice->grossAmount = dec("1190.00");
    invoice->finalAmount = dec("1140.00");
    invoice->finalAmountAsString = "1140.00";
    invoice->currency = std::make_shared<LLInvoiceCurrency>();
    invoice->currency->name = "EUR";
    invoice->seller = std::make_shared<LLInvoiceTradeParty>();
    invoice->seller->name = "Lieferant GmbH";
    invoice->seller->accountName = "Lieferant GmbH";
    invoice->seller->bic = "COBADEFFXXX";
    return invoice;
}

}  // namespace

TEST(SubstitutionDictionary, InvoiceKeysInEnglishAndGerman) {
    auto invoice = sampleInvoice();
    {
        LocaleScope locale("en_US.UTF-8");
        SubstitutionDictionary d = *invoice->substitutionDictionary();
        EXPECT_EQ(at(d, "document.number"), "2024-17");
        EXPECT_EQ(at(d, "document.sent"), "3/5/2024");
        EXPECT_EQ(at(d, "document.due"), "4/4/2024");
        EXPECT_EQ(at(d, "document.daterange"), "2/1/2024 - ");
        EXPECT_EQ(at(d, "document.costwithtaxes"), "1,140.00");  // amount due
        EXPECT_EQ(at(d, "costwithtaxes"), "1,190.00");           // gross total
        EXPECT_EQ(at(d, "document.cost"), "1,000.00");
        EXPECT_EQ(at(d, "taxes"), "190.00");
        EXPECT_EQ(at(d, "qrtotal"), "1140.00");
        EXPECT_EQ(at(d, "document.label"), "Rechnung");
        EXPECT_EQ(at(d, "document.reference"), "");
        EXPECT_EQ(at(d, "currency.name"), "EUR");
        EXPECT_EQ(at(d, "currency.shortname"), "EUR");
        EXPECT_EQ(at(d, "sender.accountName"), "Lieferant GmbH");
        EXPECT_EQ(at(d, "sender.bic"), "COBADEFFXXX");
        // A seller without IBAN still has the key; a missing buyer has none.
        EXPECT_EQ(at(d, "sender.iban"), "");
        EXPECT_EQ(at(d, "sender.salutation"), "");
        for (const auto& [key, value] : d) EXPECT_NE(key.rfind("recipient.", 0), 0u) << key;
    }
    {
        LocaleScope locale("de_DE.UTF-8");
        SubstitutionDictionary d = *invoice->substitutionDictionary();
        EXPECT_EQ(at(d, "document.sent"), "05.03.2024");
        EXPECT_EQ(at(d, "document.costwithtaxes"), "1.140,00");
        EXPECT_EQ(at(d, "costwithtaxes"), "1.190,00");
        // The payment amount keeps the invoice's own form in every locale.
        EXPECT_EQ(at(d, "qrtotal"), "1140.00");
    }
}

TEST(SubstitutionDictionary, MissingAmountsAndDatesAndPrepaid) {
    LocaleScope locale("en_US.UTF-8");
    LLInvoice empty;
    SubstitutionDictionary d = *empty.substitutionDictionary();
    EXPECT_EQ(at(d, "document.due"), "");
    EXPECT_EQ(at(d, "document.daterange"), "");
    EXPECT_EQ(at(d, "document.costwithtaxes"), "<absent>");
    EXPECT_EQ(at(d, "qrtotal"), "<absent>");
    EXPECT_FALSE(empty.prepaidDictionary());

    auto invoice = sampleInvoice();
    invoice->dateRangeEnd = Date{2024, 2, 29};
    invoice->prepaidAmount = dec("50.00");
    EXPECT_EQ(at(*invoice->substitutionDictionary(), "document.daterange"), "2/1/2024 - 2/29/2024");
    SubstitutionDictionary prepaid = *invoice->prepaidDictionary();
    EXPECT_EQ(at(prepaid, "amount"), "-50.00");
    EXPECT_EQ(at(prepaid, "document.costWithTaxes"), "1,190.00");
    EXPECT_EQ(at(prepaid, "date"), "");
}

TEST(SubstitutionDictionary, LinesTaxesAllowancesNotes) {
    LocaleScope locale("de_DE.UTF-8");
    LLInvoiceItem item;
    item.lineID = "1";
    item.productName = "Beratung";
    item.netPrice = dec("80");
    item.vatRatePercent = dec("19");
    item.lineTotalAmount = dec("1234.5");
    SubstitutionDictionary line = *item.substitutionDictionary();
    EXPECT_EQ(at(line, "index"), "1");
    EXPECT_EQ(at(line, "title"), "Beratung");
    EXPECT_EQ(at(line, "cost"), "1.234,50");
    EXPECT_EQ(at(line, "unitprice"), "80,00");
    EXPECT_EQ(at(line, "taxnames"), "19\u00A0%");  // the rate as German writes it
    EXPECT_EQ(at(line, "unit"), "");
    EXPECT_EQ(at(line, "description"), "");
    // Without a quantity its keys are absent so their placeholders stay.
    EXPECT_EQ(at(line, "quantity"), "<absent>");
    EXPECT_EQ(at(line, "qty"), "<absent>");
    EXPECT_EQ(at(line, "shortquantity"), "<absent>");
    item.vatRatePercent.reset();
    EXPECT_EQ(at(*item.substitutionDictionary(), "taxnames"), "<absent>");

    LLInvoiceTax tax;
    tax.rate = dec("19.00");
    tax.net = dec("100");
    tax.tax = dec("19");
    tax.name = "USt.";
    SubstitutionDictionary taxValues = *tax.substitutionDictionary();
    EXPECT_EQ(at(taxValues, "percentage"), "19");  // plain, not the locale's form
    EXPECT_TRUE(std::holds_alternative<Decimal>(taxValues.at("percentage")));
    EXPECT_EQ(at(taxValues, "net"), "100,00");
    EXPECT_EQ(at(taxValues, "taxes"), "19,00");
    EXPECT_EQ(at(taxValues, "shortname"), "");

    LLInvoiceAllowanceCharge allowance;
    allowance.amount = dec("10");
    allowance.reason = "Treuerabatt";
    allowance.reasonCode = "95";
    SubstitutionDictionary row = allowance.substitutionDictionaryWithNet(dec("200"));
    EXPECT_EQ(at(row, "type"), "Allowance");
    EXPECT_EQ(at(row, "percentage"), "Treuerabatt");
    EXPECT_EQ(at(row, "reason"), "");
    EXPECT_EQ(at(row, "amount"), "10,00");
    EXPECT_EQ(at(row, "discount"), "10,00");
    EXPECT_EQ(at(row, "net"), "200,00");
    allowance.isCharge = true;
    EXPECT_EQ(at(allowance.substitutionDictionaryWithNet(dec("200")), "type"), "Charge");

    LLInvoiceNote note;
    EXPECT_EQ(at(*note.substitutionDictionary(), "notes"), "");
}

TEST(SubstitutionDictionary, FormattedAddressAndPrefixes) {
    LLInvoiceTradeParty party;
    party.name = "Käufer AG";
    party.cityName = "Köln";
    party.countryID = "DE";
    {
        LocaleScope locale("de_DE.UTF-8");
        EXPECT_EQ(party.formattedAddress(), "Käufer AG\nKöln\nDeutschland");
    }
    LocaleScope locale("en_US.UTF-8");
    EXPECT_EQ(party.formattedAddress(), "Käufer AG\nKöln\nGermany");
    party.lineOne = "";
    party.postcodeCode = "50667";
    EXPECT_EQ(party.formattedAddress(), "Käufer AG\n\n50667 Köln\nGermany");

    SubstitutionDictionary target{{"sender.city", std::string("old")}};
    addEntriesFromDictionaryWithPrefix(target, party.substitutionDictionary(), "sender");
    EXPECT_EQ(at(target, "sender.city"), "Köln");
    EXPECT_EQ(at(target, "sender.accountName"), "");
    size_t before = target.size();
    addEntriesFromDictionaryWithPrefix(target, SubstitutionDictionary{}, "x");
    addEntriesFromDictionaryWithPrefix(target, std::nullopt, "x");
    EXPECT_EQ(target.size(), before);

    EXPECT_EQ(party.description(),
              "SFInvoiceTradeParty - ID: (null), Name: Käufer AG, Postcode: 50667, Address: , "
              "City: Köln, Country: DE");
}

TEST(SubstitutionDictionary, CorpusInvoiceFillsSellerAndBuyer) {
    SKIP_WITHOUT_CORPUS();
    LocaleScope locale("de_DE.UTF-8");
    auto read = readInvoice(
        readCorpusFile("xrechnung/testsuite/business-cases/standard/01.01a-INVOICE_uncefact.xml"));
    ASSERT_TRUE(read.invoice);
    SubstitutionDictionary d = *read.invoice->substitutionDictionary();
    EXPECT_FALSE(at(d, "document.number").empty());
    EXPECT_NE(at(d, "sender.formattedaddress"), "<absent>");
    EXPECT_NE(at(d, "recipient.formattedaddress"), "<absent>");
    EXPECT_NE(at(d, "document.costwithtaxes").find(','), std::string::npos);
}
