#include <gtest/gtest.h>

#include "XPathTestSupport.h"

using namespace ruleweave;
using rwtest::Fixture;

TEST(Evaluator, PathsMatchNamespacesExactly) {
    Fixture f(rwtest::kInvoice);
    EXPECT_EQ(f.str("cac:LegalMonetaryTotal/cbc:PayableAmount"), "119.00");
    EXPECT_EQ(f.str("/ubl:Invoice/cbc:ID"), "INV-1");
    EXPECT_EQ(f.str("count(//cbc:ID)"), "5");
    // Another namespace with the same local names is not matched.
    Fixture other("<x:Invoice xmlns:x='urn:other'><x:ID>no</x:ID></x:Invoice>");
    EXPECT_EQ(other.str("cbc:ID"), "()");
    EXPECT_EQ(other.str("/ubl:Invoice"), "()");
}

TEST(Evaluator, PredicatesWithPositionsBooleansAndVariables) {
    Fixture f(rwtest::kInvoice);
    EXPECT_EQ(f.str("cac:InvoiceLine[2]/cbc:ID"), "2");
    EXPECT_EQ(f.str("cac:InvoiceLine[count(cbc:Note) = 2]/cbc:ID"), "3");
    EXPECT_EQ(f.str("cac:InvoiceLine[cbc:Note][1]/cbc:ID"), "1");
    EXPECT_EQ(f.str("cac:InvoiceLine/cbc:Note[1]"), "a b");  // first note of each line
    f.evaluator.setVariable("cur", xdm::single(RWXPItem::makeString("GBP")));
    EXPECT_EQ(f.str("cac:TaxTotal/cbc:TaxAmount[@currencyID = $cur]"), "16.50");
    EXPECT_EQ(f.str("count(cac:TaxTotal/xs:decimal(cbc:TaxAmount[@currencyID = 'EUR']))"), "1");
    EXPECT_EQ(f.str("cac:InvoiceLine[xs:decimal(cbc:LineExtensionAmount) > 1]/cbc:ID"), "3");
    EXPECT_EQ(f.str("('a', 'b', 'c')[. = 'b']"), "b");
    EXPECT_EQ(f.str("('a', 'b', 'c')[2]"), "b");
    EXPECT_EQ(f.str("$undefined"), "0");
}

TEST(Evaluator, AxesAndContext) {
    Fixture f(rwtest::kInvoice);
    xmlNodePtr percent = f.eval("//cbc:Percent")[0].node;
    EXPECT_EQ(f.str("ancestor::cac:TaxTotal/cbc:TaxAmount", percent), "19.00");
    EXPECT_EQ(f.str("count(ancestor::*)", percent), "4");
    EXPECT_EQ(f.str("ancestor::*[1]/cbc:ID", percent), "S");
    EXPECT_EQ(f.str("../../cbc:TaxableAmount", percent), "100.00");
    EXPECT_EQ(f.str("preceding::cbc:ID", percent), "INV-1 S");
    EXPECT_EQ(f.str("parent::cac:TaxCategory/cbc:ID", percent), "S");
    EXPECT_EQ(f.str("self::cbc:Percent[exists(.)]", percent), "19");
    EXPECT_EQ(f.str("following-sibling::*[position() <= 2]", f.eval("cbc:ID")[0].node),
              "2024-07-16 EUR");
    EXPECT_EQ(f.str("."), f.str("/ubl:Invoice"));
}

TEST(Evaluator, EngineAxesAgreeWithLibxml2) {
    // A variable in the predicate makes the engine walk the axis itself; both must agree.
    Fixture f(rwtest::kInvoice);
    f.evaluator.setVariable("yes", xdm::booleanValue(true));
    f.evaluator.setVariable("one", xdm::single(RWXPItem::makeInteger(1)));
    xmlNodePtr percent = f.eval("//cbc:Percent")[0].node;
    for (const char* axis : {"ancestor::*", "ancestor-or-self::*", "preceding::*", "following::*",
                             "preceding-sibling::*", "following-sibling::*", "parent::*",
                             "descendant::*", "descendant-or-self::*", "self::*", "child::*"}) {
        for (const char* context : {"//cbc:Percent", "//cac:TaxSubtotal", "/ubl:Invoice"}) {
            xmlNodePtr node = f.eval(context)[0].node;
            std::string plain = std::string("count(") + axis + ") + 1000 * count(" + axis + "[1])";
            std::string engine =
                std::string("count(") + axis + "[$yes]) + 1000 * count(" + axis + "[$one])";
            EXPECT_EQ(f.str(plain, node), f.str(engine, node)) << axis << " from " << context;
            EXPECT_EQ(f.str(std::string("name((") + axis + ")[1])", node),
                      f.str(std::string("name((") + axis + "[$yes])[1])", node))
                << axis;
            EXPECT_EQ(f.str(std::string("name(") + axis + "[1])", node),
                      f.str(std::string("name(") + axis + "[$one])", node))
                << axis;
        }
    }
    EXPECT_EQ(f.str("count(@*[$yes])", f.eval("//cbc:TaxAmount")[0].node), "1");
    EXPECT_EQ(f.str("ancestor::cac:TaxTotal[$yes]/cbc:TaxAmount", percent), "19.00");
}

