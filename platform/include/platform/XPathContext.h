#pragma once

#include <libxml/xpath.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/XmlNode.h"

namespace platform {

// The outcome of an XPath 1.0 evaluation.
struct XPathResult {
    enum class Kind { NodeSet, Boolean, Number, String };
    Kind kind = Kind::NodeSet;
    std::vector<XmlNode> nodes;  // in document order
    bool boolean = false;
    double number = 0;
    std::string string;
};

// An XPath 1.0 evaluation context over one document, with its own namespace bindings.
class XPathContext {
  public:
    explicit XPathContext(xmlDocPtr doc);
    ~XPathContext();
    XPathContext(const XPathContext&) = delete;
    XPathContext& operator=(const XPathContext&) = delete;

    void registerNamespace(const std::string& prefix, const std::string& uri);
    void registerNamespaces(const NamespaceBindings& bindings);

    // Evaluates relative to `context` (the document node when empty); none when the expression
    // is not valid XPath 1.0 or fails.
    std::optional<XPathResult> evaluate(std::string_view expression, XmlNode context = {});
    // The node-set of the expression; empty on errors and non-node results.
    std::vector<XmlNode> nodes(std::string_view expression, XmlNode context = {});
    // The first node in document order, or an empty node.
    XmlNode firstNode(std::string_view expression, XmlNode context = {});

    xmlXPathContextPtr raw() const { return ctx_; }

  private:
    xmlDocPtr doc_;
    xmlXPathContextPtr ctx_;
};

}  // namespace platform
