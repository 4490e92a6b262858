// Any bytes as a Schematron schema: parsed, then run against a small invoice when it parses.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/XmlDocument.h"
#include "ruleweave/RWSchematronValidator.h"

namespace {
const char* kInvoice = R"XML(<rsm:CrossIndustryInvoice
 xmlns:rsm="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"
 xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100">
 <rsm:ExchangedDocument><ram:ID>A-1</ram:ID><ram:TypeCode>380</ram:TypeCode></rsm:ExchangedDocument>
 <rsm:SupplyChainTradeTransaction>
  <ram:IncludedSupplyChainTradeLineItem><ram:AssociatedDocumentLineDocument><ram:LineID>1</ram:LineID>
  </ram:AssociatedDocumentLineDocument></ram:IncludedSupplyChainTradeLineItem>
 </rsm:SupplyChainTradeTransaction>
</rsm:CrossIndustryInvoice>)XML";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto document = platform::XmlDocument::parse(kInvoice);
    if (size > (size_t(4) << 20)) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    ruleweave::RWSchematronValidator validator;
    auto schema = validator.parseSchema(text);
    // Large real rule sets are parsed only: running them is the fidelity test's work.
    if (schema && size < 64 * 1024) validator.validateDocument(*document, *schema);
    return 0;
}
