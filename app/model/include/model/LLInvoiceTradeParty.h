#pragma once

#include "model/LLInvoiceElement.h"

namespace model {

// Seller or buyer. The payee account (iban, bic, accountName) is read for the seller only.
class LLInvoiceTradeParty : public LLInvoiceElement {
public:
    std::optional<std::string> ID;
    std::optional<std::string> name;
    std::optional<std::string> postcodeCode;
    std::optional<std::string> lineOne;
    std::optional<std::string> lineTwo;
    std::optional<std::string> cityName;
    std::optional<std::string> countryID;
    std::optional<std::string> phoneNumber;
    std::optional<std::string> email;
    std::optional<std::string> taxNumber;
    std::optional<std::string> vatNumber;
    std::optional<std::string> formattedName;
    std::optional<std::string> iban;
    std::optional<std::string> bic;
    std::optional<std::string> accountName;

    void populateFromUBLXML(XmlNode element) override;
    void populateFromCIIXML(XmlNode element) override;
    void populateFromFatturaPAXML(XmlNode element) override;
    void populateFromFacturaeXML(XmlNode element) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
    std::string description() const override;
    // Name, street lines, postcode and city, then the country's name in the user's language.
    std::string formattedAddress() const;
};

}  // namespace model
