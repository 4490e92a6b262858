#include "library/LLInvoiceList.h"

#include "library/LLManagedObject.h"

namespace library {

LLInvoicePredicate filterPredicateForSelection(
    const std::vector<std::shared_ptr<LLSourceItem>>& selected) {
    std::vector<LLInvoicePredicate> predicates;
    for (const auto& item : selected)
        if (item && item->predicate) predicates.push_back(*item->predicate);
    return LLInvoicePredicate::anyOf(std::move(predicates));
}

std::vector<std::shared_ptr<LLInvoiceRecord>> arrangeInvoices(
    const std::vector<std::shared_ptr<LLInvoiceRecord>>& records,
    const std::optional<LLInvoicePredicate>& filter, std::string_view searchString) {
    std::optional<LLInvoicePredicate> search;
    if (!searchString.empty())
        search = LLInvoicePredicate::sellerContains(std::string(searchString));
    std::vector<std::shared_ptr<LLInvoiceRecord>> arranged;
    for (const auto& record : records) {
        if (!record) continue;
        if (filter && !filter->evaluate(*record)) continue;
        if (search && !search->evaluate(*record)) continue;
        arranged.push_back(record);
    }
    return arranged;
}

}  // namespace library
