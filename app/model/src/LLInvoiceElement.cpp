#include "model/LLInvoiceElement.h"

namespace model {

bool LLInvoiceElement::populate(XmlNode node) {
    if (!node) return false;
    switch (detectSyntax(node)) {
        case InvoiceSyntax::CII: populateFromCIIXML(node); return true;
        case InvoiceSyntax::FatturaPA: populateFromFatturaPAXML(node); return true;
        case InvoiceSyntax::UBL: populateFromUBLXML(node); return true;
        case InvoiceSyntax::Facturae: populateFromFacturaeXML(node); return true;
        case InvoiceSyntax::None: break;
    }
    return false;
}

}  // namespace model

#include "library/SFNumberTransformer.h"
#include "platform/Formatting.h"

namespace model {

std::string LLInvoiceElement::description() const { return "LLInvoiceElement"; }

std::optional<std::string> LLInvoiceElement::number(const std::optional<Decimal>& value) {
    auto transformer =
        library::SFValueTransformer::transformerNamed<library::SFNumberTransformer>(
            "SFNumberTransformer");
    if (!transformer) return value ? std::optional(value->toString()) : std::nullopt;
    return transformer->transformedValue(value);
}

std::string LLInvoiceElement::string(const std::optional<std::string>& value) {
    return value ? *value : std::string();
}

std::string LLInvoiceElement::date(const std::optional<Date>& value) {
    return value ? platform::Formatting::formatDate(*value, platform::DateStyle::Short)
                 : std::string();
}

}  // namespace model
