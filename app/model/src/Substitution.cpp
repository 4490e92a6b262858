// Substitution dictionaries: the values every model element offers to layout texts.
#include "model/LLInvoice.h"
#include "platform/Formatting.h"

namespace model {
namespace {

std::string orNull(const std::optional<std::string>& value) {
    return value ? *value : std::string("(null)");
}

std::string orNull(const std::optional<Decimal>& value) {
    return value ? value->toString() : std::string("(null)");
}

}  // namespace

std::optional<SubstitutionDictionary> LLInvoiceTradeParty::substitutionDictionary() const {
    SubstitutionDictionary d;
    d["formattedaddress"] = formattedAddress();
    d["formattedname"] = string(formattedName);
    d["city"] = string(cityName);
    d["phonenumber"] = string(phoneNumber);
    d["email"] = string(email);
    d["vatid"] = string(vatNumber);
    d["taxnumber"] = string(taxNumber);
    d["iban"] = string(iban);
    d["bic"] = string(bic);
    d["accountName"] = string(accountName);
    d["salutation"] = std::string();
    return d;
}

std::string LLInvoiceTradeParty::formattedAddress() const {
    std::string address;
    // A missing field is skipped with its separator; an empty one keeps it.
    auto append = [&](const std::optional<std::string>& field, const char* separator) {
        if (field) address += *field + separator;
    };
    append(name, "\n");
    append(lineOne, "\n");
    append(lineTwo, "\n");
    append(postcodeCode, " ");
    append(cityName, "\n");
    if (countryID) address += platform::Formatting::countryDisplayName(*countryID);
    return address;
}

std::string LLInvoiceTradeParty::description() const {
    return "SFInvoiceTradeParty - ID: " + orNull(ID) + ", Name: " + orNull(name) +
           ", Postcode: " + orNull(postcodeCode) + ", Address: " + orNull(lineOne) +
           ", City: " + orNull(cityName) + ", Country: " + orNull(countryID);
}

std::optional<SubstitutionDictionary> LLInvoiceItem::substitutionDictionary() const {
    SubstitutionDictionary d;
    setSubstitutionValue(d, "index", lineID);
    setSubstitutionValue(d, "title", productName);
    for (const char* key : {"quantity", "qty", "shortquantity"})
        setSubstitutionValue(d, key, number(billedQuantity));
    setSubstitutionValue(d, "cost", number(lineTotalAmount));
    setSubstitutionValue(d, "unitprice", number(netPrice));
    setSubstitutionValue(d, "rate", number(netPrice));
    d["unit"] = std::string();
    // Without a rate the key stays absent, so a "[…]" range around it disappears.
    if (auto rate = number(vatRatePercent)) d["taxnames"] = *rate + "%";
    d["description"] = string(productDescription);
    return d;
}

std::string LLInvoiceItem::description() const {
    return "LineItem - LineID: " + orNull(lineID) + ", GlobalID: " + orNull(globalID) +
           ", SellerAssignedID: " + orNull(sellerAssignedID) +
           ", ProductName: " + orNull(productName) + ", GrossPrice: " + orNull(grossPrice) +
           ", NetPrice: " + orNull(netPrice) + ", BilledQuantity: " + orNull(billedQuantity) +
           ", UnitCode: " + orNull(unitCode) + ", VATTypeCode: " + orNull(vatTypeCode) +
           ", VATCategoryCode: " + orNull(vatCategoryCode) +
           ", VATRatePercent: " + orNull(vatRatePercent) +
           ", LineTotalAmount: " + orNull(lineTotalAmount);
}

std::optional<SubstitutionDictionary> LLInvoiceNote::substitutionDictionary() const {
    return SubstitutionDictionary{{"notes", string(note)}};
}

std::optional<SubstitutionDictionary> LLInvoiceCurrency::substitutionDictionary() const {
    return SubstitutionDictionary{{"shortname", string(name)}, {"name", string(name)}};
}

std::optional<SubstitutionDictionary> LLInvoiceTax::substitutionDictionary() const {
    SubstitutionDictionary d;
    d["shortname"] = std::string();
    setSubstitutionValue(d, "percentage",
                         rate ? std::optional<SubstitutionValue>(*rate) : std::nullopt);
    d["name"] = string(name);
    setSubstitutionValue(d, "net", number(net));
    setSubstitutionValue(d, "taxes", number(tax));
    return d;
}

SubstitutionDictionary LLInvoiceAllowanceCharge::substitutionDictionaryWithNet(
    const Decimal& net) const {
    SubstitutionDictionary d;
    d["type"] = std::string(isCharge ? "Charge" : "Allowance");
    setSubstitutionValue(d, "amount", number(amount));
    setSubstitutionValue(d, "discount", number(amount));
    d["reason"] = std::string();
    // The reason text stands in the percentage column of the row.
    d["percentage"] = string(reason);
    d["reasoncode"] = string(reasonCode);
    setSubstitutionValue(d, "net", number(net));
    return d;
}

std::optional<SubstitutionDictionary> LLInvoice::substitutionDictionary() const {
    SubstitutionDictionary d;
    d["document.due"] = date(dueDate);
    d["document.sent"] = date(issueDate);
    d["document.label"] = std::string("Rechnung");
    d["document.number"] = string(number);
    d["document.reference"] = string(reference);
    d["document.subject"] = string(subject);
    setSubstitutionValue(d, "document.costwithtaxes", LLInvoiceElement::number(finalAmount));
    setSubstitutionValue(d, "document.cost", LLInvoiceElement::number(netAmount));
    setSubstitutionValue(d, "document.taxes", LLInvoiceElement::number(taxAmount));
    d["document.conditions"] = string(conditions);
    d["document.lead"] = string(lead);
    d["document.daterange"] =
        dateRangeStart ? date(dateRangeStart) + " - " + date(dateRangeEnd) : std::string();
    setSubstitutionValue(d, "costwithtaxes", LLInvoiceElement::number(grossAmount));
    setSubstitutionValue(d, "qrtotal", finalAmountAsString);
    setSubstitutionValue(d, "cost", LLInvoiceElement::number(netAmount));
    setSubstitutionValue(d, "taxes", LLInvoiceElement::number(taxAmount));
    d["document.meta.ram:buyerOrderreferencedfocument:issuerassignedid"] =
        string(buyerOrderReference);
    if (currency)
        addEntriesFromDictionaryWithPrefix(d, currency->substitutionDictionary(), "currency");
    if (seller) addEntriesFromDictionaryWithPrefix(d, seller->substitutionDictionary(), "sender");
    if (buyer) addEntriesFromDictionaryWithPrefix(d, buyer->substitutionDictionary(), "recipient");
    return d;
}

std::optional<SubstitutionDictionary> LLInvoice::prepaidDictionary() const {
    if (!prepaidAmount) return std::nullopt;
    SubstitutionDictionary d;
    setSubstitutionValue(d, "document.costWithTaxes", LLInvoiceElement::number(grossAmount));
    setSubstitutionValue(d, "amount", LLInvoiceElement::number(-*prepaidAmount));
    d["date"] = std::string();
    return d;
}

}  // namespace model
