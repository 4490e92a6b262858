#include "ReaderSupport.h"
#include "model/LLInvoiceAllowanceCharge.h"
#include "model/LLInvoiceCurrency.h"
#include "model/LLInvoiceNote.h"
#include "model/LLInvoiceTax.h"
#include "platform/SFLocalizeHelper.h"

namespace model {
namespace {

std::optional<std::string> localized(std::optional<std::string> code) {
    if (!code) return code;
    return platform::SFLocalizeHelper::sharedHelper().localizedString(*code);
}

}  // namespace

void LLInvoiceAllowanceCharge::populateFromCIIXML(XmlNode element) {
    isCharge = stringForKeyPath(element, "ram:ChargeIndicator/udt:Indicator") == "true";
    amount = decimalNumberForKeyPath(element, "ram:ActualAmount");
    reason = stringForKeyPath(element, "ram:Reason");
    reasonCode = stringForKeyPath(element, "ram:ReasonCode");
    baseAmount = decimalNumberForKeyPath(element, "ram:BasisAmount");
    percentage = decimalNumberForKeyPath(element, "ram:CalculationPercent");
}

void LLInvoiceAllowanceCharge::populateFromUBLXML(XmlNode element) {
    isCharge = stringForKeyPath(element, "cbc:ChargeIndicator") == "true";
    amount = decimalNumberForKeyPath(element, "cbc:Amount");
    reason = stringForKeyPath(element, "cbc:AllowanceChargeReason");
    reasonCode = stringForKeyPath(element, "cbc:AllowanceChargeReasonCode");
    baseAmount = decimalNumberForKeyPath(element, "cbc:BaseAmount");
    percentage = decimalNumberForKeyPath(element, "cbc:MultiplierFactorNumeric");
}

void LLInvoiceNote::populateFromCIIXML(XmlNode element) {
    note = stringForKeyPath(element, "ram:Content");
}

void LLInvoiceCurrency::populateFromCIIXML(XmlNode root) {
    name = stringForKeyPath(root, "//ram:InvoiceCurrencyCode");
}

void LLInvoiceCurrency::populateFromUBLXML(XmlNode root) {
    name = orElse(stringForKeyPath(root, "cbc:DocumentCurrencyCode"),
                  stringForKeyPath(root, "cac:PaymentMeans/cac:PayeeFinancialAccount/cbc:CurrencyCode"));
}

void LLInvoiceCurrency::populateFromFatturaPAXML(XmlNode root) {
    name = stringForKeyPath(root, "FatturaElettronicaBody/DatiGenerali/DatiGeneraliDocumento/Divisa");
}

void LLInvoiceCurrency::populateFromFacturaeXML(XmlNode root) {
    name = stringForKeyPath(
        root, namespaceAgnosticPath("Invoices/Invoice/InvoiceIssueData/InvoiceCurrencyCode"));
}

void LLInvoiceTax::populateFromCIIXML(XmlNode element) {
    name = localized(stringForKeyPath(element, "ram:TypeCode"));
    net = decimalNumberForKeyPath(element, "ram:BasisAmount");
    tax = decimalNumberForKeyPath(element, "ram:CalculatedAmount");
    rate = decimalNumberForKeyPath(element, "ram:RateApplicablePercent");
}

void LLInvoiceTax::populateFromUBLXML(XmlNode element) {
    name = orElse(stringForKeyPath(element, "cac:TaxCategory/cbc:TaxExemptionReason"),
                  localized(stringForKeyPath(element, "cac:TaxCategory/cac:TaxScheme/cbc:ID")));
    net = decimalNumberForKeyPath(element, "cbc:TaxableAmount");
    tax = decimalNumberForKeyPath(element, "cbc:TaxAmount");
    rate = decimalNumberForKeyPath(element, "cac:TaxCategory/cbc:Percent");
    if (!rate && net && tax && !net->isZero()) {
        if (auto quotient = (*tax * 100).divide(*net)) rate = *quotient;
    }
}

void LLInvoiceTax::populateFromFatturaPAXML(XmlNode element) {
    name = stringForKeyPath(element, "Natura");
    net = decimalNumberForKeyPath(element, "ImponibileImporto");
    tax = decimalNumberForKeyPath(element, "Imposta");
    rate = decimalNumberForKeyPath(element, "AliquotaIVA");
}

void LLInvoiceTax::populateFromFacturaeXML(XmlNode element) {
    auto path = [](std::string_view names) { return namespaceAgnosticPath(names); };
    name = stringForKeyPath(element, path("TaxTypeCode"));
    net = decimalNumberForKeyPath(element, path("TaxableBase/TotalAmount"));
    tax = decimalNumberForKeyPath(element, path("TaxAmount/TotalAmount"));
    rate = decimalNumberForKeyPath(element, path("TaxRate"));
}

}  // namespace model
