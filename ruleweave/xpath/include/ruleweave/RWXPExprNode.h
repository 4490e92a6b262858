#pragma once

#include <libxml/xpath.h>

#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ruleweave/RWExport.h"
#include "ruleweave/RWXPValue.h"

namespace RULEWEAVE_EXPORT ruleweave {

class RWXPath2Evaluator;
class RWXPExprNode;
using RWXPNodePtr = std::shared_ptr<const RWXPExprNode>;

// A node of a parsed expression. Trees are immutable after parsing and may be evaluated many
// times, against any context.
class RWXPExprNode {
  public:
    virtual ~RWXPExprNode() = default;
    virtual RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const;
    std::string indentStringForLevel(int level) const {
        std::string text;
        appendIndent(text, level);
        return text;
    }
    static void appendIndent(std::string& out, int level) { out.append(size_t(level) * 2, ' '); }
    std::string descriptionWithIndent(int level) const {
        std::string text;
        describe(text, level);
        return text;
    }
    std::string description() const { return descriptionWithIndent(0); }
    // Appends this node's description; children append to the same text, so a deep tree costs
    // the size of its description, not that times its depth.
    virtual void describe(std::string& out, int level) const;
};

class RWXPLiteralNode : public RWXPExprNode {
  public:
    explicit RWXPLiteralNode(RWXPValue value) : value(std::move(value)) {}
    RWXPValue value;
    RWXPValue evaluateWithContext(RWXPath2Evaluator&) const override { return value; }
    void describe(std::string& out, int level) const override;
};

class RWXPSequenceNode : public RWXPExprNode {
  public:
    std::vector<RWXPNodePtr> items;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

class RWXPVariableNode : public RWXPExprNode {
  public:
    explicit RWXPVariableNode(std::string name) : name(std::move(name)) {}
    std::string name;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

class RWXPBinaryOpNode : public RWXPExprNode {
  public:
    RWXPNodePtr left, right;
    int op = 0;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

class RWXPUnaryOpNode : public RWXPExprNode {
  public:
    RWXPNodePtr operand;
    int op = 0;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

class RWXPFunctionCallNode : public RWXPExprNode {
  public:
    std::string name;  // as written, prefix included
    std::vector<RWXPNodePtr> arguments;
    // The library function, resolved when parsed (none: the schema's own or unknown), so a call
    // does not look its name up again.
    const void* builtin = nullptr;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

// A location path that XPath 1.0 evaluates with the same meaning; libxml2 runs it, except
// chains of plain child steps (with an optional last attribute step), which are walked directly.
class RWXPPathNode : public RWXPExprNode {
  public:
    explicit RWXPPathNode(std::string path);
    ~RWXPPathNode() override;
    RWXPPathNode(const RWXPPathNode&) = delete;
    RWXPPathNode& operator=(const RWXPPathNode&) = delete;
    std::string path;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
    // Compiled when constructed, so a tree can be shared by threads.
    xmlXPathCompExprPtr compiled() const { return compiled_; }

    // One step of a directly walked path: the name test as libxml2 applies it.
    struct DirectStep {
        bool attribute = false;
        bool anyName = false;  // "*"
        bool hasNamespace = false;
        std::string localName;
        std::string namespaceURI;
    };
    // Plans the direct walk when the text is such a chain; `namespaceFor` resolves prefixes
    // (none: undeclared, and libxml2 keeps the path).
    template <class Resolve>
    void planDirect(Resolve&& namespaceFor);
    const std::vector<DirectStep>& directSteps() const { return direct_; }

