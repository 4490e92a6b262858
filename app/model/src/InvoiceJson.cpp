#include "model/InvoiceJson.h"

namespace model {
namespace {

using platform::JsonWriter;

void field(JsonWriter& json, const char* name, const std::optional<std::string>& value) {
    json.key(name);
    value ? json.string(*value) : json.null();
}

void field(JsonWriter& json, const char* name, const std::optional<Decimal>& value) {
    json.key(name);
    value ? json.string(value->toString()) : json.null();
}

void field(JsonWriter& json, const char* name, const std::optional<Date>& value) {
    json.key(name);
    value ? json.string(value->toIsoString()) : json.null();
}

template <class T, class Writer>
void list(JsonWriter& json, const char* name, const ElementList<T>& items, Writer write) {
    json.key(name);
    if (!items) {
        json.null();
        return;
    }
    json.beginArray();
    for (const auto& item : *items) write(json, *item);
    json.endArray();
}

void writeParty(JsonWriter& json, const char* name, const std::shared_ptr<LLInvoiceTradeParty>& p) {
    json.key(name);
    if (!p) {
        json.null();
        return;
    }
    json.beginObject();
    field(json, "ID", p->ID);
    field(json, "name", p->name);
    field(json, "postcodeCode", p->postcodeCode);
    field(json, "lineOne", p->lineOne);
    field(json, "lineTwo", p->lineTwo);
    field(json, "cityName", p->cityName);
    field(json, "countryID", p->countryID);
    field(json, "phoneNumber", p->phoneNumber);
    field(json, "email", p->email);
    field(json, "taxNumber", p->taxNumber);
    field(json, "vatNumber", p->vatNumber);
    field(json, "formattedName", p->formattedName);
    field(json, "iban", p->iban);
    field(json, "bic", p->bic);
    field(json, "accountName", p->accountName);
    json.endObject();
}

void writeAllowanceCharge(JsonWriter& json, const LLInvoiceAllowanceCharge& a) {
    json.beginObject();
    json.key("isCharge").boolean(a.isCharge);
    field(json, "amount", a.amount);
    field(json, "reason", a.reason);
    field(json, "reasonCode", a.reasonCode);
    field(json, "baseAmount", a.baseAmount);
    field(json, "percentage", a.percentage);
    field(json, "vatRatePercent", a.vatRatePercent);
    field(json, "vatCategoryCode", a.vatCategoryCode);
    json.endObject();
}

void writeTax(JsonWriter& json, const LLInvoiceTax& t) {
    json.beginObject();
    field(json, "net", t.net);
    field(json, "tax", t.tax);
    field(json, "rate", t.rate);
    field(json, "name", t.name);
    field(json, "typeCode", t.typeCode);
    field(json, "categoryCode", t.categoryCode);
    field(json, "exemptionReason", t.exemptionReason);
    field(json, "exemptionReasonCode", t.exemptionReasonCode);
    json.endObject();
}

void writeNote(JsonWriter& json, const LLInvoiceNote& n) {
    json.beginObject();
    field(json, "note", n.note);
    json.endObject();
}

void writeItem(JsonWriter& json, const LLInvoiceItem& i) {
    json.beginObject();
    field(json, "lineID", i.lineID);
    field(json, "globalID", i.globalID);
    field(json, "sellerAssignedID", i.sellerAssignedID);
    field(json, "productName", i.productName);
    field(json, "productDescription", i.productDescription);
    field(json, "notes", i.notes);
    field(json, "grossPrice", i.grossPrice);
    field(json, "netPrice", i.netPrice);
    field(json, "billedQuantity", i.billedQuantity);
    field(json, "unitCode", i.unitCode);
    field(json, "vatTypeCode", i.vatTypeCode);
    field(json, "vatCategoryCode", i.vatCategoryCode);
    field(json, "vatRatePercent", i.vatRatePercent);
    field(json, "lineTotalAmount", i.lineTotalAmount);
    list(json, "allowancesCharges", i.allowancesCharges, writeAllowanceCharge);
    json.endObject();
}

}  // namespace

void writeInvoiceJson(JsonWriter& json, const LLInvoice& v) {
    json.beginObject();
    field(json, "issueDate", v.issueDate);
    field(json, "dueDate", v.dueDate);
    field(json, "dateRangeStart", v.dateRangeStart);
    field(json, "dateRangeEnd", v.dateRangeEnd);
    field(json, "netAmount", v.netAmount);
    field(json, "grossAmount", v.grossAmount);
    field(json, "finalAmount", v.finalAmount);
    field(json, "taxAmount", v.taxAmount);
    field(json, "prepaidAmount", v.prepaidAmount);
    field(json, "lead", v.lead);
    field(json, "number", v.number);
    field(json, "reference", v.reference);
    field(json, "subject", v.subject);
    json.key("currency");
    if (v.currency) {
        json.beginObject();
        field(json, "name", v.currency->name);
        json.endObject();
    } else {
        json.null();
    }
    writeParty(json, "seller", v.seller);
    writeParty(json, "buyer", v.buyer);
    list(json, "taxes", v.taxes, writeTax);
    list(json, "notes", v.notes, writeNote);
    list(json, "allowancesCharges", v.allowancesCharges, writeAllowanceCharge);
    field(json, "finalAmountAsString", v.finalAmountAsString);
    field(json, "conditions", v.conditions);
    list(json, "items", v.items, writeItem);
    field(json, "buyerReference", v.buyerReference);
    field(json, "buyerOrderReference", v.buyerOrderReference);
    field(json, "typeCode", v.typeCode);
    json.key("documentType").string(documentKindName(v.documentKind));
    json.key("precedingInvoices").beginArray();
    for (const auto& reference : v.precedingInvoices) {
        json.beginObject();
        field(json, "number", reference.number);
        field(json, "issueDate", reference.issueDate);
        json.endObject();
    }
    json.endArray();
    field(json, "salesOrderReference", v.salesOrderReference);
    field(json, "contractReference", v.contractReference);
    field(json, "projectReference", v.projectReference);
    field(json, "receivingAdviceReference", v.receivingAdviceReference);
    field(json, "despatchAdviceReference", v.despatchAdviceReference);
    field(json, "tenderReference", v.tenderReference);
    field(json, "objectIdentifier", v.objectIdentifier);
    field(json, "accountingReference", v.accountingReference);
    field(json, "deliveryDate", v.deliveryDate);
    writeParty(json, "shipTo", v.shipTo);
    json.key("attachments").beginArray();
    for (const auto& [name, description] : v.attachments) {
        json.beginObject();
        json.key("name").string(name);
        json.key("description").string(description);
        json.endObject();
    }
    json.endArray();
    field(json, "lineTotalAmount", v.lineTotalAmount);
    field(json, "allowanceTotalAmount", v.allowanceTotalAmount);
    field(json, "chargeTotalAmount", v.chargeTotalAmount);
    field(json, "taxBasisAmount", v.taxBasisAmount);
    field(json, "roundingAmount", v.roundingAmount);
    field(json, "withholdingAmount", v.withholdingAmount);
    field(json, "withholdingName", v.withholdingName);
    json.key("paymentAccounts").beginArray();
    for (const auto& account : v.paymentAccounts) {
        json.beginObject();
        field(json, "meansCode", account.meansCode);
        field(json, "accountID", account.accountID);
        field(json, "accountName", account.accountName);
        field(json, "bic", account.bic);
        json.key("directDebit").boolean(account.directDebit);
        field(json, "mandate", account.mandate);
        json.endObject();
    }
    json.endArray();
    field(json, "creditTransferIBAN", v.creditTransferIBAN);
    field(json, "creditTransferBIC", v.creditTransferBIC);
    field(json, "creditTransferAccountName", v.creditTransferAccountName);
    field(json, "payeeName", v.payeeName);
    field(json, "paymentReference", v.paymentReference);
    json.key("paymentCode");
    if (auto code = v.paymentCodeValues()) {
        json.beginObject();
        for (const auto& [key, value] : *code)
            json.key(key.substr(3)).string(substitutionText(value));
        json.endObject();
    } else {
        json.null();
    }
    json.endObject();
}

}  // namespace model
