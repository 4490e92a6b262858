#include "model/LLInvoiceTradeParty.h"

#include "ReaderSupport.h"

namespace model {

void LLInvoiceTradeParty::populateFromCIIXML(XmlNode party) {
    ID = stringForKeyPath(party, "ram:ID");
    name = stringForKeyPath(party, "ram:Name");
    postcodeCode = stringForKeyPath(party, "ram:PostalTradeAddress/ram:PostcodeCode");
    lineOne = stringForKeyPath(party, "ram:PostalTradeAddress/ram:LineOne");
    lineTwo = stringForKeyPath(party, "ram:PostalTradeAddress/ram:LineTwo");
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
    countryID =
        stringForKeyPath(party, "cac:Party/cac:PostalAddress/cac:Country/cbc:IdentificationCode");
    phoneNumber = stringForKeyPath(party, "cac:Party/cac:Contact/cbc:Telephone");
    email = stringForKeyPath(party, "cac:Party/cac:Contact/cbc:ElectronicMail");
    formattedName = stringForKeyPath(party, "cac:Party/cac:Contact/cbc:Name");
    vatNumber = stringForKeyPath(party, "cac:Party/cac:PartyTaxScheme/cbc:CompanyID");
    if (party.localName() == "AccountingSupplierParty") {
        XmlNode root = party.documentElement();
        iban = stringForKeyPath(root, "cac:PaymentMeans/cac:PayeeFinancialAccount/cbc:ID");
        accountName = stringForKeyPath(root, "cac:PaymentMeans/cac:PayeeFinancialAccount/cbc:Name");
        bic = stringForKeyPath(
            root, "cac:PaymentMeans/cac:PayeeFinancialAccount/cac:FinancialInstitutionBranch/cbc:ID");
    }
}

void LLInvoiceTradeParty::populateFromFatturaPAXML(XmlNode party) {
    const bool isSeller = party.localName() == "CedentePrestatore";
    ID = stringForKeyPath(party, "DatiAnagrafici/IdFiscaleIVA/IdPaese");
    name = stringForKeyPath(party, "DatiAnagrafici/Anagrafica/Denominazione");
    postcodeCode = stringForKeyPath(party, "Sede/CAP");
    cityName = stringForKeyPath(party, "Sede/Comune");
    lineOne = stringForKeyPath(party, "Sede/Indirizzo");
    countryID = stringForKeyPath(party, "Sede/Nazione");
    if (isSeller) {
        phoneNumber = stringForKeyPath(party, "Contatti/Telefono");
        email = stringForKeyPath(party, "Contatti/Email");
    }
    vatNumber = stringForKeyPath(party, "DatiAnagrafici/IdFiscaleIVA/IdCodice");
    formattedName = stringForKeyPath(party, "DatiAnagrafici/Anagrafica/Denominazione");
    if (isSeller) {
        iban = stringForKeyPath(party.documentElement(),
                                "FatturaElettronicaBody/DatiPagamento/DettaglioPagamento/IBAN");
    }
}

void LLInvoiceTradeParty::populateFromFacturaeXML(XmlNode party) {
    if (party.localName() == "SellerParty") {
        auto local = [&party](std::string_view names) {
            return stringForKeyPath(party, namespaceAgnosticPath(names));
        };
        ID = local("TaxIdentification/TaxIdentificationNumber");
        name = local("LegalEntity/CorporateName");
        postcodeCode = local("LegalEntity/AddressInSpain/PostCode");
        cityName = local("LegalEntity/AddressInSpain/Town");
        lineOne = local("LegalEntity/AddressInSpain/Address");
        countryID = local("LegalEntity/AddressInSpain/CountryCode");
        phoneNumber = local("LegalEntity/ContactDetails/Telephone");
        email = local("LegalEntity/ContactDetails/ElectronicMail");
        vatNumber = local("TaxIdentification/TaxIdentificationNumber");
        formattedName = local("LegalEntity/CorporateName");
        // The payee's account is the one to be credited; the account to be debited is the
        // buyer's, given for direct debits.
        iban = stringForKeyPath(
            party.documentElement(),
            namespaceAgnosticPath(
                "Invoices/Invoice/PaymentDetails/Installment/AccountToBeCredited/IBAN"));
        return;
    }
    ID = stringForKeyPath(
        party, "*[local-name()='TaxIdentification']/*[local-name()='TaxIdentificationNumber']");
    name = stringForKeyPath(party, "*[local-name()='LegalEntity']/*[local-name()='CorporateName']");
    postcodeCode = stringForKeyPath(
        party,
        "*[local-name()='LegalEntity']/*[local-name()='AddressInSpain']/*[local-name()='PostCode']");
    cityName = stringForKeyPath(
        party,
        "*[local-name()='LegalEntity']/*[local-name()='AddressInSpain']/*[local-name()='Town']");
    lineOne = stringForKeyPath(
        party,
        "*[local-name()='LegalEntity']/*[local-name()='AddressInSpain']/*[local-name()='Address']");
    countryID = stringForKeyPath(party,
                                 "*[local-name()='LegalEntity']/*[local-name()='AddressInSpain']/"
                                 "*[local-name()='CountryCode']");
    vatNumber = stringForKeyPath(
        party, "*[local-name()='TaxIdentification']/*[local-name()='TaxIdentificationNumber']");
    formattedName =
        stringForKeyPath(party, "*[local-name()='LegalEntity']/*[local-name()='CorporateName']");
}

}  // namespace model
