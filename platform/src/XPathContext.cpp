#include "platform/XPathContext.h"

#include <libxml/xpathInternals.h>

#include <memory>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

// XPath errors are answered with none; keep libxml2 from printing them.
void ignoreError(void*, xmlErrorPtr) {}

struct ObjectDeleter {
    void operator()(xmlXPathObjectPtr p) const { xmlXPathFreeObject(p); }
};

struct CompiledDeleter {
    void operator()(xmlXPathCompExprPtr p) const { xmlXPathFreeCompExpr(p); }
};

// The same few paths are asked of every invoice: each thread keeps them compiled. Prefixes
// are resolved when evaluating, so one compiled path serves every document and binding.
// Compiled by a context without a dictionary (errors go to its quiet handler), so no
// document's names are kept.
xmlXPathCompExprPtr compiled(xmlXPathContextPtr ctx, const std::string& expression) {
    constexpr size_t kMaxCached = 1024;
    thread_local std::unordered_map<std::string, std::unique_ptr<xmlXPathCompExpr, CompiledDeleter>>
        cache;
    if (auto it = cache.find(expression); it != cache.end()) return it->second.get();
    if (cache.size() >= kMaxCached) cache.clear();
    xmlXPathCompExprPtr expr = xmlXPathCtxtCompile(ctx, BAD_CAST expression.c_str());
    if (!expr) return nullptr;  // not valid XPath: not cached, rare
    return cache.emplace(expression, expr).first->second.get();
}

}  // namespace

XPathContext::XPathContext(xmlDocPtr doc) : doc_(doc), ctx_(xmlXPathNewContext(doc)) {
    if (ctx_) ctx_->error = ignoreError;
}

XPathContext::~XPathContext() {
    if (ctx_) xmlXPathFreeContext(ctx_);
}

void XPathContext::registerNamespace(const std::string& prefix, const std::string& uri) {
    if (!ctx_ || prefix.empty()) return;
    xmlXPathRegisterNs(ctx_, BAD_CAST prefix.c_str(), BAD_CAST uri.c_str());
}

void XPathContext::registerNamespaces(const NamespaceBindings& bindings) {
    for (const auto& [prefix, uri] : bindings) registerNamespace(prefix, uri);
}

std::optional<XPathResult> XPathContext::evaluate(std::string_view expression, XmlNode context) {
    if (!ctx_) return std::nullopt;
    std::string text(expression);
    ctx_->node = context ? context.raw() : reinterpret_cast<xmlNodePtr>(doc_);
    std::unique_ptr<xmlXPathObject, ObjectDeleter> object;
    if (!ctx_->dict) {
        xmlXPathCompExprPtr expr = compiled(ctx_, text);
        if (!expr) return std::nullopt;
        object.reset(xmlXPathCompiledEval(expr, ctx_));
    } else {
        object.reset(xmlXPathEvalExpression(BAD_CAST text.c_str(), ctx_));
    }
    if (!object) return std::nullopt;
    XPathResult result;
    switch (object->type) {
        case XPATH_NODESET:
            result.kind = XPathResult::Kind::NodeSet;
            if (object->nodesetval) {
                result.nodes.reserve(static_cast<size_t>(object->nodesetval->nodeNr));
                for (int i = 0; i < object->nodesetval->nodeNr; ++i)
                    result.nodes.emplace_back(object->nodesetval->nodeTab[i]);
            }
            break;
        case XPATH_BOOLEAN:
            result.kind = XPathResult::Kind::Boolean;
            result.boolean = object->boolval != 0;
            break;
        case XPATH_NUMBER:
            result.kind = XPathResult::Kind::Number;
            result.number = object->floatval;
            break;
        case XPATH_STRING:
            result.kind = XPathResult::Kind::String;
            result.string =
                object->stringval ? reinterpret_cast<const char*>(object->stringval) : "";
            break;
        default:
            return std::nullopt;
    }
    return result;
}

std::vector<XmlNode> XPathContext::nodes(std::string_view expression, XmlNode context) {
    auto result = evaluate(expression, context);
    if (!result || result->kind != XPathResult::Kind::NodeSet) return {};
    return std::move(result->nodes);
}

XmlNode XPathContext::firstNode(std::string_view expression, XmlNode context) {
    auto result = evaluate(expression, context);
    if (!result || result->kind != XPathResult::Kind::NodeSet || result->nodes.empty())
        return XmlNode();
    return result->nodes.front();
}

}  // namespace platform
