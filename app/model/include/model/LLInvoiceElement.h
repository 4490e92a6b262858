#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/InvoiceSyntax.h"
#include "platform/Date.h"
#include "platform/Decimal.h"
#include "platform/XmlNode.h"

namespace model {

using platform::Date;
using platform::Decimal;
using platform::XmlNode;

// Base of the invoice model. Each syntax has one populate operation; the factory picks it from
// the root element of the document, so children read with the invoice's own syntax.
class LLInvoiceElement {
public:
    virtual ~LLInvoiceElement() = default;

    virtual void populateFromUBLXML(XmlNode) {}
    virtual void populateFromCIIXML(XmlNode) {}
    virtual void populateFromFatturaPAXML(XmlNode) {}
    virtual void populateFromFacturaeXML(XmlNode) {}

    // A new T read from `node`; none for a missing node or a document of no known syntax.
    template <class T>
    static std::shared_ptr<T> elementFromXML(XmlNode node) {
        auto element = std::make_shared<T>();
        if (!element->populate(node)) return nullptr;
        return element;
    }

protected:
    bool populate(XmlNode node);
};

template <class T>
using ElementList = std::optional<std::vector<std::shared_ptr<T>>>;

}  // namespace model
