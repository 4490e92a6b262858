// Substitution dictionaries: the values every model element offers to layout texts.
#include <algorithm>

#include "model/LLInvoice.h"
#include "model/TextValues.h"
#include "platform/Formatting.h"
#include "platform/SFLocalizeHelper.h"

namespace model {
namespace {

std::string orNull(const std::optional<std::string>& value) {
    return value ? *value : std::string("(null)");
}

std::string orNull(const std::optional<Decimal>& value) {
    return value ? value->toString() : std::string("(null)");
}

std::string tr(std::string_view key) { return platform::localizedString(key); }

// A rate as people write it: "19 %", "5,5 %" in de and fr, "19%" in English.
std::string percentText(const Decimal& rate) {
    std::string number = platform::Formatting::formatDecimal(rate, 0, 2);
    const std::string locale = platform::Formatting::userLocale();
    return number + (locale.rfind("en", 0) == 0 ? "%" : "\u00A0%");
}

// The display name of a VAT category (UNTDID 5305) or a FatturaPA Natura code; none for the
// standard rate, which needs no words.
std::optional<std::string> categoryName(const std::optional<std::string>& code) {
    if (!code) return std::nullopt;
    static const std::map<std::string, const char*> names = {
        {"Z", "Zero rated"},
        {"E", "Exempt from VAT"},
        {"AE", "Reverse charge"},
        {"K", "Intra-community supply"},
        {"G", "Export outside the EU"},
        {"O", "Not subject to VAT"},
        {"L", "Canary Islands tax"},
        {"M", "Ceuta and Melilla tax"},
        {"N1", "Excluded"},
        {"N2", "Not subject to VAT"},
        {"N3", "Not taxable"},
        {"N4", "Exempt from VAT"},
        {"N5", "Margin scheme"},
        {"N6", "Reverse charge"},
        {"N7", "VAT paid in another EU state"},
    };
    std::string key = *code;
    if (key.size() > 2 && key[0] == 'N') key = key.substr(0, 2);  // N2.1 → N2
    auto found = names.find(key);
    if (found == names.end()) return std::nullopt;
    std::string name = tr(found->second);
    if (key != *code) name += " (" + *code + ")";
    return name;
}

// Units by name: symbols where they are international, words in the reader's language.
std::optional<std::string> unitName(const std::optional<std::string>& code) {
    if (!code || code->empty()) return std::nullopt;
    static const std::map<std::string, const char*> symbols = {{"HUR", "h"},
                                                               {"MIN", "min"},
                                                               {"SEC", "s"},
                                                               {"KGM", "kg"},
                                                               {"GRM", "g"},
                                                               {"TNE", "t"},
                                                               {"MTR", "m"},
                                                               {"KMT", "km"},
                                                               {"CMT", "cm"},
                                                               {"MMT", "mm"},
                                                               {"MTK", "m²"},
                                                               {"MTQ", "m³"},
                                                               {"LTR", "l"},
                                                               {"MLT", "ml"},
                                                               {"KWH", "kWh"},
                                                               {"KWT", "kW"},
                                                               {"MWH", "MWh"},
                                                               {"P1", "%"},
                                                               {"E48", ""},
                                                               // Facturae codes
                                                               {"02", "h"},
                                                               {"03", "kg"},
                                                               {"04", "l"}};
    static const std::map<std::string, const char*> words = {
        {"C62", "unit.piece"}, {"H87", "unit.piece"}, {"NAR", "unit.piece"},  {"EA", "unit.piece"},
        {"XPP", "unit.piece"}, {"01", "unit.piece"},  {"DAY", "unit.day"},    {"WEE", "unit.week"},
        {"MON", "unit.month"}, {"ANN", "unit.year"},  {"LS", "unit.lumpsum"}, {"SET", "unit.set"},
        {"PR", "unit.pair"}};
    if (auto found = symbols.find(*code); found != symbols.end()) {
        if (!*found->second) return std::nullopt;
        return std::string(found->second);
    }
    if (auto found = words.find(*code); found != words.end()) return tr(found->second);
    // FatturaPA writes the unit as free text; an unknown code is still better than nothing.
    return singleLineText(*code);
}

// The small print under a line: what identifies the item and how its amount comes about.
// More characters than the position column holds at its size.
bool hasLongLineID(std::string_view id) {
    constexpr size_t kPositionCharacters = 6;
    size_t characters = 0;
    for (char c : trimmedText(id))
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80) ++characters;  // UTF-8 lead bytes
    return characters > kPositionCharacters;
}

std::string lineDetail(const LLInvoiceItem& item) {
    std::vector<std::string> parts;
    auto add = [&](const std::string& label, const std::optional<std::string>& value) {
        if (value && !trimmedText(*value).empty())
            parts.push_back(tr(label) + " " + singleLineText(*value));
    };
    if (item.lineID && hasLongLineID(*item.lineID)) add("Line ID", item.lineID);
    add("Art. No.", item.sellerAssignedID);
    add("Buyer's No.", item.buyerAssignedID);
    add("GTIN", item.globalID);
    add("Order line", item.orderLineReference);
    if (item.periodStart || item.periodEnd)
        parts.push_back(tr("Period") + " " + LLInvoiceElement::date(item.periodStart) + " – " +
                        LLInvoiceElement::date(item.periodEnd));
    if (item.priceBaseQuantity && *item.priceBaseQuantity != Decimal(1) && item.netPrice) {
        std::string per = *LLInvoiceElement::number(*item.netPrice) + " " + tr("per") + " " +
                          platform::Formatting::formatDecimal(*item.priceBaseQuantity, 0, 5);
        if (auto unit = unitName(item.unitCode)) per += " " + *unit;
        parts.push_back(per);
    }
    if (item.grossPrice && item.priceDiscount && !item.priceDiscount->isZero())
        parts.push_back(tr("List price") + " " + *LLInvoiceElement::number(item.grossPrice) +
                        " − " + *LLInvoiceElement::number(item.priceDiscount));
    if (item.allowancesCharges)
        for (const auto& change : *item.allowancesCharges) {
            std::string text = change->reason && !change->reason->empty()
                                   ? singleLineText(*change->reason)
                                   : tr(change->isCharge ? "Charge" : "Allowance");
            if (change->percentage && !change->percentage->isZero())
                text += " " + percentText(*change->percentage);
            if (change->amount)
                text += " " + *LLInvoiceElement::number(change->isCharge ? *change->amount
                                                                         : -*change->amount);
            parts.push_back(text);
        }
    for (const auto& [name, value] : item.attributes)
        parts.push_back(singleLineText(name) + ": " + singleLineText(value));
    std::string detail;
    for (const auto& part : parts) detail += (detail.empty() ? "" : " · ") + part;
    if (item.notes && !trimmedText(*item.notes).empty())
        detail += (detail.empty() ? "" : "\n") + trimmedText(*item.notes);
    return detail;
}

std::optional<std::string> negated(const std::optional<Decimal>& value) {
    if (!value) return std::nullopt;
    return LLInvoiceElement::number(-*value);
}

bool nonZero(const std::optional<Decimal>& value) { return value && !value->isZero(); }

std::string withArguments(std::string pattern, const std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string marker = "%" + std::to_string(i + 1);
        if (size_t at = pattern.find(marker); at != std::string::npos)
            pattern.replace(at, marker.size(), arguments[i]);
    }
    return pattern;
}

