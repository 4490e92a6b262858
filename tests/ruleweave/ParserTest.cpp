#include <gtest/gtest.h>

#include "XPathTestSupport.h"

using namespace ruleweave;

namespace {
RWXPath2Evaluator evaluator(rwtest::kUBL);
std::string ast(const std::string& expression) { return evaluator.dumpAST(expression).value_or("<none>"); }
std::vector<std::string> problems(const std::string& expression) { return evaluator.parseDiagnostics(expression); }
}  // namespace

TEST(Parser, PrecedenceFollowsXPath2) {
    EXPECT_EQ(ast("1 + 2 * 3"),
              "BinaryOp(+)\n  Literal(1)\n  BinaryOp(*)\n    Literal(2)\n    Literal(3)");
    EXPECT_EQ(ast("a or b and c"),
              "BinaryOp(or)\n  Path(\"a\")\n  BinaryOp(and)\n    Path(\"b\")\n    Path(\"c\")");
    EXPECT_EQ(ast("5-3"), "BinaryOp(-)\n  Literal(5)\n  Literal(3)");
    EXPECT_EQ(ast("$x -1"), "BinaryOp(-)\n  Variable($x)\n  Literal(1)");
    EXPECT_EQ(ast("-$x"), "UnaryOp(-)\n  Variable($x)");
    // Union binds tighter than arithmetic and comparison.
    EXPECT_EQ(ast("count(a | b)"),
              "FunctionCall(count)\n  arg[0]:\n    BinaryOp(|)\n      Path(\"a\")\n      Path(\"b\")");
    EXPECT_EQ(ast("1 to 3"), "BinaryOp(to)\n  Literal(1)\n  Literal(3)");
    EXPECT_EQ(ast("a eq b"), "BinaryOp(eq)\n  Path(\"a\")\n  Path(\"b\")");
    EXPECT_EQ(ast("7 mod 2 = 1"), "BinaryOp(=)\n  BinaryOp(mod)\n    Literal(7)\n    Literal(2)\n  Literal(1)");
}

TEST(Parser, PlainPathsStayTextWithTheirPredicates) {
    EXPECT_EQ(ast("cac:Party/cbc:Name"), "Path(\"cac:Party/cbc:Name\")");
    EXPECT_EQ(ast("cac:A/cac:B[cbc:ID = 'x']/cbc:Name"), "Path(\"cac:A/cac:B[cbc:ID = 'x']/cbc:Name\")");
    // Separators survive: keywords between names, apostrophes, '//' and '*' steps.
    EXPECT_EQ(ast("cac:A[cbc:B and cbc:C]"), "Path(\"cac:A[(cbc:B and cbc:C)]\")");
    EXPECT_EQ(ast("cac:A[cbc:B = \"it's\"]"), "Path(\"cac:A[cbc:B = \"it's\"]\")");
    EXPECT_EQ(ast("cac:A//cbc:B"), "Path(\"cac:A//cbc:B\")");
    EXPECT_EQ(ast("cac:A/*"), "Path(\"cac:A/*\")");
    EXPECT_EQ(ast("/ubl:Invoice//cac:B"), "Path(\"/ubl:Invoice//cac:B\")");
    EXPECT_EQ(ast("../cbc:ID"), "Path(\"../cbc:ID\")");
    EXPECT_EQ(ast("./@currencyID"), "Path(\"./@currencyID\")");
    EXPECT_EQ(ast("ancestor::cac:InvoiceLine"), "Path(\"ancestor::cac:InvoiceLine\")");
    EXPECT_EQ(ast("cac:A[normalize-space(cbc:B) != '']"), "Path(\"cac:A[normalize-space(cbc:B) != '']\")");
    EXPECT_EQ(ast("cac:A[1]"), "Path(\"cac:A[1]\")");
}

TEST(Parser, XPath2PredicatesAndStepsAreEvaluatedByTheEngine) {
    // A variable, a 2.0 function or decimal arithmetic in a predicate keeps it out of libxml2.
    std::string withVariable = ast("cac:A/cac:B[cbc:ID = $id]/cbc:Name");
    EXPECT_NE(withVariable.find("Axis(child::cac:B)"), std::string::npos) << withVariable;
    EXPECT_NE(withVariable.find("Path(\"cbc:Name\")"), std::string::npos) << withVariable;
    EXPECT_NE(ast("cac:A[exists(cbc:B)]").find("Axis(child::cac:A)"), std::string::npos);
    EXPECT_NE(ast("cac:A[xs:decimal(cbc:B) > 0]").find("Axis("), std::string::npos);
    // Numbers against text compare differently in 1.0 and 2.0.
    EXPECT_NE(ast("cac:A[normalize-space(cbc:B) = 0]").find("Axis("), std::string::npos);
    EXPECT_NE(ast("cac:A[cbc:B < cbc:C]").find("Axis("), std::string::npos);
    std::string call = ast("cac:A/xs:decimal(cbc:B)");
    EXPECT_NE(call.find("PathWithFunction"), std::string::npos) << call;
    EXPECT_NE(call.find("FunctionCall(xs:decimal)"), std::string::npos) << call;
    std::string filtered = ast("(cac:A | cac:B)[1]/cbc:ID");
    EXPECT_NE(filtered.find("FilteredPath(chained)"), std::string::npos) << filtered;
}

