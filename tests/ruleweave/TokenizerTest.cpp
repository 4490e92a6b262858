#include <gtest/gtest.h>

#include "ruleweave/RWXPToken.h"

using namespace ruleweave;

namespace {
std::string dump(const std::string& expression) {
    std::string out;
    for (const auto& t : tokenize(expression)) out += t.description();
    return out;
}
}  // namespace

TEST(Tokenizer, EmptyInputIsJustEOF) {
    EXPECT_EQ(dump(""), "<EOF: >");
    EXPECT_EQ(dump(" \t\n "), "<EOF: >");
}

TEST(Tokenizer, NamesPrefixesAndOperators) {
    EXPECT_EQ(dump("cbc:ID = 'x'"), "<IDENT: cbc><:: :><IDENT: ID><=: =><STRING: x><EOF: >");
    EXPECT_EQ(dump("count(//cac:InvoiceLine) > 0"),
              "<IDENT: count><(: (><//: //><IDENT: cac><:: :><IDENT: InvoiceLine><): )><>: >>"
              "<NUMBER: 0><EOF: >");
    EXPECT_EQ(dump("a != b"), "<IDENT: a><!=: !=><IDENT: b><EOF: >");
    EXPECT_EQ(dump("ancestor::x"), "<IDENT: ancestor><:: :><:: :><IDENT: x><EOF: >");
}

TEST(Tokenizer, SignsAreOperatorsNotPartOfNumbers) {
    // XPath 2.0: "5-3" is five minus three; a name may contain '-' ("$x-1" is one name).
    EXPECT_EQ(dump("5-3"), "<NUMBER: 5><-: -><NUMBER: 3><EOF: >");
    EXPECT_EQ(dump("$a - 1"), "<$: $><IDENT: a><-: -><NUMBER: 1><EOF: >");
    EXPECT_EQ(dump("$a -1"), "<$: $><IDENT: a><-: -><NUMBER: 1><EOF: >");
    EXPECT_EQ(dump("$BT-89-path"), "<$: $><IDENT: BT-89-path><EOF: >");
    EXPECT_EQ(dump("-.5"), "<-: -><NUMBER: .5><EOF: >");
}

TEST(Tokenizer, NumbersKeepTheirLexicalForm) {
    // Integer, decimal and double literals are different types; the text tells them apart.
    EXPECT_EQ(dump("1.0 2.50 1e3 007"), "<NUMBER: 1.0><NUMBER: 2.50><NUMBER: 1e3><NUMBER: 007><EOF: >");
}

TEST(Tokenizer, StringLiteralsDoubleTheirQuotes) {
    EXPECT_EQ(dump("'it''s'"), "<STRING: it's><EOF: >");
    EXPECT_EQ(dump("\"say \"\"hi\"\"\""), "<STRING: say \"hi\"><EOF: >");
    EXPECT_EQ(dump("\"x"), "<STRING: x><EOF: >");
    EXPECT_EQ(dump("'a\nb'"), "<STRING: a\nb><EOF: >");
}

TEST(Tokenizer, KeywordsCommentsAndUnknownCharacters) {
    EXPECT_EQ(dump("every"), "<UNKNOWN: every><EOF: >");
    EXPECT_EQ(dump("mod eq to"), "<IDENT: mod><IDENT: eq><IDENT: to><EOF: >");
    EXPECT_EQ(dump("1 (: note (: nested :) :) + 2"), "<NUMBER: 1><+: +><NUMBER: 2><EOF: >");
    EXPECT_EQ(dump("a ! b"), "<IDENT: a><IDENT: b><EOF: >");
    EXPECT_EQ(dump("é"), "<IDENT: é><EOF: >");
    EXPECT_EQ(tokenTypeToString(RWXPTokenPipe), "|");
    EXPECT_EQ(tokenTypeToString(3), "Token(3)");
}
