#include "ruleweave/RWXPExprNode.h"

#include <libxml/xpathInternals.h>

#include <string_view>

#include "ruleweave/RWXPToken.h"
#include "ruleweave/RWXPath2Evaluator.h"

namespace ruleweave {
namespace {

// A variable bound for the length of a scope; an outer binding of the same name comes back.
class ScopedBinding {
  public:
    ScopedBinding(RWXPath2Evaluator& e, const std::string& name)
        : e_(e), name_(name), hadOuter_(e.hasVariable(name)) {
        if (hadOuter_) outer_ = e.getVariable(name);
    }
    ~ScopedBinding() {
        if (hadOuter_)
            e_.setVariable(name_, std::move(outer_));
        else
            e_.removeVariable(name_);
    }
    void bind(const RWXPItem& item) { e_.setVariable(name_, xdm::single(item)); }

  private:
    RWXPath2Evaluator& e_;
    const std::string& name_;
    bool hadOuter_;
    RWXPValue outer_;
};

std::string literalText(const RWXPValue& value) {
    if (value.size() != 1) return "[Array count=" + std::to_string(value.size()) + "]";
    const RWXPItem& item = value.front();
    if (item.kind == RWXPItem::Kind::String) return "\"" + item.text + "\"";
    return xdm::stringOf(item);
}

}  // namespace

// --- evaluation -----------------------------------------------------------------------------

RWXPValue RWXPExprNode::evaluateWithContext(RWXPath2Evaluator&) const { return {}; }
void RWXPExprNode::describe(std::string& out, int level) const {
    appendIndent(out, level);
    out.append("<RWXPExprNode>");
}

RWXPValue RWXPSequenceNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    RWXPValue result;
    for (const auto& item : items) {
        if (!item) continue;
        RWXPValue v = item->evaluateWithContext(e);
        result.insert(result.end(), v.begin(), v.end());
    }
    return result;
}

RWXPValue RWXPVariableNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    RWXPValue value = e.getVariable(name);
    if (e.traceEnabled()) e.addTrace("$" + name + " = " + RWXPath2Evaluator::renderForTrace(value));
    return value;
}

RWXPValue RWXPBinaryOpNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    const bool tracing = e.traceEnabled();
    std::string label = tracing ? "BinaryOp(" + tokenTypeToString(op) + ")" : std::string();
    if (tracing) e.traceEnter(label);
    RWXPValue result;
    // and/or stop early as XPath 2.0 allows; the other operand may not even be evaluable.
    if (op == RWXPTokenAnd || op == RWXPTokenOr) {
        RWXPValue l = left ? left->evaluateWithContext(e) : RWXPValue();
        if (tracing) e.addTrace("Left = " + RWXPath2Evaluator::renderForTrace(l));
        bool lv = RWXPath2Evaluator::toBoolean(l);
        bool value;
        if (op == RWXPTokenAnd && !lv) {
            value = false;
        } else if (op == RWXPTokenOr && lv) {
            value = true;
        } else {
            RWXPValue r = right ? right->evaluateWithContext(e) : RWXPValue();
            if (tracing) e.addTrace("Right = " + RWXPath2Evaluator::renderForTrace(r));
            value = RWXPath2Evaluator::toBoolean(r);
        }
        result = xdm::booleanValue(value);
    } else {
        RWXPValue l = left ? left->evaluateWithContext(e) : RWXPValue();
        if (tracing) e.addTrace("Left = " + RWXPath2Evaluator::renderForTrace(l));
        RWXPValue r = right ? right->evaluateWithContext(e) : RWXPValue();
        if (tracing) e.addTrace("Right = " + RWXPath2Evaluator::renderForTrace(r));
        result = e.evaluateBinaryOp(op, l, r);
    }
    if (tracing) e.traceExit(label, result);
    return result;
}

RWXPValue RWXPUnaryOpNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    RWXPValue v = operand ? xdm::atomize(operand->evaluateWithContext(e)) : RWXPValue();
    if (v.empty()) return v;
    if (v.size() > 1) throw RWXPDynamicError("a sign needs a single value");
    RWXPItem item = v.front();
    if (item.kind == RWXPItem::Kind::Untyped) item = xdm::castToDouble(item);
    if (!item.isNumeric()) throw RWXPDynamicError("a sign needs a number");
    if (op == RWXPTokenMinus) {
        if (item.kind == RWXPItem::Kind::Double)
            item.number = -item.number;
        else
            item.decimal = -item.decimal;
    }
    return xdm::single(std::move(item));
}

