#pragma once

#include "model/LLInvoiceElement.h"

namespace model {

class LLInvoiceNote : public LLInvoiceElement {
public:
    std::optional<std::string> note;

    void populateFromCIIXML(XmlNode element) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
};

}  // namespace model
