#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace library {

class LLInvoiceRecord;

// One column of the tab-separated copy text: its title, the record attribute and the value
// transformer (by registered name) that formats it.
struct LLCopyColumn {
    std::string name;
    std::string key;
    std::optional<std::string> transformerName;
};

// The invoice list's seven columns: Seller, Number, Issued, Due, Currency, Net, Gross (titles
// in the interface language).
std::vector<LLCopyColumn> invoiceListCopyInstructions();

// The header line, then one line per selected row in ascending row order (rows outside
// `arranged` are skipped); fields joined by tabs, each line ended by a newline. An absent value
// is "(null)".
std::string copyTextUsingInstructions(const std::vector<std::shared_ptr<LLInvoiceRecord>>& arranged,
                                      std::vector<std::size_t> selectedRows,
                                      const std::vector<LLCopyColumn>& instructions);
// One cell as the list shows and copies it: the column's transformer applied, an absent value
// empty, tabs and line breaks made blanks.
std::string formattedCellValue(const LLInvoiceRecord& record, const LLCopyColumn& column);
// The same over the selected records themselves, in the given order.
std::string copyTextForRecords(const std::vector<std::shared_ptr<LLInvoiceRecord>>& records,
                               const std::vector<LLCopyColumn>& instructions);

}  // namespace library