RWXPValue RWXPFunctionCallNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    std::vector<RWXPValue> args = e.evaluateArguments(arguments);
    return e.evaluateFunctionCall(*this, args);
}

RWXPPathNode::RWXPPathNode(std::string p) : path(std::move(p)) {
    if (path != ".") compiled_ = xmlXPathCompile(BAD_CAST path.c_str());
}

RWXPPathNode::~RWXPPathNode() {
    if (compiled_) xmlXPathFreeCompExpr(compiled_);
}

RWXPValue RWXPPathNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    return e.evaluatePath(*this);
}

RWXPValue RWXPIfThenElseNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    bool test = condition && RWXPath2Evaluator::toBoolean(condition->evaluateWithContext(e));
    const RWXPNodePtr& branch = test ? thenExpr : elseExpr;
    return branch ? branch->evaluateWithContext(e) : RWXPValue();
}

RWXPValue RWXPFilteredPathNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    RWXPValue base =
        previousFilter ? previousFilter->evaluateWithContext(e) : e.evaluatePath(basePath);
    RWXPValue current = predicate ? e.filterNodes(base, *predicate) : base;
    if (nextStep) {
        RWXPValue next;
        for (const auto& item : current) {
            if (!item.isNode()) continue;
            RWXPValue v =
                e.withContextNode(item.node, [&] { return nextStep->evaluateWithContext(e); });
            next.insert(next.end(), v.begin(), v.end());
        }
        current = std::move(next);
    }
    if (childPath) {
        RWXPValue next;
        for (const auto& item : current) {
            if (!item.isNode()) continue;
            RWXPValue v = e.withContextNode(item.node, [&] { return e.evaluatePath(*childPath); });
            next.insert(next.end(), v.begin(), v.end());
        }
        current = std::move(next);
    }
    if (functionName) {
        RWXPValue next;
        for (const auto& item : current) {
            if (!item.isNode()) continue;
            RWXPValue v = e.withContextNode(item.node, [&] {
                std::vector<RWXPValue> args =
                    e.evaluateArguments(functionArgs.value_or(std::vector<RWXPNodePtr>{}));
                return e.evaluateFunction(*functionName, args);
            });
            next.insert(next.end(), v.begin(), v.end());
        }
        current = std::move(next);
    }
    return current;
}

RWXPValue RWXPQuantifiedExprNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    const bool every = quantifier == RWXPTokenEvery;
    const bool tracing = e.traceEnabled();
    std::string label =
        std::string("QuantifiedExpr(") + (every ? "every" : "some") + " $" + variableName + ")";
    if (tracing) {
        e.traceEnter(label);
        e.addTrace("Evaluating 'in' expression...");
    }
    RWXPValue domain = inExpr ? inExpr->evaluateWithContext(e) : RWXPValue();
    if (tracing) {
        e.addTrace("'in' expression result: " + RWXPath2Evaluator::renderForTrace(domain));
        e.addTrace("Sequence count: " + std::to_string(domain.size()));
    }
    ScopedBinding binding(e, variableName);
    bool result = every;
    long iteration = 0;
    for (const auto& item : domain) {
        ++iteration;
        e.countStep();
        binding.bind(item);
        if (tracing) {
            e.addTrace("--- Iteration " + std::to_string(iteration) + ": Setting $" + variableName +
                       " = " + RWXPath2Evaluator::renderForTrace(xdm::single(item)) + " ---");
            e.addTrace("Evaluating 'satisfies' expression...");
        }
        RWXPValue test = satisfiesExpr ? satisfiesExpr->evaluateWithContext(e) : RWXPValue();
        bool value = RWXPath2Evaluator::toBoolean(test);
        if (tracing)
            e.addTrace("'satisfies' result: " + RWXPath2Evaluator::renderForTrace(test) +
                       " (bool: " + std::to_string(value ? 1 : 0) + ")");
        if (every && !value) {
            if (tracing) e.addTrace("EVERY: Found false, returning NO");
            result = false;
            break;
        }
        if (!every && value) {
            if (tracing) e.addTrace("SOME: Found true, returning YES");
            result = true;
            break;
        }
    }
    RWXPValue value = xdm::booleanValue(result);
    if (tracing) {
        if (iteration == static_cast<long>(domain.size()) && !(every && !result) &&
            !(!every && result))
            e.addTrace("All iterations complete, returning " +
                       RWXPath2Evaluator::renderForTrace(value));
        e.traceExit(label, value);
    }
    return value;
}