  private:
    xmlXPathCompExprPtr compiled_ = nullptr;
    std::vector<DirectStep> direct_;
};

template <class Resolve>
void RWXPPathNode::planDirect(Resolve&& namespaceFor) {
    std::vector<DirectStep> steps;
    size_t i = 0;
    auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    while (i <= path.size()) {
        DirectStep step;
        if (i < path.size() && path[i] == '@') {
            step.attribute = true;
            ++i;
        }
        size_t start = i;
        while (i < path.size() && (isNameChar(path[i]) || path[i] == ':' || path[i] == '*')) ++i;
        std::string name = path.substr(start, i - start);
        if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name == "*"))
            return;
        size_t colon = name.find(':');
        if (name == "*") {
            if (step.attribute) return;
            step.anyName = true;
        } else if (name.find('*') != std::string::npos) {
            return;
        } else if (colon != std::string::npos) {
            if (step.attribute || name.find(':', colon + 1) != std::string::npos) return;
            auto uri = namespaceFor(name.substr(0, colon));
            if (!uri) return;
            step.hasNamespace = true;
            step.namespaceURI = *uri;
            step.localName = name.substr(colon + 1);
            if (step.localName.empty() ||
                !std::isalpha(static_cast<unsigned char>(step.localName[0])))
                return;
        } else {
            step.localName = name;
        }
        steps.push_back(std::move(step));
        if (i == path.size()) break;
        if (path[i] != '/' || steps.back().attribute) return;
        ++i;
        if (i < path.size() && path[i] == '/') return;
    }
    direct_ = std::move(steps);
}

class RWXPIfThenElseNode : public RWXPExprNode {
  public:
    RWXPNodePtr condition, thenExpr, elseExpr;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

// A filter: the base sequence (a path or a previous expression) filtered by one predicate.
class RWXPFilteredPathNode : public RWXPExprNode {
  public:
    std::string basePath;
    RWXPNodePtr predicate;
    RWXPNodePtr previousFilter;
    std::optional<std::string> childPath;
    std::optional<std::string> functionName;
    std::optional<std::vector<RWXPNodePtr>> functionArgs;
    RWXPNodePtr nextStep;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

// some/every with one binding; several bindings nest.
class RWXPQuantifiedExprNode : public RWXPExprNode {
  public:
    int quantifier = 0;  // 31 every, 32 some
    std::string variableName;
    RWXPNodePtr inExpr, satisfiesExpr;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

class RWXPForExprNode : public RWXPExprNode {
  public:
    std::string variableName;
    RWXPNodePtr inExpr, returnExpr;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

// A path step applied to every node of a base: "E1/E2" is a node with no function name and the
// arguments (E1, E2); "path/f(...)" carries the path text and the function.
class RWXPPathWithFunctionNode : public RWXPExprNode {
  public:
    std::string basePath;
    std::optional<std::string> functionName;
    std::vector<RWXPNodePtr> functionArgs;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

// An axis step evaluated by the engine (when its predicates need XPath 2.0).
class RWXPAxisNode : public RWXPExprNode {
  public:
    enum class Test {
        Name,
        AnyKind,
        Text,
        Comment,
        ProcessingInstruction,
        Element,
        Attribute,
        DocumentNode
    };
    enum class Axis {
        Child,
        Descendant,
        Attribute,
        Self,
        DescendantOrSelf,
        FollowingSibling,
        Following,
        Namespace,
        Parent,
        Ancestor,
        PrecedingSibling,
        Preceding,
        AncestorOrSelf
    };
    std::string axis;             // child, descendant, attribute, self, parent, ancestor, ...
    Axis axisKind = Axis::Child;  // `axis` as set by setAxis, so evaluation compares no text
    void setAxis(const std::string& name);
    std::string
        elementName;  // name test as written: "cac:X", "*", "cac:*", "*:X", or "" for kind tests
    Test test = Test::Name;
    std::string namespaceURI;  // resolved from the prefix; empty for no namespace
    bool anyNamespace = false;
    bool anyLocalName = false;
    std::string localName;
    std::vector<RWXPNodePtr> predicates;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
    bool matches(xmlNodePtr node) const;
};

// instance of / cast as / castable as / treat as.
class RWXPTypeNode : public RWXPExprNode {
  public:
    enum class Kind { InstanceOf, CastAs, CastableAs, TreatAs };
    Kind kind = Kind::CastAs;
    RWXPNodePtr operand;
    std::string typeName;  // "xs:decimal", "item()", "node()", ...
    char occurrence = 0;   // 0, '?', '*', '+'
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override;
};

// A subexpression whose value depends on the document only (absolute paths, no focus, no free
// variables): the evaluator computes it once per document, however many nodes a rule visits.
class RWXPDocumentValueNode : public RWXPExprNode {
  public:
    explicit RWXPDocumentValueNode(RWXPNodePtr inner) : inner(std::move(inner)) {}
    RWXPNodePtr inner;
    RWXPValue evaluateWithContext(RWXPath2Evaluator& evaluator) const override;
    void describe(std::string& out, int level) const override { inner->describe(out, level); }
};

}  // namespace ruleweave
