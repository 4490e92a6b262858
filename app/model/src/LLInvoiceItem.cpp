#include "model/LLInvoiceItem.h"

#include "ReaderSupport.h"
#include "model/TextValues.h"

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
    vatTypeCode = stringForKeyPath(
        line, "ram:SpecifiedLineTradeSettlement/ram:ApplicableTradeTax/ram:TypeCode");
    lineTotalAmount = decimalNumberForKeyPath(
        line,
        "ram:SpecifiedLineTradeSettlement/ram:SpecifiedTradeSettlementLineMonetarySummation/"
        "ram:LineTotalAmount");
    allowancesCharges = readListWithAlternates<LLInvoiceAllowanceCharge>(
        line, "ram:SpecifiedLineTradeSettlement/ram:SpecifiedTradeAllowanceCharge");

    unitCode =
        stringForKeyPath(line, "ram:SpecifiedLineTradeDelivery/ram:BilledQuantity/@unitCode");
    vatCategoryCode = stringForKeyPath(
        line, "ram:SpecifiedLineTradeSettlement/ram:ApplicableTradeTax/ram:CategoryCode");
    std::string lineNotes;
    for (XmlNode note :
         nodesForKeyPath(line, "ram:AssociatedDocumentLineDocument/ram:IncludedNote/ram:Content")) {
        std::string text = withoutSubjectCode(note.stringValue());
        if (text.empty()) continue;
        lineNotes += (lineNotes.empty() ? "" : "\n") + text;
    }
    if (!lineNotes.empty()) notes = lineNotes;
    buyerAssignedID = stringForKeyPath(line, "ram:SpecifiedTradeProduct/ram:BuyerAssignedID");
    priceBaseQuantity = decimalNumberForKeyPath(
        line, "ram:SpecifiedLineTradeAgreement/ram:NetPriceProductTradePrice/ram:BasisQuantity");
    if (grossPrice && netPrice && *grossPrice != *netPrice) priceDiscount = *grossPrice - *netPrice;
    periodStart = dateForKeyPath(line,
                                 "ram:SpecifiedLineTradeSettlement/ram:BillingSpecifiedPeriod/"
                                 "ram:StartDateTime/udt:DateTimeString");
    periodEnd = dateForKeyPath(line,
                               "ram:SpecifiedLineTradeSettlement/ram:BillingSpecifiedPeriod/"
                               "ram:EndDateTime/udt:DateTimeString");
    orderLineReference = stringForKeyPath(
        line, "ram:SpecifiedLineTradeAgreement/ram:BuyerOrderReferencedDocument/ram:LineID");
    for (XmlNode attribute :
         nodesForKeyPath(line, "ram:SpecifiedTradeProduct/ram:ApplicableProductCharacteristic")) {
        auto name = stringForKeyPath(attribute, "ram:Description");
        auto value = stringForKeyPath(attribute, "ram:Value");
        if (name && value) attributes.emplace_back(*name, *value);
    }
}