RWXPValue RWXPForExprNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    const bool tracing = e.traceEnabled();
    if (tracing) {
        e.traceEnter("ForExpr(for $" + variableName + " in ...)");
        e.addTrace("Evaluating 'in' expression...");
    }
    RWXPValue domain = inExpr ? inExpr->evaluateWithContext(e) : RWXPValue();
    if (tracing) e.addTrace("Sequence count: " + std::to_string(domain.size()));
    RWXPValue result;
    long iteration = 0;
    {
        ScopedBinding binding(e, variableName);
        for (const auto& item : domain) {
            ++iteration;
            e.countStep();
            binding.bind(item);
            if (tracing) {
                e.addTrace("--- Iteration " + std::to_string(iteration) + ": Setting $" +
                           variableName + " = " +
                           RWXPath2Evaluator::renderForTrace(xdm::single(item)) + " ---");
                e.addTrace("Evaluating 'return' expression...");
            }
            RWXPValue v = returnExpr ? returnExpr->evaluateWithContext(e) : RWXPValue();
            if (tracing) e.addTrace("'return' result: " + RWXPath2Evaluator::renderForTrace(v));
            result.insert(result.end(), v.begin(), v.end());
        }
    }
    if (tracing) {
        e.addTrace("All iterations complete, returning " + std::to_string(result.size()) +
                   " results");
        e.traceExit("ForExpr", result);
    }
    return result;
}

RWXPValue RWXPPathWithFunctionNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    // The path operator: the right side once per node of the left side.
    auto mapOver = [&e](const RWXPValue& base, auto&& step) {
        RWXPValue result;
        long position = 0;
        const long size = static_cast<long>(base.size());
        bool nodes = true, atomics = true;
        for (const auto& item : base) {
            ++position;
            if (!item.isNode()) throw RWXPDynamicError("a path step needs nodes on its left");
            RWXPValue v = e.withFocus(item, position, size, step);
            for (auto& r : v) {
                (r.isNode() ? atomics : nodes) = false;
                result.push_back(std::move(r));
            }
        }
        if (!nodes && !atomics) throw RWXPDynamicError("a path yields nodes and values mixed");
        if (nodes) xdm::sortDocumentOrder(result);
        return result;
    };
    if (!functionName) {
        if (functionArgs.empty()) return {};
        RWXPValue base = functionArgs[0]->evaluateWithContext(e);
        if (!basePath.empty()) return mapOver(base, [&] { return e.evaluatePath(basePath); });
        if (functionArgs.size() > 1) {
            const RWXPExprNode& next = *functionArgs[1];
            return mapOver(base, [&] { return next.evaluateWithContext(e); });
        }
        return base;
    }
    if (!basePath.empty()) {
        RWXPValue base = e.evaluatePath(basePath);
        return mapOver(base, [&] {
            std::vector<RWXPValue> args = e.evaluateArguments(functionArgs);
            return e.evaluateFunction(*functionName, args);
        });
    }
    std::vector<RWXPValue> args = e.evaluateArguments(functionArgs);
    return e.evaluateFunction(*functionName, args);
}

void RWXPAxisNode::setAxis(const std::string& name) {
    static const std::pair<const char*, Axis> kNames[] = {
        {"child", Axis::Child},
        {"descendant", Axis::Descendant},
        {"attribute", Axis::Attribute},
        {"self", Axis::Self},
        {"descendant-or-self", Axis::DescendantOrSelf},
        {"following-sibling", Axis::FollowingSibling},
        {"following", Axis::Following},
        {"namespace", Axis::Namespace},
        {"parent", Axis::Parent},
        {"ancestor", Axis::Ancestor},
        {"preceding-sibling", Axis::PrecedingSibling},
        {"preceding", Axis::Preceding},
        {"ancestor-or-self", Axis::AncestorOrSelf},
    };
    axis = name;
    axisKind = Axis::Namespace;  // an unknown name selects nothing, as namespace:: does here
    for (const auto& [text, kind] : kNames)
        if (name == text) axisKind = kind;
}

