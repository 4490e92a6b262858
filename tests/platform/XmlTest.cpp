#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/XPathContext.h"
#include "platform/XmlDocument.h"
#include "platform/XmlEscape.h"

using platform::XmlDocument;

TEST(XmlDocument, ParsesAndNavigates) {
    auto doc = XmlDocument::parse(
        R"(<a:root xmlns:a="urn:a" xmlns="urn:d"><child x="1">one<!-- c --><b>two</b></child>)"
        R"(<child/><![CDATA[<raw>]]></a:root>)");
    ASSERT_TRUE(doc);
    auto root = doc->root();
    EXPECT_EQ(root.name(), "a:root");
    EXPECT_EQ(root.localName(), "root");
    EXPECT_EQ(root.namespaceURI(), "urn:a");
    auto children = root.childElements();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].name(), "child");
    EXPECT_EQ(children[0].namespaceURI(), "urn:d");
    EXPECT_EQ(children[0].attribute("x"), "1");
    EXPECT_FALSE(children[0].hasAttribute("y"));
    EXPECT_EQ(children[0].stringValue(), "onetwo");
    EXPECT_EQ(children[1].stringValue(), "");
    EXPECT_EQ(root.stringValue(), "onetwo<raw>");
    EXPECT_EQ(children[0].documentElement(), root);
    auto ns = children[0].inScopeNamespaces();
    ASSERT_EQ(ns.size(), 2u);
}

TEST(XmlDocument, RefusesMalformedInputWithAReason) {
    platform::Error error;
    EXPECT_FALSE(XmlDocument::parse("<a><b></a>", &error));
    EXPECT_EQ(error.domain, platform::kXmlErrorDomain);
    EXPECT_EQ(error.code, platform::XmlErrorNotWellFormed);
    EXPECT_NE(error.localizedDescription.find("line 1"), std::string::npos);
    EXPECT_FALSE(XmlDocument::parse("", &error));
    EXPECT_FALSE(XmlDocument::parse("%PDF-1.4 binary", &error));
    EXPECT_FALSE(XmlDocument::parse(std::string("<a>\0</a>", 8), &error));
}

