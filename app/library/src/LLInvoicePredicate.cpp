#include "library/LLInvoicePredicate.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "library/LLManagedObject.h"

namespace library {
namespace {

// Decomposes, drops the combining marks and folds case: the comparison form of [cd].
icu::UnicodeString foldedForSearch(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    icu::UnicodeString source = icu::UnicodeString::fromUTF8(text);
    icu::UnicodeString decomposed = U_SUCCESS(status) ? nfd->normalize(source, status) : source;
    if (U_FAILURE(status)) decomposed = source;
    icu::UnicodeString stripped;
    for (int32_t i = 0; i < decomposed.length();) {
        UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK) stripped.append(c);
        i += U16_LENGTH(c);
    }
    return stripped.foldCase();
}

std::string joined(const std::vector<LLInvoicePredicate>& operands, const char* separator,
                   const std::string& empty,
                   const std::function<std::string(const LLInvoicePredicate&)>& part) {
    if (operands.empty()) return empty;
    std::string text;
    for (const auto& operand : operands) {
        if (!text.empty()) text += separator;
        text += "(" + part(operand) + ")";
    }
    return text;
}

}  // namespace

bool containsIgnoringCaseAndDiacritics(const std::string& haystack, const std::string& needle) {
    if (needle.empty()) return true;
    return foldedForSearch(haystack).indexOf(foldedForSearch(needle)) >= 0;
}

LLInvoicePredicate LLInvoicePredicate::dated() {
    LLInvoicePredicate p;
    p.kind_ = Kind::Dated;
    return p;
}

LLInvoicePredicate LLInvoicePredicate::issuedBetween(LLInstant from, LLInstant to) {
    LLInvoicePredicate p;
    p.kind_ = Kind::IssuedBetween;
    p.from_ = from;
    p.to_ = to;
    return p;
}

LLInvoicePredicate LLInvoicePredicate::sellerContains(std::string text) {
    LLInvoicePredicate p;
    p.kind_ = Kind::SellerContains;
    p.text_ = std::move(text);
    return p;
}

LLInvoicePredicate LLInvoicePredicate::identifierIs(std::string key) {
    LLInvoicePredicate p;
    p.kind_ = Kind::IdentifierIs;
    p.text_ = std::move(key);
    return p;
}

LLInvoicePredicate LLInvoicePredicate::anyOf(std::vector<LLInvoicePredicate> predicates) {
    if (predicates.size() == 1) return std::move(predicates.front());
    LLInvoicePredicate p;
    p.kind_ = Kind::Or;
    p.operands_ = std::move(predicates);
    return p;
}

LLInvoicePredicate LLInvoicePredicate::allOf(std::vector<LLInvoicePredicate> predicates) {
    if (predicates.size() == 1) return std::move(predicates.front());
    LLInvoicePredicate p;
    p.kind_ = Kind::And;
    p.operands_ = std::move(predicates);
    return p;
}

bool LLInvoicePredicate::evaluate(const LLInvoiceRecord& record) const {
    switch (kind_) {
        case Kind::True:
            return true;
        case Kind::Dated:
            return record.dateIssued().has_value();
        case Kind::IssuedBetween:
            return record.dateIssued() && *record.dateIssued() >= *from_ &&
                   *record.dateIssued() < *to_;
        case Kind::SellerContains:
            return record.sellerName() &&
                   containsIgnoringCaseAndDiacritics(*record.sellerName(), text_);
        case Kind::IdentifierIs:
            return record.identifier() && *record.identifier() == text_ &&
                   record.dateIssued().has_value();
        case Kind::Or:
            for (const auto& operand : operands_)
                if (operand.evaluate(record)) return true;
            return false;
        case Kind::And:
            for (const auto& operand : operands_)
                if (!operand.evaluate(record)) return false;
            return true;
    }
    return false;
}

std::string LLInvoicePredicate::sqlWhere(std::vector<LLValue>& bindings) const {
    switch (kind_) {
        case Kind::True:
            return "1";
        case Kind::Dated:
            return "dateIssued IS NOT NULL";
        case Kind::IssuedBetween:
            bindings.emplace_back(from_->millis);
            bindings.emplace_back(to_->millis);
            return "dateIssued >= ? AND dateIssued < ?";
        case Kind::SellerContains:
            bindings.emplace_back(text_);
            return "ll_contains_cd(sellerName, ?)";
        case Kind::IdentifierIs:
            // '=' on text is an exact, case-sensitive comparison: no wildcards.
            bindings.emplace_back(text_);
            return "identifier = ? AND dateIssued IS NOT NULL";
        case Kind::Or:
            return joined(operands_, " OR ", "0",
                          [&](const LLInvoicePredicate& p) { return p.sqlWhere(bindings); });
        case Kind::And:
            return joined(operands_, " AND ", "1",
                          [&](const LLInvoicePredicate& p) { return p.sqlWhere(bindings); });
    }
    return "0";
}

std::string LLInvoicePredicate::predicateFormat() const {
    auto quoted = [](const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        return out + "\"";
    };
    switch (kind_) {
        case Kind::True:
            return "TRUEPREDICATE";
        case Kind::Dated:
            return "dateIssued != nil";
        case Kind::IssuedBetween:
            return "dateIssued >= " + quoted(describeValue(*from_)) + " AND dateIssued < " +
                   quoted(describeValue(*to_));
        case Kind::SellerContains:
            return "sellerName CONTAINS[cd] " + quoted(text_);
        case Kind::IdentifierIs:
            return "identifier == " + quoted(text_) + " AND dateIssued != nil";
        case Kind::Or:
            return joined(operands_, " OR ", "FALSEPREDICATE",
                          [](const LLInvoicePredicate& p) { return p.predicateFormat(); });
        case Kind::And:
            return joined(operands_, " AND ", "TRUEPREDICATE",
                          [](const LLInvoicePredicate& p) { return p.predicateFormat(); });
    }
    return {};
}

}  // namespace library
