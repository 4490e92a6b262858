#include "ruleweave/RWXPath2Evaluator.h"

#include <libxml/xpathInternals.h>

#include <cstring>
#include <unordered_set>

#include "RWXPParser.h"
#include "platform/Log.h"

namespace ruleweave {
namespace {

// libxml2 reports XPath errors through this per-context hook; the path then yields nothing.
void ignoreXPathError(void*, xmlErrorPtr) {}

}  // namespace

RWXPath2Evaluator::RWXPath2Evaluator(NamespaceMap namespaces)
    : namespaces_(std::move(namespaces)) {}

RWXPath2Evaluator::~RWXPath2Evaluator() {
    for (auto& [doc, context] : xpathContexts_) xmlXPathFreeContext(context);
}

void RWXPath2Evaluator::reset() {
    variables_.clear();
    contextItem_ = nullptr;
    contextPosition_ = contextSize_ = 1;
    for (auto& [doc, context] : xpathContexts_) xmlXPathFreeContext(context);
    xpathContexts_.clear();
    lastError_.clear();
    documentValues_.clear();
    documentValuesDoc_ = nullptr;
}

std::optional<std::string> RWXPath2Evaluator::namespaceForPrefix(const std::string& prefix) const {
    auto it = namespaces_.find(prefix);
    if (it != namespaces_.end()) return it->second;
    if (prefix == "xml") return std::string("http://www.w3.org/XML/1998/namespace");
    return std::nullopt;
}

const RWXPath2Evaluator::CacheEntry& RWXPath2Evaluator::parseEntry(const std::string& expression) {
    auto it = cache_.find(expression);
    if (it != cache_.end()) return it->second;
    RWXPParser parser(*this, ruleweave::tokenize(expression));
    CacheEntry entry;
    entry.tree = markDocumentValues(parser.parseTopLevel());
    entry.diagnostics = std::move(parser.diagnostics);
    return cache_.emplace(expression, std::move(entry)).first->second;
}

RWXPNodePtr RWXPath2Evaluator::parse(const std::string& expression) {
    return parseEntry(expression).tree;
}

std::vector<std::string> RWXPath2Evaluator::parseDiagnostics(const std::string& expression) {
    return parseEntry(expression).diagnostics;
}

std::optional<std::string> RWXPath2Evaluator::dumpAST(const std::string& expression,
                                                      platform::Error* error) {
    RWXPNodePtr tree = parse(expression);
    if (!tree) {
        platform::setError(error, kErrorDomain, 1, "Failed to parse XPath expression");
        return std::nullopt;
    }
    return tree->description();
}

RWXPValue RWXPath2Evaluator::evaluate(const std::string& expression, xmlNodePtr contextNode,
                                      platform::Error* error) {
    const CacheEntry& entry = parseEntry(expression);
    RWXPNodePtr tree = entry.tree;
    if (!tree) {
        setContextNode(contextNode);
        lastError_ = entry.diagnostics.empty() ? std::string("cannot parse the expression")
                                               : entry.diagnostics.front();
        platform::setError(error, kErrorDomain, 1, lastError_);
        return {};
    }
    return evaluateParsed(tree.get(), {}, contextNode);
}

RWXPValue RWXPath2Evaluator::evaluateParsed(const RWXPExprNode* tree,
                                            const std::string& parseProblem,
                                            xmlNodePtr contextNode) {
    setContextNode(contextNode);
    lastError_.clear();
    steps_ = 0;
    if (!tree) {
        lastError_ =
            parseProblem.empty() ? std::string("cannot parse the expression") : parseProblem;
        return {};
    }
    try {
        return tree->evaluateWithContext(*this);
    } catch (const RWXPDynamicError& error) {
        lastError_ = error.what();
        return {};
    }
}

RWXPValue RWXPath2Evaluator::evaluateTree(const RWXPExprNode& tree) {
    return tree.evaluateWithContext(*this);
}

void RWXPath2Evaluator::setContextNode(xmlNodePtr node) {
    ownContextItem_ = RWXPItem::makeNode(node);
    contextItem_ = node ? &ownContextItem_ : nullptr;
    contextPosition_ = contextSize_ = 1;
}

void RWXPath2Evaluator::setVariable(const std::string& name, RWXPValue value) {
    variables_[name] = std::move(value);
}

void RWXPath2Evaluator::removeVariable(const std::string& name) { variables_.erase(name); }

RWXPValue RWXPath2Evaluator::getVariable(const std::string& name) const {
    auto it = variables_.find(name);
    if (it == variables_.end()) return xdm::single(RWXPItem::makeInteger(0));
    return it->second;
}

bool RWXPath2Evaluator::hasVariable(const std::string& name) const {
    return variables_.count(name) > 0;
}

void RWXPath2Evaluator::registerFunction(const std::string& name,
                                         std::vector<std::string> parameters, std::string body,
                                         std::vector<RWXPCustomFunction::LocalVariable> variables) {
    auto function = std::make_shared<RWXPCustomFunction>();
    function->parameters = std::move(parameters);
    function->bodyExpression = std::move(body);
    function->variables = std::move(variables);
    customFunctions_[name] = std::move(function);
    // Parsed trees resolved their calls against the functions known then.
    cache_.clear();
}

bool RWXPath2Evaluator::hasCustomFunction(const std::string& name) const {
    return customFunctions_.count(name) > 0;
}

xmlXPathContextPtr RWXPath2Evaluator::xpathContextFor(xmlNodePtr node) {
    xmlDocPtr doc = node->doc ? node->doc : reinterpret_cast<xmlDocPtr>(node);
    for (const auto& [known, context] : xpathContexts_)
        if (known == doc) return context;
    // Element order indexes make document-order comparisons cheap for the whole run.
    xmlXPathOrderDocElems(doc);
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    context->error = ignoreXPathError;
    for (const auto& [prefix, uri] : namespaces_)
        if (!prefix.empty())
            xmlXPathRegisterNs(context, BAD_CAST prefix.c_str(), BAD_CAST uri.c_str());
    xpathContexts_.emplace_back(doc, context);
    return context;
}

namespace {

RWXPValue runCompiled(xmlXPathContextPtr ctx, xmlXPathCompExprPtr compiled, xmlNodePtr node) {
    ctx->node = node;
    ctx->contextSize = -1;
    ctx->proximityPosition = -1;
    xmlXPathObjectPtr object = xmlXPathCompiledEval(compiled, ctx);
    RWXPValue result;
    if (!object) return result;
    switch (object->type) {
        case XPATH_NODESET:
            if (object->nodesetval) {
                result.reserve(static_cast<size_t>(object->nodesetval->nodeNr));
                for (int i = 0; i < object->nodesetval->nodeNr; ++i) {
                    xmlNodePtr n = object->nodesetval->nodeTab[i];
                    if (n->type == XML_NAMESPACE_DECL) continue;
                    result.push_back(RWXPItem::makeNode(n));
                }
            }
            break;
        case XPATH_BOOLEAN:
            result.push_back(RWXPItem::makeBoolean(object->boolval));
            break;
        case XPATH_NUMBER:
            result.push_back(RWXPItem::makeDouble(object->floatval));
            break;
        case XPATH_STRING:
            result.push_back(RWXPItem::makeString(
                object->stringval ? reinterpret_cast<char*>(object->stringval) : ""));
            break;
        default:
            break;
    }
    xmlXPathFreeObject(object);
    return result;
}

bool sameText(const xmlChar* a, const std::string& b) {
    return a && std::strcmp(reinterpret_cast<const char*>(a), b.c_str()) == 0;
}

// The name tests as libxml2 applies them: an unprefixed element name matches no namespace only.
bool elementMatches(xmlNodePtr n, const RWXPPathNode::DirectStep& step) {
    if (n->type != XML_ELEMENT_NODE) return false;
    if (step.anyName) return true;
    if (!sameText(n->name, step.localName)) return false;
    if (!step.hasNamespace) return n->ns == nullptr;
    return n->ns && sameText(n->ns->href, step.namespaceURI);
}

bool attributeMatches(xmlAttrPtr a, const RWXPPathNode::DirectStep& step) {
    return sameText(a->name, step.localName) && (a->ns == nullptr || a->ns->prefix == nullptr);
}

void walkSteps(const std::vector<RWXPPathNode::DirectStep>& steps, size_t index, xmlNodePtr node,
               RWXPValue& out) {
    const auto& step = steps[index];
    const bool last = index + 1 == steps.size();
    if (step.attribute) {
        if (node->type != XML_ELEMENT_NODE) return;
        for (xmlAttrPtr a = node->properties; a; a = a->next)
            if (attributeMatches(a, step))
                out.push_back(RWXPItem::makeNode(reinterpret_cast<xmlNodePtr>(a)));
        return;
    }
    if (node->type != XML_ELEMENT_NODE && node->type != XML_DOCUMENT_NODE &&
        node->type != XML_HTML_DOCUMENT_NODE)
        return;
    for (xmlNodePtr c = node->children; c; c = c->next) {
        if (!elementMatches(c, step)) continue;
        if (last)
            out.push_back(RWXPItem::makeNode(c));
        else
            walkSteps(steps, index + 1, c, out);
    }
}

}  // namespace

// Child steps from one node reach every node once and in document order, as libxml2 returns them.
RWXPValue RWXPath2Evaluator::walkDirect(const std::vector<RWXPPathNode::DirectStep>& steps,
                                        xmlNodePtr node) {
    RWXPValue out;
    walkSteps(steps, 0, node, out);
    return out;
}

RWXPValue RWXPath2Evaluator::evaluatePath(const RWXPPathNode& path) {
    if (path.path == ".") {
        if (contextItem_) return xdm::single(*contextItem_);
        throw RWXPDynamicError("no context item");
    }
    xmlNodePtr node = getContextNode();
    if (!node) {
        if (contextItem_) throw RWXPDynamicError("a path needs a node as context item");
        return {};
    }
    if (!path.directSteps().empty()) return walkDirect(path.directSteps(), node);
    xmlXPathCompExprPtr compiled = path.compiled();
    if (!compiled) return {};
    return runCompiled(xpathContextFor(node), compiled, node);
}

RWXPValue RWXPath2Evaluator::evaluatePath(const std::string& path) {
    RWXPPathNode node(path);
    return evaluatePath(node);
}

RWXPValue RWXPath2Evaluator::evaluateAbsolutePath(const std::string& path) {
    xmlNodePtr node = getContextNode();
    if (!node) return {};
    xmlNodePtr top = node;
    while (top->parent) top = top->parent;
    RWXPPathNode compiledPath(path);
    if (!compiledPath.compiled()) return {};
    return runCompiled(xpathContextFor(node), compiledPath.compiled(), top);
}

std::string RWXPath2Evaluator::rewriteNamespacePrefixes(const std::string& path) const {
    std::string out;
    size_t i = 0;
    auto isWordChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    while (i < path.size()) {
        char c = path[i];
        if (c == '[') {
            int depth = 1;
            size_t j = i + 1;
            while (j < path.size() && depth > 0) {
                if (path[j] == '[')
                    ++depth;
                else if (path[j] == ']')
                    --depth;
                if (depth > 0) ++j;
            }
            out += "[" + rewriteNamespacePrefixes(path.substr(i + 1, j - i - 1)) + "]";
            i = j < path.size() ? j + 1 : j;
        } else if (c == '\'' || c == '"') {
            size_t j = path.find(c, i + 1);
            if (j == std::string::npos) j = path.size() - 1;
            out += path.substr(i, j - i + 1);
            i = j + 1;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            size_t j = i;
            while (j < path.size() && isWordChar(path[j])) ++j;
            std::string first = path.substr(i, j - i);
            if (j < path.size() && path[j] == ':' && !(j + 1 < path.size() && path[j + 1] == ':')) {
                size_t k = j + 1;
                while (k < path.size() && isWordChar(path[k])) ++k;
                std::string second = path.substr(j + 1, k - j - 1);
                if (namespaces_.count(first))
                    out += "*[local-name()='" + second + "']";
                else
                    out += first + ":" + second;
                i = k;
            } else {
                out += first;
                i = j;
            }
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

RWXPValue RWXPath2Evaluator::filterNodes(const RWXPValue& list, const RWXPExprNode& predicate) {
    RWXPValue kept;
    const long size = static_cast<long>(list.size());
    long position = 0;
    for (const auto& item : list) {
        ++position;
        RWXPValue v =
            withFocus(item, position, size, [&] { return predicate.evaluateWithContext(*this); });
        bool keep;
        if (v.size() == 1 && v.front().isNumeric()) {
            const RWXPItem& n = v.front();
            keep = n.kind == RWXPItem::Kind::Double ? n.number == double(position)
                                                    : n.decimal == Decimal(position);
        } else {
            keep = xdm::effectiveBooleanValue(v);
        }
        if (keep) kept.push_back(item);
    }
    return kept;
}

std::vector<RWXPValue> RWXPath2Evaluator::evaluateArguments(
    const std::vector<RWXPNodePtr>& arguments) {
    std::vector<RWXPValue> values;
    values.reserve(arguments.size());
    for (const auto& argument : arguments)
        values.push_back(argument ? argument->evaluateWithContext(*this) : RWXPValue());
    return values;
}

bool RWXPath2Evaluator::isEqual(const RWXPValue& left, const RWXPValue& right) {
    try {
        return xdm::generalCompare(RWXPTokenEqual, left, right);
    } catch (const RWXPDynamicError&) {
        return false;
    }
}

RWXPValue RWXPath2Evaluator::evaluateBinaryOp(int op, const RWXPValue& left,
                                              const RWXPValue& right) {
    // Operators are linear in their operands, general comparisons quadratic; chains such as
    // a|b|c|... over long sequences must stay within the step limit.
    countSteps(1 + left.size() + right.size());
    switch (op) {
        case RWXPTokenEqual:
        case RWXPTokenNotEqual:
        case RWXPTokenLess:
        case RWXPTokenLessEqual:
        case RWXPTokenGreater:
        case RWXPTokenGreaterEqual:
            if (left.size() > 1 && right.size() > 1) countSteps(left.size() * right.size());
            return xdm::booleanValue(xdm::generalCompare(op, left, right));
        case RWXPOpValueEq:
        case RWXPOpValueNe:
        case RWXPOpValueLt:
        case RWXPOpValueLe:
        case RWXPOpValueGt:
        case RWXPOpValueGe: {
            RWXPValue a = xdm::atomize(left), b = xdm::atomize(right);
            if (a.empty() || b.empty()) return {};
            if (a.size() > 1 || b.size() > 1)
                throw RWXPDynamicError("value comparison of a sequence");
            return xdm::booleanValue(xdm::compareAtomic(op, a.front(), b.front(), false));
        }
        case RWXPTokenPlus:
        case RWXPTokenMinus:
        case RWXPTokenStar:
        case RWXPTokenDiv:
        case RWXPOpIdiv:
        case RWXPOpMod: {
            RWXPValue a = xdm::atomize(left), b = xdm::atomize(right);
            if (a.empty() || b.empty()) return {};
            if (a.size() > 1 || b.size() > 1) throw RWXPDynamicError("arithmetic on a sequence");
            return xdm::single(xdm::arithmetic(op, a.front(), b.front()));
        }
        case RWXPOpTo: {
            RWXPValue a = xdm::atomize(left), b = xdm::atomize(right);
            if (a.empty() || b.empty()) return {};
            RWXPItem from = xdm::castToInteger(a.front()), to = xdm::castToInteger(b.front());
            RWXPValue range;
            if (to.decimal - from.decimal > Decimal(10000000))
                throw RWXPDynamicError("range too large");
            for (Decimal i = from.decimal; i <= to.decimal; i += Decimal(1)) {
                countStep();
                range.push_back(RWXPItem::makeInteger(i));
            }
            return range;
        }
        case RWXPTokenPipe:
        case RWXPOpIntersect:
        case RWXPOpExcept: {
            for (const auto* side : {&left, &right})
                for (const auto& item : *side)
                    if (!item.isNode()) throw RWXPDynamicError("set operators need nodes");
            RWXPValue result;
            if (op == RWXPTokenPipe) {
                result = left;
                result.insert(result.end(), right.begin(), right.end());
            } else {
                std::unordered_set<xmlNodePtr> inRight;
                for (const auto& r : right) inRight.insert(r.node);
                for (const auto& item : left)
                    if (inRight.contains(item.node) == (op == RWXPOpIntersect))
                        result.push_back(item);
            }
            xdm::sortDocumentOrder(result);
            return result;
        }
        case RWXPOpIs:
        case RWXPTokenPrecedes:
        case RWXPTokenFollows: {
            if (left.empty() || right.empty()) return {};
            if (!left.front().isNode() || !right.front().isNode())
                throw RWXPDynamicError("node comparison needs nodes");
            xmlNodePtr a = left.front().node, b = right.front().node;
            bool r = op == RWXPOpIs            ? a == b
                     : op == RWXPTokenPrecedes ? xdm::nodeBefore(a, b)
                                               : xdm::nodeBefore(b, a);
            return xdm::booleanValue(r);
        }
        default:
            return xdm::single(RWXPItem::makeInteger(0));
    }
}

void RWXPath2Evaluator::addTrace(const std::string& message) {
    if (!traceEnabled_) return;
    trace_.push_back(std::string(size_t(traceDepth_) * 2, ' ') + message);
}

void RWXPath2Evaluator::traceEnter(const std::string& label) {
    if (!traceEnabled_) return;
    addTrace("\xE2\x86\x92 " + label);
    ++traceDepth_;
}

void RWXPath2Evaluator::traceExit(const std::string& label, const RWXPValue& result) {
    if (!traceEnabled_) return;
    if (traceDepth_ > 0) --traceDepth_;
    addTrace("\xE2\x86\x90 " + label + " = " + renderForTrace(result));
}

std::string RWXPath2Evaluator::renderForTrace(const RWXPValue& value) {
    if (value.empty()) return "nil";
    if (value.size() > 1) return "[Array count=" + std::to_string(value.size()) + "]";
    const RWXPItem& item = value.front();
    if (item.isNode()) {
        std::string name = item.node->name ? reinterpret_cast<const char*>(item.node->name) : "";
        return "<node:" + name + ">";
    }
    if (item.kind == RWXPItem::Kind::String || item.kind == RWXPItem::Kind::Untyped)
        return "\"" + item.text + "\"";
    return xdm::stringOf(item);
}

}  // namespace ruleweave
