#include <gtest/gtest.h>

#include "XPathTestSupport.h"

using rwtest::Fixture;

TEST(Operators, ArithmeticIsExactDecimal) {
    Fixture f(rwtest::kInvoice);
    // Amount checks must not suffer binary floating point: 0.1 + 0.2 is 0.3 here.
    EXPECT_TRUE(f.truth("0.1 + 0.2 = 0.3"));
    EXPECT_TRUE(f.truth("sum(cac:InvoiceLine/xs:decimal(cbc:LineExtensionAmount)) = 100"));
    EXPECT_TRUE(f.truth("xs:decimal(cac:LegalMonetaryTotal/cbc:TaxInclusiveAmount) = "
                        "round((xs:decimal(cac:LegalMonetaryTotal/cbc:TaxExclusiveAmount) + 19) * 10 * 10) div 100"));
    EXPECT_EQ(f.str("10 div 4"), "2.5");
    EXPECT_EQ(f.str("1 div 3"), "0.333333333333333333");
    EXPECT_EQ(f.str("10 idiv 3"), "3");
    EXPECT_EQ(f.str("-7 mod 3"), "-1");
    EXPECT_EQ(f.str("7.5 mod 2"), "1.5");
    EXPECT_EQ(f.str("5 - 3"), "2");
    EXPECT_EQ(f.str("5-3"), "2");
    EXPECT_EQ(f.str("2 * -3"), "-6");
    // Integers stay exact far beyond 64 bits (IBAN check digits).
    EXPECT_EQ(f.str("xs:integer('370400440532013000131489') mod 97"), "1");
    EXPECT_EQ(f.str("1e0 + 1"), "2");
    EXPECT_EQ(f.str("1 div 0e0"), "INF");
    EXPECT_EQ(f.str("() + 1"), "()");
    EXPECT_EQ(f.str("1 div 0"), "()");  // a dynamic error yields the empty sequence
    EXPECT_FALSE(f.evaluator.lastError().empty());
}

TEST(Operators, GeneralComparisonsAreExistentialWithUntypedValues) {
    Fixture f(rwtest::kInvoice);
    // A node holding 100.00 equals the number 100; text compares as text with strings.
    EXPECT_TRUE(f.truth("cac:LegalMonetaryTotal/cbc:TaxExclusiveAmount = 100"));
    EXPECT_FALSE(f.truth("cac:LegalMonetaryTotal/cbc:TaxExclusiveAmount = '100'"));
    EXPECT_TRUE(f.truth("cac:LegalMonetaryTotal/cbc:TaxExclusiveAmount = '100.00'"));
    EXPECT_TRUE(f.truth("(1, 2, 3) = 2"));
    EXPECT_TRUE(f.truth("(1, 2, 3) != 2"));
    EXPECT_FALSE(f.truth("() = ()"));
    EXPECT_FALSE(f.truth("() != 1"));
    // Order comparisons are existential too: any amount above 50.
    EXPECT_TRUE(f.truth("cac:InvoiceLine/cbc:LineExtensionAmount > 50"));
    EXPECT_TRUE(f.truth("(1, 5) > 3"));
    EXPECT_TRUE(f.truth("'abc' < 'abd'"));
    EXPECT_TRUE(f.truth("cbc:ID = cbc:ID"));
    EXPECT_TRUE(f.truth("cac:TaxTotal/cbc:TaxAmount/@currencyID = 'GBP'"));
}

TEST(Operators, ValueComparisonsAndTypes) {
    Fixture f(rwtest::kInvoice);
    EXPECT_TRUE(f.truth("count(cac:InvoiceLine) eq 3"));
    EXPECT_TRUE(f.truth("cbc:ID eq 'INV-1'"));
    EXPECT_EQ(f.str("() eq 1"), "()");
    EXPECT_TRUE(f.truth("xs:date('2024-01-31') < xs:date('2024-02-01')"));
    EXPECT_TRUE(f.truth("xs:date(cbc:IssueDate) = xs:date('2024-07-16')"));
    EXPECT_TRUE(f.truth("xs:date('2024-07-16Z') = xs:date('2024-07-16')"));
    EXPECT_TRUE(f.truth("1 instance of xs:integer"));
    EXPECT_TRUE(f.truth("1.5 instance of xs:decimal"));
    EXPECT_FALSE(f.truth("1.5 instance of xs:integer"));
    EXPECT_TRUE(f.truth("'12' castable as xs:integer"));
    EXPECT_FALSE(f.truth("'1e3' castable as xs:decimal"));
    EXPECT_TRUE(f.truth("'true' cast as xs:boolean"));
    EXPECT_TRUE(f.truth("(cac:InvoiceLine intersect cac:InvoiceLine[2]) is cac:InvoiceLine[2]"));
    EXPECT_EQ(f.str("count(cac:InvoiceLine except cac:InvoiceLine[1])"), "2");
    EXPECT_EQ(f.str("1 to 4"), "1 2 3 4");
}

TEST(Operators, UnionYieldsNodesOnceInDocumentOrder) {
    Fixture f(rwtest::kInvoice);
    EXPECT_EQ(f.str("(cac:InvoiceLine[3] | cac:InvoiceLine[1] | cac:InvoiceLine[1])/cbc:ID"), "1 3");
    EXPECT_EQ(f.str("count(cbc:ID | cac:InvoiceLine/cbc:ID)"), "4");
    EXPECT_EQ(f.str("(cbc:DocumentCurrencyCode | cbc:ID)[1]"), "INV-1");
}

TEST(Operators, EffectiveBooleanValues) {
    Fixture f(rwtest::kInvoice);
    EXPECT_TRUE(f.truth("'false'"));
    EXPECT_FALSE(f.truth("0"));
    EXPECT_FALSE(f.truth("()"));
    EXPECT_TRUE(f.truth("('')[1] = ''"));
    EXPECT_TRUE(f.truth("cac:InvoiceLine"));
    EXPECT_FALSE(f.truth("cac:Nothing"));
    // and/or stop at the first operand that decides.
    EXPECT_TRUE(f.truth("true() or (1 div 0)"));
}
