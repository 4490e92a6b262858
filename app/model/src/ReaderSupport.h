#pragma once

#include "model/KeyPath.h"
#include "model/LLInvoiceElement.h"

namespace model {

// One child per node of `path` below `context`, in document order.
template <class T>
ElementList<T> readList(XmlNode context, std::string_view path) {
    std::vector<std::shared_ptr<T>> list;
    for (XmlNode node : nodesForKeyPath(context, path))
        if (auto element = LLInvoiceElement::elementFromXML<T>(node)) list.push_back(element);
    return list;
}

// Like readList; a document of the older CII generation has the list under other names.
template <class T>
ElementList<T> readListWithAlternates(XmlNode context, std::string_view path) {
    ElementList<T> list = readList<T>(context, path);
    if (list->empty()) {
        const std::string rewritten = alternatePath(path);
        if (rewritten != path) list = readList<T>(context, rewritten);
    }
    return list;
}

// The child read from the element of `path`, none when the element is missing.
template <class T>
std::shared_ptr<T> readChild(XmlNode context, std::string_view path) {
    return LLInvoiceElement::elementFromXML<T>(elementForKeyPath(context, path));
}

// `first` when present, else `second`.
template <class V>
std::optional<V> orElse(std::optional<V> first, std::optional<V> second) {
    return first ? first : second;
}

}  // namespace model
