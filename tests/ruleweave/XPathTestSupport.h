#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/XmlDocument.h"
#include "ruleweave/RWXPath2Evaluator.h"

namespace rwtest {

inline const ruleweave::RWXPath2Evaluator::NamespaceMap kUBL = {
    {"cbc", "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"},
    {"cac", "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"},
    {"ubl", "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"},
    {"u", "utils"},
};

// An evaluator over one small document.
struct Fixture {
    std::shared_ptr<platform::XmlDocument> doc;
    ruleweave::RWXPath2Evaluator evaluator;

    explicit Fixture(const std::string& xml, ruleweave::RWXPath2Evaluator::NamespaceMap ns = kUBL)
        : doc(platform::XmlDocument::parse(xml)), evaluator(std::move(ns)) {
        EXPECT_TRUE(doc);
    }
    xmlNodePtr root() const { return doc->root().raw(); }
    ruleweave::RWXPValue eval(const std::string& expr, xmlNodePtr context = nullptr) {
        return evaluator.evaluate(expr, context ? context : root());
    }
    // The string value of the result (first item), "()" for the empty sequence.
    std::string str(const std::string& expr, xmlNodePtr context = nullptr) {
        auto v = eval(expr, context);
        if (v.empty()) return "()";
        std::string out;
        for (size_t i = 0; i < v.size(); ++i) out += (i ? " " : "") + ruleweave::xdm::stringOf(v[i]);
        return out;
    }
    bool truth(const std::string& expr) {
        auto v = eval(expr);
        EXPECT_TRUE(evaluator.lastError().empty()) << expr << ": " << evaluator.lastError();
        return ruleweave::xdm::effectiveBooleanValue(v);
    }
};

inline const char* kInvoice = R"(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
 xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
 xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
  <cbc:ID>INV-1</cbc:ID>
  <cbc:IssueDate>2024-07-16</cbc:IssueDate>
  <cbc:DocumentCurrencyCode>EUR</cbc:DocumentCurrencyCode>
  <cac:TaxTotal>
    <cbc:TaxAmount currencyID="EUR">19.00</cbc:TaxAmount>
    <cac:TaxSubtotal><cbc:TaxableAmount currencyID="EUR">100.00</cbc:TaxableAmount><cbc:TaxAmount currencyID="EUR">19.00</cbc:TaxAmount>
      <cac:TaxCategory><cbc:ID>S</cbc:ID><cbc:Percent>19</cbc:Percent></cac:TaxCategory></cac:TaxSubtotal>
  </cac:TaxTotal>
  <cac:TaxTotal><cbc:TaxAmount currencyID="GBP">16.50</cbc:TaxAmount></cac:TaxTotal>
  <cac:LegalMonetaryTotal>
    <cbc:LineExtensionAmount currencyID="EUR">100.00</cbc:LineExtensionAmount>
    <cbc:TaxExclusiveAmount currencyID="EUR">100.00</cbc:TaxExclusiveAmount>
    <cbc:TaxInclusiveAmount currencyID="EUR">119.00</cbc:TaxInclusiveAmount>
    <cbc:PayableAmount currencyID="EUR">119.00</cbc:PayableAmount>
  </cac:LegalMonetaryTotal>
  <cac:InvoiceLine><cbc:ID>1</cbc:ID><cbc:LineExtensionAmount>0.10</cbc:LineExtensionAmount><cbc:Note>a</cbc:Note></cac:InvoiceLine>
  <cac:InvoiceLine><cbc:ID>2</cbc:ID><cbc:LineExtensionAmount>0.20</cbc:LineExtensionAmount></cac:InvoiceLine>
  <cac:InvoiceLine><cbc:ID>3</cbc:ID><cbc:LineExtensionAmount>99.70</cbc:LineExtensionAmount><cbc:Note>b</cbc:Note><cbc:Note>c</cbc:Note></cac:InvoiceLine>
</Invoice>)";

}  // namespace rwtest
