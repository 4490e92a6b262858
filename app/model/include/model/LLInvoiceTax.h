#pragma once

#include "model/LLInvoiceElement.h"

namespace model {

// One entry of the tax breakdown.
class LLInvoiceTax : public LLInvoiceElement {
  public:
    std::optional<Decimal> net;
    std::optional<Decimal> tax;
    std::optional<Decimal> rate;
    std::optional<std::string> name;
    std::optional<std::string> typeCode;         // tax scheme as written ("VAT", "01")
    std::optional<std::string> categoryCode;     // "S", "AE", FatturaPA Natura "N3.2"
    std::optional<std::string> exemptionReason;  // or the legal basis of the exemption
    std::optional<std::string> exemptionReasonCode;

    void populateFromUBLXML(XmlNode element) override;
    void populateFromCIIXML(XmlNode element) override;
    void populateFromFatturaPAXML(XmlNode element) override;
    void populateFromFacturaeXML(XmlNode element) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
};

}  // namespace model
