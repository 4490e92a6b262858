#pragma once

#include "model/LLInvoiceElement.h"

namespace model {

class LLInvoiceAllowanceCharge : public LLInvoiceElement {
  public:
    bool isCharge = false;
    std::optional<Decimal> amount;
    std::optional<std::string> reason;
    std::optional<std::string> reasonCode;
    std::optional<Decimal> baseAmount;
    std::optional<Decimal> percentage;
    std::optional<Decimal> vatRatePercent;
    std::optional<std::string> vatCategoryCode;

    void populateFromUBLXML(XmlNode element) override;
    void populateFromCIIXML(XmlNode element) override;

    // The row values; `net` is the invoice's sum of line amounts, computed by the caller.
    SubstitutionDictionary substitutionDictionaryWithNet(const Decimal& net) const;
};

}  // namespace model
