#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "library/LLInvoicePredicate.h"
#include "library/LLSourceItem.h"

namespace library {

class LLInvoiceRecord;

// The invoice list's filter for the selected source groups: the OR of their predicates
// (groups without one are skipped). No group matches no record.
LLInvoicePredicate filterPredicateForSelection(
    const std::vector<std::shared_ptr<LLSourceItem>>& selected);

// What the invoice list shows, in the records' order: those the source filter takes (every
// record without a filter), then, for a search text, those whose seller name contains it
// ignoring case and diacritics.
std::vector<std::shared_ptr<LLInvoiceRecord>> arrangeInvoices(
    const std::vector<std::shared_ptr<LLInvoiceRecord>>& records,
    const std::optional<LLInvoicePredicate>& filter, std::string_view searchString);

}  // namespace library