void LLInvoiceItem::populateFromUBLXML(XmlNode line) {
    // The line identifier is the position; the item's standard identifier (GTIN) is its
    // global ID, as in CII.
    lineID = stringForKeyPath(line, "cbc:ID");
    globalID = stringForKeyPath(line, "cac:Item/cac:StandardItemIdentification/cbc:ID");
    sellerAssignedID = stringForKeyPath(line, "cac:Item/cac:SellersItemIdentification/cbc:ID");
    buyerAssignedID = stringForKeyPath(line, "cac:Item/cac:BuyersItemIdentification/cbc:ID");
    unitCode = orElse(stringForKeyPath(line, "cbc:InvoicedQuantity/@unitCode"),
                      stringForKeyPath(line, "cbc:CreditedQuantity/@unitCode"));
    vatCategoryCode = stringForKeyPath(line, "cac:Item/cac:ClassifiedTaxCategory/cbc:ID");
    notes = stringForKeyPath(line, "cbc:Note");
    if (notes) notes = withoutSubjectCode(*notes);
    priceBaseQuantity = decimalNumberForKeyPath(line, "cac:Price/cbc:BaseQuantity");
    grossPrice = decimalNumberForKeyPath(line, "cac:Price/cac:AllowanceCharge/cbc:BaseAmount");
    priceDiscount = decimalNumberForKeyPath(line, "cac:Price/cac:AllowanceCharge/cbc:Amount");
    periodStart = dateForKeyPath(line, "cac:InvoicePeriod/cbc:StartDate");
    periodEnd = dateForKeyPath(line, "cac:InvoicePeriod/cbc:EndDate");
    orderLineReference = stringForKeyPath(line, "cac:OrderLineReference/cbc:LineID");
    for (XmlNode attribute : nodesForKeyPath(line, "cac:Item/cac:AdditionalItemProperty")) {
        auto name = stringForKeyPath(attribute, "cbc:Name");
        auto value = stringForKeyPath(attribute, "cbc:Value");
        if (name && value) attributes.emplace_back(*name, *value);
    }
    // Credit note lines carry the quantity as CreditedQuantity.
    billedQuantity = orElse(decimalNumberForKeyPath(line, "cbc:InvoicedQuantity"),
                            decimalNumberForKeyPath(line, "cbc:CreditedQuantity"));
    productName = stringForKeyPath(line, "cac:Item/cbc:Name");
    productDescription = stringForKeyPath(line, "cac:Item/cbc:Description");
    netPrice = decimalNumberForKeyPath(line, "cac:Price/cbc:PriceAmount");
    lineTotalAmount = decimalNumberForKeyPath(line, "cbc:LineExtensionAmount");
    vatTypeCode =
        orElse(stringForKeyPath(line, "cac:Item/cac:ClassifiedTaxCategory/cac:TaxScheme/cbc:ID"),
               stringForKeyPath(
                   line, "cac:TaxTotal/cac:TaxSubtotal/cac:TaxCategory/cac:TaxScheme/cbc:ID"));
    vatRatePercent = orElse(
        decimalNumberForKeyPath(line, "cac:Item/cac:ClassifiedTaxCategory/cbc:Percent"),
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
    vatCategoryCode = vatTypeCode;
    sellerAssignedID = stringForKeyPath(line, "CodiceArticolo/CodiceValore");
    periodStart = dateForKeyPath(line, "DataInizioPeriodo");
    periodEnd = dateForKeyPath(line, "DataFinePeriodo");
    // SC: discount, MG: surcharge, on the unit price.
    allowancesCharges.emplace();
    for (XmlNode change : nodesForKeyPath(line, "ScontoMaggiorazione")) {
        auto entry = std::make_shared<LLInvoiceAllowanceCharge>();
        entry->isCharge = stringForKeyPath(change, "Tipo") == "MG";
        entry->percentage = decimalNumberForKeyPath(change, "Percentuale");
        entry->amount = decimalNumberForKeyPath(change, "Importo");
        allowancesCharges->push_back(entry);
    }
    for (XmlNode data : nodesForKeyPath(line, "AltriDatiGestionali")) {
        auto name = stringForKeyPath(data, "TipoDato");
        auto value = orElse(stringForKeyPath(data, "RiferimentoTesto"),
                            stringForKeyPath(data, "RiferimentoNumero"));
        if (name && value) attributes.emplace_back(*name, *value);
    }
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
    unitCode = orElse(text("UnitOfMeasure"), text("UnitPriceWithoutTax/UnitCode"));
    sellerAssignedID = text("ArticleCode");
    periodStart = dateForKeyPath(line, namespaceAgnosticPath("LineItemPeriod/StartDate"));
    periodEnd = dateForKeyPath(line, namespaceAgnosticPath("LineItemPeriod/EndDate"));
    allowancesCharges.emplace();
    for (bool charge : {false, true}) {
        const char* path = charge ? "Charges/Charge" : "DiscountsAndRebates/Discount";
        for (XmlNode node : nodesForKeyPath(line, namespaceAgnosticPath(path))) {
            auto entry = std::make_shared<LLInvoiceAllowanceCharge>();
            entry->isCharge = charge;
            auto field = [&](const char* name) {
                return namespaceAgnosticPath(std::string(charge ? "Charge" : "Discount") + name);
            };
            entry->reason = stringForKeyPath(node, field("Reason"));
            entry->percentage = decimalNumberForKeyPath(node, field("Rate"));
            entry->amount = decimalNumberForKeyPath(node, field("Amount"));
            // A zero discount is the template of some producers, not a discount.
            if (entry->amount && entry->amount->isZero()) continue;
            allowancesCharges->push_back(entry);
        }
    }
    netPrice = number("UnitPriceWithoutTax");
    vatRatePercent = number("TaxesOutputs/Tax/TaxRate");
    // TotalCost is quantity times price; GrossAmount is after the line's discounts and
    // charges, the amount the invoice's sum of lines adds up.
    lineTotalAmount = orElse(number("GrossAmount"), number("TotalCost"));
    vatTypeCode = text("TaxesOutputs/Tax/TaxTypeCode");
}

}  // namespace model