TEST(XmlDocument, NeverReadsExternalEntities) {
    auto secret = std::filesystem::temp_directory_path() / "ll-xml-secret.txt";
    std::ofstream(secret) << "TOPSECRET";
    platform::Error error;
    std::string xml = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY s SYSTEM \"file://" +
                      secret.string() + "\">]><r>&s;</r>";
    auto doc = XmlDocument::parse(xml, &error);
    EXPECT_FALSE(doc);
    EXPECT_EQ(error.code, platform::XmlErrorUnsafe);
    std::string parameter = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" +
                            secret.string() + "\"> %p;]><r/>";
    doc = XmlDocument::parse(parameter, &error);
    EXPECT_TRUE(!doc || doc->serialize().find("TOPSECRET") == std::string::npos);
    // An external DTD is not fetched either.
    doc = XmlDocument::parse("<!DOCTYPE r SYSTEM \"http://example.invalid/x.dtd\"><r>ok</r>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->root().stringValue(), "ok");
    std::filesystem::remove(secret);
}

TEST(XmlDocument, ExpandsSmallInternalEntitiesAndRefusesBombs) {
    auto doc = XmlDocument::parse("<!DOCTYPE r [<!ENTITY co \"ACME GmbH\">]><r>&co; &amp; Co</r>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->root().stringValue(), "ACME GmbH & Co");
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    bomb += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
    for (int i = 2; i <= 9; ++i) {
        std::string prev = "&lol" + std::to_string(i - 1) + ";";
        bomb += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) bomb += prev;
        bomb += "\">";
    }
    bomb += "]><lolz>&lol9;</lolz>";
    platform::Error error;
    EXPECT_FALSE(XmlDocument::parse(bomb, &error));
    EXPECT_FALSE(error.localizedDescription.empty());
}

TEST(XmlDocument, SerialisesPlainAndPretty) {
    auto doc = XmlDocument::parse("<r>\n  <a>1</a>   <b><c/></b></r>");
    ASSERT_TRUE(doc);
    std::string pretty = doc->serialize(true);
    EXPECT_NE(pretty.find("<r>\n  <a>1</a>\n  <b>\n    <c/>\n  </b>\n</r>"), std::string::npos)
        << pretty;
    EXPECT_NE(doc->serialize(false).find("<r>\n  <a>1</a>   <b><c/></b></r>"), std::string::npos);
    EXPECT_EQ(doc->root().childElements()[0].serialize(), "<a>1</a>");
}

TEST(XPathContext, EvaluatesRelativeToAnyNode) {
    auto doc = XmlDocument::parse(
        R"(<r xmlns:p="urn:p"><p:x n="1">a</p:x><p:x n="2">b</p:x><y><p:x n="3">c</p:x></y></r>)");
    ASSERT_TRUE(doc);
    platform::XPathContext xpath(doc->raw());
    xpath.registerNamespace("q", "urn:p");
    EXPECT_EQ(xpath.nodes("//q:x").size(), 3u);
    auto y = doc->root().childElements()[2];
    EXPECT_EQ(xpath.nodes("q:x", y).size(), 1u);
    EXPECT_EQ(xpath.firstNode("//q:x[@n>1]").stringValue(), "b");
    auto count = xpath.evaluate("count(//q:x)");
    ASSERT_TRUE(count);
    EXPECT_EQ(count->kind, platform::XPathResult::Kind::Number);
    EXPECT_EQ(count->number, 3);
    EXPECT_EQ(xpath.evaluate("string(//q:x[2])")->string, "b");
    EXPECT_TRUE(xpath.evaluate("1 = 1")->boolean);
    // Invalid expressions and unknown prefixes are answered with none, not an abort.
    EXPECT_FALSE(xpath.evaluate("//q:x["));
    EXPECT_FALSE(xpath.evaluate("//zz:x"));
    EXPECT_TRUE(xpath.nodes("//zz:x").empty());
}

// Paths are kept compiled between evaluations: a prefix must still mean what each context
// binds it to, in each document, and an expression that failed once fails again.
TEST(XPathContext, ThePrefixMeansWhatEachContextBindsItTo) {
    auto first = XmlDocument::parse(R"(<r xmlns="urn:one"><v>1</v></r>)");
    auto second = XmlDocument::parse(R"(<r xmlns="urn:two"><v>2</v><v>3</v></r>)");
    ASSERT_TRUE(first && second);
    for (int round = 0; round < 2; ++round) {
        for (const char* uri : {"urn:one", "urn:two"}) {
            for (const auto& doc : {first, second}) {
                platform::XPathContext xpath(doc->raw());
                xpath.registerNamespace("n", uri);
                const bool match = doc->root().namespaceURI() == uri;
                EXPECT_EQ(xpath.nodes("/n:r/n:v").size(),
                          match ? doc->root().childElements().size() : 0u);
                EXPECT_EQ(xpath.firstNode("n:v", doc->root()).stringValue(),
                          match ? doc->root().childElements()[0].stringValue() : "");
            }
        }
        platform::XPathContext xpath(first->raw());
        EXPECT_FALSE(xpath.evaluate("/n:r"));  // unbound here, though bound in the rounds above
        EXPECT_FALSE(xpath.evaluate("//v["));
    }
}

// Whatever the text, the escaped form is element content and attribute value XML 1.0 accepts.
TEST(XmlEscape, EscapedTextIsAlwaysWellFormedXml) {
    struct Case {
        std::string text, escaped;
    };
    const Case cases[] = {
        {"Rechnung <42> & \"Co\"", "Rechnung &lt;42&gt; &amp; &quot;Co&quot;"},
        {"tab\tnew\nline\r", "tab\tnew\nline\r"},
        {std::string("a\x01"
                     "b\x1f\x7f",
                     5) +
             std::string(1, '\0') + "c",
         "ab\x7f"
         "c"},
        {"M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80",
         "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"Latin-1 \xFC"
         "ber",
         "Latin-1 \xEF\xBF\xBD"
         "ber"},
        {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"nonchar \xEF\xBF\xBF\xEF\xBF\xBE.", "nonchar ."},
    };
    for (const auto& c : cases) {
        std::string escaped = platform::escapeXml(c.text);
        EXPECT_EQ(escaped, c.escaped);
        platform::Error error;
        EXPECT_TRUE(XmlDocument::parse("<a b=\"" + escaped + "\">" + escaped + "</a>", &error))
            << escaped << ": " << error.localizedDescription;
    }
}
