#include "model/LLInvoice.h"

#include "ReaderSupport.h"

namespace model {
namespace {

constexpr std::string_view kCIITotals = "//ram:SpecifiedTradeSettlementHeaderMonetarySummation/";

bool isCurrencyCode(const std::string& code) {
    if (code.empty() || code.size() > 8) return false;
    for (char c : code)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// An invoice may state its tax total twice: in the invoice currency and in the tax accounting
// currency. The invoice currency's amount is the one that adds up with the other totals.
std::optional<Decimal> taxTotalInCurrency(XmlNode root, const std::string& path,
                                          const std::shared_ptr<LLInvoiceCurrency>& currency) {
    if (currency && currency->name && isCurrencyCode(*currency->name)) {
        if (auto amount = decimalNumberForKeyPath(
                root, path + "[@currencyID='" + *currency->name + "']"))
            return amount;
    }
    return decimalNumberForKeyPath(root, path);
}

std::string agnostic(std::string_view names) { return namespaceAgnosticPath(names); }

}  // namespace

void LLInvoice::populateFromCIIXML(XmlNode root) {
    const std::string totals(kCIITotals);
    issueDate = dateForKeyPath(root, "rsm:ExchangedDocument/ram:IssueDateTime/udt:DateTimeString");
    number = stringForKeyPath(root, "rsm:ExchangedDocument/ram:ID");
    dueDate = dateForKeyPath(
        root, "//ram:SpecifiedTradePaymentTerms/ram:DueDateDateTime/udt:DateTimeString");
    dateRangeStart = dateForKeyPath(
        root, "//ram:BillingSpecifiedPeriod/ram:StartDateTime/udt:DateTimeString");
    dateRangeEnd =
        dateForKeyPath(root, "//ram:BillingSpecifiedPeriod/ram:EndDateTime/udt:DateTimeString");
    reference = stringForKeyPath(root, "//ram:BuyerOrderReferencedDocument/ram:IssuerAssignedID");
    netAmount = decimalNumberForKeyPath(root, totals + "ram:LineTotalAmount");
    currency = elementFromXML<LLInvoiceCurrency>(root);
    taxAmount = taxTotalInCurrency(root, totals + "ram:TaxTotalAmount", currency);
    prepaidAmount = decimalNumberForKeyPath(root, totals + "ram:TotalPrepaidAmount");
    grossAmount = decimalNumberForKeyPath(root, totals + "ram:GrandTotalAmount");
    finalAmount = decimalNumberForKeyPath(root, totals + "ram:DuePayableAmount");
    finalAmountAsString = stringForKeyPath(root, totals + "ram:DuePayableAmount");
    seller = readChild<LLInvoiceTradeParty>(root, "//ram:SellerTradeParty");
    buyer = readChild<LLInvoiceTradeParty>(root, "//ram:BuyerTradeParty");
    conditions = orElse(
        stringForKeyPath(root, "//ram:SpecifiedTradeSettlementPaymentMeans/ram:Information"),
        stringForKeyPath(root, "//ram:SpecifiedTradePaymentTerms/ram:Description"));
    taxes = readList<LLInvoiceTax>(root, "//ram:ApplicableHeaderTradeSettlement/ram:ApplicableTradeTax");
    allowancesCharges = readList<LLInvoiceAllowanceCharge>(
        root, "//ram:ApplicableHeaderTradeSettlement/ram:SpecifiedTradeAllowanceCharge");
    notes = readList<LLInvoiceNote>(root, "rsm:ExchangedDocument/ram:IncludedNote");
    items = readList<LLInvoiceItem>(root, "//ram:IncludedSupplyChainTradeLineItem");
}

void LLInvoice::populateFromUBLXML(XmlNode root) {
    const bool creditNote = root.localName() == "CreditNote";
    issueDate = dateForKeyPath(root, "cbc:IssueDate");
    dueDate = dateForKeyPath(root, "cbc:DueDate");
    if (!dueDate && creditNote) dueDate = dateForKeyPath(root, "cac:PaymentMeans/cbc:PaymentDueDate");
    dateRangeStart = dateForKeyPath(root, "cac:InvoicePeriod/cbc:StartDate");
    dateRangeEnd = dateForKeyPath(root, "cac:InvoicePeriod/cbc:EndDate");
    lead = stringForKeyPath(root, "cbc:Note");
    number = stringForKeyPath(root, "cbc:ID");
    buyerReference = stringForKeyPath(root, "cbc:BuyerReference");
    reference = orElse(stringForKeyPath(root, "cac:OrderReference/cbc:SalesOrderID"), buyerReference);
    subject = stringForKeyPath(root, "cac:OrderReference/cbc:ID");
    netAmount = decimalNumberForKeyPath(root, "cac:LegalMonetaryTotal/cbc:TaxExclusiveAmount");
    currency = elementFromXML<LLInvoiceCurrency>(root);
    taxAmount = taxTotalInCurrency(root, "cac:TaxTotal/cbc:TaxAmount", currency);
    prepaidAmount = decimalNumberForKeyPath(root, "cac:LegalMonetaryTotal/cbc:PrepaidAmount");
    grossAmount = decimalNumberForKeyPath(root, "cac:LegalMonetaryTotal/cbc:TaxInclusiveAmount");
    finalAmount = decimalNumberForKeyPath(root, "cac:LegalMonetaryTotal/cbc:PayableAmount");
    finalAmountAsString = stringForKeyPath(root, "cac:LegalMonetaryTotal/cbc:PayableAmount");
    seller = readChild<LLInvoiceTradeParty>(root, "cac:AccountingSupplierParty");
    buyer = readChild<LLInvoiceTradeParty>(root, "cac:AccountingCustomerParty");
    conditions = stringForKeyPath(root, "cac:PaymentTerms/cbc:Note");
    items = readList<LLInvoiceItem>(root, creditNote ? "cac:CreditNoteLine" : "cac:InvoiceLine");
    taxes = readList<LLInvoiceTax>(root, "cac:TaxTotal/cac:TaxSubtotal");
    allowancesCharges = readList<LLInvoiceAllowanceCharge>(root, "cac:AllowanceCharge");
    if (!grossAmount && taxAmount && netAmount) grossAmount = *netAmount + *taxAmount;
}

void LLInvoice::populateFromFatturaPAXML(XmlNode root) {
    const std::string document = "FatturaElettronicaBody/DatiGenerali/DatiGeneraliDocumento/";
    issueDate = dateForKeyPath(root, document + "Data");
    dueDate = dateForKeyPath(
        root, "FatturaElettronicaBody/DatiPagamento/DettaglioPagamento/DataScadenzaPagamento");
    number = stringForKeyPath(root, document + "Numero");
    // The document total already includes the tax: it is the gross amount, and the net is what
    // remains after the tax summaries.
    grossAmount = decimalNumberForKeyPath(root, document + "ImportoTotaleDocumento");
    currency = elementFromXML<LLInvoiceCurrency>(root);
    seller = readChild<LLInvoiceTradeParty>(root, "FatturaElettronicaHeader/CedentePrestatore");
    buyer = readChild<LLInvoiceTradeParty>(root, "FatturaElettronicaHeader/CessionarioCommittente");
    items = readList<LLInvoiceItem>(root, "FatturaElettronicaBody/DatiBeniServizi/DettaglioLinee");
    taxes = readList<LLInvoiceTax>(root, "FatturaElettronicaBody/DatiBeniServizi/DatiRiepilogo");
    Decimal sum = 0;
    for (const auto& entry : *taxes)
        if (entry->tax) sum += *entry->tax;
    taxAmount = sum;
    if (grossAmount) netAmount = *grossAmount - *taxAmount;
}

void LLInvoice::populateFromFacturaeXML(XmlNode root) {
    issueDate = dateForKeyPath(root, agnostic("Invoices/Invoice/InvoiceIssueData/IssueDate"));
    number = stringForKeyPath(root, agnostic("Invoices/Invoice/InvoiceHeader/InvoiceNumber"));
    netAmount = decimalNumberForKeyPath(
        root, agnostic("Invoices/Invoice/InvoiceTotals/TotalGrossAmountBeforeTaxes"));
    taxAmount =
        decimalNumberForKeyPath(root, agnostic("Invoices/Invoice/InvoiceTotals/TotalTaxOutputs"));
    grossAmount =
        decimalNumberForKeyPath(root, agnostic("Invoices/Invoice/InvoiceTotals/InvoiceTotal"));
    finalAmount = decimalNumberForKeyPath(
        root, agnostic("Invoices/Invoice/InvoiceTotals/TotalOutstandingAmount"));
    currency = elementFromXML<LLInvoiceCurrency>(root);
    seller = readChild<LLInvoiceTradeParty>(root, agnostic("Parties/SellerParty"));
    buyer = readChild<LLInvoiceTradeParty>(root, agnostic("Parties/BuyerParty"));
    items = readList<LLInvoiceItem>(root, agnostic("Invoices/Invoice/Items/InvoiceLine"));
    taxes = readList<LLInvoiceTax>(root, agnostic("Invoices/Invoice/TaxesOutputs/Tax"));
    conditions = stringForKeyPath(
        root, agnostic("Invoices/Invoice/PaymentDetails/Installment/PaymentMeans"));
    dueDate = dateForKeyPath(
        root, agnostic("Invoices/Invoice/PaymentDetails/Installment/InstallmentDueDate"));
}

}  // namespace model
