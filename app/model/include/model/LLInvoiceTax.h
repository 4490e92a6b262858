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

    void populateFromUBLXML(XmlNode element) override;
    void populateFromCIIXML(XmlNode element) override;
    void populateFromFatturaPAXML(XmlNode element) override;
    void populateFromFacturaeXML(XmlNode element) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
};

}  // namespace model
