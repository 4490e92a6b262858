// Any bytes through the XML parser, the syntax detection, the readers and the JSON writer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/InvoiceJson.h"
#include "model/LLInvoice.h"
#include "platform/XmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto document = platform::XmlDocument::parse(bytes);
    if (!document) return 0;
    auto invoice = model::LLInvoiceElement::elementFromXML<model::LLInvoice>(document->root());
    if (!invoice) return 0;
    platform::JsonWriter json(false);
    model::writeInvoiceJson(json, *invoice);
    return 0;
}
