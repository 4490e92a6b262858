#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/SFLocalizeHelper.h"

using namespace model;

namespace {

const std::string kCIIOpen =
    R"(<rsm:CrossIndustryInvoice xmlns:rsm="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"
  xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"
  xmlns:udt="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100">)";
const std::string kUBLOpen =
    R"(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
  xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
  xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">)";

std::string cii(const std::string& body) { return kCIIOpen + body + "</rsm:CrossIndustryInvoice>"; }
std::string ubl(const std::string& body) { return kUBLOpen + body + "</Invoice>"; }

InvoiceSyntax syntaxOf(const std::string& xml) {
    auto doc = platform::XmlDocument::parse(xml);
    return doc ? detectSyntax(doc->root()) : InvoiceSyntax::None;
}

}  // namespace

TEST(Syntax, DetectedFromTheRootElement) {
    EXPECT_EQ(syntaxOf(cii("")), InvoiceSyntax::CII);
    EXPECT_EQ(syntaxOf("<rsm:Invoice xmlns:rsm=\"urn:x\"/>"), InvoiceSyntax::CII);
    // Unprefixed CII is recognised by name and namespace, not mistaken for UBL.
    EXPECT_EQ(syntaxOf("<CrossIndustryInvoice xmlns=\"urn:un:unece:uncefact:data:standard:"
                       "CrossIndustryInvoice:100\"/>"),
              InvoiceSyntax::CII);
    EXPECT_EQ(
        syntaxOf(
            "<x:CrossIndustryDocument xmlns:x=\"urn:ferd:CrossIndustryDocument:invoice:1p0\"/>"),
        InvoiceSyntax::CII);
    EXPECT_EQ(syntaxOf("<ns3:FatturaElettronica xmlns:ns3=\"urn:it\"/>"), InvoiceSyntax::FatturaPA);
    EXPECT_EQ(syntaxOf(ubl("")), InvoiceSyntax::UBL);
    EXPECT_EQ(syntaxOf("<ubl:CreditNote xmlns:ubl=\"urn:oasis:names:specification:ubl:schema:xsd:"
                       "CreditNote-2\"/>"),
              InvoiceSyntax::UBL);
    EXPECT_EQ(syntaxOf("<fe:Facturae xmlns:fe=\"urn:es\"/>"), InvoiceSyntax::Facturae);
    EXPECT_EQ(syntaxOf("<testSet/>"), InvoiceSyntax::None);
    EXPECT_EQ(syntaxOf("<Order/>"), InvoiceSyntax::None);
    EXPECT_FALSE(LLInvoiceElement::elementFromXML<LLInvoice>(platform::XmlNode()));
    auto other = platform::XmlDocument::parse("<Order><x/></Order>");
    EXPECT_FALSE(LLInvoiceElement::elementFromXML<LLInvoice>(other->root()));
    // A child element decides by its document's root, not by its own name.
    auto doc = platform::XmlDocument::parse(
        cii("<rsm:ExchangedDocument><ram:ID>7</ram:ID></rsm:ExchangedDocument>"));
    auto note = LLInvoiceElement::elementFromXML<LLInvoiceNote>(doc->root().childElements()[0]);
    EXPECT_TRUE(note);
}

