#include "preview/LLReadableInvoice.h"

#include "model/LLInvoice.h"
#include "platform/SFLocalizeHelper.h"

namespace preview {
namespace {

using model::LLInvoiceElement;

std::string tr(const char* text) { return platform::localizedString(text); }

void addText(LLReadableSection& section, const char* label,
             const std::optional<std::string>& text) {
    if (text && !text->empty()) section.rows.push_back({tr(label), *text, std::nullopt});
}

void addDate(LLReadableSection& section, const char* label,
             const std::optional<platform::Date>& date) {
    if (date) section.rows.push_back({tr(label), LLInvoiceElement::date(date), std::nullopt});
}

LLReadableRow amountRow(std::string label, const std::optional<platform::Decimal>& value) {
    return {std::move(label), LLInvoiceElement::number(value).value_or(""), value};
}

void addAmount(LLReadableSection& section, const char* label,
               const std::optional<platform::Decimal>& value) {
    if (value) section.rows.push_back(amountRow(tr(label), value));
}

LLReadableSection partySection(const char* title, const model::LLInvoiceTradeParty& party) {
    LLReadableSection section{tr(title), {}};
    if (party.name) section.rows.push_back({tr("Name"), *party.name, std::nullopt});
    std::string address;
    for (const auto* part : {&party.lineOne, &party.lineTwo}) {
        if (*part && !(*part)->empty()) address += (address.empty() ? "" : ", ") + **part;
    }
    std::string place = LLInvoiceElement::string(party.postcodeCode);
    if (party.cityName) place += (place.empty() ? "" : " ") + *party.cityName;
    if (party.countryID)
        place += (place.empty() ? "" : " ") + std::string("(") + *party.countryID + ")";
    if (!place.empty()) address += (address.empty() ? "" : ", ") + place;
    addText(section, "Address", address);
    addText(section, "VAT ID", party.vatNumber);
    addText(section, "Tax Number", party.taxNumber);
    addText(section, "Email", party.email);
    addText(section, "Phone", party.phoneNumber);
    return section;
}

std::string percentText(const std::optional<platform::Decimal>& rate) {
    if (!rate) return {};
    return rate->normalized().toString() + " %";
}

}  // namespace

std::vector<LLReadableSection> readableSections(const model::LLInvoice& invoice) {
    std::vector<LLReadableSection> sections;

    LLReadableSection document{tr("Invoice"), {}};
    addText(document, "Number", invoice.number);
    addDate(document, "Issue Date", invoice.issueDate);
    addDate(document, "Due Date", invoice.dueDate);
    if (invoice.currency) addText(document, "Currency", invoice.currency->name);
    addText(document, "Buyer Reference", invoice.buyerReference);
    addText(document, "Order Reference", invoice.buyerOrderReference);
    addText(document, "Payment Reference", invoice.paymentReference);
    addText(document, "Bank Account", invoice.creditTransferIBAN);
    if (!document.rows.empty()) sections.push_back(std::move(document));

    for (const auto& [title, party] :
         {std::pair{"Seller", invoice.seller.get()}, std::pair{"Buyer", invoice.buyer.get()}}) {
        if (!party) continue;
        LLReadableSection section = partySection(title, *party);
        if (!section.rows.empty()) sections.push_back(std::move(section));
    }

    if (invoice.items && !invoice.items->empty()) {
        LLReadableSection lines{tr("Lines"), {}};
        for (const auto& item : *invoice.items) {
            if (!item) continue;
            std::string name = item->productName.value_or(item->productDescription.value_or(""));
            // A short line number reads well before the name; some invoices put the name there.
            if (item->lineID && item->lineID->size() <= 6 && *item->lineID != name) {
                name = *item->lineID + (name.empty() ? "" : "  ") + name;
            }
            lines.rows.push_back(amountRow(name, item->lineTotalAmount));
        }
        sections.push_back(std::move(lines));
    }

    if (invoice.taxes && !invoice.taxes->empty()) {
        LLReadableSection taxes{tr("Taxes"), {}};
        for (const auto& tax : *invoice.taxes) {
            if (!tax) continue;
            std::string name = tax->name.value_or(tax->typeCode.value_or(tr("Tax")));
            const std::string rate = percentText(tax->rate);
            if (!rate.empty()) name += " " + rate;
            if (tax->net) taxes.rows.push_back(amountRow(name + " · " + tr("Net"), tax->net));
            if (tax->tax) taxes.rows.push_back(amountRow(name, tax->tax));
        }
        if (!taxes.rows.empty()) sections.push_back(std::move(taxes));
    }

    LLReadableSection totals{tr("Totals"), {}};
    addAmount(totals, "Sum of lines", invoice.lineTotalAmount);
    addAmount(totals, "Allowances", invoice.allowanceTotalAmount);
    addAmount(totals, "Charges", invoice.chargeTotalAmount);
    addAmount(totals, "Total (net)", invoice.netAmount);
    addAmount(totals, "Tax", invoice.taxAmount);
    addAmount(totals, "Total (gross)", invoice.grossAmount);
    addAmount(totals, "Prepaid", invoice.prepaidAmount);
    addAmount(totals, "Rounding", invoice.roundingAmount);
    addAmount(totals, "Amount Due", invoice.finalAmount);
    if (!totals.rows.empty()) sections.push_back(std::move(totals));
    return sections;
}

}  // namespace preview
