#include "model/LLInvoiceTradeParty.h"

#include "ReaderSupport.h"

namespace model {
namespace {

// A second and third address line as one line.
std::optional<std::string> joinedLines(std::optional<std::string> two,
                                       const std::optional<std::string>& three) {
    if (!three || three->empty()) return two;
    if (!two || two->empty()) return three;
    return *two + ", " + *three;
}

}  // namespace

void LLInvoiceTradeParty::populateFromCIIXML(XmlNode party) {
    ID = stringForKeyPath(party, "ram:ID");
    name = stringForKeyPath(party, "ram:Name");
    postcodeCode = stringForKeyPath(party, "ram:PostalTradeAddress/ram:PostcodeCode");
    lineOne = stringForKeyPath(party, "ram:PostalTradeAddress/ram:LineOne");
    lineTwo = joinedLines(stringForKeyPath(party, "ram:PostalTradeAddress/ram:LineTwo"),
                          stringForKeyPath(party, "ram:PostalTradeAddress/ram:LineThree"));
    cityName = stringForKeyPath(party, "ram:PostalTradeAddress/ram:CityName");
    countryID = stringForKeyPath(party, "ram:PostalTradeAddress/ram:CountryID");
    // Contact data and registrations come from this party's own subtree.
    phoneNumber =
        stringForKeyPath(party, ".//ram:TelephoneUniversalCommunication/ram:CompleteNumber");
    email = stringForKeyPath(party, ".//ram:EmailURIUniversalCommunication/ram:URIID");
    formattedName = stringForKeyPath(party, ".//ram:DefinedTradeContact/ram:PersonName");
    taxNumber = stringForKeyPath(party, ".//ram:SpecifiedTaxRegistration/ram:ID[@schemeID='FC']");
    vatNumber = stringForKeyPath(party, ".//ram:SpecifiedTaxRegistration/ram:ID[@schemeID='VA']");
    if (party.localName() == "SellerTradeParty") {
        XmlNode root = party.documentElement();
        iban = stringForKeyPath(root, "//ram:PayeePartyCreditorFinancialAccount/ram:IBANID");
        accountName =
            stringForKeyPath(root, "//ram:PayeePartyCreditorFinancialAccount/ram:AccountName");
        bic = stringForKeyPath(root, "//ram:PayeeSpecifiedCreditorFinancialInstitution/ram:BICID");
    }
}

void LLInvoiceTradeParty::populateFromUBLXML(XmlNode party) {
    ID = stringForKeyPath(party, "cac:Party/cac:PartyIdentification/cbc:ID");
    name = orElse(stringForKeyPath(party, "cac:Party/cac:PartyLegalEntity/cbc:RegistrationName"),
                  stringForKeyPath(party, "cac:Party/cac:PartyName/cbc:Name"));
    postcodeCode = stringForKeyPath(party, "cac:Party/cac:PostalAddress/cbc:PostalZone");
    cityName = stringForKeyPath(party, "cac:Party/cac:PostalAddress/cbc:CityName");
    lineOne = stringForKeyPath(party, "cac:Party/cac:PostalAddress/cbc:StreetName");
    lineTwo = joinedLines(
        stringForKeyPath(party, "cac:Party/cac:PostalAddress/cbc:AdditionalStreetName"),
        stringForKeyPath(party, "cac:Party/cac:PostalAddress/cac:AddressLine/cbc:Line"));
    countryID =
        stringForKeyPath(party, "cac:Party/cac:PostalAddress/cac:Country/cbc:IdentificationCode");
    phoneNumber = stringForKeyPath(party, "cac:Party/cac:Contact/cbc:Telephone");
    email = stringForKeyPath(party, "cac:Party/cac:Contact/cbc:ElectronicMail");
    formattedName = stringForKeyPath(party, "cac:Party/cac:Contact/cbc:Name");
    // A party may name several tax schemes; the VAT identifier is the VAT scheme's, not the
    // first one's (which may be a text such as "Godkänd för F-skatt").
    vatNumber =
        orElse(stringForKeyPath(
                   party, "cac:Party/cac:PartyTaxScheme[cac:TaxScheme/cbc:ID='VAT']/cbc:CompanyID"),
               stringForKeyPath(party,
                                "cac:Party/cac:PartyTaxScheme[not(cac:TaxScheme/cbc:ID='TAX' or "
                                "cac:TaxScheme/cbc:ID='FC')]/cbc:CompanyID"));
    taxNumber = stringForKeyPath(
        party, "cac:Party/cac:PartyTaxScheme[cac:TaxScheme/cbc:ID='FC']/cbc:CompanyID");
    if (party.localName() == "AccountingSupplierParty") {
        XmlNode root = party.documentElement();
        iban = stringForKeyPath(root, "cac:PaymentMeans/cac:PayeeFinancialAccount/cbc:ID");
        accountName = stringForKeyPath(root, "cac:PaymentMeans/cac:PayeeFinancialAccount/cbc:Name");
        bic = stringForKeyPath(
            root,
            "cac:PaymentMeans/cac:PayeeFinancialAccount/cac:FinancialInstitutionBranch/cbc:ID");
    }
}

void LLInvoiceTradeParty::populateFromFatturaPAXML(XmlNode party) {
    const bool isSeller = party.localName() == "CedentePrestatore";
    ID = stringForKeyPath(party, "DatiAnagrafici/IdFiscaleIVA/IdPaese");
    name = stringForKeyPath(party, "DatiAnagrafici/Anagrafica/Denominazione");
    if (!name) {
        // A person: first name and surname.
        auto first = stringForKeyPath(party, "DatiAnagrafici/Anagrafica/Nome");
        auto last = stringForKeyPath(party, "DatiAnagrafici/Anagrafica/Cognome");
        if (first || last)
            name = first.value_or("") + (first && last ? " " : "") + last.value_or("");
    }
    postcodeCode = stringForKeyPath(party, "Sede/CAP");
    cityName = stringForKeyPath(party, "Sede/Comune");
    lineOne = stringForKeyPath(party, "Sede/Indirizzo");
    countryID = stringForKeyPath(party, "Sede/Nazione");
    if (isSeller) {
        phoneNumber = stringForKeyPath(party, "Contatti/Telefono");
        email = stringForKeyPath(party, "Contatti/Email");
    }
    vatNumber = stringForKeyPath(party, "DatiAnagrafici/IdFiscaleIVA/IdCodice");
    formattedName = name;
    if (isSeller) {
        iban = stringForKeyPath(party.documentElement(),
                                "FatturaElettronicaBody/DatiPagamento/DettaglioPagamento/IBAN");
    }
}

void LLInvoiceTradeParty::populateFromFacturaeXML(XmlNode party) {
    // Direct children only, so one party never reads the other's subtree. A party is a legal
    // entity or an individual, with an address in Spain or abroad.
    const std::string entity = "*[local-name()='LegalEntity' or local-name()='Individual']/";
    const std::string address =
        entity + "*[local-name()='AddressInSpain' or local-name()='OverseasAddress']/";
    auto child = [&](const std::string& prefix, const char* name) {
        return stringForKeyPath(party, prefix + "*[local-name()='" + name + "']");
    };
    ID = child("*[local-name()='TaxIdentification']/", "TaxIdentificationNumber");
    vatNumber = ID;
    name = child(entity, "CorporateName");
    if (!name) {
        std::string person;
        for (const char* part : {"Name", "FirstSurname", "SecondSurname"})
            if (auto text = child(entity, part); text && !text->empty())
                person += (person.empty() ? "" : " ") + *text;
        if (!person.empty()) name = person;
    }
    formattedName = name;
    lineOne = child(address, "Address");
    postcodeCode = child(address, "PostCode");
    cityName = child(address, "Town");
    if (!cityName) cityName = child(address, "PostCodeAndTown");
    countryID = child(address, "CountryCode");
    // Facturae writes ISO 3166 alpha-3 codes; the address shows the country's name.
    if (countryID && countryID->size() == 3) {
        static const std::map<std::string, std::string> alpha2 = {
            {"ESP", "ES"}, {"PRT", "PT"}, {"FRA", "FR"}, {"DEU", "DE"}, {"ITA", "IT"},
            {"GBR", "GB"}, {"USA", "US"}, {"NLD", "NL"}, {"BEL", "BE"}, {"AND", "AD"}};
        if (auto found = alpha2.find(*countryID); found != alpha2.end()) countryID = found->second;
    }
    if (party.localName() == "SellerParty") {
        phoneNumber = child(entity + "*[local-name()='ContactDetails']/", "Telephone");
        email = child(entity + "*[local-name()='ContactDetails']/", "ElectronicMail");
        // The payee's account is the one to be credited; the account to be debited is the
        // buyer's, given for direct debits.
        iban = stringForKeyPath(
            party.documentElement(),
            namespaceAgnosticPath(
                "Invoices/Invoice/PaymentDetails/Installment/AccountToBeCredited/IBAN"));
    }
}

}  // namespace model
