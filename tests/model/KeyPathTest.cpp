#include <gtest/gtest.h>

#include "model/KeyPath.h"
#include "platform/XmlDocument.h"

using namespace model;

namespace {

const char* kOldCII = R"(<rsm:CrossIndustryDocument
    xmlns:rsm="urn:ferd:CrossIndustryDocument:invoice:1p0"
    xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:12"
    xmlns:udt="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:15">
  <rsm:HeaderExchangedDocument><ram:ID>471102</ram:ID>
    <ram:IssueDateTime><udt:DateTimeString format="102">20130305</udt:DateTimeString></ram:IssueDateTime>
  </rsm:HeaderExchangedDocument>
  <rsm:SpecifiedSupplyChainTradeTransaction><ram:ApplicableSupplyChainTradeSettlement>
    <ram:SpecifiedTradeSettlementMonetarySummation>
      <ram:LineTotalAmount currencyID="EUR">473.00</ram:LineTotalAmount>
      <ram:DuePayableAmount currencyID="EUR">529.87</ram:DuePayableAmount>
    </ram:SpecifiedTradeSettlementMonetarySummation>
  </ram:ApplicableSupplyChainTradeSettlement></rsm:SpecifiedSupplyChainTradeTransaction>
</rsm:CrossIndustryDocument>)";

}  // namespace

TEST(KeyPath, NamespaceAgnosticPathMatchesByLocalName) {
    EXPECT_EQ(namespaceAgnosticPath("Parties/SellerParty"),
              ".//*[local-name()='Parties']/*[local-name()='SellerParty']");
    EXPECT_EQ(namespaceAgnosticPath("/A//B/"), ".//*[local-name()='A']/*[local-name()='B']");
    auto doc = platform::XmlDocument::parse(
        R"(<fe:F xmlns:fe="urn:f"><x:Parties xmlns:x="urn:x"><SellerParty>S</SellerParty></x:Parties></fe:F>)");
    EXPECT_EQ(stringForKeyPath(doc->root(), namespaceAgnosticPath("Parties/SellerParty")), "S");
}

TEST(KeyPath, OlderCIIReadsThroughAlternateNames) {
    ASSERT_TRUE(alternateElements().count("ExchangedDocument"));
    // Line paths of the older generation rename two elements at once.
    EXPECT_EQ(
        alternatePath("ram:SpecifiedLineTradeSettlement/"
                      "ram:SpecifiedTradeSettlementLineMonetarySummation/ram:LineTotalAmount"),
        "ram:SpecifiedSupplyChainTradeSettlement/"
        "ram:SpecifiedTradeSettlementMonetarySummation/ram:LineTotalAmount");
    auto doc = platform::XmlDocument::parse(kOldCII);
    auto root = doc->root();
    EXPECT_EQ(stringForKeyPath(root, "rsm:ExchangedDocument/ram:ID"), "471102");
    EXPECT_EQ(dateForKeyPath(root, "rsm:ExchangedDocument/ram:IssueDateTime/udt:DateTimeString"),
              (platform::Date{2013, 3, 5}));
    EXPECT_EQ(
        decimalNumberForKeyPath(
            root, "//ram:SpecifiedTradeSettlementHeaderMonetarySummation/ram:DuePayableAmount"),
        platform::Decimal::parse("529.87"));
    // Lists never use the alternates.
    EXPECT_TRUE(nodesForKeyPath(root, "rsm:ExchangedDocument").empty());
    // The alternate of a name already holding "Header" doubles it and finds nothing.
    auto current = platform::XmlDocument::parse(
        R"(<rsm:X xmlns:rsm="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"><rsm:ExchangedDocument/></rsm:X>)");
    EXPECT_FALSE(stringForKeyPath(current->root(), "rsm:HeaderExchangedDocument"));
}

TEST(KeyPath, EmptyElementsAndBadPaths) {
    auto doc = platform::XmlDocument::parse("<r><a/><b>x</b></r>");
    EXPECT_EQ(stringForKeyPath(doc->root(), "a"), "");
    EXPECT_FALSE(decimalNumberForKeyPath(doc->root(), "a"));
    EXPECT_FALSE(dateForKeyPath(doc->root(), "a"));
    EXPECT_FALSE(decimalNumberForKeyPath(doc->root(), "b"));
    EXPECT_FALSE(stringForKeyPath(doc->root(), "a[["));
    EXPECT_FALSE(stringForKeyPath(doc->root(), "nope:a"));
    EXPECT_FALSE(elementForKeyPath(platform::XmlNode(), "a"));
    EXPECT_FALSE(stringForKeyPath(doc->root(), "count(a)"));
}

TEST(KeyPath, StandardPrefixesWorkWhateverTheDocumentUses) {
    // Default namespace for rsm, ns2 for ram, a for udt.
    auto doc = platform::XmlDocument::parse(
        R"(<CrossIndustryInvoice xmlns="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"
             xmlns:ns2="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"
             xmlns:a="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100">
             <ExchangedDocument><ns2:ID>R-1</ns2:ID><ns2:IssueDateTime><a:DateTimeString>20240716</a:DateTimeString></ns2:IssueDateTime></ExchangedDocument>
           </CrossIndustryInvoice>)");
    auto root = doc->root();
    EXPECT_EQ(stringForKeyPath(root, "rsm:ExchangedDocument/ram:ID"), "R-1");
    EXPECT_EQ(dateForKeyPath(root, "rsm:ExchangedDocument/ram:IssueDateTime/udt:DateTimeString"),
              (platform::Date{2024, 7, 16}));
    // The document's own prefixes keep working too.
    EXPECT_EQ(stringForKeyPath(root, "ns2:ExchangedDocument"), std::nullopt);
    EXPECT_EQ(stringForKeyPath(root, "//ns2:ID"), "R-1");
    // UBL with cbc as a default namespace on one element.
    auto ubl = platform::XmlDocument::parse(
        R"(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"><ID xmlns="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">U-7</ID></Invoice>)");
    EXPECT_EQ(stringForKeyPath(ubl->root(), "cbc:ID"), "U-7");
}