TEST(CIIReader, LinesPartiesConditionsAndCharges) {
    auto read = readInvoice(cii(R"(
  <rsm:SupplyChainTradeTransaction>
    <ram:IncludedSupplyChainTradeLineItem>
      <ram:AssociatedDocumentLineDocument><ram:LineID>1</ram:LineID></ram:AssociatedDocumentLineDocument>
      <ram:SpecifiedTradeProduct><ram:Name>Pens</ram:Name></ram:SpecifiedTradeProduct>
      <ram:SpecifiedLineTradeAgreement><ram:NetPriceProductTradePrice><ram:ChargeAmount>1.50</ram:ChargeAmount></ram:NetPriceProductTradePrice></ram:SpecifiedLineTradeAgreement>
      <ram:SpecifiedLineTradeSettlement><ram:SpecifiedTradeSettlementLineMonetarySummation><ram:LineTotalAmount>15.00</ram:LineTotalAmount></ram:SpecifiedTradeSettlementLineMonetarySummation></ram:SpecifiedLineTradeSettlement>
    </ram:IncludedSupplyChainTradeLineItem>
    <ram:IncludedSupplyChainTradeLineItem>
      <ram:AssociatedDocumentLineDocument><ram:LineID>2</ram:LineID></ram:AssociatedDocumentLineDocument>
      <ram:SpecifiedTradeProduct><ram:Name>Paper</ram:Name></ram:SpecifiedTradeProduct>
      <ram:SpecifiedLineTradeAgreement><ram:NetPriceProductTradePrice><ram:ChargeAmount>4</ram:ChargeAmount></ram:NetPriceProductTradePrice></ram:SpecifiedLineTradeAgreement>
      <ram:SpecifiedLineTradeSettlement><ram:SpecifiedTradeSettlementLineMonetarySummation><ram:LineTotalAmount>8</ram:LineTotalAmount></ram:SpecifiedTradeSettlementLineMonetarySummation></ram:SpecifiedLineTradeSettlement>
    </ram:IncludedSupplyChainTradeLineItem>
    <ram:ApplicableHeaderTradeAgreement>
      <ram:SellerTradeParty><ram:Name>Seller AG</ram:Name>
        <ram:DefinedTradeContact><ram:TelephoneUniversalCommunication><ram:CompleteNumber>+49 1</ram:CompleteNumber></ram:TelephoneUniversalCommunication></ram:DefinedTradeContact>
        <ram:SpecifiedTaxRegistration><ram:ID schemeID="VA">DE123</ram:ID></ram:SpecifiedTaxRegistration>
      </ram:SellerTradeParty>
      <ram:BuyerTradeParty><ram:Name>Buyer KG</ram:Name>
        <ram:SpecifiedTaxRegistration><ram:ID schemeID="FC">201/113</ram:ID></ram:SpecifiedTaxRegistration>
      </ram:BuyerTradeParty>
    </ram:ApplicableHeaderTradeAgreement>
    <ram:ApplicableHeaderTradeSettlement>
      <ram:InvoiceCurrencyCode>EUR</ram:InvoiceCurrencyCode>
      <ram:SpecifiedTradeSettlementPaymentMeans><ram:TypeCode>58</ram:TypeCode>
        <ram:PayeePartyCreditorFinancialAccount><ram:IBANID>DE02120300000000202051</ram:IBANID></ram:PayeePartyCreditorFinancialAccount>
      </ram:SpecifiedTradeSettlementPaymentMeans>
      <ram:SpecifiedTradeAllowanceCharge><ram:ChargeIndicator><udt:Indicator>false</udt:Indicator></ram:ChargeIndicator><ram:ActualAmount>1</ram:ActualAmount></ram:SpecifiedTradeAllowanceCharge>
      <ram:SpecifiedTradeAllowanceCharge><ram:ChargeIndicator><udt:Indicator>1</udt:Indicator></ram:ChargeIndicator></ram:SpecifiedTradeAllowanceCharge>
      <ram:SpecifiedTradeAllowanceCharge><ram:ChargeIndicator><udt:Indicator>true</udt:Indicator></ram:ChargeIndicator><ram:Reason>Freight</ram:Reason></ram:SpecifiedTradeAllowanceCharge>
      <ram:SpecifiedTradePaymentTerms><ram:Description>30 days net</ram:Description></ram:SpecifiedTradePaymentTerms>
      <ram:SpecifiedTradeSettlementHeaderMonetarySummation>
        <ram:TaxTotalAmount currencyID="GBP">123.45</ram:TaxTotalAmount>
        <ram:TaxTotalAmount currencyID="EUR">4.37</ram:TaxTotalAmount>
        <ram:GrandTotalAmount>27.37</ram:GrandTotalAmount>
      </ram:SpecifiedTradeSettlementHeaderMonetarySummation>
    </ram:ApplicableHeaderTradeSettlement>
  </rsm:SupplyChainTradeTransaction>)"));
    auto& inv = *read.invoice;
    ASSERT_TRUE(inv.items);
    ASSERT_EQ(inv.items->size(), 2u);
    EXPECT_EQ((*inv.items)[0]->lineID, "1");
    EXPECT_EQ((*inv.items)[1]->productName, "Paper");
    EXPECT_EQ(str((*inv.items)[0]->netPrice), "1.5");
    EXPECT_EQ(str((*inv.items)[1]->lineTotalAmount), "8");
    EXPECT_FALSE((*inv.items)[0]->unitCode);
    // Contact data stays with its own party.
    EXPECT_EQ(inv.seller->phoneNumber, "+49 1");
    EXPECT_FALSE(inv.buyer->phoneNumber);
    EXPECT_EQ(inv.seller->vatNumber, "DE123");
    EXPECT_FALSE(inv.seller->taxNumber);
    EXPECT_EQ(inv.buyer->taxNumber, "201/113");
    EXPECT_EQ(inv.seller->iban, "DE02120300000000202051");
    EXPECT_FALSE(inv.buyer->iban);
    EXPECT_EQ(inv.conditions, "30 days net");
    ASSERT_EQ(inv.allowancesCharges->size(), 3u);
    EXPECT_FALSE((*inv.allowancesCharges)[0]->isCharge);
    EXPECT_FALSE((*inv.allowancesCharges)[1]->isCharge);
    EXPECT_TRUE((*inv.allowancesCharges)[2]->isCharge);
    // The tax total in the invoice currency, not the tax accounting currency.
    EXPECT_EQ(str(inv.taxAmount), "4.37");
    EXPECT_EQ(str(inv.grossAmount), "27.37");
    EXPECT_FALSE(inv.lead);
    EXPECT_FALSE(inv.buyerReference);
    EXPECT_TRUE(inv.notes && inv.notes->empty());
}

TEST(CIIReader, TaxNamesAreLocalised) {
    auto& helper = platform::SFLocalizeHelper::sharedHelper();
    std::string saved = helper.currentLanguage();
    helper.setCurrentLanguage("de");
    auto read =
        readInvoice(cii(R"(<rsm:SupplyChainTradeTransaction><ram:ApplicableHeaderTradeSettlement>
      <ram:ApplicableTradeTax><ram:CalculatedAmount>19.00</ram:CalculatedAmount><ram:TypeCode>VAT</ram:TypeCode>
        <ram:BasisAmount>100.00</ram:BasisAmount><ram:RateApplicablePercent>19</ram:RateApplicablePercent></ram:ApplicableTradeTax>
      </ram:ApplicableHeaderTradeSettlement></rsm:SupplyChainTradeTransaction>)"));
    helper.setCurrentLanguage(saved);
    ASSERT_EQ(read.invoice->taxes->size(), 1u);
    const auto& tax = *(*read.invoice->taxes)[0];
    EXPECT_EQ(tax.name, "USt.");
    EXPECT_EQ(str(tax.net), "100");
    EXPECT_EQ(str(tax.tax), "19");
    EXPECT_EQ(str(tax.rate), "19");
}

TEST(UBLReader, FallbacksForGrossReferenceRateNameAndCurrency) {
    auto read = readInvoice(ubl(R"(
  <cbc:ID>U-1</cbc:ID><cbc:BuyerReference>04011000-12345-34</cbc:BuyerReference>
  <cac:AccountingSupplierParty><cac:Party><cac:PartyName><cbc:Name>Trading Name</cbc:Name></cac:PartyName></cac:Party></cac:AccountingSupplierParty>
  <cac:AccountingCustomerParty><cac:Party><cac:PartyLegalEntity><cbc:RegistrationName>Legal Buyer</cbc:RegistrationName></cac:PartyLegalEntity><cac:PartyName><cbc:Name>Shop</cbc:Name></cac:PartyName></cac:Party></cac:AccountingCustomerParty>
  <cac:PaymentMeans><cac:PayeeFinancialAccount><cbc:ID>DE75512108001245126199</cbc:ID><cbc:Name>Seller Account</cbc:Name><cbc:CurrencyCode>CHF</cbc:CurrencyCode>
    <cac:FinancialInstitutionBranch><cbc:ID>SOGEDEFFXXX</cbc:ID></cac:FinancialInstitutionBranch></cac:PayeeFinancialAccount></cac:PaymentMeans>
  <cac:TaxTotal><cbc:TaxAmount currencyID="CHF">19.00</cbc:TaxAmount>
    <cac:TaxSubtotal><cbc:TaxableAmount>200.00</cbc:TaxableAmount><cbc:TaxAmount>38.00</cbc:TaxAmount><cac:TaxCategory><cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme></cac:TaxCategory></cac:TaxSubtotal>
    <cac:TaxSubtotal><cbc:TaxableAmount>0</cbc:TaxableAmount><cbc:TaxAmount>0</cbc:TaxAmount><cac:TaxCategory><cbc:TaxExemptionReason>Exempt</cbc:TaxExemptionReason></cac:TaxCategory></cac:TaxSubtotal>
  </cac:TaxTotal>
  <cac:LegalMonetaryTotal><cbc:TaxExclusiveAmount>100.00</cbc:TaxExclusiveAmount><cbc:PayableAmount>119.0</cbc:PayableAmount></cac:LegalMonetaryTotal>
  <cac:InvoiceLine><cbc:ID>10</cbc:ID><cbc:InvoicedQuantity unitCode="H87">2</cbc:InvoicedQuantity>
    <cac:TaxTotal><cac:TaxSubtotal><cac:TaxCategory><cbc:Percent>7</cbc:Percent><cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme></cac:TaxCategory></cac:TaxSubtotal></cac:TaxTotal></cac:InvoiceLine>)"));
    auto& inv = *read.invoice;
    EXPECT_EQ(str(inv.grossAmount), "119");
    EXPECT_EQ(inv.finalAmountAsString, "119.0");
    EXPECT_EQ(inv.reference, "04011000-12345-34");
    EXPECT_EQ(inv.currency->name, "CHF");
    EXPECT_EQ(inv.seller->name, "Trading Name");
    EXPECT_EQ(inv.buyer->name, "Legal Buyer");
    EXPECT_EQ(inv.seller->iban, "DE75512108001245126199");
    EXPECT_EQ(inv.seller->bic, "SOGEDEFFXXX");
    EXPECT_EQ(inv.seller->accountName, "Seller Account");
    EXPECT_FALSE(inv.buyer->iban);
    EXPECT_FALSE(inv.buyer->bic);
    ASSERT_EQ(inv.taxes->size(), 2u);
    EXPECT_EQ(str((*inv.taxes)[0]->rate), "19");
    EXPECT_FALSE((*inv.taxes)[1]->rate);
    EXPECT_EQ((*inv.taxes)[1]->name, "Exempt");
    // The one note opens the page as the lead; no further notes.
    ASSERT_TRUE(inv.notes);
    EXPECT_TRUE(inv.notes->empty());
    ASSERT_EQ(inv.items->size(), 1u);
    const auto& line = *(*inv.items)[0];
    // The line identifier is the position.
    EXPECT_EQ(line.lineID, "10");
    EXPECT_FALSE(line.globalID);
    EXPECT_EQ(line.vatTypeCode, "VAT");
    EXPECT_EQ(str(line.vatRatePercent), "7");
    EXPECT_EQ(str(line.billedQuantity), "2");
}

TEST(UBLReader, GrossStaysNoneWithoutBothParts) {
    auto read =
        readInvoice(ubl("<cac:LegalMonetaryTotal><cbc:TaxExclusiveAmount>100.00</"
                        "cbc:TaxExclusiveAmount></cac:LegalMonetaryTotal>"));
    EXPECT_FALSE(read.invoice->grossAmount);
    EXPECT_FALSE(read.invoice->taxAmount);
}

TEST(UBLReader, ReadsCreditNotes) {
    auto read =
        readInvoice(R"(<CreditNote xmlns="urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2"
  xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
  xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
  <cbc:ID>CN-5</cbc:ID><cbc:IssueDate>2024-03-01</cbc:IssueDate>
  <cac:PaymentMeans><cbc:PaymentDueDate>2024-03-31</cbc:PaymentDueDate></cac:PaymentMeans>
  <cac:CreditNoteLine><cbc:ID>1</cbc:ID><cbc:CreditedQuantity unitCode="C62">3</cbc:CreditedQuantity><cbc:LineExtensionAmount>30</cbc:LineExtensionAmount></cac:CreditNoteLine>
  <cac:CreditNoteLine><cbc:ID>2</cbc:ID><cbc:CreditedQuantity>1</cbc:CreditedQuantity></cac:CreditNoteLine>
</CreditNote>)");
    ASSERT_TRUE(read.invoice);
    EXPECT_EQ(read.invoice->number, "CN-5");
    EXPECT_EQ(read.invoice->dueDate, (platform::Date{2024, 3, 31}));
    ASSERT_EQ(read.invoice->items->size(), 2u);
    EXPECT_EQ(str((*read.invoice->items)[0]->billedQuantity), "3");
    EXPECT_EQ(str((*read.invoice->items)[0]->lineTotalAmount), "30");
}

namespace {
std::string fattura(const std::string& bodies, const std::string& header = "") {
    return "<p:FatturaElettronica "
           "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">"
           "<FatturaElettronicaHeader>" +
           header + "</FatturaElettronicaHeader>" + bodies + "</p:FatturaElettronica>";
}
std::string body(const std::string& number, const std::string& total, const std::string& taxes,
                 const std::string& lines = "") {
    std::string general =
        "<DatiGenerali><DatiGeneraliDocumento><Divisa>EUR</Divisa><Data>2024-01-15</Data><Numero>" +
        number + "</Numero>" + total + "</DatiGeneraliDocumento></DatiGenerali>";
    return "<FatturaElettronicaBody>" + general + "<DatiBeniServizi>" + lines + taxes +
           "</DatiBeniServizi></FatturaElettronicaBody>";
}
std::string summary(const char* base, const char* tax) {
    return std::string("<DatiRiepilogo><AliquotaIVA>22.00</AliquotaIVA><ImponibileImporto>") +
           base + "</ImponibileImporto><Imposta>" + tax + "</Imposta></DatiRiepilogo>";
}
}  // namespace

TEST(FatturaPAReader, TheDocumentTotalIsTheGrossAmount) {
    auto read =
        readInvoice(fattura(body("1", "<ImportoTotaleDocumento>500.00</ImportoTotaleDocumento>",
                                 summary("100.00", "22.00") + summary("100.00", "4.00"))));
    EXPECT_EQ(str(read.invoice->taxAmount), "26");
    EXPECT_EQ(str(read.invoice->grossAmount), "500");
    EXPECT_EQ(str(read.invoice->netAmount), "474");
    // Without payment details the amount due is the document total.
    EXPECT_EQ(str(read.invoice->finalAmount), "500");

    auto noSummary =
        readInvoice(fattura(body("2", "<ImportoTotaleDocumento>80</ImportoTotaleDocumento>", "")));
    EXPECT_EQ(str(noSummary.invoice->taxAmount), "0");
    EXPECT_EQ(str(noSummary.invoice->grossAmount), "80");
    EXPECT_EQ(str(noSummary.invoice->netAmount), "80");

    // Without a document total the tax summaries still give net, gross and amount due.
    auto noTotal = readInvoice(fattura(body("3", "", summary("5.00", "1.10"))));
    EXPECT_EQ(str(noTotal.invoice->netAmount), "5");
    EXPECT_EQ(str(noTotal.invoice->grossAmount), "6.1");
    EXPECT_EQ(str(noTotal.invoice->finalAmount), "6.1");
    EXPECT_EQ(str(noTotal.invoice->taxAmount), "1.1");
}

TEST(FatturaPAReader, EachBodyOfABatchIsAnInvoiceAndPartiesSplitTheVatId) {
    std::string line =
        "<DettaglioLinee><NumeroLinea>1</NumeroLinea><Descrizione>Item</Descrizione>"
        "<Quantita>2.00</Quantita><UnitaMisura>pz</UnitaMisura><PrezzoUnitario>5</PrezzoUnitario>"
        "<PrezzoTotale>10</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>";
    std::string seller =
        "<CedentePrestatore><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</"
        "IdPaese><IdCodice>01234567890</IdCodice>"
        "</IdFiscaleIVA><Anagrafica><Denominazione>SOCIETA' ALPHA "
        "SRL</Denominazione></Anagrafica></DatiAnagrafici>"
        "<Sede><Indirizzo>VIALE ROMA "
        "543</Indirizzo><CAP>07100</CAP><Comune>SASSARI</Comune><Nazione>IT</Nazione></Sede>"
        "<Contatti><Telefono>06 1</Telefono></Contatti></CedentePrestatore>"
        "<CessionarioCommittente><DatiAnagrafici><Anagrafica><Nome>Mario</Nome><Cognome>Rossi</"
        "Cognome></Anagrafica>"
        "</DatiAnagrafici><Contatti><Telefono>06 2</Telefono></Contatti></CessionarioCommittente>";
    std::string payment =
        "<DatiPagamento><DettaglioPagamento><IBAN>IT60X0542811101000000123456</IBAN>"
        "<DataScadenzaPagamento>2024-02-15</DataScadenzaPagamento></DettaglioPagamento></"
        "DatiPagamento>";
    std::string first = body("A", "", summary("10", "2.20"), line);
    first.insert(first.size() - std::string("</FatturaElettronicaBody>").size(), payment);
    auto read =
        readInvoice(fattura(first + body("B", "", summary("20", "4.40"), line + line), seller));
    auto& inv = *read.invoice;
    EXPECT_EQ(inv.number, "A");
    EXPECT_EQ(inv.dueDate, (platform::Date{2024, 2, 15}));
    EXPECT_EQ(inv.items->size(), 1u);
    EXPECT_EQ(inv.taxes->size(), 1u);
    EXPECT_EQ(str(inv.taxAmount), "2.2");
    auto all = LLInvoice::invoicesFromXML(read.document->root());
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1]->number, "B");
    EXPECT_EQ(all[1]->items->size(), 2u);
    EXPECT_EQ(str(all[1]->taxAmount), "4.4");
    EXPECT_EQ(all[1]->seller->vatNumber, "01234567890");
    EXPECT_EQ(inv.currency->name, "EUR");
    EXPECT_EQ(inv.seller->ID, "IT");
    EXPECT_EQ(inv.seller->vatNumber, "01234567890");
    EXPECT_EQ(inv.seller->iban, "IT60X0542811101000000123456");
    EXPECT_EQ(inv.seller->phoneNumber, "06 1");
    EXPECT_EQ(inv.buyer->name, "Mario Rossi");  // a person: first name and surname
    EXPECT_FALSE(inv.buyer->phoneNumber);
    EXPECT_FALSE(inv.buyer->iban);
    EXPECT_EQ((*inv.items)[0]->unitCode, "pz");
    EXPECT_EQ(str((*inv.items)[0]->billedQuantity), "2");
}

namespace {
std::string facturae(const std::string& prefix) {
    std::string p = prefix.empty() ? "" : prefix + ":";
    std::string decl =
        prefix.empty()
            ? "xmlns=\"http://www.facturae.es/Facturae/2014/v3.2.1/Facturae\""
            : "xmlns:" + prefix + "=\"http://www.facturae.es/Facturae/2014/v3.2.1/Facturae\"";
    return "<" + p + "Facturae " + decl +
           ">"
           "<FileHeader><Batch><TotalOutstandingAmount><TotalAmount>999</TotalAmount></"
           "TotalOutstandingAmount></Batch></FileHeader>"
           "<Parties><SellerParty><TaxIdentification><TaxIdentificationNumber>B12345678</"
           "TaxIdentificationNumber></TaxIdentification>"
           "<LegalEntity><CorporateName>Vendedor SL</CorporateName><AddressInSpain><Address>Calle "
           "1</Address><PostCode>28001</PostCode>"
           "<Town>Madrid</Town><CountryCode>ESP</CountryCode></AddressInSpain></LegalEntity></"
           "SellerParty>"
           "<BuyerParty><TaxIdentification><TaxIdentificationNumber>12345678Z</"
           "TaxIdentificationNumber></TaxIdentification>"
           "<Individual><Name>Ana</Name></Individual></BuyerParty></Parties>"
           "<Invoices><Invoice><InvoiceHeader><InvoiceNumber>F-1</InvoiceNumber></InvoiceHeader>"
           "<InvoiceIssueData><IssueDate>2024-05-02</IssueDate><InvoiceCurrencyCode>EUR</"
           "InvoiceCurrencyCode></InvoiceIssueData>"
           "<TaxesOutputs><Tax><TaxTypeCode>01</TaxTypeCode><TaxRate>21.00</"
           "TaxRate><TaxableBase><TotalAmount>100.00</TotalAmount></TaxableBase>"
           "<TaxAmount><TotalAmount>21.00</TotalAmount></TaxAmount></Tax></TaxesOutputs>"
           "<InvoiceTotals><TotalGrossAmountBeforeTaxes>100.00</"
           "TotalGrossAmountBeforeTaxes><TotalTaxOutputs>21.00</TotalTaxOutputs>"
           "<InvoiceTotal>121.00</InvoiceTotal><TotalOutstandingAmount>121.00</"
           "TotalOutstandingAmount></InvoiceTotals>"
           "<Items><InvoiceLine><ItemDescription>Servicio</ItemDescription><Quantity>1</"
           "Quantity><UnitPriceWithoutTax>100</UnitPriceWithoutTax>"
           "<TotalCost>100</TotalCost><TaxesOutputs><Tax><TaxTypeCode>01</TaxTypeCode><TaxRate>21</"
           "TaxRate></Tax></TaxesOutputs></InvoiceLine></Items>"
           "<PaymentDetails><Installment><InstallmentDueDate>2024-06-01</"
           "InstallmentDueDate><PaymentMeans>04</PaymentMeans>"
           "<AccountToBeCredited><IBAN>ES9121000418450200051332</IBAN></AccountToBeCredited>"
           "<AccountToBeDebited><IBAN>ES7921000813610123456789</IBAN></AccountToBeDebited></"
           "Installment></PaymentDetails>"
           "</Invoice></Invoices></" +
           p + "Facturae>";
}
}  // namespace

TEST(FacturaeReader, SameModelWhateverThePrefix) {
    for (const char* prefix : {"fe", "ns3", ""}) {
        SCOPED_TRACE(prefix);
        auto read = readInvoice(facturae(prefix));
        ASSERT_TRUE(read.invoice);
        auto& inv = *read.invoice;
        EXPECT_EQ(inv.number, "F-1");
        EXPECT_EQ(inv.issueDate, (platform::Date{2024, 5, 2}));
        EXPECT_EQ(str(inv.finalAmount), "121");  // not the batch total
        EXPECT_EQ(str(inv.netAmount), "100");
        EXPECT_FALSE(inv.conditions);  // a payment means code is no payment terms
        EXPECT_EQ(inv.currency->name, "EUR");
        EXPECT_EQ(inv.seller->name, "Vendedor SL");
        EXPECT_EQ(inv.seller->cityName, "Madrid");
        // The payee account is the one to be credited, never the buyer's debit account.
        EXPECT_EQ(inv.seller->iban, "ES9121000418450200051332");
        EXPECT_EQ(inv.buyer->ID, "12345678Z");
        EXPECT_EQ(inv.buyer->name, "Ana");  // an individual has a name too
        EXPECT_FALSE(inv.buyer->iban);
        ASSERT_EQ(inv.taxes->size(), 1u);
        EXPECT_EQ((*inv.taxes)[0]->name, "IVA");
        EXPECT_EQ(str((*inv.taxes)[0]->tax), "21");
        ASSERT_EQ(inv.items->size(), 1u);
        EXPECT_EQ((*inv.items)[0]->productDescription, "Servicio");
        EXPECT_EQ(str((*inv.items)[0]->vatRatePercent), "21");
    }
}