TEST(Evaluator, QuantifiedAndForBindNodesAndRestoreVariables) {
    Fixture f(rwtest::kInvoice);
    f.evaluator.setVariable("x", xdm::single(RWXPItem::makeString("outer")));
    EXPECT_TRUE(f.truth("every $x in cac:InvoiceLine satisfies exists($x/cbc:ID)"));
    EXPECT_TRUE(f.truth("some $x in cac:InvoiceLine satisfies $x/cbc:ID = '3'"));
    EXPECT_TRUE(f.truth("every $x in () satisfies false()"));
    EXPECT_FALSE(f.truth("some $x in () satisfies true()"));
    EXPECT_TRUE(f.truth("some $a in (1, 2), $b in (2, 3) satisfies $a = $b"));
    EXPECT_EQ(f.str("for $x in (1, 2, 3) return $x * 2"), "2 4 6");
    EXPECT_EQ(f.str("$x"), "outer");
    // The IBAN check of the rule sets: letters to numbers through a for expression.
    EXPECT_EQ(f.str("xs:integer(string-join(for $cp in string-to-codepoints('DE89') return "
                    "(if ($cp > 64) then string($cp - 55) else string($cp - 48)), ''))"),
              "131489");
}

TEST(Evaluator, CustomFunctionsScopeTheirVariables) {
    Fixture f(rwtest::kInvoice);
    f.evaluator.registerFunction("u:decimalOrZero", {"element"},
                                 "if (boolean($element)) then xs:decimal($element) else 0");
    f.evaluator.registerFunction("u:double", {"x"}, "$y * 2", {{"y", "$x + 0"}});
    EXPECT_EQ(f.str("u:decimalOrZero(cac:LegalMonetaryTotal/cbc:PrepaidAmount)"), "0");
    EXPECT_EQ(f.str("u:decimalOrZero(cac:LegalMonetaryTotal/cbc:PayableAmount) + 1"), "120");
    f.evaluator.setVariable("x", xdm::single(RWXPItem::makeInteger(7)));
    EXPECT_EQ(f.str("u:double(3)"), "6");
    EXPECT_EQ(f.str("$x"), "7");
    EXPECT_FALSE(f.evaluator.hasVariable("y"));
    // A function whose body calls another evaluation does not disturb the caller's expression.
    f.evaluator.registerFunction("u:nested", {}, "count(cac:InvoiceLine[cbc:ID = '2'])");
    EXPECT_EQ(f.str("u:nested() + u:nested() * 10"), "11");
}

TEST(Evaluator, TreesAreParsedOnceAndReusedAcrossContexts) {
    Fixture f(rwtest::kInvoice);
    auto first = f.evaluator.parse("cbc:ID");
    EXPECT_EQ(first, f.evaluator.parse("cbc:ID"));
    auto lines = f.eval("cac:InvoiceLine");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(f.str("cbc:ID", lines[0].node), "1");
    EXPECT_EQ(f.str("cbc:ID", lines[2].node), "3");
    // Absolute paths are evaluated at evaluation time against the current document.
    Fixture g(rwtest::kInvoice);
    EXPECT_EQ(g.str("/ubl:Invoice/cbc:ID"), "INV-1");
    auto doc2 = platform::XmlDocument::parse(
        "<Invoice xmlns='urn:oasis:names:specification:ubl:schema:xsd:Invoice-2' "
        "xmlns:cbc='urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2'><cbc:ID>"
        "B</cbc:ID></Invoice>");
    EXPECT_EQ(
        ruleweave::xdm::stringOf(g.evaluator.evaluate("/ubl:Invoice/cbc:ID", doc2->root().raw())),
        "B");
}

