#pragma once

#include <memory>
#include <string>
#include <vector>

#include "library/LLSourceItem.h"

namespace library {

class LLInvoiceRecord;

// Stored invoices → the source list: one root "All" holding a group per year of issue (newest
// first), each holding a group per month that occurs (latest first). Undated records belong to
// no group. Periods start at midnight in the user's (or the set) time zone.
class LLInvoicesToLLSourceItemTransformer {
  public:
    std::string className() const { return "LLInvoicesToLLSourceItemTransformer"; }

    // A one-element list holding the root item.
    std::vector<std::shared_ptr<LLSourceItem>> transformedValue(
        const std::vector<std::shared_ptr<LLInvoiceRecord>>& records) const;

    // An IANA zone such as "Europe/Berlin"; empty follows the user's zone.
    void setTimeZone(std::string timeZone) { timeZone_ = std::move(timeZone); }
    const std::string& timeZone() const { return timeZone_; }

  private:
    std::string timeZone_;
};

}  // namespace library
