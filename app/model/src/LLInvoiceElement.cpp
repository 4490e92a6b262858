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