// XRechnung writes discount terms as "#SKONTO#TAGE=7#PROZENT=2.00#[BASISBETRAG=…#]" lines
// (and late-payment terms as "#VERZUG#…"): a sentence with the date and the amount instead.
std::optional<std::string> termsSentence(const std::string& line, const LLInvoice& invoice) {
    std::string compact;
    for (char c : line)
        if (c != ' ' && c != '\t') compact += c;
    const bool skonto = compact.rfind("#SKONTO#", 0) == 0;
    const bool verzug = compact.rfind("#VERZUG#", 0) == 0;
    if (!skonto && !verzug) return std::nullopt;
    std::map<std::string, std::string> fields;
    std::string rest;
    size_t position = 8;
    while (position < compact.size()) {
        size_t end = compact.find('#', position);
        std::string part =
            compact.substr(position, end == std::string::npos ? std::string::npos : end - position);
        if (size_t equals = part.find('='); equals != std::string::npos)
            fields[part.substr(0, equals)] = part.substr(equals + 1);
        else if (!part.empty())
            rest += part;
        if (end == std::string::npos) break;
        position = end + 1;
    }
    auto decimal = [&](const char* key) -> std::optional<Decimal> {
        auto found = fields.find(key);
        if (found == fields.end()) return std::nullopt;
        std::string text = found->second;
        std::replace(text.begin(), text.end(), ',', '.');
        return Decimal::parse(text);
    };
    auto days = decimal("TAGE");
    auto percent = decimal("PROZENT");
    if (!days || !percent || !days->isInteger()) return std::nullopt;
    std::string until;
    if (invoice.issueDate) {
        Date day = Date::fromDaysSinceEpoch(invoice.issueDate->daysSinceEpoch() +
                                            std::int64_t(days->toDouble()));
        until = LLInvoiceElement::date(day);
    } else {
        until = days->toString() + " " + tr("days");
    }
    std::string sentence;
    if (skonto) {
        auto base = decimal("BASISBETRAG");
        if (!base) base = invoice.finalAmount;
        std::string amount;
        if (base && invoice.finalAmount) {
            Decimal discount = (*base * *percent)
                                   .divide(Decimal(100), 2, platform::RoundingMode::HalfUp)
                                   .value_or(Decimal(0));
            amount = *LLInvoiceElement::number(*invoice.finalAmount - discount);
            if (invoice.currency && invoice.currency->name) amount += " " + *invoice.currency->name;
        }
        sentence =
            withArguments(tr(amount.empty() ? "SkontoSentenceWithoutAmount" : "SkontoSentence"),
                          {percentText(*percent), until, amount});
    } else {
        sentence = withArguments(tr("LatePaymentSentence"), {percentText(*percent), until});
    }
    if (!rest.empty()) sentence += " " + rest;
    return sentence;
}

