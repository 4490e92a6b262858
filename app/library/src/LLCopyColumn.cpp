#include "library/LLCopyColumn.h"

#include <algorithm>
#include <unordered_map>

#include "library/LLManagedObject.h"
#include "library/LLPathTransformer.h"
#include "library/LLValidationResultTransformer.h"
#include "library/SFDateTransformer.h"
#include "library/SFNumberTransformer.h"
#include "platform/SFLocalizeHelper.h"

namespace library {
namespace {

// An absent value is an empty cell: a spreadsheet must not receive the text "(null)".
constexpr const char* kNull = "";

std::string orNull(const std::optional<std::string>& text) { return text ? *text : kNull; }

// One cell of tab-separated text: a tab or line break inside a value would move the
// following values into other columns or rows, so each becomes a blank.
std::string cell(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

std::string cellOf(const LLValue& value) {
    if (std::holds_alternative<std::monostate>(value)) return kNull;
    return cell(describeValue(value));
}

// The value as the named transformer shows it; the plain value when no transformer of that name
// is registered. A value the transformer cannot take shows as absent.
std::string formattedValue(const LLValue& value,
                           const std::optional<std::string>& transformerName) {
    std::shared_ptr<SFValueTransformer> transformer;
    if (transformerName)
        transformer = SFValueTransformer::valueTransformerForName(*transformerName);
    if (!transformer) return describeValue(value);

    if (auto* number = dynamic_cast<SFNumberTransformer*>(transformer.get())) {
        if (auto* decimal = std::get_if<platform::Decimal>(&value))
            return orNull(number->transformedValue(*decimal));
        if (auto* integer = std::get_if<std::int64_t>(&value))
            return orNull(number->transformedValue(platform::Decimal(*integer)));
        return kNull;
    }
    if (auto* date = dynamic_cast<SFDateTransformer*>(transformer.get())) {
        if (auto* instant = std::get_if<LLInstant>(&value))
            return orNull(date->transformedValue(instant->day()));
        return kNull;
    }
    if (auto* path = dynamic_cast<LLPathTransformer*>(transformer.get())) {
        if (auto* text = std::get_if<std::string>(&value))
            return orNull(path->transformedValue(*text));
        return kNull;
    }
    if (auto* status = dynamic_cast<LLValidationResultTransformer*>(transformer.get())) {
        std::optional<long long> code;
        if (auto* integer = std::get_if<std::int64_t>(&value)) code = *integer;
        return std::to_string(static_cast<int>(status->transformedValue(code)));
    }
    return describeValue(value);
}

std::string headerLine(const std::vector<LLCopyColumn>& instructions) {
    std::string line;
    for (std::size_t i = 0; i < instructions.size(); ++i) {
        if (i) line += '\t';
        line += cell(instructions[i].name);
    }
    return line + '\n';
}

// The lines of the records; a transformed value is formatted once per copy (dates repeat a lot
// and each formatting builds a formatter).
class LineWriter {
  public:
    explicit LineWriter(const std::vector<LLCopyColumn>& instructions)
        : instructions_(instructions), memo_(instructions.size()) {}

    void append(const LLInvoiceRecord& record, std::string& text) {
        for (std::size_t i = 0; i < instructions_.size(); ++i) {
            if (i) text += '\t';
            LLValue value = record.valueForKey(instructions_[i].key);
            if (!instructions_[i].transformerName) {
                text += cellOf(value);
                continue;
            }
            auto [cached, isNew] = memo_[i].try_emplace(describeValue(value));
            if (isNew)
                cached->second =
                    std::holds_alternative<std::monostate>(value)
                        ? std::string(kNull)
                        : cell(formattedValue(value, instructions_[i].transformerName));
            text += cached->second;
        }
        text += '\n';
    }

  private:
    const std::vector<LLCopyColumn>& instructions_;
    std::vector<std::unordered_map<std::string, std::string>> memo_;
};

}  // namespace

std::vector<LLCopyColumn> invoiceListCopyInstructions() {
    using platform::localizedString;
    return {
        {localizedString("Seller"), "sellerName", std::nullopt},
        {localizedString("Number"), "name", std::nullopt},
        {localizedString("Issued"), "dateIssued", "SFMediumDateTransformer"},
        {localizedString("Due"), "dateDue", "SFMediumDateTransformer"},
        {localizedString("Currency"), "currencyCode", std::nullopt},
        {localizedString("Net"), "taxExclusiveAmount", "SFNumberTransformer"},
        {localizedString("Gross"), "taxInclusiveAmount", "SFNumberTransformer"},
    };
}

std::string copyTextUsingInstructions(const std::vector<std::shared_ptr<LLInvoiceRecord>>& arranged,
                                      std::vector<std::size_t> selectedRows,
                                      const std::vector<LLCopyColumn>& instructions) {
    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    std::string text = headerLine(instructions);
    LineWriter writer(instructions);
    for (std::size_t row : selectedRows)
        if (row < arranged.size() && arranged[row]) writer.append(*arranged[row], text);
    return text;
}

std::string formattedCellValue(const LLInvoiceRecord& record, const LLCopyColumn& column) {
    LLValue value = record.valueForKey(column.key);
    if (std::holds_alternative<std::monostate>(value)) return kNull;
    if (!column.transformerName) return cellOf(value);
    return cell(formattedValue(value, column.transformerName));
}

std::string copyTextForRecords(const std::vector<std::shared_ptr<LLInvoiceRecord>>& records,
                               const std::vector<LLCopyColumn>& instructions) {
    std::string text = headerLine(instructions);
    LineWriter writer(instructions);
    for (const auto& record : records)
        if (record) writer.append(*record, text);
    return text;
}

}  // namespace library