TEST(Evaluator, TracesBinaryOperatorsAndQuantifiers) {
    Fixture f(rwtest::kInvoice);
    f.evaluator.setTraceEnabled(true);
    f.eval("1 = 1");
    auto trace = f.evaluator.getTrace();
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace[0], "\xE2\x86\x92 BinaryOp(=)");
    EXPECT_EQ(trace[1], "  Left = 1");
    EXPECT_EQ(trace.back(), "\xE2\x86\x90 BinaryOp(=) = true");
    f.evaluator.clearTrace();
    f.eval("some $x in (1, 2) satisfies $x = 2");
    trace = f.evaluator.getTrace();
    EXPECT_EQ(trace.front(), "\xE2\x86\x92 QuantifiedExpr(some $x)");
    bool found = false;
    for (const auto& line : trace)
        found = found || line.find("SOME: Found true, returning YES") != std::string::npos;
    EXPECT_TRUE(found);
}

TEST(Evaluator, RewritesDeclaredPrefixesToLocalNameTests) {
    RWXPath2Evaluator e(rwtest::kUBL);
    EXPECT_EQ(e.rewriteNamespacePrefixes("cac:Party/cbc:Name"),
              "*[local-name()='Party']/*[local-name()='Name']");
    EXPECT_EQ(e.rewriteNamespacePrefixes("@cbc:x[xyz:a = 'cbc:b']"),
              "@*[local-name()='x'][xyz:a = 'cbc:b']");
    EXPECT_EQ(e.rewriteNamespacePrefixes("ancestor::cac:X"), "ancestor::*[local-name()='X']");
}

// A value that reads the whole document is computed once per document: rules that visit every
// invoice line would otherwise scan all lines again for each one.
TEST(Evaluator, DocumentWideValuesAreComputedOncePerDocument) {
    rwtest::Fixture f(rwtest::kInvoice);
    const std::string expression = "count(//cac:InvoiceLine)";
    const std::string before = f.str(expression);
    // Changing the document behind the evaluator's back shows whether the value was kept.
    xmlNodePtr line = f.eval("(//cac:InvoiceLine)[1]").front().node;
    xmlAddNextSibling(line, xmlCopyNode(line, 1));
    xmlNodePtr other = f.eval("/ubl:Invoice/cbc:ID").front().node;
    EXPECT_EQ(f.str(expression, other), before);
    f.evaluator.reset();
    EXPECT_EQ(f.str(expression, other), std::to_string(std::stoi(before) + 1));
}

// Every verdict stays what evaluating afresh gives, for expressions that mix document-wide
// parts with the focus, variables and positions.
TEST(Evaluator, DocumentWideValuesKeepEveryResult) {
    const std::vector<std::string> expressions = {
        "count(//cac:InvoiceLine)",
        "count(//cac:InvoiceLine[cbc:ID > $min])",
        "every $l in //cac:InvoiceLine satisfies $l/cbc:ID != ''",
        "some $l in //cac:InvoiceLine satisfies $l/cbc:ID = $min",
        "(//cac:InvoiceLine)[1]/cbc:ID = cbc:ID",
        "count(//cac:InvoiceLine[position() = last()]/preceding-sibling::*)",
        "sum(//cac:InvoiceLine/xs:decimal(cbc:LineExtensionAmount)) > "
        "xs:decimal(cbc:LineExtensionAmount)",
        "for $i in //cac:InvoiceLine return count($i/preceding-sibling::cac:InvoiceLine)",
        "string(//cbc:ID[1]) = string(cbc:ID)",
        "//cac:InvoiceLine[cbc:ID = current()/cbc:ID]/cbc:ID",
        "count(//cac:InvoiceLine[cbc:ID = ../cbc:ID])",
        "position() + count(/ubl:Invoice/cac:InvoiceLine)",
        "name(/*) = name()",
        "/ubl:Invoice/cac:InvoiceLine[cbc:ID = 2]/cbc:ID",
        "if (//cac:InvoiceLine) then cbc:ID else 0",
    };
    rwtest::Fixture shared(rwtest::kInvoice);
    RWXPValue lines = shared.eval("//cac:InvoiceLine");
    ASSERT_GE(lines.size(), 2u);
    for (const auto& expression : expressions) {
        for (int round = 0; round < 2; ++round) {
            for (const auto& line : lines) {
                shared.evaluator.setVariable("min", xdm::single(RWXPItem::makeInteger(round + 1)));
                rwtest::Fixture fresh(rwtest::kInvoice);
                fresh.evaluator.setVariable("min", xdm::single(RWXPItem::makeInteger(round + 1)));
                xmlNodePtr freshLine =
                    fresh
                        .eval("//cac:InvoiceLine[cbc:ID = " +
                              xdm::stringOf(shared.eval("cbc:ID", line.node).front()) + "]")
                        .front()
                        .node;
                EXPECT_EQ(shared.str(expression, line.node), fresh.str(expression, freshLine))
                    << expression << " round " << round;
                EXPECT_EQ(shared.evaluator.lastError(), fresh.evaluator.lastError()) << expression;
            }
        }
    }
}