TEST(Parser, XPath2ExpressionForms) {
    EXPECT_EQ(ast("if ($a) then 1 else 2"),
              "IfThenElse\n  condition:\n    Variable($a)\n  then:\n    Literal(1)\n  else:\n    Literal(2)");
    EXPECT_EQ(ast("()"), "Literal([Array count=0])");
    EXPECT_EQ(ast("(1, 2)"), "Sequence(\n  Literal(1),\n  Literal(2)\n)");
    std::string two = ast("some $a in x, $b in y satisfies $a = $b");
    EXPECT_NE(two.find("QuantifiedExpr(some $a in)"), std::string::npos) << two;
    EXPECT_NE(two.find("QuantifiedExpr(some $b in)"), std::string::npos) << two;
    EXPECT_NE(ast("for $i in (1, 2) return $i * 2").find("ForExpr(for $i in)"), std::string::npos);
    EXPECT_NE(ast("$x instance of xs:decimal").find("Type(instance of xs:decimal)"), std::string::npos);
    EXPECT_NE(ast("'1' castable as xs:integer?").find("castable as xs:integer?"), std::string::npos);
    EXPECT_EQ(ast("ancestor::*[1]"), "Path(\"ancestor::*[1]\")");
    EXPECT_NE(ast("ancestor::*[$n]").find("Axis(ancestor::*)"), std::string::npos);
}

TEST(Parser, ReportsWhatItHadToDrop) {
    EXPECT_TRUE(problems("cbc:ID = 'x' and exists(cac:Y)").empty());
    EXPECT_FALSE(problems("1 +").empty());
    EXPECT_FALSE(problems("a b").empty());                 // leftover tokens
    EXPECT_FALSE(problems("unknown-function(1)").empty());
    EXPECT_FALSE(problems("string-length(1, 2, 3)").empty());  // wrong arity
    EXPECT_FALSE(problems("nope:X").empty());              // undeclared prefix
    EXPECT_FALSE(problems("child2::x").empty());           // unknown axis
    EXPECT_FALSE(problems("some $x in (1) return 1").empty());
    EXPECT_FALSE(problems("cac:A[1").empty());
    EXPECT_TRUE(problems("fn:count(cac:X)").empty());
    // An unparsable expression still gives a tree, as the lenient parser promises.
    EXPECT_TRUE(evaluator.dumpAST("1 +"));
    EXPECT_EQ(ast("1 +"), "BinaryOp(+)\n  Literal(1)\n  Literal([Array count=0])");
}

// Each shape nests 10,000 levels deep; recursing that far overflowed the stack.
TEST(Parser, DeepNestingIsAParseErrorNotACrash) {
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += s;
        return out;
    };
    const int n = 10000;
    const std::vector<std::string> shapes = {
        repeat("(", n) + "1" + repeat(")", n),
        repeat("(", n),                                  // unbalanced as well
        repeat("cac:A[", n) + "1" + repeat("]", n),      // predicates
        repeat("count(", n) + "1" + repeat(")", n),      // arguments
        repeat("-", n) + "1",                            // signs
        repeat("if (1) then ", n) + "1" + repeat(" else 2", n),
        repeat("for $x in ", n) + "1 return $x",
    };
    // Chains as long: each operator is one more level of the tree.
    const std::vector<std::string> chains = {
        "1" + repeat(" + 1", 4 * n),
        "a" + repeat(" or a", 4 * n),
        "(a)" + repeat("[1]", 4 * n),
        "cac:A" + repeat("/cac:B[. = $v]", 4 * n),
        "some " + repeat("$x in 1, ", 4 * n) + "$y in 1 satisfies $y",
    };
    for (const auto& expression : shapes) {
        RWXPath2Evaluator deep(rwtest::kUBL);
        auto found = deep.parseDiagnostics(expression);
        ASSERT_FALSE(found.empty()) << expression.substr(0, 40);
        EXPECT_NE(found.front().find("nested deeper than"), std::string::npos) << found.front();
        EXPECT_FALSE(deep.dumpAST(expression));
        platform::Error error;
        EXPECT_TRUE(deep.evaluate(expression, nullptr, &error).empty());
        EXPECT_NE(deep.lastError().find("nested deeper than"), std::string::npos);
        EXPECT_NE(error.localizedDescription.find("nested deeper than"), std::string::npos);
    }
    for (const auto& expression : chains) {
        RWXPath2Evaluator deep(rwtest::kUBL);
        auto found = deep.parseDiagnostics(expression);
        ASSERT_FALSE(found.empty()) << expression.substr(0, 40);
        EXPECT_NE(found.front().find("more than 4096 operators"), std::string::npos)
            << found.front();
        EXPECT_TRUE(deep.evaluate(expression, nullptr).empty());
    }
    // A long but ordinary chain, as code list rules have, is fine.
    EXPECT_TRUE(problems("a" + repeat(" or a", 300)).empty());
    // Nesting as deep as real rules go still parses cleanly.
    const std::string fine = repeat("(", 60) + "1 + 2" + repeat(")", 60);
    EXPECT_TRUE(problems(fine).empty());
    EXPECT_EQ(ast(fine), "BinaryOp(+)\n  Literal(1)\n  Literal(2)");
}
