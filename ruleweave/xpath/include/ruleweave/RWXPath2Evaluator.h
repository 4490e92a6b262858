#pragma once

#include <libxml/xpath.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Error.h"
#include "ruleweave/RWExport.h"
#include "ruleweave/RWXPExprNode.h"
#include "ruleweave/RWXPToken.h"
#include "ruleweave/RWXPValue.h"

namespace RULEWEAVE_EXPORT ruleweave {

// A function defined by the schema (an XSLT function): parameters bound by position, local
// variables evaluated in order, then the body.
struct RWXPCustomFunction {
    struct LocalVariable {
        std::string name;
        std::string select;
    };
    std::vector<std::string> parameters;
    std::string bodyExpression;
    std::vector<LocalVariable> variables;
    // Parsed on the first call, once per evaluator.
    bool parsed = false;
    RWXPNodePtr bodyTree;
    std::vector<RWXPNodePtr> variableTrees;
};

// The context of every evaluation: namespaces, variables, functions, the focus and tracing.
// One thread at a time; parsed trees are cached per expression text.
class RWXPath2Evaluator {
  public:
    using NamespaceMap = std::map<std::string, std::string>;
    inline static const char* kErrorDomain = "XPath2Evaluator";

    explicit RWXPath2Evaluator(NamespaceMap namespaces = {});
    ~RWXPath2Evaluator();
    RWXPath2Evaluator(const RWXPath2Evaluator&) = delete;
    RWXPath2Evaluator& operator=(const RWXPath2Evaluator&) = delete;

    const NamespaceMap& namespaces() const { return namespaces_; }
    // Forgets variables, focus and the per-document state before a run on another document;
    // parsed trees and functions are kept.
    void reset();

    // Parses (once per distinct text) and evaluates with `contextNode` as the context item.
    // Never fails: a dynamic error yields the empty sequence and is kept in lastError().
    RWXPValue evaluate(const std::string& expression, xmlNodePtr contextNode,
                       platform::Error* error = nullptr);
    // evaluate() of an expression parsed before (`tree` none: it could not be parsed, for the
    // reason `parseProblem`), without looking its text up.
    RWXPValue evaluateParsed(const RWXPExprNode* tree, const std::string& parseProblem,
                             xmlNodePtr contextNode);
    // Evaluates a parsed tree with the current focus; dynamic errors propagate.
    RWXPValue evaluateTree(const RWXPExprNode& tree);
    const std::string& lastError() const { return lastError_; }

    // The parsed tree of an expression (cached).
    RWXPNodePtr parse(const std::string& expression);
    // What the lenient parser had to work around in an expression (leftover tokens, unknown
    // functions or prefixes, malformed constructs); empty when it parsed cleanly.
    std::vector<std::string> parseDiagnostics(const std::string& expression);
    std::optional<std::string> dumpAST(const std::string& expression,
                                       platform::Error* error = nullptr);
    std::vector<RWXPToken> tokenize(const std::string& expression) const {
        return ruleweave::tokenize(expression);
    }

    // Variables. An unbound name reads as the integer 0.
    void setVariable(const std::string& name, RWXPValue value);
    void removeVariable(const std::string& name);
    RWXPValue getVariable(const std::string& name) const;
    bool hasVariable(const std::string& name) const;
    std::unordered_map<std::string, RWXPValue> getVariables() const { return variables_; }
    void setVariables(std::unordered_map<std::string, RWXPValue> variables) {
        variables_ = std::move(variables);
    }
    void clearVariables() { variables_.clear(); }

    void registerFunction(const std::string& name, std::vector<std::string> parameters,
                          std::string body,
                          std::vector<RWXPCustomFunction::LocalVariable> variables = {});
    bool hasCustomFunction(const std::string& name) const;

    // Resolves the URI of document()/doc() to a parsed document that outlives the evaluator's
    // use of it; none refuses the URI. Without a loader both functions raise a dynamic error.
    using DocumentLoader = std::function<xmlDocPtr(const std::string& uri)>;
    void setDocumentLoader(DocumentLoader loader) { documentLoader_ = std::move(loader); }
    const DocumentLoader& documentLoader() const { return documentLoader_; }
    // Whether `name` with `arity` arguments is a function the engine can call.
    bool isKnownFunction(const std::string& name, size_t arity) const;

    // The focus: context item, position and size.
    xmlNodePtr getContextNode() const {
        return contextItem_ && contextItem_->isNode() ? contextItem_->node : nullptr;
    }
    void setContextNode(xmlNodePtr node);
    const RWXPItem* contextItem() const { return contextItem_; }
    long contextPosition() const { return contextPosition_; }
    long contextSize() const { return contextSize_; }
    template <class F>
    RWXPValue withContextNode(xmlNodePtr node, F&& block) {
        RWXPItem item = RWXPItem::makeNode(node);
        return withFocus(item, 1, 1, std::forward<F>(block));
    }
    // Runs `block` with `item` as the focus; the item must outlive the call (it is not copied).
    template <class F>
    RWXPValue withFocus(const RWXPItem& item, long position, long size, F&& block) {
        countStep();
        const RWXPItem* savedItem = contextItem_;
        long savedPosition = contextPosition_, savedSize = contextSize_;
        contextItem_ = &item;
        contextPosition_ = position;
        contextSize_ = size;
        struct Restore {
            RWXPath2Evaluator* e;
            const RWXPItem* item;
            long p, s;
            ~Restore() {
                e->contextItem_ = item;
                e->contextPosition_ = p;
                e->contextSize_ = s;
            }
        } restore{this, savedItem, savedPosition, savedSize};
        return block();
    }

