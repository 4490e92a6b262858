#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Date.h"
#include "platform/Decimal.h"
#include "platform/XmlNode.h"

namespace model {

// Path accessors relative to a context element. Paths are XPath 1.0; the prefixes rsm, ram, udt,
// qdt, cac and cbc mean the standard namespaces of the document's syntax generation whatever
// prefixes the document itself uses; the document's own declarations in scope also work.
platform::XmlNode elementForKeyPath(platform::XmlNode context, std::string_view path);
std::optional<std::string> stringForKeyPath(platform::XmlNode context, std::string_view path);
std::optional<platform::Decimal> decimalNumberForKeyPath(platform::XmlNode context,
                                                         std::string_view path);
std::optional<platform::Date> dateForKeyPath(platform::XmlNode context, std::string_view path);
// Every node of the path in document order (no alternate element names).
std::vector<platform::XmlNode> nodesForKeyPath(platform::XmlNode context, std::string_view path);

// ".//*[local-name()='A']/*[local-name()='B']" from "A/B".
std::string namespaceAgnosticPath(std::string_view names);

// Element names of the older CII generation tried when a path finds nothing.
const std::map<std::string, std::vector<std::string>>& alternateElements();
// The path with every element of the table replaced by its first alternative.
std::string alternatePath(std::string_view path);

}  // namespace model
