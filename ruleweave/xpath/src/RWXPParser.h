#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ruleweave/RWXPExprNode.h"
#include "ruleweave/RWXPToken.h"

namespace ruleweave {

class RWXPath2Evaluator;

// Recursive-descent parser for XPath 2.0. Each parse owns its tokens, so nested evaluations
// never disturb an outer parse. Lenient: malformed constructs become the empty sequence and are
// recorded in `diagnostics`. Location paths that XPath 1.0 evaluates with the same meaning are
// kept as text for libxml2; everything else becomes engine nodes.
class RWXPParser {
  public:
    RWXPParser(const RWXPath2Evaluator& evaluator, std::vector<RWXPToken> tokens);

    // Nesting deeper than this (parentheses, predicates, arguments, signs) is refused: every
    // level costs stack in the parser and again in the evaluator.
    static constexpr int kMaxNesting = 256;
    // Operator chains (a + b + c ..., steps, filters, bindings) build trees as deep as they are
    // long; beyond this many an expression is refused too. Real rules use a few hundred at most.
    static constexpr int kMaxOperators = 4096;

    // The whole expression; leftover tokens are reported. None when nested too deeply.
    RWXPNodePtr parseTopLevel();
    std::vector<std::string> diagnostics;

    RWXPNodePtr parseExpr();
    RWXPNodePtr parseExprSingle();
    RWXPNodePtr parseOrNode();
    RWXPNodePtr parseAndNode();
    RWXPNodePtr parseComparisonNode();
    RWXPNodePtr parseRangeNode();
    RWXPNodePtr parseAdditiveNode();
    RWXPNodePtr parseMultiplicativeNode();
    RWXPNodePtr parseUnionNode();
    RWXPNodePtr parseIntersectNode();
    RWXPNodePtr parseTypeNode();
    RWXPNodePtr parseUnaryNode();
    RWXPNodePtr parsePathNode();
    RWXPNodePtr parsePrimaryNode();
    RWXPNodePtr parseFunction(const std::string& name);

    const RWXPToken& peek(size_t ahead = 0) const;
    RWXPToken consume();
    bool match(int type);

  private:
    struct Step {
        RWXPNodePtr engine;                     // set when the engine evaluates the step
        std::optional<std::string> text;        // set when libxml2 can
        std::vector<std::string> alternatives;  // a union of plain paths, "(a | b)" as a step
    };
    std::optional<Step> parseStep();
    Step axisStep(const std::string& axis, RWXPNodePtr nodeTestHolder);
    bool parseNodeTest(const std::string& axis, RWXPAxisNode& node);
    std::vector<RWXPNodePtr> parsePredicates();
    RWXPNodePtr malformed(const std::string& what);
    bool isNameToken(const RWXPToken& token) const;
    bool atIdent(const char* word, size_t ahead = 0) const;
    std::optional<std::string> parseQName();
    RWXPNodePtr binary(RWXPNodePtr left, int op, RWXPNodePtr right);
    RWXPNodePtr makePath(const std::string& text) const;
    RWXPNodePtr slash(RWXPNodePtr left, RWXPNodePtr right);
    // Counts one level of recursion; false (and the rest of the input dropped) past the limit.
    bool enter();
    // Counts one operator of a chain; false (and the rest of the input dropped) past the limit.
    bool chain();

    struct Level {
        RWXPParser& parser;
        ~Level() { --parser.depth_; }
    };

    const RWXPath2Evaluator& evaluator_;
    std::vector<RWXPToken> tokens_;
    size_t index_ = 0;
    int depth_ = 0;
    int operators_ = 0;
    bool tooDeep_ = false;
};

// XPath 1.0 text of a subtree when libxml2 evaluates it with the same meaning.
enum class XPath1Kind { NodeSet, String, Number, Boolean };
std::optional<std::pair<std::string, XPath1Kind>> xpath1Text(const RWXPExprNode* node);

RWXPNodePtr emptySequenceLiteral();

// Wraps the largest subexpressions of a freshly parsed tree whose value depends on the document
// only in RWXPDocumentValueNode, so each is evaluated once per document. Runs before the tree
// is shared.
RWXPNodePtr markDocumentValues(RWXPNodePtr tree);

}  // namespace ruleweave
