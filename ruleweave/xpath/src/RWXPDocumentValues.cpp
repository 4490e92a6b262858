// Values that depend on the document only. Rule sets test whole-document facts such as
// count(//ram:ApplicableTradeTax[...]) inside rules that visit every invoice line; computing
// them once per document keeps validation linear in the number of lines.
#include <algorithm>
#include <set>

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

Dependence analyse(const RWXPExprNode* node, std::vector<std::string>& bound);

Dependence analyseAll(const std::vector<RWXPNodePtr>& nodes, std::vector<std::string>& bound) {
    Dependence d;
    for (const auto& n : nodes) d = d & analyse(n.get(), bound);
    return d;
}

Dependence withBinding(const std::string& name, const RWXPExprNode* body,
                       std::vector<std::string>& bound) {
    bound.push_back(name);
    Dependence d = analyse(body, bound);
    bound.pop_back();
    return d;
}

Dependence analyse(const RWXPExprNode* node, std::vector<std::string>& bound) {
    if (!node) return {};
    if (dynamic_cast<const RWXPLiteralNode*>(node)) return {};
    if (auto* v = dynamic_cast<const RWXPVariableNode*>(node)) {
        bool known = std::find(bound.begin(), bound.end(), v->name) != bound.end();
        return {known, known, false};
    }
    if (auto* p = dynamic_cast<const RWXPPathNode*>(node)) {
        if (p->path == ".") return {true, false, false};
        return pathText(p->path);
    }
    if (auto* s = dynamic_cast<const RWXPSequenceNode*>(node)) return analyseAll(s->items, bound);
    if (auto* b = dynamic_cast<const RWXPBinaryOpNode*>(node))
        return analyse(b->left.get(), bound) & analyse(b->right.get(), bound);
    if (auto* u = dynamic_cast<const RWXPUnaryOpNode*>(node))
        return analyse(u->operand.get(), bound);
    if (auto* t = dynamic_cast<const RWXPTypeNode*>(node)) return analyse(t->operand.get(), bound);
    if (auto* i = dynamic_cast<const RWXPIfThenElseNode*>(node))
        return analyse(i->condition.get(), bound) & analyse(i->thenExpr.get(), bound) &
               analyse(i->elseExpr.get(), bound);
    if (auto* f = dynamic_cast<const RWXPFunctionCallNode*>(node))
        return functionCall(f->name, f->arguments.size()) & analyseAll(f->arguments, bound);
    if (auto* q = dynamic_cast<const RWXPQuantifiedExprNode*>(node))
        return analyse(q->inExpr.get(), bound) &
               withBinding(q->variableName, q->satisfiesExpr.get(), bound);
    if (auto* r = dynamic_cast<const RWXPForExprNode*>(node))
        return analyse(r->inExpr.get(), bound) &
               withBinding(r->variableName, r->returnExpr.get(), bound);
    if (auto* a = dynamic_cast<const RWXPAxisNode*>(node))
        return Dependence{true, false, false} & perItem(analyseAll(a->predicates, bound));
    if (auto* w = dynamic_cast<const RWXPPathWithFunctionNode*>(node)) {
        if (!w->functionName) {
            if (w->functionArgs.empty()) return {};
            Dependence d = analyse(w->functionArgs[0].get(), bound);
            for (size_t i = 1; i < w->functionArgs.size(); ++i)
                d = d & perItem(analyse(w->functionArgs[i].get(), bound));
            return d;
        }
        Dependence call = functionCall(*w->functionName, w->functionArgs.size());
        if (w->basePath.empty()) return call & analyseAll(w->functionArgs, bound);
        return pathText(w->basePath) & perItem(call & analyseAll(w->functionArgs, bound));
    }
    if (auto* f = dynamic_cast<const RWXPFilteredPathNode*>(node)) {
        Dependence d =
            f->previousFilter ? analyse(f->previousFilter.get(), bound) : pathText(f->basePath);
        Dependence inner = analyse(f->predicate.get(), bound) & analyse(f->nextStep.get(), bound);
        if (f->functionName) {
            inner = inner &
                    functionCall(*f->functionName, f->functionArgs ? f->functionArgs->size() : 0);
            if (f->functionArgs) inner = inner & analyseAll(*f->functionArgs, bound);
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

void mark(RWXPNodePtr& slot);

void markAll(const std::vector<RWXPNodePtr>& nodes) {
    for (auto& n : const_cast<std::vector<RWXPNodePtr>&>(nodes)) mark(n);
}

void mark(RWXPNodePtr& slot) {
    const RWXPExprNode* node = slot.get();
    if (!node) return;
    std::vector<std::string> bound;
    Dependence d = analyse(node, bound);
    if (d.pure && d.focusFree && d.readsDocument) {
        slot = std::make_shared<RWXPDocumentValueNode>(slot);
        return;
    }
    if (auto* s = dynamic_cast<const RWXPSequenceNode*>(node)) return markAll(s->items);
    if (auto* b = dynamic_cast<const RWXPBinaryOpNode*>(node)) {
        mark(mutableNode(b).left);
        return mark(mutableNode(b).right);
    }
    if (auto* u = dynamic_cast<const RWXPUnaryOpNode*>(node)) return mark(mutableNode(u).operand);
    if (auto* t = dynamic_cast<const RWXPTypeNode*>(node)) return mark(mutableNode(t).operand);
    if (auto* i = dynamic_cast<const RWXPIfThenElseNode*>(node)) {
        mark(mutableNode(i).condition);
        mark(mutableNode(i).thenExpr);
        return mark(mutableNode(i).elseExpr);
    }
    if (auto* f = dynamic_cast<const RWXPFunctionCallNode*>(node)) return markAll(f->arguments);
    if (auto* q = dynamic_cast<const RWXPQuantifiedExprNode*>(node)) {
        mark(mutableNode(q).inExpr);
        return mark(mutableNode(q).satisfiesExpr);
    }
    if (auto* r = dynamic_cast<const RWXPForExprNode*>(node)) {
        mark(mutableNode(r).inExpr);
        return mark(mutableNode(r).returnExpr);
    }
    if (auto* a = dynamic_cast<const RWXPAxisNode*>(node)) return markAll(a->predicates);
    if (auto* w = dynamic_cast<const RWXPPathWithFunctionNode*>(node))
        return markAll(w->functionArgs);
    if (auto* f = dynamic_cast<const RWXPFilteredPathNode*>(node)) {
        mark(mutableNode(f).previousFilter);
        mark(mutableNode(f).predicate);
        mark(mutableNode(f).nextStep);
        if (f->functionArgs) markAll(*f->functionArgs);
    }
}

}  // namespace

RWXPNodePtr markDocumentValues(RWXPNodePtr tree) {
    mark(tree);
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
