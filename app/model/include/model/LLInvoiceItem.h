#pragma once

#include "model/LLInvoiceAllowanceCharge.h"
#include "model/LLInvoiceElement.h"

namespace model {

// One invoice line.
class LLInvoiceItem : public LLInvoiceElement {
  public:
    std::optional<std::string> lineID;
    std::optional<std::string> globalID;
    std::optional<std::string> sellerAssignedID;
    std::optional<std::string> productName;
    std::optional<std::string> productDescription;
    std::optional<std::string> notes;
    std::optional<Decimal> grossPrice;
    std::optional<Decimal> netPrice;
    std::optional<Decimal> billedQuantity;
    std::optional<std::string> unitCode;
    std::optional<std::string> vatTypeCode;
    std::optional<std::string> vatCategoryCode;
    std::optional<Decimal> vatRatePercent;
    std::optional<Decimal> lineTotalAmount;
    ElementList<LLInvoiceAllowanceCharge> allowancesCharges;
    // What lets a reader follow quantity × price = amount and find the item again.
    std::optional<std::string> buyerAssignedID;
    std::optional<Decimal> priceBaseQuantity;  // the price is per this many units
    std::optional<Decimal> priceDiscount;      // gross price − net price, per unit
    std::optional<Date> periodStart;
    std::optional<Date> periodEnd;
    std::optional<std::string> orderLineReference;
    std::vector<std::pair<std::string, std::string>> attributes;  // name, value

    void populateFromUBLXML(XmlNode element) override;
    void populateFromCIIXML(XmlNode element) override;
    void populateFromFatturaPAXML(XmlNode element) override;
    void populateFromFacturaeXML(XmlNode element) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
    std::string description() const override;
};

}  // namespace model
