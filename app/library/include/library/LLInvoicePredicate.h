#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "library/LLValue.h"

namespace library {

class LLInvoiceRecord;

// The few predicates the library runs over `Invoice` records. Each can be answered by the store
// (as SQL) and in memory, so a fetch and a filter over fetched records agree.
class LLInvoicePredicate {
  public:
    enum class Kind {
        True,            // every record
        Dated,           // dateIssued != nil
        IssuedBetween,   // dateIssued >= from AND dateIssued < to
        SellerContains,  // sellerName Contains[cd] text
        IdentifierIs,    // identifier == key AND dateIssued != nil (exact, no wildcards)
        Or,
        And,
    };

    LLInvoicePredicate() = default;
    static LLInvoicePredicate all() { return {}; }
    static LLInvoicePredicate dated();
    static LLInvoicePredicate issuedBetween(LLInstant from, LLInstant to);
    static LLInvoicePredicate sellerContains(std::string text);
    static LLInvoicePredicate identifierIs(std::string key);
    // The OR of the given predicates; of none, a predicate no record matches.
    static LLInvoicePredicate anyOf(std::vector<LLInvoicePredicate> predicates);
    static LLInvoicePredicate allOf(std::vector<LLInvoicePredicate> predicates);

    Kind kind() const { return kind_; }
    const std::optional<LLInstant>& from() const { return from_; }
    const std::optional<LLInstant>& to() const { return to_; }
    const std::string& text() const { return text_; }
    const std::vector<LLInvoicePredicate>& operands() const { return operands_; }

    bool evaluate(const LLInvoiceRecord& record) const;
    // A WHERE clause over the Invoice table; values are appended to `bindings` in order.
    std::string sqlWhere(std::vector<LLValue>& bindings) const;
    // Readable form in the store's predicate language ("dateIssued != nil").
    std::string predicateFormat() const;

    bool operator==(const LLInvoicePredicate&) const = default;

  private:
    Kind kind_ = Kind::True;
    std::optional<LLInstant> from_;
    std::optional<LLInstant> to_;
    std::string text_;
    std::vector<LLInvoicePredicate> operands_;
};

// Case- and diacritic-insensitive containment ("Müller" contains "MULL"), as the search field
// filters seller names. An empty needle is contained in everything.
bool containsIgnoringCaseAndDiacritics(const std::string& haystack, const std::string& needle);

}  // namespace library
