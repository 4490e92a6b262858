#include <gtest/gtest.h>

#include "XPathTestSupport.h"

using rwtest::Fixture;

TEST(Functions, StringsCountCodepoints) {
    Fixture f(rwtest::kInvoice);
    EXPECT_EQ(f.str("string-length('Müller')"), "6");
    EXPECT_EQ(f.str("string-length()", f.eval("cbc:ID")[0].node), "5");
    EXPECT_EQ(f.str("substring('12345', 2, 3)"), "234");
    EXPECT_EQ(f.str("substring('12345', 0, 3)"), "12");
    EXPECT_EQ(f.str("substring('12345', 1.5, 2.6)"), "234");
    EXPECT_EQ(f.str("substring('äbc', 2)"), "bc");
    EXPECT_EQ(f.str("substring-before('2024-07', '-')"), "2024");
    EXPECT_EQ(f.str("substring-after('a:b:c', ':')"), "b:c");
    EXPECT_EQ(f.str("normalize-space('  a \n b  ')"), "a b");
    EXPECT_EQ(f.str("upper-case('straße')"), "STRASSE");
    EXPECT_EQ(f.str("lower-case('ÄB')"), "äb");
    EXPECT_EQ(f.str("translate('abcabc', 'ab', 'B')"), "BcBc");
    EXPECT_EQ(f.str("concat('a', (), 1, 'b')"), "a1b");
    EXPECT_EQ(f.str("string-join(cac:InvoiceLine/cbc:ID, ',')"), "1,2,3");
    EXPECT_EQ(f.str("codepoints-to-string(string-to-codepoints('Hé'))"), "Hé");
    EXPECT_TRUE(f.truth("contains('abc', '')"));
    EXPECT_TRUE(f.truth("starts-with('abc', '')"));
    EXPECT_TRUE(f.truth("ends-with('abc', 'bc')"));
}

TEST(Functions, RegularExpressions) {
    Fixture f(rwtest::kInvoice);
    // An empty string is tested against the pattern like any other.
    EXPECT_FALSE(f.truth("matches('', '^[0-9]+$')"));
    EXPECT_TRUE(f.truth("matches('', '^$')"));
    EXPECT_FALSE(f.truth("matches('12a', '^[0-9]+$')"));
    EXPECT_TRUE(f.truth("matches('ABC', 'abc', 'i')"));
    EXPECT_EQ(f.str("replace('2024-01-31', '(\\d+)-(\\d+)-(\\d+)', '$3.$2.$1')"), "31.01.2024");
    EXPECT_EQ(f.str("replace('DE 12 3', '([ \\n\\r\\t\\s])', '')"), "DE123");
    EXPECT_EQ(f.str("tokenize('a,,b,', ',')"), "a  b ");
    EXPECT_EQ(f.str("count(tokenize('a b c', ' '))"), "3");
    EXPECT_EQ(f.str("matches('x', '(')"), "()");  // invalid pattern: dynamic error
}

TEST(Functions, NumbersAndRounding) {
    Fixture f(rwtest::kInvoice);
    EXPECT_EQ(f.str("round(2.5)"), "3");
    EXPECT_EQ(f.str("round(-2.5)"), "-2");
    EXPECT_EQ(f.str("round(1.005 * 100) div 100"), "1.01");
    EXPECT_EQ(f.str("round-half-to-even(2.345, 2)"), "2.34");
    EXPECT_EQ(f.str("floor(-1.5)"), "-2");
    EXPECT_EQ(f.str("ceiling(1.2)"), "2");
    EXPECT_EQ(f.str("abs(-3.20)"), "3.2");
    EXPECT_EQ(f.str("sum(())"), "0");
    EXPECT_EQ(f.str("sum(cac:InvoiceLine/cbc:LineExtensionAmount)"), "100");
    EXPECT_EQ(f.str("avg((1, 2))"), "1.5");
    EXPECT_EQ(f.str("max((1, 3.5, 2))"), "3.5");
    EXPECT_EQ(f.str("min(('b', 'a'))"), "a");
    EXPECT_EQ(f.str("number('abc')"), "NaN");
    EXPECT_EQ(f.str("xs:decimal('1.50')"), "1.5");
    EXPECT_EQ(f.str("xs:decimal('abc')"), "()");
    EXPECT_EQ(f.str("xs:integer('12')"), "12");
    EXPECT_EQ(f.str("format-number(1234.5, '#,##0.00')"), "1,234.50");
    EXPECT_EQ(f.str("string(1e7)"), "1.0E7");
    EXPECT_EQ(f.str("string(0.5e0)"), "0.5");
}

TEST(Functions, SequencesAndNodes) {
    Fixture f(rwtest::kInvoice);
    EXPECT_EQ(f.str("count(distinct-values(('a', 'b', 'a')))"), "2");
    EXPECT_EQ(f.str("index-of(('a', 'b', 'a'), 'a')"), "1 3");
    EXPECT_EQ(f.str("reverse((1, 2, 3))"), "3 2 1");
    EXPECT_EQ(f.str("subsequence((1, 2, 3, 4), 2, 2)"), "2 3");
    EXPECT_TRUE(f.truth("exists(cac:InvoiceLine)"));
    EXPECT_TRUE(f.truth("empty(cac:Nothing)"));
    EXPECT_EQ(f.str("name(cac:InvoiceLine[1])"), "cac:InvoiceLine");
    EXPECT_EQ(f.str("local-name(cac:InvoiceLine[1])"), "InvoiceLine");
    EXPECT_EQ(f.str("namespace-uri(cbc:ID)"), "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2");
    EXPECT_EQ(f.str("cac:InvoiceLine[last()]/cbc:ID"), "3");
    EXPECT_EQ(f.str("cac:InvoiceLine[position() = 2]/cbc:ID"), "2");
    EXPECT_EQ(f.str("fn:count(cac:InvoiceLine)"), "3");
    EXPECT_EQ(f.str("string(current-date()) != ''"), "true");
    EXPECT_EQ(f.str("boolean(cbc:ID)"), "true");
    EXPECT_EQ(f.str("unknown-function(1)"), "()");
}
