#include "platform/XmlNode.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <memory>

namespace platform {
namespace {

std::string fromXml(const xmlChar* text) {
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

struct XmlCharDeleter {
    void operator()(xmlChar* p) const { xmlFree(p); }
};
using XmlString = std::unique_ptr<xmlChar, XmlCharDeleter>;

struct BufferDeleter {
    void operator()(xmlBufferPtr p) const { xmlBufferFree(p); }
};

}  // namespace

std::string XmlNode::name() const {
    if (!node_) return {};
    std::string local = fromXml(node_->name);
    if ((node_->type == XML_ELEMENT_NODE || node_->type == XML_ATTRIBUTE_NODE) && node_->ns &&
        node_->ns->prefix)
        return fromXml(node_->ns->prefix) + ":" + local;
    return local;
}

std::string XmlNode::localName() const { return node_ ? fromXml(node_->name) : std::string(); }

std::string XmlNode::prefix() const {
    if (!node_ || (node_->type != XML_ELEMENT_NODE && node_->type != XML_ATTRIBUTE_NODE) ||
        !node_->ns)
        return {};
    return fromXml(node_->ns->prefix);
}

std::string XmlNode::namespaceURI() const {
    if (!node_ || (node_->type != XML_ELEMENT_NODE && node_->type != XML_ATTRIBUTE_NODE) ||
        !node_->ns)
        return {};
    return fromXml(node_->ns->href);
}

std::string XmlNode::stringValue() const {
    if (!node_) return {};
    XmlString text(xmlXPathCastNodeToString(node_));
    return fromXml(text.get());
}

XmlNode XmlNode::parent() const {
    if (!node_ || !node_->parent) return XmlNode();
    return XmlNode(node_->parent);
}

XmlNode XmlNode::documentElement() const {
    if (!node_ || !node_->doc) return XmlNode();
    return XmlNode(xmlDocGetRootElement(node_->doc));
}

std::vector<XmlNode> XmlNode::childElements() const {
    std::vector<XmlNode> result;
    if (!node_) return result;
    for (xmlNodePtr child = node_->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE) result.emplace_back(child);
    return result;
}

std::string XmlNode::attribute(std::string_view localName, std::string_view namespaceURI) const {
    if (!isElement()) return {};
    std::string name(localName);
    XmlString value(namespaceURI.empty()
                        ? xmlGetNoNsProp(node_, BAD_CAST name.c_str())
                        : xmlGetNsProp(node_, BAD_CAST name.c_str(),
                                       BAD_CAST std::string(namespaceURI).c_str()));
    return fromXml(value.get());
}

bool XmlNode::hasAttribute(std::string_view localName, std::string_view namespaceURI) const {
    if (!isElement()) return false;
    std::string name(localName);
    return namespaceURI.empty()
               ? xmlHasNsProp(node_, BAD_CAST name.c_str(), nullptr) != nullptr
               : xmlHasNsProp(node_, BAD_CAST name.c_str(),
                              BAD_CAST std::string(namespaceURI).c_str()) != nullptr;
}

NamespaceBindings XmlNode::inScopeNamespaces() const {
    NamespaceBindings result;
    for (xmlNodePtr n = node_; n && n->type == XML_ELEMENT_NODE; n = n->parent) {
        for (xmlNsPtr ns = n->nsDef; ns; ns = ns->next) {
            std::string prefix = fromXml(ns->prefix);
            bool shadowed = false;
            for (const auto& [p, uri] : result)
                if (p == prefix) shadowed = true;
            if (!shadowed) result.emplace_back(prefix, fromXml(ns->href));
        }
    }
    return result;
}

std::string XmlNode::serialize(bool pretty) const {
    if (!node_) return {};
    std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
    if (!buffer) return {};
    xmlNodeDump(buffer.get(), node_->doc, node_, 0, pretty ? 1 : 0);
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                       static_cast<size_t>(xmlBufferLength(buffer.get())));
}

}  // namespace platform