bool RWXPAxisNode::matches(xmlNodePtr n) const {
    using T = Test;
    switch (test) {
        case T::AnyKind:
            return true;
        case T::Text:
            return n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE;
        case T::Comment:
            return n->type == XML_COMMENT_NODE;
        case T::ProcessingInstruction:
            return n->type == XML_PI_NODE;
        case T::Element:
            return n->type == XML_ELEMENT_NODE;
        case T::Attribute:
            return n->type == XML_ATTRIBUTE_NODE;
        case T::DocumentNode:
            return n->type == XML_DOCUMENT_NODE;
        case T::Name:
            break;
    }
    xmlElementType principal = axisKind == Axis::Attribute ? XML_ATTRIBUTE_NODE : XML_ELEMENT_NODE;
    if (n->type != principal) return false;
    if (!anyLocalName && localName != reinterpret_cast<const char*>(n->name)) return false;
    if (anyNamespace) return true;
    const char* uri = n->ns && n->ns->href ? reinterpret_cast<const char*>(n->ns->href) : "";
    return namespaceURI == uri;
}

namespace {

xmlNodePtr firstChildOf(xmlNodePtr n) {
    return n->type == XML_ATTRIBUTE_NODE ? nullptr : n->children;
}

void collectDescendants(xmlNodePtr n, const RWXPAxisNode& axis, RWXPValue& out) {
    for (xmlNodePtr c = firstChildOf(n); c; c = c->next) {
        if (c->type == XML_DTD_NODE || c->type == XML_ENTITY_DECL) continue;
        if (axis.matches(c)) out.push_back(RWXPItem::makeNode(c));
        if (c->type == XML_ELEMENT_NODE) collectDescendants(c, axis, out);
    }
}

}  // namespace

RWXPValue RWXPAxisNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    const RWXPItem* item = e.contextItem();
    if (!item || !item->isNode()) throw RWXPDynamicError("an axis step needs a node as context");
    xmlNodePtr n = item->node;
    RWXPValue out;  // in axis order
    auto add = [&](xmlNodePtr c) {
        if (c && matches(c)) out.push_back(RWXPItem::makeNode(c));
    };
    switch (axisKind) {
        case Axis::Child:
            for (xmlNodePtr c = firstChildOf(n); c; c = c->next) add(c);
            break;
        case Axis::Attribute:
            if (n->type == XML_ELEMENT_NODE)
                for (xmlAttrPtr a = n->properties; a; a = a->next)
                    add(reinterpret_cast<xmlNodePtr>(a));
            break;
        case Axis::Self:
            add(n);
            break;
        case Axis::DescendantOrSelf:
            add(n);
            collectDescendants(n, *this, out);
            break;
        case Axis::Descendant:
            collectDescendants(n, *this, out);
            break;
        case Axis::Parent:
            add(n->parent);
            break;
        case Axis::AncestorOrSelf:
            add(n);
            for (xmlNodePtr p = n->parent; p; p = p->parent) add(p);
            break;
        case Axis::Ancestor:
            for (xmlNodePtr p = n->parent; p; p = p->parent) add(p);
            break;
        case Axis::FollowingSibling:
        case Axis::PrecedingSibling:
            if (n->type != XML_ATTRIBUTE_NODE) {
                bool forward = axisKind == Axis::FollowingSibling;
                for (xmlNodePtr s = forward ? n->next : n->prev; s; s = forward ? s->next : s->prev)
                    add(s);
            }
            break;
        case Axis::Following:
        case Axis::Preceding: {
            bool forward = axisKind == Axis::Following;
            xmlNodePtr start = n->type == XML_ATTRIBUTE_NODE ? n->parent : n;
            RWXPValue all;
            collectDescendants(reinterpret_cast<xmlNodePtr>(start->doc), *this, all);
            for (const auto& c : all) {
                bool isAncestor = false;
                for (xmlNodePtr p = start; p; p = p->parent)
                    if (p == c.node) isAncestor = true;
                if (isAncestor) continue;
                bool inside = false;
                for (xmlNodePtr p = c.node; p; p = p->parent)
                    if (p == start) inside = true;
                if (inside) continue;
                if (forward == xdm::nodeBefore(start, c.node)) out.push_back(c);
            }
            if (!forward) std::reverse(out.begin(), out.end());
            break;
        }
        case Axis::Namespace:
            break;
    }
    for (const auto& predicate : predicates) out = e.filterNodes(out, *predicate);
    // Reverse axes were filtered nearest-first; results go back in document order.
    if (out.size() > 1) xdm::sortDocumentOrder(out);
    return out;
}

