#include "ReaderSupport.h"
#include "model/LLInvoice.h"
#include "model/LLInvoiceAllowanceCharge.h"
#include "model/LLInvoiceCurrency.h"
#include "model/LLInvoiceNote.h"
#include "model/LLInvoiceTax.h"
#include "model/TextValues.h"
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
    vatRatePercent =
        decimalNumberForKeyPath(element, "ram:CategoryTradeTax/ram:RateApplicablePercent");
    vatCategoryCode = stringForKeyPath(element, "ram:CategoryTradeTax/ram:CategoryCode");
}

void LLInvoiceAllowanceCharge::populateFromUBLXML(XmlNode element) {
    isCharge = stringForKeyPath(element, "cbc:ChargeIndicator") == "true";
    amount = decimalNumberForKeyPath(element, "cbc:Amount");
    reason = stringForKeyPath(element, "cbc:AllowanceChargeReason");
    reasonCode = stringForKeyPath(element, "cbc:AllowanceChargeReasonCode");
    baseAmount = decimalNumberForKeyPath(element, "cbc:BaseAmount");
    percentage = decimalNumberForKeyPath(element, "cbc:MultiplierFactorNumeric");
    vatRatePercent = decimalNumberForKeyPath(element, "cac:TaxCategory/cbc:Percent");
    vatCategoryCode = stringForKeyPath(element, "cac:TaxCategory/cbc:ID");
}

void LLInvoiceNote::populateFromCIIXML(XmlNode element) {
    note = stringForKeyPath(element, "ram:Content");
    if (note) note = withoutSubjectCode(*note);
}

void LLInvoiceCurrency::populateFromCIIXML(XmlNode root) {
    name = stringForKeyPath(root, "//ram:InvoiceCurrencyCode");
}

void LLInvoiceCurrency::populateFromUBLXML(XmlNode root) {
    name = orElse(
        stringForKeyPath(root, "cbc:DocumentCurrencyCode"),
        stringForKeyPath(root, "cac:PaymentMeans/cac:PayeeFinancialAccount/cbc:CurrencyCode"));
}

void LLInvoiceCurrency::populateFromFatturaPAXML(XmlNode root) {
    name =
        stringForKeyPath(root, "FatturaElettronicaBody/DatiGenerali/DatiGeneraliDocumento/Divisa");
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
    typeCode = stringForKeyPath(element, "ram:TypeCode");
    categoryCode = stringForKeyPath(element, "ram:CategoryCode");
    exemptionReason = stringForKeyPath(element, "ram:ExemptionReason");
    exemptionReasonCode = stringForKeyPath(element, "ram:ExemptionReasonCode");
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
    typeCode = stringForKeyPath(element, "cac:TaxCategory/cac:TaxScheme/cbc:ID");
    categoryCode = stringForKeyPath(element, "cac:TaxCategory/cbc:ID");
    exemptionReason = stringForKeyPath(element, "cac:TaxCategory/cbc:TaxExemptionReason");
    exemptionReasonCode = stringForKeyPath(element, "cac:TaxCategory/cbc:TaxExemptionReasonCode");
}

void LLInvoiceTax::populateFromFatturaPAXML(XmlNode element) {
    name = stringForKeyPath(element, "Natura");
    net = decimalNumberForKeyPath(element, "ImponibileImporto");
    tax = decimalNumberForKeyPath(element, "Imposta");
    rate = decimalNumberForKeyPath(element, "AliquotaIVA");
    typeCode = "IVA";
    categoryCode = name;
    exemptionReason = stringForKeyPath(element, "RiferimentoNormativo");
}

void LLInvoiceTax::populateFromFacturaeXML(XmlNode element) {
    auto path = [](std::string_view names) { return namespaceAgnosticPath(names); };
    typeCode = stringForKeyPath(element, path("TaxTypeCode"));
    // The code ("01") means nothing to a reader; its tax's name does.
    if (typeCode) name = facturaeTaxName(*typeCode);
    net = decimalNumberForKeyPath(element, path("TaxableBase/TotalAmount"));
    tax = decimalNumberForKeyPath(element, path("TaxAmount/TotalAmount"));
    rate = decimalNumberForKeyPath(element, path("TaxRate"));
}

}  // namespace model