// The payment terms with coded lines put into words and blank lines dropped.
std::string readableTerms(const std::string& terms, const LLInvoice& invoice) {
    std::string result;
    size_t start = 0;
    while (start <= terms.size()) {
        size_t end = terms.find('\n', start);
        std::string line = trimmedText(
            terms.substr(start, end == std::string::npos ? std::string::npos : end - start));
        // Several codes may stand on one line.
        std::vector<std::string> pieces;
        size_t code = line.find("#SKONTO#") != std::string::npos ? line.find("#SKONTO#")
                                                                 : line.find("#VERZUG#");
        if (code != std::string::npos && code > 0) {
            pieces.push_back(trimmedText(line.substr(0, code)));
            line = line.substr(code);
        }
        for (size_t next; (next = line.find("#SKONTO#", 1)) != std::string::npos ||
                          (next = line.find("#VERZUG#", 1)) != std::string::npos;) {
            pieces.push_back(line.substr(0, next));
            line = line.substr(next);
        }
        pieces.push_back(line);
        for (const auto& piece : pieces) {
            if (piece.empty()) continue;
            std::string text = termsSentence(piece, invoice).value_or(piece);
            // A code that could not be read still must not show its marks.
            if (text.rfind("#SKONTO#", 0) == 0 || text.rfind("#VERZUG#", 0) == 0) {
                std::replace(text.begin(), text.end(), '#', ' ');
                text = trimmedText(text);
            }
            if (!result.empty()) result += "\n";
            result += text;
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return result;
}

}  // namespace

std::optional<SubstitutionDictionary> LLInvoiceTradeParty::substitutionDictionary() const {
    SubstitutionDictionary d;
    d["formattedaddress"] = formattedAddress();
    setSubstitutionValue(d, "id", ID);
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
    // The position column is narrow: a longer identifier (a text such as "Raumkosten
    // Schulungsort") is shown with the line's details and the column takes the running number.
    if (lineID && !hasLongLineID(*lineID)) setSubstitutionValue(d, "index", lineID);
    // A line without a name (a text line) must not show its placeholder.
    d["title"] = singleLineText(string(productName));
    for (const char* key : {"quantity", "qty", "shortquantity"})
        setSubstitutionValue(d, key, number(billedQuantity));
    setSubstitutionValue(d, "cost", number(lineTotalAmount));
    setSubstitutionValue(d, "unitprice", number(netPrice));
    setSubstitutionValue(d, "rate", number(netPrice));
    d["unit"] = std::string();
    if (auto unit = unitName(unitCode)) d["unitname"] = *unit;
    // Without a rate the key stays absent, so a "[…]" range around it disappears.
    if (vatRatePercent) d["taxnames"] = percentText(*vatRatePercent);
    // A description that only repeats the name says nothing.
    d["description"] =
        productDescription && trimmedText(*productDescription) != trimmedText(string(productName))
            ? string(productDescription)
            : std::string();
    d["detail"] = lineDetail(*this);
    std::string subtext = substitutionText(d["description"]);
    if (const std::string& detail = std::get<std::string>(d["detail"]); !detail.empty())
        subtext += (subtext.empty() ? "" : "\n") + detail;
    d["subtext"] = subtext;
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
    // The row's words: tax name, rate, category; the exemption reason on its own line.
    std::string label = name && !name->empty() ? *name : std::string();
    if (!typeCode && label.empty()) label = tr("VAT");
    if (typeCode && (label.empty() || (exemptionReason && label == *exemptionReason)))
        label = tr(*typeCode);
    if (rate) label += (label.empty() ? "" : " ") + percentText(*rate);
    const bool natura = categoryCode && name && *categoryCode == *name;
    if (auto category = categoryName(categoryCode)) {
        if (natura) label = tr("VAT") + (rate ? " " + percentText(*rate) : std::string());
        label += " · " + *category;
    }
    d["label"] = label;
    setSubstitutionValue(d, "exemption", exemptionReason);
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
    // Allowances lower the total, charges raise it: the row shows the sign.
    if (amount) setSubstitutionValue(d, "signedamount", number(isCharge ? *amount : -*amount));
    std::string label =
        reason && !reason->empty() ? *reason : tr(isCharge ? "Charge" : "Allowance");
    d["label"] = label;
    if (percentage && baseAmount)
        d["basis"] = percentText(*percentage) + " " + tr("of") + " " + *number(baseAmount);
    if (vatRatePercent) d["taxnames"] = percentText(*vatRatePercent);
    return d;
}

std::optional<SubstitutionDictionary> LLInvoice::substitutionDictionary() const {
    SubstitutionDictionary d;
    d["document.due"] = date(dueDate);
    d["document.sent"] = date(issueDate);
    d["document.label"] = std::string("Rechnung");
    // The Facturae series belongs to the number a reader quotes.
    d["document.number"] = numberSeries && !numberSeries->empty()
                               ? *numberSeries + " " + string(number)
                               : string(number);
    d["document.reference"] = string(reference);
    d["document.subject"] = string(subject);
    setSubstitutionValue(d, "document.costwithtaxes", LLInvoiceElement::number(finalAmount));
    setSubstitutionValue(d, "document.cost", LLInvoiceElement::number(netAmount));
    setSubstitutionValue(d, "document.taxes", LLInvoiceElement::number(taxAmount));
    d["document.conditions"] = conditions ? readableTerms(*conditions, *this) : std::string();
    d["document.lead"] = string(lead);
    d["document.daterange"] =
        dateRangeStart ? date(dateRangeStart) + " - " + date(dateRangeEnd) : std::string();
    setSubstitutionValue(d, "costwithtaxes", LLInvoiceElement::number(grossAmount));
    setSubstitutionValue(d, "qrtotal", finalAmountAsString);
    setSubstitutionValue(d, "cost", LLInvoiceElement::number(netAmount));
    setSubstitutionValue(d, "taxes", LLInvoiceElement::number(taxAmount));
    d["document.meta.ram:buyerOrderreferencedfocument:issuerassignedid"] =
        string(buyerOrderReference);

    d["document.title"] = tr(documentTitleKey(documentKind));
    const bool credited = totalIsCredited();
    d["document.amountduelabel"] = tr(credited ? "Amount Credited" : "Amount Due");
    if (finalAmount)
        setSubstitutionValue(d, "document.amountdue", LLInvoiceElement::number(finalAmount->abs()));
    std::string preceding;
    for (const auto& reference : precedingInvoices) {
        if (!reference.number) continue;
        if (!preceding.empty()) preceding += ", ";
        preceding += *reference.number;
        if (reference.issueDate) preceding += " (" + date(reference.issueDate) + ")";
    }
    if (!preceding.empty()) d["document.precedinginvoice"] = preceding;

    switch (documentKind) {
        case DocumentKind::Invoice:
        case DocumentKind::Prepayment:
        case DocumentKind::SelfBilled:
            d["document.numberlabel"] = tr("Invoice No.");
            break;
        case DocumentKind::CreditNote:
            d["document.numberlabel"] = tr("Credit Note No.");
            break;
        default:
            d["document.numberlabel"] = tr("Document No.");
            break;
    }
    setSubstitutionValue(d, "document.buyerreference", buyerReference);
    // FatturaPA and Facturae identify the buyer by tax number, which is no customer number.
    if (buyer && (syntax == InvoiceSyntax::CII || syntax == InvoiceSyntax::UBL))
        setSubstitutionValue(d, "document.customernumber", buyer->ID);
    setSubstitutionValue(d, "document.orderreference", buyerOrderReference);
    setSubstitutionValue(d, "document.salesorderreference", salesOrderReference);
    setSubstitutionValue(d, "document.contractreference", contractReference);
    setSubstitutionValue(d, "document.projectreference", projectReference);
    if (deliveryDate) d["document.deliverydate"] = date(deliveryDate);
    std::string others;
    auto other = [&](const char* label, const std::optional<std::string>& value) {
        if (!value || value->empty()) return;
        if (!others.empty()) others += " · ";
        others += tr(label) + ": " + *value;
    };
    other("Receiving Advice", receivingAdviceReference);
    other("Despatch Advice", despatchAdviceReference);
    other("Tender or Lot", tenderReference);
    other("Object Identifier", objectIdentifier);
    other("Accounting Reference", accountingReference);
    if (shipTo) {
        std::string place;
        for (const auto& part : {shipTo->name, shipTo->lineOne, shipTo->lineTwo})
            if (part && !part->empty()) place += (place.empty() ? "" : ", ") + *part;
        std::string city = string(shipTo->postcodeCode);
        if (shipTo->cityName) city += (city.empty() ? "" : " ") + *shipTo->cityName;
        if (!city.empty()) place += (place.empty() ? "" : ", ") + city;
        if (shipTo->countryID)
            place += (place.empty() ? "" : ", ") +
                     platform::Formatting::countryDisplayName(*shipTo->countryID);
        other("Deliver To", place);
    }
    if (!others.empty()) d["document.otherreferences"] = others;
    std::string listed;
    for (const auto& [name, text] : attachments) {
        listed += (listed.empty() ? "" : ", ") + singleLineText(name);
        if (!text.empty()) listed += " (" + singleLineText(text) + ")";
    }
    if (!listed.empty()) d["document.attachments"] = listed;

    setSubstitutionValue(d, "document.paymentreference", paymentReference);
    std::string accounts;
    for (const auto& account : paymentAccounts) {
        if (!account.accountID || account.accountID->empty()) continue;
        std::string line;
        const auto iban = validIBAN(*account.accountID);
        if (account.directDebit) {
            line = tr("Direct debit from") + " " + (iban ? "IBAN " + *iban : *account.accountID);
            if (account.mandate) line += " · " + tr("Mandate") + " " + *account.mandate;
        } else {
            line = tr("Bank Account") + ": " + (iban ? "IBAN " + *iban : *account.accountID);
            if (account.bic) line += " · BIC " + *account.bic;
            if (account.accountName) line += " · " + *account.accountName;
        }
        if (!accounts.empty()) accounts += "\n";
        accounts += line;
    }
    if (!accounts.empty()) d["payment.accounts"] = accounts;

    // The totals block: each row only where it tells something.
    const bool adjusted = nonZero(allowanceTotalAmount) || nonZero(chargeTotalAmount);
    if (adjusted) {
        setSubstitutionValue(d, "document.linetotal", LLInvoiceElement::number(lineTotalAmount));
        if (nonZero(allowanceTotalAmount))
            setSubstitutionValue(d, "document.allowancetotal", negated(allowanceTotalAmount));
        if (nonZero(chargeTotalAmount))
            setSubstitutionValue(d, "document.chargetotal",
                                 LLInvoiceElement::number(chargeTotalAmount));
    }
    setSubstitutionValue(d, "document.netamount",
                         LLInvoiceElement::number(taxBasisAmount ? taxBasisAmount : netAmount));
    setSubstitutionValue(d, "document.taxamount", LLInvoiceElement::number(taxAmount));
    setSubstitutionValue(d, "document.grossamount", LLInvoiceElement::number(grossAmount));
    if (nonZero(prepaidAmount)) setSubstitutionValue(d, "document.prepaid", negated(prepaidAmount));
    if (nonZero(roundingAmount))
        setSubstitutionValue(d, "document.rounding", LLInvoiceElement::number(roundingAmount));
    if (nonZero(stampDutyAmount))
        setSubstitutionValue(d, "document.stampduty", LLInvoiceElement::number(stampDutyAmount));
    if (nonZero(withholdingAmount)) {
        setSubstitutionValue(d, "document.withholding", negated(withholdingAmount));
        d["document.withholdinglabel"] = tr(withholdingName ? *withholdingName : "Withholding tax");
    }
    if (auto code = paymentCodeValues()) {
        for (auto& [key, value] : *code) d[key] = value;
    }

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