RWXPValue RWXPTypeNode::evaluateWithContext(RWXPath2Evaluator& e) const {
    RWXPValue value = operand ? operand->evaluateWithContext(e) : RWXPValue();
    auto castOne = [this](const RWXPItem& item) -> RWXPItem {
        const std::string& t = typeName;
        if (t == "xs:decimal") return xdm::castToDecimal(item);
        if (t == "xs:integer" || t == "xs:int" || t == "xs:long" || t == "xs:nonNegativeInteger" ||
            t == "xs:positiveInteger")
            return xdm::castToInteger(item);
        if (t == "xs:double" || t == "xs:float") return xdm::castToDouble(item);
        if (t == "xs:string" || t == "xs:normalizedString" || t == "xs:token")
            return xdm::castToString(item);
        if (t == "xs:boolean") return xdm::castToBoolean(item);
        if (t == "xs:date") return xdm::castToDate(item);
        if (t == "xs:untypedAtomic") return RWXPItem::makeUntyped(xdm::stringOf(item));
        if (t == "xs:anyURI") {
            RWXPItem u = RWXPItem::makeString(xdm::stringOf(item));
            u.kind = RWXPItem::Kind::AnyURI;
            return u;
        }
        throw RWXPDynamicError("unsupported type " + t);
    };
    auto instance = [this](const RWXPItem& item) {
        const std::string& t = typeName;
        using K = RWXPItem::Kind;
        if (t == "item()") return true;
        if (t == "node()") return item.isNode();
        if (t == "element()") return item.isNode() && item.node->type == XML_ELEMENT_NODE;
        if (t == "attribute()") return item.isNode() && item.node->type == XML_ATTRIBUTE_NODE;
        if (t == "text()") return item.isNode() && item.node->type == XML_TEXT_NODE;
        if (t == "xs:anyAtomicType") return !item.isNode();
        if (t == "xs:string") return item.kind == K::String;
        if (t == "xs:untypedAtomic") return item.kind == K::Untyped;
        if (t == "xs:boolean") return item.kind == K::Boolean;
        if (t == "xs:integer") return item.kind == K::Integer;
        if (t == "xs:decimal") return item.kind == K::Integer || item.kind == K::Decimal;
        if (t == "xs:double") return item.kind == K::Double;
        if (t == "xs:date") return item.kind == K::Date;
        if (t == "xs:anyURI") return item.kind == K::AnyURI;
        return false;
    };
    bool allowsEmpty = occurrence == '?' || occurrence == '*';
    bool allowsMany = occurrence == '*' || occurrence == '+';
    switch (kind) {
        case Kind::InstanceOf: {
            if (value.empty())
                return xdm::booleanValue(allowsEmpty || typeName == "empty-sequence()");
            if (value.size() > 1 && !allowsMany) return xdm::booleanValue(false);
            for (const auto& item : value)
                if (!instance(item)) return xdm::booleanValue(false);
            return xdm::booleanValue(true);
        }
        case Kind::TreatAs:
            return value;
        case Kind::CastAs: {
            RWXPValue atoms = xdm::atomize(value);
            if (atoms.empty()) {
                if (allowsEmpty) return {};
                throw RWXPDynamicError("cast of an empty sequence");
            }
            if (atoms.size() > 1) throw RWXPDynamicError("cast of several values");
            return xdm::single(castOne(atoms.front()));
        }
        case Kind::CastableAs: {
            RWXPValue atoms = xdm::atomize(value);
            if (atoms.empty()) return xdm::booleanValue(allowsEmpty);
            if (atoms.size() > 1) return xdm::booleanValue(false);
            try {
                castOne(atoms.front());
                return xdm::booleanValue(true);
            } catch (const RWXPDynamicError&) {
                return xdm::booleanValue(false);
            }
        }
    }
    return {};
}

// --- descriptions ---------------------------------------------------------------------------

