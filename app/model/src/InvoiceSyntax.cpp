#include "model/InvoiceSyntax.h"

namespace model {

std::string_view syntaxName(InvoiceSyntax syntax) {
    switch (syntax) {
        case InvoiceSyntax::CII: return "CII";
        case InvoiceSyntax::UBL: return "UBL";
        case InvoiceSyntax::FatturaPA: return "FatturaPA";
        case InvoiceSyntax::Facturae: return "Facturae";
        case InvoiceSyntax::None: break;
    }
    return "none";
}

InvoiceSyntax detectSyntax(platform::XmlNode node) {
    platform::XmlNode root = node.documentElement();
    if (!root) return InvoiceSyntax::None;
    const std::string name = root.name();
    const std::string local = root.localName();
    const std::string uri = root.namespaceURI();
    // CII by its conventional prefix, or by root name and namespace whatever the prefix.
    if (name.rfind("rsm", 0) == 0) return InvoiceSyntax::CII;
    if ((local == "CrossIndustryInvoice" && uri == ns::kCIIRsm) ||
        (local == "CrossIndustryDocument" && uri == ns::kCII1Rsm))
        return InvoiceSyntax::CII;
    if (name.find("FatturaElettronica") != std::string::npos) return InvoiceSyntax::FatturaPA;
    if (name.find("Invoice") != std::string::npos) return InvoiceSyntax::UBL;
    if (local == "CreditNote") return InvoiceSyntax::UBL;
    if (name.find("Facturae") != std::string::npos) return InvoiceSyntax::Facturae;
    return InvoiceSyntax::None;
}

}  // namespace model
