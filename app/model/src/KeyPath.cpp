#include "model/KeyPath.h"

#include "model/InvoiceSyntax.h"
#include "model/TextValues.h"
#include "platform/XPathContext.h"

namespace model {
namespace {

using platform::XmlNode;

// Standard bindings for the generation of the document, then the document's own declarations
// in scope at the context element, so both kinds of prefixed paths resolve.
void bindNamespaces(platform::XPathContext& xpath, XmlNode context) {
    XmlNode root = context.documentElement();
    const bool firstGeneration = root && root.namespaceURI() == ns::kCII1Rsm;
    if (firstGeneration) {
        xpath.registerNamespace("rsm", ns::kCII1Rsm);
        xpath.registerNamespace("ram", ns::kCII1Ram);
        xpath.registerNamespace("udt", ns::kCII1Udt);
        xpath.registerNamespace("qdt", ns::kCII1Qdt);
    } else {
        xpath.registerNamespace("rsm", ns::kCIIRsm);
        xpath.registerNamespace("ram", ns::kCIIRam);
        xpath.registerNamespace("udt", ns::kCIIUdt);
        xpath.registerNamespace("qdt", ns::kCIIQdt);
    }
    xpath.registerNamespace("cac", ns::kUBLCac);
    xpath.registerNamespace("cbc", ns::kUBLCbc);
    platform::NamespaceBindings inScope = context.inScopeNamespaces();
    for (auto it = inScope.rbegin(); it != inScope.rend(); ++it)
        xpath.registerNamespace(it->first, it->second);
}

XmlNode firstNode(XmlNode context, std::string_view path) {
    if (!context || !context.raw()->doc) return XmlNode();
    platform::XPathContext xpath(context.raw()->doc);
    bindNamespaces(xpath, context);
    return xpath.firstNode(path, context);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

}  // namespace

const std::map<std::string, std::vector<std::string>>& alternateElements() {
    static const std::map<std::string, std::vector<std::string>> table = {
        {"ExchangedDocument", {"HeaderExchangedDocument"}},
        {"SpecifiedTradeSettlementHeaderMonetarySummation",
         {"SpecifiedTradeSettlementMonetarySummation"}},
        {"SpecifiedTradeSettlementLineMonetarySummation",
         {"SpecifiedTradeSettlementMonetarySummation"}},
        {"SpecifiedLineTradeAgreement", {"SpecifiedSupplyChainTradeAgreement"}},
        {"SpecifiedLineTradeDelivery", {"SpecifiedSupplyChainTradeDelivery"}},
        {"SpecifiedLineTradeSettlement", {"SpecifiedSupplyChainTradeSettlement"}},
        {"ApplicableHeaderTradeAgreement", {"ApplicableSupplyChainTradeAgreement"}},
        {"ApplicableHeaderTradeDelivery", {"ApplicableSupplyChainTradeDelivery"}},
        {"ApplicableHeaderTradeSettlement", {"ApplicableSupplyChainTradeSettlement"}},
        {"RateApplicablePercent", {"ApplicablePercent"}},
    };
    return table;
}

std::string alternatePath(std::string_view path) {
    std::string rewritten(path);
    for (const auto& [element, alternatives] : alternateElements())
        if (rewritten.find(element) != std::string::npos)
            replaceAll(rewritten, element, alternatives.front());
    return rewritten;
}

XmlNode elementForKeyPath(XmlNode context, std::string_view path) {
    return firstNode(context, path);
}

std::optional<std::string> stringForKeyPath(XmlNode context, std::string_view path) {
    if (XmlNode node = firstNode(context, path)) return trimmedText(node.stringValue());
    for (const auto& [element, alternatives] : alternateElements()) {
        if (path.find(element) == std::string_view::npos) continue;
        for (const auto& alternative : alternatives) {
            std::string rewritten(path);
            replaceAll(rewritten, element, alternative);
            if (XmlNode node = firstNode(context, rewritten))
                return trimmedText(node.stringValue());
        }
    }
    // The older generation renames several elements of one path.
    const std::string rewritten = alternatePath(path);
    if (rewritten != path)
        if (XmlNode node = firstNode(context, rewritten)) return trimmedText(node.stringValue());
    return std::nullopt;
}

std::optional<platform::Decimal> decimalNumberForKeyPath(XmlNode context, std::string_view path) {
    auto text = stringForKeyPath(context, path);
    if (!text) return std::nullopt;
    return platform::Decimal::parse(*text);
}

std::optional<platform::Date> dateForKeyPath(XmlNode context, std::string_view path) {
    auto text = stringForKeyPath(context, path);
    if (!text) return std::nullopt;
    return platform::Date::parseInvoiceDate(*text);
}

std::vector<XmlNode> nodesForKeyPath(XmlNode context, std::string_view path) {
    if (!context || !context.raw()->doc) return {};
    platform::XPathContext xpath(context.raw()->doc);
    bindNamespaces(xpath, context);
    return xpath.nodes(path, context);
}

std::string namespaceAgnosticPath(std::string_view names) {
    std::string path = ".//";
    size_t start = 0;
    while (start <= names.size()) {
        size_t slash = names.find('/', start);
        std::string_view component = names.substr(
            start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (!component.empty()) {
            path += "*[local-name()='";
            path += component;
            path += "']/";
        }
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    if (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace model