namespace {
// Appends `level` indentation followed by the pieces.
template <class... Pieces>
void line(std::string& out, int level, const Pieces&... pieces) {
    RWXPExprNode::appendIndent(out, level);
    (out.append(pieces), ...);
}
void child(std::string& out, const RWXPNodePtr& node, int level) {
    if (node)
        node->describe(out, level);
    else
        line(out, level, "nil");
}
// "  label:" and the node below it, two levels in.
void section(std::string& out, int level, std::string_view label, const RWXPNodePtr& node) {
    line(out, level, "  ", label, ":\n");
    child(out, node, level + 2);
}
void argumentList(std::string& out, const std::vector<RWXPNodePtr>& args, int level) {
    for (size_t i = 0; i < args.size(); ++i) {
        out += '\n';
        line(out, level, "  arg[", std::to_string(i), "]:\n");
        child(out, args[i], level + 2);
    }
}
}  // namespace

void RWXPLiteralNode::describe(std::string& out, int level) const {
    line(out, level, "Literal(", literalText(value), ")");
}

void RWXPSequenceNode::describe(std::string& out, int level) const {
    line(out, level, "Sequence(\n");
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ",\n";
        child(out, items[i], level + 1);
    }
    out += '\n';
    line(out, level, ")");
}

void RWXPVariableNode::describe(std::string& out, int level) const {
    line(out, level, "Variable($", name, ")");
}

void RWXPBinaryOpNode::describe(std::string& out, int level) const {
    line(out, level, "BinaryOp(", tokenTypeToString(op), ")\n");
    child(out, left, level + 1);
    out += '\n';
    child(out, right, level + 1);
}

void RWXPUnaryOpNode::describe(std::string& out, int level) const {
    line(out, level, "UnaryOp(", tokenTypeToString(op), ")\n");
    child(out, operand, level + 1);
}

void RWXPFunctionCallNode::describe(std::string& out, int level) const {
    line(out, level, "FunctionCall(", name, ")");
    if (arguments.empty())
        out += "()";
    else
        argumentList(out, arguments, level);
}

void RWXPPathNode::describe(std::string& out, int level) const {
    line(out, level, "Path(\"", path, "\")");
}

void RWXPIfThenElseNode::describe(std::string& out, int level) const {
    line(out, level, "IfThenElse\n");
    section(out, level, "condition", condition);
    out += '\n';
    section(out, level, "then", thenExpr);
    out += '\n';
    section(out, level, "else", elseExpr);
}

void RWXPFilteredPathNode::describe(std::string& out, int level) const {
    if (previousFilter) {
        line(out, level, "FilteredPath(chained)\n");
        section(out, level, "base filter", previousFilter);
        out += '\n';
        line(out, level, "  additional predicate:\n");
    } else {
        line(out, level, "FilteredPath(\"", basePath, "\")\n");
        line(out, level, "  predicate:\n");
    }
    child(out, predicate, level + 2);
    if (childPath) {
        out += '\n';
        line(out, level, "  childPath: ", *childPath);
    }
    if (functionName) {
        out += '\n';
        line(out, level, "  function: ", *functionName);
    }
    if (nextStep) {
        out += '\n';
        section(out, level, "nextStep", nextStep);
    }
}

void RWXPQuantifiedExprNode::describe(std::string& out, int level) const {
    line(out, level, "QuantifiedExpr(", quantifier == RWXPTokenEvery ? "every" : "some", " $",
         variableName, " in)\n");
    section(out, level, "in", inExpr);
    out += '\n';
    section(out, level, "satisfies", satisfiesExpr);
}

void RWXPForExprNode::describe(std::string& out, int level) const {
    line(out, level, "ForExpr(for $", variableName, " in)\n");
    section(out, level, "in", inExpr);
    out += '\n';
    section(out, level, "return", returnExpr);
}

void RWXPPathWithFunctionNode::describe(std::string& out, int level) const {
    line(out, level, "PathWithFunction(\"", basePath, "\" / ", functionName.value_or("(null)"),
         ")");
    argumentList(out, functionArgs, level);
}

void RWXPAxisNode::describe(std::string& out, int level) const {
    line(out, level, "Axis(", axis, "::", elementName, ")");
    for (const auto& p : predicates) {
        out += '\n';
        section(out, level, "predicate", p);
    }
}

void RWXPTypeNode::describe(std::string& out, int level) const {
    static const char* names[] = {"instance of", "cast as", "castable as", "treat as"};
    line(out, level, "Type(", names[int(kind)], " ", typeName);
    if (occurrence) out += occurrence;
    out += ")\n";
    child(out, operand, level + 1);
}

}  // namespace ruleweave
