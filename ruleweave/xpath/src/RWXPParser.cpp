#include "RWXPParser.h"

#include <functional>
#include <set>

#include "ruleweave/RWXPath2Evaluator.h"

namespace ruleweave {
namespace {

const std::set<std::string> kKindTests = {
    "node",      "text",          "comment",        "processing-instruction", "element",
    "attribute", "document-node", "schema-element", "schema-attribute"};
const std::set<std::string> kAxes = {"child",
                                     "descendant",
                                     "attribute",
                                     "self",
                                     "descendant-or-self",
                                     "following-sibling",
                                     "following",
                                     "namespace",
                                     "parent",
                                     "ancestor",
                                     "preceding-sibling",
                                     "preceding",
                                     "ancestor-or-self"};

RWXPValue literalNumber(const std::string& text) {
    if (text.find_first_of("eE") != std::string::npos) {
        return xdm::single(RWXPItem::makeDouble(std::strtod(text.c_str(), nullptr)));
    }
    auto d = Decimal::parse(text).value_or(Decimal());
    if (text.find('.') != std::string::npos) return xdm::single(RWXPItem::makeDecimal(d));
    return xdm::single(RWXPItem::makeInteger(d));
}

std::string quoteXPath1(const std::string& s, bool& ok) {
    if (s.find('\'') == std::string::npos) return "'" + s + "'";
    if (s.find('"') == std::string::npos) return "\"" + s + "\"";
    ok = false;
    return {};
}

}  // namespace

RWXPNodePtr emptySequenceLiteral() { return std::make_shared<RWXPLiteralNode>(RWXPValue()); }

RWXPNodePtr RWXPParser::makePath(const std::string& text) const {
    auto path = std::make_shared<RWXPPathNode>(text);
    path->planDirect(
        [this](const std::string& prefix) { return evaluator_.namespaceForPrefix(prefix); });
    return path;
}

RWXPParser::RWXPParser(const RWXPath2Evaluator& evaluator, std::vector<RWXPToken> tokens)
    : evaluator_(evaluator), tokens_(std::move(tokens)) {
    if (tokens_.empty() || tokens_.back().type != RWXPTokenEOF)
        tokens_.push_back(RWXPToken{RWXPTokenEOF, std::nullopt});
}

const RWXPToken& RWXPParser::peek(size_t ahead) const {
    size_t i = index_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

RWXPToken RWXPParser::consume() {
    RWXPToken t = peek();
    if (index_ < tokens_.size()) ++index_;
    return t;
}

bool RWXPParser::match(int type) {
    if (peek().type != type) return false;
    consume();
    return true;
}

bool RWXPParser::isNameToken(const RWXPToken& t) const {
    return t.type == RWXPTokenIdent || (t.type >= RWXPTokenOr && t.type <= RWXPTokenSatisfies);
}

bool RWXPParser::atIdent(const char* word, size_t ahead) const {
    const RWXPToken& t = peek(ahead);
    return isNameToken(t) && t.value == word;
}

RWXPNodePtr RWXPParser::malformed(const std::string& what) {
    diagnostics.push_back(what + " at token " + std::to_string(index_) + " (" +
                          peek().description() + ")");
    return emptySequenceLiteral();
}

bool RWXPParser::enter() {
    ++depth_;
    if (depth_ <= kMaxNesting) return true;
    if (!tooDeep_)
        diagnostics.push_back("expression nested deeper than " + std::to_string(kMaxNesting) +
                              " levels at token " + std::to_string(index_));
    tooDeep_ = true;
    index_ = tokens_.size() - 1;  // the EOF token: every caller unwinds at once
    return false;
}

bool RWXPParser::chain() {
    if (++operators_ <= kMaxOperators) return true;
    if (!tooDeep_)
        diagnostics.push_back("expression has more than " + std::to_string(kMaxOperators) +
                              " operators at token " + std::to_string(index_));
    tooDeep_ = true;
    index_ = tokens_.size() - 1;
    return false;
}

RWXPNodePtr RWXPParser::binary(RWXPNodePtr left, int op, RWXPNodePtr right) {
    chain();
    auto node = std::make_shared<RWXPBinaryOpNode>();
    node->left = std::move(left);
    node->right = std::move(right);
    node->op = op;
    return node;
}

RWXPNodePtr RWXPParser::slash(RWXPNodePtr left, RWXPNodePtr right) {
    chain();
    auto node = std::make_shared<RWXPPathWithFunctionNode>();
    node->functionArgs = {std::move(left), std::move(right)};
    return node;
}

RWXPNodePtr RWXPParser::parseTopLevel() {
    if (peek().type == RWXPTokenEOF) return malformed("empty expression");
    RWXPNodePtr node = parseExpr();
    if (tooDeep_) return nullptr;
    if (peek().type != RWXPTokenEOF) {
        std::string rest;
        for (size_t i = index_; i < tokens_.size() && tokens_[i].type != RWXPTokenEOF; ++i)
            rest += (rest.empty() ? "" : " ") + tokens_[i].value.value_or("");
        diagnostics.push_back("leftover tokens: " + rest);
    }
    return node ? node : malformed("no expression");
}

RWXPNodePtr RWXPParser::parseExpr() {
    RWXPNodePtr first = parseExprSingle();
    if (peek().type != RWXPTokenComma) return first;
    auto sequence = std::make_shared<RWXPSequenceNode>();
    sequence->items.push_back(first ? first : malformed("missing item"));
    while (match(RWXPTokenComma)) {
        RWXPNodePtr item = parseExprSingle();
        sequence->items.push_back(item ? item : malformed("missing item after ','"));
    }
    return sequence;
}

RWXPNodePtr RWXPParser::parseExprSingle() {
    Level level{*this};
    if (!enter()) return emptySequenceLiteral();
    const RWXPToken& t = peek();
    bool binding = peek(1).type == RWXPTokenDollar;
    if ((t.type == RWXPTokenSome || t.type == RWXPTokenEvery || t.type == RWXPTokenFor) &&
        binding) {
        int keyword = consume().type;
        struct Binding {
            std::string name;
            RWXPNodePtr domain;
        };
        std::vector<Binding> bindings;
        do {
            if (!match(RWXPTokenDollar)) return malformed("expected '$'");
            auto name = parseQName();
            if (!name) return malformed("expected a variable name");
            if (!match(RWXPTokenIn)) return malformed("expected 'in'");
            RWXPNodePtr domain = parseExprSingle();
            if (!domain) return malformed("expected a binding sequence");
            bindings.push_back({*name, domain});
        } while (match(RWXPTokenComma));
        int closer = keyword == RWXPTokenFor ? RWXPTokenReturn : RWXPTokenSatisfies;
        if (!match(closer))
            return malformed(keyword == RWXPTokenFor ? "expected 'return'"
                                                     : "expected 'satisfies'");
        RWXPNodePtr body = parseExprSingle();
        if (!body) return malformed("missing body");
        // Several bindings nest, innermost last.
        for (auto it = bindings.rbegin(); it != bindings.rend(); ++it) {
            chain();
            if (keyword == RWXPTokenFor) {
                auto node = std::make_shared<RWXPForExprNode>();
                node->variableName = it->name;
                node->inExpr = it->domain;
                node->returnExpr = body;
                body = node;
            } else {
                auto node = std::make_shared<RWXPQuantifiedExprNode>();
                node->quantifier = keyword;
                node->variableName = it->name;
                node->inExpr = it->domain;
                node->satisfiesExpr = body;
                body = node;
            }
        }
        return body;
    }
    if (t.type == RWXPTokenIf && peek(1).type == RWXPTokenLParen) {
        consume();
        consume();
        auto node = std::make_shared<RWXPIfThenElseNode>();
        node->condition = parseExpr();
        if (!match(RWXPTokenRParen)) return malformed("expected ')' after the condition");
        if (!match(RWXPTokenThen)) return malformed("expected 'then'");
        node->thenExpr = parseExprSingle();
        if (!match(RWXPTokenElse)) return malformed("expected 'else'");
        node->elseExpr = parseExprSingle();
        if (!node->condition || !node->thenExpr || !node->elseExpr)
            return malformed("incomplete conditional");
        return node;
    }
    return parseOrNode();
}

RWXPNodePtr RWXPParser::parseOrNode() {
    RWXPNodePtr left = parseAndNode();
    while (peek().type == RWXPTokenOr) {
        consume();
        RWXPNodePtr right = parseAndNode();
        if (!right) right = malformed("missing operand of 'or'");
        left = binary(left, RWXPTokenOr, right);
    }
    return left;
}

RWXPNodePtr RWXPParser::parseAndNode() {
    RWXPNodePtr left = parseComparisonNode();
    while (peek().type == RWXPTokenAnd) {
        consume();
        RWXPNodePtr right = parseComparisonNode();
        if (!right) right = malformed("missing operand of 'and'");
        left = binary(left, RWXPTokenAnd, right);
    }
    return left;
}

RWXPNodePtr RWXPParser::parseComparisonNode() {
    RWXPNodePtr left = parseRangeNode();
    if (!left) return left;
    int op = -1;
    switch (peek().type) {
        case RWXPTokenLessEqual:
        case RWXPTokenGreaterEqual:
        case RWXPTokenNotEqual:
        case RWXPTokenLess:
        case RWXPTokenGreater:
        case RWXPTokenEqual:
        case RWXPTokenPrecedes:
        case RWXPTokenFollows:
            op = peek().type;
            break;
        default: {
            static const std::pair<const char*, int> kValueComparisons[] = {
                {"eq", RWXPOpValueEq}, {"ne", RWXPOpValueNe}, {"lt", RWXPOpValueLt},
                {"le", RWXPOpValueLe}, {"gt", RWXPOpValueGt}, {"ge", RWXPOpValueGe},
                {"is", RWXPOpIs}};
            for (const auto& [word, code] : kValueComparisons)
                if (peek().type == RWXPTokenIdent && peek().value == word) op = code;
        }
    }
    if (op < 0) return left;
    consume();
    RWXPNodePtr right = parseRangeNode();
    if (!right) right = malformed("missing right operand of a comparison");
    return binary(left, op, right);
}

RWXPNodePtr RWXPParser::parseRangeNode() {
    RWXPNodePtr left = parseAdditiveNode();
    if (left && peek().type == RWXPTokenIdent && peek().value == "to") {
        consume();
        RWXPNodePtr right = parseAdditiveNode();
        if (!right) right = malformed("missing end of range");
        return binary(left, RWXPOpTo, right);
    }
    return left;
}

RWXPNodePtr RWXPParser::parseAdditiveNode() {
    RWXPNodePtr left = parseMultiplicativeNode();
    while (left && (peek().type == RWXPTokenPlus || peek().type == RWXPTokenMinus)) {
        int op = consume().type;
        RWXPNodePtr right = parseMultiplicativeNode();
        if (!right) right = malformed("missing operand of '" + tokenTypeToString(op) + "'");
        left = binary(left, op, right);
    }
    return left;
}

RWXPNodePtr RWXPParser::parseMultiplicativeNode() {
    RWXPNodePtr left = parseUnionNode();
    while (left) {
        int op = -1;
        if (peek().type == RWXPTokenStar)
            op = RWXPTokenStar;
        else if (peek().type == RWXPTokenDiv)
            op = RWXPTokenDiv;
        else if (peek().type == RWXPTokenIdent && peek().value == "idiv")
            op = RWXPOpIdiv;
        else if (peek().type == RWXPTokenIdent && peek().value == "mod")
            op = RWXPOpMod;
        if (op < 0) break;
        consume();
        RWXPNodePtr right = parseUnionNode();
        if (!right) right = malformed("missing operand of '" + tokenTypeToString(op) + "'");
        left = binary(left, op, right);
    }
    return left;
}

RWXPNodePtr RWXPParser::parseUnionNode() {
    RWXPNodePtr left = parseIntersectNode();
    while (left && (peek().type == RWXPTokenPipe ||
                    (peek().type == RWXPTokenIdent && peek().value == "union"))) {
        consume();
        RWXPNodePtr right = parseIntersectNode();
        if (!right) right = malformed("missing operand of '|'");
        left = binary(left, RWXPTokenPipe, right);
    }
    return left;
}

RWXPNodePtr RWXPParser::parseIntersectNode() {
    RWXPNodePtr left = parseTypeNode();
    while (left && peek().type == RWXPTokenIdent &&
           (peek().value == "intersect" || peek().value == "except")) {
        int op = consume().value == "intersect" ? RWXPOpIntersect : RWXPOpExcept;
        RWXPNodePtr right = parseTypeNode();
        if (!right) right = malformed("missing operand of intersect/except");
        left = binary(left, op, right);
    }
    return left;
}

RWXPNodePtr RWXPParser::parseTypeNode() {
    RWXPNodePtr operand = parseUnaryNode();
    if (!operand) return operand;
    for (;;) {
        RWXPTypeNode::Kind kind;
        if (atIdent("cast") && atIdent("as", 1))
            kind = RWXPTypeNode::Kind::CastAs;
        else if (atIdent("castable") && atIdent("as", 1))
            kind = RWXPTypeNode::Kind::CastableAs;
        else if (atIdent("instance") && atIdent("of", 1))
            kind = RWXPTypeNode::Kind::InstanceOf;
        else if (atIdent("treat") && atIdent("as", 1))
            kind = RWXPTypeNode::Kind::TreatAs;
        else
            return operand;
        consume();
        consume();
        auto node = std::make_shared<RWXPTypeNode>();
        node->kind = kind;
        node->operand = operand;
        auto name = parseQName();
        if (!name) return malformed("expected a type name");
        node->typeName = *name;
        if (peek().type == RWXPTokenLParen) {  // item(), node(), element() ...
            consume();
            int depth = 1;
            while (depth > 0 && peek().type != RWXPTokenEOF) {
                int type = consume().type;
                if (type == RWXPTokenLParen) ++depth;
                if (type == RWXPTokenRParen) --depth;
            }
            node->typeName += "()";
        }
        // '*' and '+' are occurrence indicators only where a sequence type stands.
        bool sequenceType =
            kind == RWXPTypeNode::Kind::InstanceOf || kind == RWXPTypeNode::Kind::TreatAs;
        if (peek().type == RWXPTokenQuestion ||
            (sequenceType && (peek().type == RWXPTokenStar || peek().type == RWXPTokenPlus)))
            node->occurrence = consume().value->front();
        operand = node;
    }
}

RWXPNodePtr RWXPParser::parseUnaryNode() {
    Level level{*this};
    if (!enter()) return emptySequenceLiteral();
    if (peek().type == RWXPTokenMinus || peek().type == RWXPTokenPlus) {
        int op = consume().type;
        RWXPNodePtr operand = parseUnaryNode();
        if (!operand) return malformed("missing operand of a sign");
        auto node = std::make_shared<RWXPUnaryOpNode>();
        node->op = op;
        node->operand = operand;
        return node;
    }
    return parsePathNode();
}

std::optional<std::string> RWXPParser::parseQName() {
    if (!isNameToken(peek())) return std::nullopt;
    std::string name = *consume().value;
    if (peek().type == RWXPTokenColon && isNameToken(peek(1))) {
        consume();
        name += ":" + *consume().value;
    }
    return name;
}

namespace {

bool canStartStep(const RWXPToken& t) {
    switch (t.type) {
        case RWXPTokenIdent:
        case RWXPTokenAt:
        case RWXPTokenStar:
        case RWXPTokenDot:
        case RWXPTokenDotDot:
        case RWXPTokenLParen:
        case RWXPTokenDollar:
        case RWXPTokenString:
        case RWXPTokenNumber:
            return true;
        default:
            return t.type >= RWXPTokenOr && t.type <= RWXPTokenSatisfies;
    }
}

}  // namespace

RWXPNodePtr RWXPParser::parsePathNode() {
    std::string text;
    bool haveText = false;
    RWXPNodePtr node;
    auto flush = [&]() {
        if (!haveText) return;
        auto path = makePath(text);
        node = node ? slash(node, path) : path;
        haveText = false;
        text.clear();
    };
    auto append = [&](Step step, const std::string& sep) {
        if (!step.alternatives.empty() && !node) {
            // prefix/(a | b) is (prefix/a | prefix/b) in XPath 1.0.
            std::string joined;
            for (const auto& alternative : step.alternatives) {
                std::string branch;
                if (!haveText)
                    branch = alternative;
                else if ((text == "/" || text == "//") && sep.empty())
                    branch = text + alternative;
                else
                    branch = text + sep + alternative;
                joined += (joined.empty() ? "" : " | ") + branch;
            }
            text = "(" + joined + ")";
            haveText = true;
            return;
        }
        if (step.text) {
            if (haveText) {
                text +=
                    (text == "/" || text == "//") && sep.empty() ? *step.text : sep + *step.text;
            } else {
                text = node && sep == "//" ? ".//" + *step.text : *step.text;
                haveText = true;
            }
            return;
        }
        if (haveText) {
            if (text == "//")
                text = "/descendant-or-self::node()";
            else if (sep == "//")
                text += text == "/" ? "descendant-or-self::node()" : "/descendant-or-self::node()";
            flush();
        } else if (node && sep == "//") {
            node = slash(node, std::make_shared<RWXPPathNode>("descendant-or-self::node()"));
        }
        node = node ? slash(node, step.engine) : step.engine;
    };

    if (peek().type == RWXPTokenSlash || peek().type == RWXPTokenDoubleSlash) {
        text = *consume().value;
        haveText = true;
        if (!canStartStep(peek())) {
            if (text == "//") return malformed("'//' needs a step");
            flush();
            return node;
        }
    }
    auto first = parseStep();
    if (!first) {
        if (haveText) return malformed("expected a step after '" + text + "'");
        return nullptr;
    }
    append(std::move(*first), "");
    while (peek().type == RWXPTokenSlash || peek().type == RWXPTokenDoubleSlash) {
        std::string sep = *consume().value;
        auto step = parseStep();
        if (!step) {
            flush();
            malformed("expected a step after '" + sep + "'");
            return node;
        }
        append(std::move(*step), sep);
    }
    flush();
    return node;
}

std::vector<RWXPNodePtr> RWXPParser::parsePredicates() {
    std::vector<RWXPNodePtr> predicates;
    while (peek().type == RWXPTokenLBracket) {
        consume();
        RWXPNodePtr predicate = parseExpr();
        if (!predicate) predicate = malformed("empty predicate");
        if (!match(RWXPTokenRBracket)) malformed("expected ']'");
        predicates.push_back(predicate);
    }
    return predicates;
}

bool RWXPParser::parseNodeTest(const std::string& axis, RWXPAxisNode& node) {
    node.setAxis(axis);
    const RWXPToken& t = peek();
    if (t.type == RWXPTokenStar) {
        consume();
        if (peek().type == RWXPTokenColon && isNameToken(peek(1))) {  // *:local
            consume();
            node.localName = *consume().value;
            node.anyNamespace = true;
            node.elementName = "*:" + node.localName;
        } else {
            node.anyNamespace = node.anyLocalName = true;
            node.elementName = "*";
        }
        return true;
    }
    if (!isNameToken(t)) return false;
    std::string first = *consume().value;
    if (peek().type == RWXPTokenLParen && kKindTests.count(first)) {
        consume();
        // The argument of element(name) / attribute(name) is read but only the kind is tested.
        int depth = 1;
        while (depth > 0 && peek().type != RWXPTokenEOF) {
            int type = consume().type;
            if (type == RWXPTokenLParen) ++depth;
            if (type == RWXPTokenRParen) --depth;
        }
        using Test = RWXPAxisNode::Test;
        node.test = first == "node"                     ? Test::AnyKind
                    : first == "text"                   ? Test::Text
                    : first == "comment"                ? Test::Comment
                    : first == "processing-instruction" ? Test::ProcessingInstruction
                    : first == "document-node"          ? Test::DocumentNode
                    : first == "attribute" || first == "schema-attribute" ? Test::Attribute
                                                                          : Test::Element;
        node.elementName = first + "()";
        return true;
    }
    std::string prefix, local = first;
    if (peek().type == RWXPTokenColon) {
        if (peek(1).type == RWXPTokenStar) {
            consume();
            consume();
            prefix = first;
            node.anyLocalName = true;
            local.clear();
        } else if (isNameToken(peek(1))) {
            consume();
            prefix = first;
            local = *consume().value;
        }
    }
    node.localName = local;
    node.elementName = prefix.empty() ? local : prefix + ":" + (node.anyLocalName ? "*" : local);
    if (!prefix.empty()) {
        auto uri = evaluator_.namespaceForPrefix(prefix);
        if (!uri) diagnostics.push_back("undeclared namespace prefix '" + prefix + "'");
        node.namespaceURI = uri.value_or("\x01undeclared");
    }
    return true;
}

std::optional<RWXPParser::Step> RWXPParser::parseStep() {
    const RWXPToken& t = peek();
    auto axisNode = std::make_shared<RWXPAxisNode>();
    if (t.type == RWXPTokenDotDot) {
        consume();
        axisNode->setAxis("parent");
        axisNode->test = RWXPAxisNode::Test::AnyKind;
        axisNode->elementName = "node()";
    } else if (t.type == RWXPTokenAt) {
        consume();
        if (!parseNodeTest("attribute", *axisNode)) {
            malformed("expected an attribute name after '@'");
            return Step{emptySequenceLiteral(), std::nullopt, {}};
        }
    } else if (isNameToken(t) && peek(1).type == RWXPTokenColon && peek(2).type == RWXPTokenColon) {
        std::string axis = *consume().value;
        consume();
        consume();
        if (!kAxes.count(axis)) {
            malformed("unknown axis '" + axis + "'");
            return Step{emptySequenceLiteral(), std::nullopt, {}};
        }
        if (!parseNodeTest(axis, *axisNode)) {
            malformed("expected a node test after '" + axis + "::'");
            return Step{emptySequenceLiteral(), std::nullopt, {}};
        }
    } else if (t.type == RWXPTokenStar ||
               (isNameToken(t) &&
                !(peek(1).type == RWXPTokenLParen && !kKindTests.count(*t.value)) &&
                !(peek(1).type == RWXPTokenColon && isNameToken(peek(2)) &&
                  peek(3).type == RWXPTokenLParen))) {
        parseNodeTest("child", *axisNode);
        if (axisNode->test == RWXPAxisNode::Test::Attribute) axisNode->setAxis("attribute");
    } else {
        // A filter expression: a primary with optional predicates.
        RWXPNodePtr primary = parsePrimaryNode();
        if (!primary) return std::nullopt;
        auto predicates = parsePredicates();
        auto* path = dynamic_cast<const RWXPPathNode*>(primary.get());
        if (predicates.empty() && path && path->path == ".")
            return Step{nullptr, std::string("."), {}};
        if (predicates.empty()) {
            std::vector<std::string> alternatives;
            std::function<bool(const RWXPExprNode*)> collect = [&](const RWXPExprNode* n) {
                if (auto* p = dynamic_cast<const RWXPPathNode*>(n)) {
                    if (p->path == "." || p->path.rfind("/", 0) == 0) return false;
                    alternatives.push_back(p->path);
                    return true;
                }
                auto* b = dynamic_cast<const RWXPBinaryOpNode*>(n);
                return b && b->op == RWXPTokenPipe && collect(b->left.get()) &&
                       collect(b->right.get());
            };
            if (dynamic_cast<const RWXPBinaryOpNode*>(primary.get()) && collect(primary.get()))
                return Step{primary, std::nullopt, alternatives};
        }
        for (auto& predicate : predicates) {
            chain();
            auto filtered = std::make_shared<RWXPFilteredPathNode>();
            filtered->previousFilter = primary;
            filtered->predicate = predicate;
            primary = filtered;
        }
        return Step{primary, std::nullopt, {}};
    }
    axisNode->predicates = parsePredicates();

    // Text for libxml2 when the node test and every predicate mean the same in XPath 1.0.
    bool textual = !(axisNode->anyNamespace && !axisNode->anyLocalName) &&
                   axisNode->test != RWXPAxisNode::Test::Element &&
                   axisNode->test != RWXPAxisNode::Test::Attribute &&
                   axisNode->test != RWXPAxisNode::Test::DocumentNode &&
                   axisNode->axis != "namespace" && axisNode->namespaceURI != "\x01undeclared";
    std::string text;
    if (textual) {
        if (axisNode->axis == "parent" && axisNode->test == RWXPAxisNode::Test::AnyKind)
            text = "..";
        else if (axisNode->axis == "child")
            text = axisNode->elementName;
        else if (axisNode->axis == "attribute")
            text = "@" + axisNode->elementName;
        else
            text = axisNode->axis + "::" + axisNode->elementName;
        for (const auto& predicate : axisNode->predicates) {
            auto predicateText = xpath1Text(predicate.get());
            if (!predicateText) {
                textual = false;
                break;
            }
            text += "[" + predicateText->first + "]";
        }
    }
    if (textual) return Step{nullptr, text, {}};
    return Step{axisNode, std::nullopt, {}};
}

RWXPNodePtr RWXPParser::parsePrimaryNode() {
    const RWXPToken& t = peek();
    switch (t.type) {
        case RWXPTokenNumber:
            return std::make_shared<RWXPLiteralNode>(literalNumber(*consume().value));
        case RWXPTokenString:
            return std::make_shared<RWXPLiteralNode>(
                xdm::single(RWXPItem::makeString(*consume().value)));
        case RWXPTokenDollar: {
            consume();
            auto name = parseQName();
            if (!name) return malformed("expected a variable name after '$'");
            return std::make_shared<RWXPVariableNode>(*name);
        }
        case RWXPTokenLParen: {
            consume();
            if (match(RWXPTokenRParen)) return emptySequenceLiteral();
            RWXPNodePtr inner = parseExpr();
            if (!inner) inner = malformed("expected an expression inside '('");
            if (!match(RWXPTokenRParen)) malformed("expected ')'");
            return inner;
        }
        case RWXPTokenDot:
            consume();
            return std::make_shared<RWXPPathNode>(".");
        default:
            break;
    }
    if (isNameToken(t)) {
        size_t save = index_;
        auto name = parseQName();
        if (name && peek().type == RWXPTokenLParen) return parseFunction(*name);
        index_ = save;
    }
    return nullptr;
}

RWXPNodePtr RWXPParser::parseFunction(const std::string& name) {
    match(RWXPTokenLParen);
    auto call = std::make_shared<RWXPFunctionCallNode>();
    call->name = name;
    if (!match(RWXPTokenRParen)) {
        for (;;) {
            RWXPNodePtr argument = parseExprSingle();
            if (!argument) return malformed("malformed argument of " + name + "()");
            call->arguments.push_back(argument);
            if (match(RWXPTokenComma)) continue;
            if (!match(RWXPTokenRParen))
                return malformed("expected ')' after the arguments of " + name + "()");
            break;
        }
    }
    if (!evaluator_.isKnownFunction(name, call->arguments.size()))
        diagnostics.push_back("unknown function " + name + "#" +
                              std::to_string(call->arguments.size()));
    else if (!evaluator_.hasCustomFunction(name))
        call->builtin = evaluator_.builtinFunction(name, call->arguments.size());
    return call;
}

// --- XPath 1.0 text -------------------------------------------------------------------------

std::optional<std::pair<std::string, XPath1Kind>> xpath1Text(const RWXPExprNode* node) {
    using K = XPath1Kind;
    if (!node) return std::nullopt;
    if (auto* path = dynamic_cast<const RWXPPathNode*>(node))
        return std::make_pair(path->path, K::NodeSet);
    if (auto* literal = dynamic_cast<const RWXPLiteralNode*>(node)) {
        if (literal->value.size() != 1) return std::nullopt;
        const RWXPItem& item = literal->value.front();
        if (item.kind == RWXPItem::Kind::String) {
            bool ok = true;
            std::string text = quoteXPath1(item.text, ok);
            if (!ok) return std::nullopt;
            return std::make_pair(text, K::String);
        }
        if (item.kind == RWXPItem::Kind::Integer || item.kind == RWXPItem::Kind::Decimal)
            return std::make_pair(item.decimal.toString(), K::Number);
        return std::nullopt;
    }
    if (auto* unary = dynamic_cast<const RWXPUnaryOpNode*>(node)) {
        auto operand = xpath1Text(unary->operand.get());
        if (!operand || operand->second != K::Number || unary->op != RWXPTokenMinus)
            return std::nullopt;
        return std::make_pair("-" + operand->first, K::Number);
    }
    if (auto* binary = dynamic_cast<const RWXPBinaryOpNode*>(node)) {
        auto left = xpath1Text(binary->left.get());
        auto right = xpath1Text(binary->right.get());
        if (!left || !right) return std::nullopt;
        K a = left->second, b = right->second;
        std::string op = tokenTypeToString(binary->op);
        switch (binary->op) {
            case RWXPTokenAnd:
            case RWXPTokenOr:
                return std::make_pair("(" + left->first + " " + op + " " + right->first + ")",
                                      K::Boolean);
            case RWXPTokenPipe:
                if (a != K::NodeSet || b != K::NodeSet) return std::nullopt;
                return std::make_pair("(" + left->first + " | " + right->first + ")", K::NodeSet);
            case RWXPTokenEqual:
            case RWXPTokenNotEqual: {
                bool textual =
                    (a == K::NodeSet || a == K::String) && (b == K::NodeSet || b == K::String);
                bool numeric = (a == K::Number && (b == K::Number || b == K::NodeSet)) ||
                               (b == K::Number && a == K::NodeSet);
                if (!textual && !numeric) return std::nullopt;
                return std::make_pair(left->first + " " + op + " " + right->first, K::Boolean);
            }
            case RWXPTokenLess:
            case RWXPTokenLessEqual:
            case RWXPTokenGreater:
            case RWXPTokenGreaterEqual: {
                bool numeric = (a == K::Number && (b == K::Number || b == K::NodeSet)) ||
                               (b == K::Number && a == K::NodeSet);
                if (!numeric) return std::nullopt;
                return std::make_pair(left->first + " " + op + " " + right->first, K::Boolean);
            }
            default:
                return std::nullopt;
        }
    }
    if (auto* call = dynamic_cast<const RWXPFunctionCallNode*>(node)) {
        struct Rule {
            const char* name;
            size_t minArgs, maxArgs;
            bool nodeSetOnly;
            K result;
        };
        static const Rule kRules[] = {
            {"not", 1, 1, false, K::Boolean},
            {"true", 0, 0, false, K::Boolean},
            {"false", 0, 0, false, K::Boolean},
            {"normalize-space", 0, 1, false, K::String},
            {"string", 0, 1, false, K::String},
            {"string-length", 0, 1, false, K::Number},
            {"contains", 2, 2, false, K::Boolean},
            {"starts-with", 2, 2, false, K::Boolean},
            {"concat", 2, 64, false, K::String},
            {"substring-before", 2, 2, false, K::String},
            {"substring-after", 2, 2, false, K::String},
            {"translate", 3, 3, false, K::String},
            {"count", 1, 1, true, K::Number},
            {"position", 0, 0, false, K::Number},
            {"last", 0, 0, false, K::Number},
            {"local-name", 0, 1, true, K::String},
            {"name", 0, 1, true, K::String},
            {"boolean", 1, 1, false, K::Boolean},
        };
        for (const auto& rule : kRules) {
            if (call->name != rule.name) continue;
            size_t n = call->arguments.size();
            if (n < rule.minArgs || n > rule.maxArgs) return std::nullopt;
            std::string text = call->name + "(";
            for (size_t i = 0; i < n; ++i) {
                auto arg = xpath1Text(call->arguments[i].get());
                if (!arg) return std::nullopt;
                bool allowed =
                    rule.nodeSetOnly ? arg->second == K::NodeSet
                    : call->name == std::string("not") || call->name == std::string("boolean")
                        ? true
                        : (arg->second == K::NodeSet || arg->second == K::String);
                if (!allowed) return std::nullopt;
                text += (i ? ", " : "") + arg->first;
            }
            return std::make_pair(text + ")", rule.result);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace ruleweave
