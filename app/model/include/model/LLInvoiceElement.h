#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/InvoiceSyntax.h"
#include "model/SubstitutionDictionary.h"
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

    // The values this element offers to layout texts; none for elements without any.
    virtual std::optional<SubstitutionDictionary> substitutionDictionary() const {
        return std::nullopt;
    }
    // A one-line summary for diagnostics.
    virtual std::string description() const;

    // Display formatting of field values for substitution dictionaries.
    // A number in the user's locale with 2 to 5 fraction digits; none stays none.
    static std::optional<std::string> number(const std::optional<Decimal>& value);
    // The text, or the empty text for none.
    static std::string string(const std::optional<std::string>& value);
    // Short date style in the user's locale, no time; the empty text for none.
    static std::string date(const std::optional<Date>& value);

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