    // The value of a document-only subexpression, computed once per document.
    RWXPValue documentValue(const RWXPDocumentValueNode& node);

    // Location paths run by libxml2 relative to the context node.
    RWXPValue evaluatePath(const RWXPPathNode& path);
    RWXPValue evaluatePath(const std::string& path);
    RWXPValue evaluateAbsolutePath(const std::string& path);
    // Prefixed names of declared prefixes become local-name() tests.
    std::string rewriteNamespacePrefixes(const std::string& path) const;
    RWXPValue filterNodes(const RWXPValue& list, const RWXPExprNode& predicate);
    std::vector<RWXPValue> evaluateArguments(const std::vector<RWXPNodePtr>& arguments);
    RWXPValue evaluateFunction(const std::string& name, std::vector<RWXPValue>& arguments);
    // A call whose library function the parser resolved.
    RWXPValue evaluateFunctionCall(const RWXPFunctionCallNode& call,
                                   std::vector<RWXPValue>& arguments);
    // The library function of that name and arity (an opaque handle), none when there is none.
    const void* builtinFunction(const std::string& name, size_t arity) const;

    // Conversions and operators on whole values.
    static RWXPValue normalizeToArray(RWXPValue value) { return value; }
    static void flattenIntoArray(RWXPValue& target, const RWXPValue& value) {
        target.insert(target.end(), value.begin(), value.end());
    }
    static bool toBoolean(const RWXPValue& value) { return xdm::effectiveBooleanValue(value); }
    static double toDouble(const RWXPValue& value) { return xdm::numberOf(value); }
    static std::string toString(const RWXPValue& value) { return xdm::stringOf(value); }
    static bool isEqual(const RWXPValue& left, const RWXPValue& right);
    RWXPValue evaluateBinaryOp(int op, const RWXPValue& left, const RWXPValue& right);

    // At most `steps` focus changes, loop iterations and operand items per evaluate() (0, the
    // default: no limit); past it the evaluation fails. For expressions not trusted to finish:
    // nested paths such as //*/(//*/(//*)) cost the product of their lengths.
    void setStepLimit(std::uint64_t steps) { stepLimit_ = steps; }
    void countStep() { countSteps(1); }
    // Work proportional to `steps` items (operands of a union, a range being built).
    void countSteps(std::uint64_t steps) {
        if (!stepLimit_) return;
        steps_ += steps;
        if (steps_ > stepLimit_ || steps_ < steps)
            throw RWXPDynamicError("the expression takes more than " + std::to_string(stepLimit_) +
                                   " steps");
    }

    // Tracing.
    bool traceEnabled() const { return traceEnabled_; }
    void setTraceEnabled(bool enabled) { traceEnabled_ = enabled; }
    std::vector<std::string> getTrace() const { return trace_; }
    void clearTrace() {
        trace_.clear();
        traceDepth_ = 0;
    }
    void addTrace(const std::string& message);
    void traceEnter(const std::string& label);
    void traceExit(const std::string& label, const RWXPValue& result);
    static std::string renderForTrace(const RWXPValue& value);

    // The namespace URI of a prefix in the map, none when undeclared. "xml" is always known.
    std::optional<std::string> namespaceForPrefix(const std::string& prefix) const;

  private:
    xmlXPathContextPtr xpathContextFor(xmlNodePtr node);
    RWXPValue walkDirect(const std::vector<RWXPPathNode::DirectStep>& steps, xmlNodePtr node);

    NamespaceMap namespaces_;
    std::unordered_map<std::string, RWXPValue> variables_;
    std::unordered_map<std::string, std::shared_ptr<RWXPCustomFunction>> customFunctions_;
    struct CacheEntry {
        RWXPNodePtr tree;
        std::vector<std::string> diagnostics;
    };
    std::unordered_map<std::string, CacheEntry> cache_;
    const RWXPItem* contextItem_ = nullptr;
    RWXPItem ownContextItem_;  // the item set by setContextNode
    long contextPosition_ = 1;
    long contextSize_ = 1;
    // One libxml2 context per document: rules read code lists from a second document, and
    // switching would rebuild the context and its order index on every step.
    std::vector<std::pair<xmlDocPtr, xmlXPathContextPtr>> xpathContexts_;
    DocumentLoader documentLoader_;
    std::vector<std::string> trace_;
    int traceDepth_ = 0;
    bool traceEnabled_ = false;
    std::uint64_t stepLimit_ = 0;
    std::uint64_t steps_ = 0;
    std::string lastError_;
    int customCallDepth_ = 0;
    xmlDocPtr documentValuesDoc_ = nullptr;
    std::unordered_map<const RWXPExprNode*, RWXPValue> documentValues_;

    struct RegexCache;
    std::shared_ptr<RegexCache> regexCache_;
    friend struct RWXPFunctionLibrary;
    const CacheEntry& parseEntry(const std::string& expression);
};

}  // namespace ruleweave
