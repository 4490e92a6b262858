#include "model/LLInvoiceItem.h"

#include "ReaderSupport.h"

namespace model {

void LLInvoiceItem::populateFromCIIXML(XmlNode line) {
    lineID = stringForKeyPath(line, "ram:AssociatedDocumentLineDocument/ram:LineID");
    globalID = stringForKeyPath(line, "ram:SpecifiedTradeProduct/ram:GlobalID");
    sellerAssignedID = stringForKeyPath(line, "ram:SpecifiedTradeProduct/ram:SellerAssignedID");
    productName = stringForKeyPath(line, "ram:SpecifiedTradeProduct/ram:Name");
    productDescription = stringForKeyPath(line, "ram:SpecifiedTradeProduct/ram:Description");
    grossPrice = decimalNumberForKeyPath(
        line, "ram:SpecifiedLineTradeAgreement/ram:GrossPriceProductTradePrice/ram:ChargeAmount");
    netPrice = decimalNumberForKeyPath(
        line, "ram:SpecifiedLineTradeAgreement/ram:NetPriceProductTradePrice/ram:ChargeAmount");
    billedQuantity =
        decimalNumberForKeyPath(line, "ram:SpecifiedLineTradeDelivery/ram:BilledQuantity");
    vatRatePercent = decimalNumberForKeyPath(
        line, "ram:SpecifiedLineTradeSettlement/ram:ApplicableTradeTax/ram:RateApplicablePercent");
    vatTypeCode =
        stringForKeyPath(line, "ram:SpecifiedLineTradeSettlement/ram:ApplicableTradeTax/ram:TypeCode");
    lineTotalAmount = decimalNumberForKeyPath(
        line,
        "ram:SpecifiedLineTradeSettlement/ram:SpecifiedTradeSettlementLineMonetarySummation/"
        "ram:LineTotalAmount");
    allowancesCharges = readList<LLInvoiceAllowanceCharge>(
        line, "ram:SpecifiedLineTradeSettlement/ram:SpecifiedTradeAllowanceCharge");
}

void LLInvoiceItem::populateFromUBLXML(XmlNode line) {
    globalID = stringForKeyPath(line, "cbc:ID");
    // Credit note lines carry the quantity as CreditedQuantity.
    billedQuantity = orElse(decimalNumberForKeyPath(line, "cbc:InvoicedQuantity"),
                            decimalNumberForKeyPath(line, "cbc:CreditedQuantity"));
    productName = stringForKeyPath(line, "cac:Item/cbc:Name");
    productDescription = stringForKeyPath(line, "cac:Item/cbc:Description");
    netPrice = decimalNumberForKeyPath(line, "cac:Price/cbc:PriceAmount");
    lineTotalAmount = decimalNumberForKeyPath(line, "cbc:LineExtensionAmount");
    vatTypeCode =
        orElse(stringForKeyPath(line, "cac:Item/cac:ClassifiedTaxCategory/cac:TaxScheme/cbc:ID"),
               stringForKeyPath(line, "cac:TaxTotal/cac:TaxSubtotal/cac:TaxCategory/cac:TaxScheme/cbc:ID"));
    vatRatePercent =
        orElse(decimalNumberForKeyPath(line, "cac:Item/cac:ClassifiedTaxCategory/cbc:Percent"),
               decimalNumberForKeyPath(line, "cac:TaxTotal/cac:TaxSubtotal/cac:TaxCategory/cbc:Percent"));
    allowancesCharges = readList<LLInvoiceAllowanceCharge>(line, "cac:AllowanceCharge");
}

void LLInvoiceItem::populateFromFatturaPAXML(XmlNode line) {
    lineID = stringForKeyPath(line, "NumeroLinea");
    productName = stringForKeyPath(line, "Descrizione");
    billedQuantity = decimalNumberForKeyPath(line, "Quantita");
    unitCode = stringForKeyPath(line, "UnitaMisura");
    netPrice = decimalNumberForKeyPath(line, "PrezzoUnitario");
    vatRatePercent = decimalNumberForKeyPath(line, "AliquotaIVA");
    lineTotalAmount = decimalNumberForKeyPath(line, "PrezzoTotale");
    vatTypeCode = stringForKeyPath(line, "Natura");
}

void LLInvoiceItem::populateFromFacturaeXML(XmlNode line) {
    auto text = [&line](std::string_view names) {
        return stringForKeyPath(line, namespaceAgnosticPath(names));
    };
    auto number = [&line](std::string_view names) {
        return decimalNumberForKeyPath(line, namespaceAgnosticPath(names));
    };
    lineID = text("IssuerTransactionReference");
    productName = text("ItemDescription");
    productDescription = text("ItemDescription");
    billedQuantity = number("Quantity");
    unitCode = text("UnitPriceWithoutTax/UnitCode");
    netPrice = number("UnitPriceWithoutTax");
    vatRatePercent = number("TaxesOutputs/Tax/TaxRate");
    lineTotalAmount = number("TotalCost");
    vatTypeCode = text("TaxesOutputs/Tax/TaxTypeCode");
}

}  // namespace model
