#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Decimal.h"

namespace model {
class LLInvoice;
}

namespace preview {

// One line of the readable view of an invoice.
struct LLReadableRow {
    std::string label;  // as shown: an interface text translated, or a line's own name
    std::string text;   // the value as shown
    // The amount behind the text: a click on it looks for the amount in the PDF.
    std::optional<platform::Decimal> amount;
};

struct LLReadableSection {
    std::string title;  // translated
    std::vector<LLReadableRow> rows;
};

// The invoice model as sections, in the interface language, of labelled values: the document, the
// two parties, the lines, the taxes and the totals. Absent values are left out; empty sections too.
std::vector<LLReadableSection> readableSections(const model::LLInvoice& invoice);

}  // namespace preview
