#include "library/LLManagedObject.h"

#include "library/LLObjectContext.h"

namespace library {
namespace {

template <class T>
LLValue optionalValue(const std::optional<T>& value) {
    if (!value) return std::monostate{};
    return *value;
}

}  // namespace

std::string LLManagedObject::uriString() const {
    std::string uuid = context_ ? context_->storeUUID() : std::string();
    return "ledgerlens://" + uuid + "/" + entityName() + "/" + std::to_string(rowID_);
}

std::shared_ptr<LLManagedObject> LLManagedObject::objectInContext(LLObjectContext& other) const {
    return other.objectForURIString(uriString());
}

bool LLManagedObject::write(const char* column, const LLValue& value) {
    return context_ && context_->writeColumn(*this, column, value);
}

void LLManagedObject::setName(std::optional<std::string> value) {
    write("name", optionalValue(value));
    name_ = std::move(value);
}

void LLManagedObject::setUid(std::optional<std::string> value) {
    write("uid", optionalValue(value));
    uid_ = std::move(value);
}

// --- Invoice

bool LLInvoiceRecord::setSummary(const Summary& summary) {
    std::vector<std::pair<const char*, LLValue>> columns;
    auto set = [&](const char* column, const auto& value, auto& field) {
        columns.emplace_back(column, optionalValue(value));
        field = value;
    };
    set("dateIssued", summary.dateIssued, dateIssued_);
    set("dateDue", summary.dateDue, dateDue_);
    set("payableAmount", summary.payableAmount, payable_);
    set("taxExclusiveAmount", summary.taxExclusiveAmount, taxExclusive_);
    set("taxInclusiveAmount", summary.taxInclusiveAmount, taxInclusive_);
    set("sellerName", summary.sellerName, sellerName_);
    set("name", summary.name, name_);
    set("currencyCode", summary.currencyCode, currencyCode_);
    set("identifier", summary.identifier, identifier_);
    columns.emplace_back("xml", optionalValue(summary.xml));
    xml_ = summary.xml;
    if (summary.xmlReceived) {
        columns.emplace_back("xmlReceived", *summary.xmlReceived);
        xmlReceived_ = summary.xmlReceived;
    }
    if (summary.pdf) {
        columns.emplace_back("pdf", *summary.pdf);
        pdf_ = summary.pdf;
    }
    if (summary.pdfReceived) {
        columns.emplace_back("pdfReceived", *summary.pdfReceived);
        pdfReceived_ = summary.pdfReceived;
    }
    if (summary.validationResult) {
        columns.emplace_back("validationResult", storedCode(*summary.validationResult));
        validationResult_ = *summary.validationResult;
    }
    return context_ && context_->writeColumns(*this, columns);
}

void LLInvoiceRecord::setIdentifier(std::optional<std::string> value) {
    write("identifier", optionalValue(value));
    identifier_ = std::move(value);
}

void LLInvoiceRecord::setSellerName(std::optional<std::string> value) {
    write("sellerName", optionalValue(value));
    sellerName_ = std::move(value);
}

void LLInvoiceRecord::setDateIssued(std::optional<LLInstant> value) {
    write("dateIssued", optionalValue(value));
    dateIssued_ = value;
}

void LLInvoiceRecord::setDateDue(std::optional<LLInstant> value) {
    write("dateDue", optionalValue(value));
    dateDue_ = value;
}

void LLInvoiceRecord::setCurrencyCode(std::optional<std::string> value) {
    write("currencyCode", optionalValue(value));
    currencyCode_ = std::move(value);
}

void LLInvoiceRecord::setTaxExclusiveAmount(std::optional<platform::Decimal> value) {
    write("taxExclusiveAmount", optionalValue(value));
    taxExclusive_ = std::move(value);
}

void LLInvoiceRecord::setTaxInclusiveAmount(std::optional<platform::Decimal> value) {
    write("taxInclusiveAmount", optionalValue(value));
    taxInclusive_ = std::move(value);
}

void LLInvoiceRecord::setPayableAmount(std::optional<platform::Decimal> value) {
    write("payableAmount", optionalValue(value));
    payable_ = std::move(value);
}

bool LLInvoiceRecord::setValidationResult(LLValidationResult result) {
    validationResult_ = result;
    return write("validationResult", storedCode(result));
}

std::optional<std::string> LLInvoiceRecord::xml() const {
    if (!xml_) xml_ = context_ ? context_->readBlob(*this, "xml") : std::nullopt;
    return *xml_;
}

std::optional<std::string> LLInvoiceRecord::pdf() const {
    if (!pdf_) pdf_ = context_ ? context_->readBlob(*this, "pdf") : std::nullopt;
    return *pdf_;
}

void LLInvoiceRecord::setXml(std::optional<std::string> value) {
    write("xml", optionalValue(value));
    xml_ = std::move(value);
}

void LLInvoiceRecord::setPdf(std::optional<std::string> value) {
    write("pdf", optionalValue(value));
    pdf_ = std::move(value);
}

std::optional<std::string> LLInvoiceRecord::xmlReceived() const {
    if (!xmlReceived_)
        xmlReceived_ = context_ ? context_->readBlob(*this, "xmlReceived") : std::nullopt;
    return *xmlReceived_;
}

std::optional<std::string> LLInvoiceRecord::pdfReceived() const {
    if (!pdfReceived_)
        pdfReceived_ = context_ ? context_->readBlob(*this, "pdfReceived") : std::nullopt;
    return *pdfReceived_;
}

bool LLInvoiceRecord::setXmlReceived(std::optional<std::string> value) {
    bool ok = write("xmlReceived", optionalValue(value));
    xmlReceived_ = std::move(value);
    return ok;
}

bool LLInvoiceRecord::setPdfReceived(std::optional<std::string> value) {
    bool ok = write("pdfReceived", optionalValue(value));
    pdfReceived_ = std::move(value);
    return ok;
}

std::vector<std::shared_ptr<LLTaxSubtotalRecord>> LLInvoiceRecord::taxLines() const {
    if (!context_) return {};
    return context_->fetchTaxSubtotals(rowID_);
}

LLValue LLInvoiceRecord::valueForKey(std::string_view key) const {
    if (key == "name") return optionalValue(name_);
    if (key == "uid") return optionalValue(uid_);
    if (key == "identifier") return optionalValue(identifier_);
    if (key == "sellerName") return optionalValue(sellerName_);
    if (key == "dateIssued") return optionalValue(dateIssued_);
    if (key == "dateDue") return optionalValue(dateDue_);
    if (key == "currencyCode") return optionalValue(currencyCode_);
    if (key == "taxExclusiveAmount") return optionalValue(taxExclusive_);
    if (key == "taxInclusiveAmount") return optionalValue(taxInclusive_);
    if (key == "payableAmount") return optionalValue(payable_);
    if (key == "validationResult") return storedCode(validationResult_);
    if (key == "xml") return optionalValue(xml());
    if (key == "pdf") return optionalValue(pdf());
    return std::monostate{};
}

// --- TaxSubtotal

void LLTaxSubtotalRecord::setGross(std::optional<platform::Decimal> value) {
    write("gross", optionalValue(value));
    gross_ = std::move(value);
}

void LLTaxSubtotalRecord::setNet(std::optional<platform::Decimal> value) {
    write("net", optionalValue(value));
    net_ = std::move(value);
}

void LLTaxSubtotalRecord::setPercentage(std::optional<platform::Decimal> value) {
    write("percentage", optionalValue(value));
    percentage_ = std::move(value);
}

void LLTaxSubtotalRecord::setTax(std::optional<platform::Decimal> value) {
    write("tax", optionalValue(value));
    tax_ = std::move(value);
}

void LLTaxSubtotalRecord::setTaxScheme(std::optional<std::string> value) {
    write("taxScheme", optionalValue(value));
    taxScheme_ = std::move(value);
}

void LLTaxSubtotalRecord::setInvoice(const std::shared_ptr<LLInvoiceRecord>& invoice) {
    std::optional<std::int64_t> row;
    if (invoice) row = invoice->rowID();
    write("invoice", optionalValue(row));
    invoice_ = row;
}

LLValue LLTaxSubtotalRecord::valueForKey(std::string_view key) const {
    if (key == "name") return optionalValue(name_);
    if (key == "uid") return optionalValue(uid_);
    if (key == "gross") return optionalValue(gross_);
    if (key == "net") return optionalValue(net_);
    if (key == "percentage") return optionalValue(percentage_);
    if (key == "tax") return optionalValue(tax_);
    if (key == "taxScheme") return optionalValue(taxScheme_);
    if (key == "invoice") return optionalValue(invoice_);
    return std::monostate{};
}

}  // namespace library
