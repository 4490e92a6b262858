// Any text as an XPath 2.0 expression, parsed and evaluated against a small invoice.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/XmlDocument.h"
#include "ruleweave/RWXPath2Evaluator.h"

namespace {
const char* kInvoice = R"XML(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
 xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
 xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
 <cbc:ID>A-1</cbc:ID><cbc:IssueDate>2024-07-16</cbc:IssueDate>
 <cac:InvoiceLine><cbc:ID>1</cbc:ID><cbc:LineExtensionAmount currencyID="EUR">10.50</cbc:LineExtensionAmount></cac:InvoiceLine>
 <cac:InvoiceLine><cbc:ID>2</cbc:ID><cbc:LineExtensionAmount currencyID="EUR">-3</cbc:LineExtensionAmount></cac:InvoiceLine>
</Invoice>)XML";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto document = platform::XmlDocument::parse(kInvoice);
    if (size > 4096) return 0;
    std::string expression(reinterpret_cast<const char*>(data), size);
    // A fresh evaluator per input keeps inputs independent (the parse cache would grow).
    ruleweave::RWXPath2Evaluator evaluator(
        {{"cbc", "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"},
         {"cac", "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"}});
    evaluator.registerFunction("u:f", {"x"}, "$x + 1");
    // Nested paths cost the product of their lengths (a few bytes can ask for hours); the
    // limit turns that into an error, which the rest of the evaluation must handle. The
    // document has a dozen nodes: past 10,000 steps only the same code runs more often.
    evaluator.setStepLimit(10'000);
    evaluator.evaluate(expression, document->root().raw());
    evaluator.dumpAST(expression);
    return 0;
}
