#pragma once

#include "model/LLInvoiceElement.h"

namespace model {

class LLInvoiceCurrency : public LLInvoiceElement {
public:
    std::optional<std::string> name;  // currency code, e.g. ISO 4217

    void populateFromUBLXML(XmlNode element) override;
    void populateFromCIIXML(XmlNode element) override;
    void populateFromFatturaPAXML(XmlNode element) override;
    void populateFromFacturaeXML(XmlNode element) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
};

}  // namespace model
