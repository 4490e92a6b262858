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

    void populateFromUBLXML(XmlNode element) override;
    void populateFromCIIXML(XmlNode element) override;
    void populateFromFatturaPAXML(XmlNode element) override;
    void populateFromFacturaeXML(XmlNode element) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
    std::string description() const override;
};

}  // namespace model
