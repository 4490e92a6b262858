#pragma once

#include <libxml/tree.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

using NamespaceBindings = std::vector<std::pair<std::string, std::string>>;  // prefix, URI

// A non-owning view of a node in an XmlDocument; valid while its document lives.
class XmlNode {
  public:
    XmlNode() = default;
    explicit XmlNode(xmlNodePtr node) : node_(node) {}

    explicit operator bool() const { return node_ != nullptr; }
    bool operator==(const XmlNode& other) const { return node_ == other.node_; }
    xmlNodePtr raw() const { return node_; }

    bool isElement() const { return node_ && node_->type == XML_ELEMENT_NODE; }
    xmlElementType type() const { return node_->type; }
    // Qualified name as written ("ram:ID"); the local name for unprefixed elements.
    std::string name() const;
    std::string localName() const;
    std::string prefix() const;
    std::string namespaceURI() const;
    // XPath string-value: the concatenated text of all descendants ("" for an empty element).
    std::string stringValue() const;

    XmlNode parent() const;
    // The document element of the document holding this node.
    XmlNode documentElement() const;
    std::vector<XmlNode> childElements() const;
    // Attribute value by local name (and namespace, when given); empty when absent.
    std::string attribute(std::string_view localName, std::string_view namespaceURI = {}) const;
    bool hasAttribute(std::string_view localName, std::string_view namespaceURI = {}) const;

    // Every prefix declaration in scope at this node, innermost first; the default namespace has
    // the empty prefix.
    NamespaceBindings inScopeNamespaces() const;

    // The node and its subtree as XML text.
    std::string serialize(bool pretty = false) const;

  private:
    xmlNodePtr node_ = nullptr;
};

}  // namespace platform