// Chains of child steps are walked without libxml2; "./" keeps a path with libxml2, so both
// must select the same nodes in the same order, names and namespaces tested alike.
TEST(Evaluator, DirectChildStepsAgreeWithLibxml2) {
    const char* mixed = R"(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
 xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
 xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"
 xmlns:o="urn:other" xmlns:cbc2="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
  <cac:Line a="1" o:a="2"><cbc:ID>1</cbc:ID><o:ID>other</o:ID><cbc2:ID>same ns</cbc2:ID></cac:Line>
  <cac:Line a="3"><cbc:ID>2</cbc:ID><cac:Line><cbc:ID>nested</cbc:ID></cac:Line></cac:Line>
  <ID xmlns="">no namespace</ID>
</Invoice>)";
    Fixture f(mixed);
    for (const char* path :
         {"cac:Line/cbc:ID", "cac:Line/*", "*/cbc:ID", "cac:Line/@a", "cac:Line/cac:Line/cbc:ID",
          "ID", "cac:Line/ID", "*/@a", "cac:Line/cbc:ID/text()", "cac:Line/o:ID"}) {
        std::string direct = f.str(std::string("string-join(for $n in ") + path +
                                   " return concat(name($n), '=', string($n)), ';')");
        std::string viaLibxml2 = f.str(std::string("string-join(for $n in ./") + path +
                                       " return concat(name($n), '=', string($n)), ';')");
        EXPECT_EQ(direct, viaLibxml2) << path;
    }
    EXPECT_EQ(f.str("count(cac:Line/cbc:ID)"), "3");  // cbc2: is the same namespace
    EXPECT_EQ(f.str("ID"), "no namespace");
    EXPECT_EQ(f.str("cac:Line/@a"), "1 3");  // o:a is another attribute
    // From an attribute or a text node a child step finds nothing.
    xmlNodePtr attribute = f.eval("cac:Line/@a")[0].node;
    EXPECT_EQ(f.str("cbc:ID", attribute), "()");
}

// Found by fuzzing: a few hundred bytes of nested //(...) steps ran for minutes, and long
// chains of unions over ranges for seconds. With a step limit such an expression fails with
// an error, each evaluation counts afresh, and without a limit the same expression still
// evaluates.
TEST(Evaluator, AStepLimitEndsExpressionsThatWouldRunForHours) {
    const std::string nested = "count(//*/(.//*/(ancestor-or-self::*)))";
    const std::string loops = "count(for $a in 1 to 100, $b in 1 to 100 return $a)";
    const std::string range = "count(1 to 1000000)";
    const std::string unions = "count(//* | //* | //* | //*)";
    const std::string compare = "(1 to 1000) = (2000 to 3000)";
    Fixture limited(rwtest::kInvoice);
    limited.evaluator.setStepLimit(20);
    for (const auto& expression : {nested, loops, range, unions, compare}) {
        EXPECT_EQ(limited.str(expression), "()") << expression;
        EXPECT_NE(limited.evaluator.lastError().find("more than 20 steps"), std::string::npos)
            << limited.evaluator.lastError();
    }
    for (int round = 0; round < 3; ++round)  // the count starts over for every evaluation
        EXPECT_EQ(limited.str("count(for $a in 1 to 5 return $a)"), "5");

    Fixture unlimited(rwtest::kInvoice);
    EXPECT_EQ(unlimited.str(nested), "31");
    EXPECT_EQ(unlimited.str(loops), "10000");
    EXPECT_EQ(unlimited.str(range), "1000000");
    EXPECT_EQ(unlimited.str(unions), unlimited.str("count(//*)"));
    EXPECT_EQ(unlimited.str(compare), "false");
}
