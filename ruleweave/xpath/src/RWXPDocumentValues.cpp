// Values that depend on the document only. Rule sets test whole-document facts such as
// count(//ram:ApplicableTradeTax[...]) inside rules that visit every invoice line; computing
// them once per document keeps validation linear in the number of lines.
#include <algorithm>
#include <set>
#include <unordered_map>

#include "RWXPParser.h"
#include "ruleweave/RWXPath2Evaluator.h"

namespace ruleweave {
namespace {

// Functions whose result depends on their arguments only.
const std::set<std::string> kPureFunctions = {"abs",
                                              "avg",
                                              "boolean",
                                              "ceiling",
                                              "codepoints-to-string",
                                              "compare",
                                              "concat",
                                              "contains",
                                              "count",
                                              "data",
                                              "distinct-values",
                                              "empty",
                                              "ends-with",
                                              "exactly-one",
                                              "exists",
                                              "false",
                                              "floor",
                                              "index-of",
                                              "lower-case",
                                              "matches",
                                              "max",
                                              "min",
                                              "not",
                                              "one-or-more",
                                              "replace",
                                              "reverse",
                                              "round",
                                              "round-half-to-even",
                                              "starts-with",
                                              "string-join",
                                              "string-to-codepoints",
                                              "subsequence",
                                              "substring",
                                              "substring-after",
                                              "substring-before",
                                              "sum",
                                              "tokenize",
                                              "translate",
                                              "true",
                                              "upper-case",
                                              "zero-or-one",
                                              "xs:boolean",
                                              "xs:date",
                                              "xs:decimal",
                                              "xs:double",
                                              "xs:float",
                                              "xs:integer",
                                              "xs:string"};
// Functions that read the focus when called without arguments (or always).
const std::set<std::string> kFocusFunctions = {
    "last",   "local-name", "name", "namespace-uri", "normalize-space",
    "number", "position",   "root", "string",        "string-length"};

struct Dependence {
    bool pure = true;       // no free variables, no function the analysis cannot see through
    bool focusFree = true;  // does not read the focus it is evaluated with
    bool readsDocument = false;
};

Dependence operator&(Dependence a, Dependence b) {
    return {a.pure && b.pure, a.focusFree && b.focusFree, a.readsDocument || b.readsDocument};
}

// A subexpression evaluated once per item of a base sequence sees that item as its focus: for
// the outer expression it only has to be pure.
Dependence perItem(Dependence d) { return {d.pure, true, d.readsDocument}; }

Dependence pathText(const std::string& path) {
    bool absolute = !path.empty() && path[0] == '/';
    return {true, absolute, absolute};
}

Dependence functionCall(const std::string& written, size_t arity) {
    std::string name = written.rfind("fn:", 0) == 0 ? written.substr(3) : written;
    if (kPureFunctions.count(name)) return {};
    if (kFocusFunctions.count(name)) {
        bool readsFocus = arity == 0 || name == "position" || name == "last";
        return {true, !readsFocus, false};
    }
    return {false, false, false};  // the schema's own functions, current(), unknown names
}

// Variables bound around the node under analysis, and what is known of nodes analysed with
// none bound: marking asks that of every node of a tree, and each answer needs its subtree's.
struct Scope {
    std::vector<std::string> bound;
    std::unordered_map<const RWXPExprNode*, Dependence> unbound;
};

Dependence analyseNode(const RWXPExprNode* node, Scope& scope);

Dependence analyse(const RWXPExprNode* node, Scope& scope) {
    if (!node) return {};
    if (!scope.bound.empty()) return analyseNode(node, scope);
    if (auto known = scope.unbound.find(node); known != scope.unbound.end()) return known->second;
    Dependence d = analyseNode(node, scope);
    scope.unbound.emplace(node, d);
    return d;
}

Dependence analyseAll(const std::vector<RWXPNodePtr>& nodes, Scope& scope) {
    Dependence d;
    for (const auto& n : nodes) d = d & analyse(n.get(), scope);
    return d;
}

Dependence withBinding(const std::string& name, const RWXPExprNode* body, Scope& scope) {
    scope.bound.push_back(name);
    Dependence d = analyse(body, scope);
    scope.bound.pop_back();
    return d;
}

Dependence analyseNode(const RWXPExprNode* node, Scope& scope) {
    if (dynamic_cast<const RWXPLiteralNode*>(node)) return {};
    if (auto* v = dynamic_cast<const RWXPVariableNode*>(node)) {
        bool known =
            std::find(scope.bound.begin(), scope.bound.end(), v->name) != scope.bound.end();
        return {known, known, false};
    }
    if (auto* p = dynamic_cast<const RWXPPathNode*>(node)) {
        if (p->path == ".") return {true, false, false};
        return pathText(p->path);
    }
    if (auto* s = dynamic_cast<const RWXPSequenceNode*>(node)) return analyseAll(s->items, scope);
    if (auto* b = dynamic_cast<const RWXPBinaryOpNode*>(node))
        return analyse(b->left.get(), scope) & analyse(b->right.get(), scope);
    if (auto* u = dynamic_cast<const RWXPUnaryOpNode*>(node))
        return analyse(u->operand.get(), scope);
    if (auto* t = dynamic_cast<const RWXPTypeNode*>(node)) return analyse(t->operand.get(), scope);
    if (auto* i = dynamic_cast<const RWXPIfThenElseNode*>(node))
        return analyse(i->condition.get(), scope) & analyse(i->thenExpr.get(), scope) &
               analyse(i->elseExpr.get(), scope);
    if (auto* f = dynamic_cast<const RWXPFunctionCallNode*>(node))
        return functionCall(f->name, f->arguments.size()) & analyseAll(f->arguments, scope);
    if (auto* q = dynamic_cast<const RWXPQuantifiedExprNode*>(node))
        return analyse(q->inExpr.get(), scope) &
               withBinding(q->variableName, q->satisfiesExpr.get(), scope);
    if (auto* r = dynamic_cast<const RWXPForExprNode*>(node))
        return analyse(r->inExpr.get(), scope) &
               withBinding(r->variableName, r->returnExpr.get(), scope);
    if (auto* a = dynamic_cast<const RWXPAxisNode*>(node))
        return Dependence{true, false, false} & perItem(analyseAll(a->predicates, scope));
    if (auto* w = dynamic_cast<const RWXPPathWithFunctionNode*>(node)) {
        if (!w->functionName) {
            if (w->functionArgs.empty()) return {};
            Dependence d = analyse(w->functionArgs[0].get(), scope);
            for (size_t i = 1; i < w->functionArgs.size(); ++i)
                d = d & perItem(analyse(w->functionArgs[i].get(), scope));
            return d;
        }
        Dependence call = functionCall(*w->functionName, w->functionArgs.size());
        if (w->basePath.empty()) return call & analyseAll(w->functionArgs, scope);
        return pathText(w->basePath) & perItem(call & analyseAll(w->functionArgs, scope));
    }
    if (auto* f = dynamic_cast<const RWXPFilteredPathNode*>(node)) {
        Dependence d =
            f->previousFilter ? analyse(f->previousFilter.get(), scope) : pathText(f->basePath);
        Dependence inner = analyse(f->predicate.get(), scope) & analyse(f->nextStep.get(), scope);
        if (f->functionName) {
            inner = inner &
                    functionCall(*f->functionName, f->functionArgs ? f->functionArgs->size() : 0);
            if (f->functionArgs) inner = inner & analyseAll(*f->functionArgs, scope);
        }
        return d & perItem(inner);
    }
    return {false, false, false};  // a kind of node this analysis does not know
}

// The tree is fresh from the parser and not yet shared, so its links may still be rewritten.
template <class T>
T& mutableNode(const T* node) {
    return const_cast<T&>(*node);
}

void mark(RWXPNodePtr& slot, Scope& scope);

void markAll(const std::vector<RWXPNodePtr>& nodes, Scope& scope) {
    for (auto& n : const_cast<std::vector<RWXPNodePtr>&>(nodes)) mark(n, scope);
}

void mark(RWXPNodePtr& slot, Scope& scope) {
    const RWXPExprNode* node = slot.get();
    if (!node) return;
    Dependence d = analyse(node, scope);
    if (d.pure && d.focusFree && d.readsDocument) {
        slot = std::make_shared<RWXPDocumentValueNode>(slot);
        return;
    }
    if (auto* s = dynamic_cast<const RWXPSequenceNode*>(node)) return markAll(s->items, scope);
    if (auto* b = dynamic_cast<const RWXPBinaryOpNode*>(node)) {
        mark(mutableNode(b).left, scope);
        return mark(mutableNode(b).right, scope);
    }
    if (auto* u = dynamic_cast<const RWXPUnaryOpNode*>(node))
        return mark(mutableNode(u).operand, scope);
    if (auto* t = dynamic_cast<const RWXPTypeNode*>(node))
        return mark(mutableNode(t).operand, scope);
    if (auto* i = dynamic_cast<const RWXPIfThenElseNode*>(node)) {
        mark(mutableNode(i).condition, scope);
        mark(mutableNode(i).thenExpr, scope);
        return mark(mutableNode(i).elseExpr, scope);
    }
    if (auto* f = dynamic_cast<const RWXPFunctionCallNode*>(node))
        return markAll(f->arguments, scope);
    if (auto* q = dynamic_cast<const RWXPQuantifiedExprNode*>(node)) {
        mark(mutableNode(q).inExpr, scope);
        return mark(mutableNode(q).satisfiesExpr, scope);
    }
    if (auto* r = dynamic_cast<const RWXPForExprNode*>(node)) {
        mark(mutableNode(r).inExpr, scope);
        return mark(mutableNode(r).returnExpr, scope);
    }
    if (auto* a = dynamic_cast<const RWXPAxisNode*>(node)) return markAll(a->predicates, scope);
    if (auto* w = dynamic_cast<const RWXPPathWithFunctionNode*>(node))
        return markAll(w->functionArgs, scope);
    if (auto* f = dynamic_cast<const RWXPFilteredPathNode*>(node)) {
        mark(mutableNode(f).previousFilter, scope);
        mark(mutableNode(f).predicate, scope);
        mark(mutableNode(f).nextStep, scope);
        if (f->functionArgs) markAll(*f->functionArgs, scope);
    }
}

}  // namespace

RWXPNodePtr markDocumentValues(RWXPNodePtr tree) {
    Scope scope;
    mark(tree, scope);
    return tree;
}

RWXPValue RWXPDocumentValueNode::evaluateWithContext(RWXPath2Evaluator& evaluator) const {
    return evaluator.documentValue(*this);
}

RWXPValue RWXPath2Evaluator::documentValue(const RWXPDocumentValueNode& node) {
    xmlNodePtr context = getContextNode();
    // Traces show every step; without a node there is no document to key on.
    if (traceEnabled_ || !context || context->type == XML_NAMESPACE_DECL || !context->doc)
        return node.inner->evaluateWithContext(*this);
    if (context->doc != documentValuesDoc_) {
        documentValues_.clear();
        documentValuesDoc_ = context->doc;
    }
    auto found = documentValues_.find(&node);
    if (found != documentValues_.end()) return found->second;
    RWXPValue value = node.inner->evaluateWithContext(*this);  // errors are not kept
    documentValues_.emplace(&node, value);
    return value;
}

}  // namespace ruleweave
