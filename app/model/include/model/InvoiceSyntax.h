#pragma once

#include <string_view>

#include "platform/XmlNode.h"

namespace model {

enum class InvoiceSyntax { None, CII, UBL, FatturaPA, Facturae };

std::string_view syntaxName(InvoiceSyntax syntax);

// Decides the syntax from the root element of the document holding `node`.
InvoiceSyntax detectSyntax(platform::XmlNode node);

// Namespace URIs of the standard schemas, bound to the prefixes the readers' paths use.
namespace ns {
inline constexpr const char* kCIIRsm = "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100";
inline constexpr const char* kCIIRam =
    "urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100";
inline constexpr const char* kCIIUdt = "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100";
inline constexpr const char* kCIIQdt = "urn:un:unece:uncefact:data:standard:QualifiedDataType:100";
// The older generation (ZUGFeRD 1, root rsm:CrossIndustryDocument).
inline constexpr const char* kCII1Rsm = "urn:ferd:CrossIndustryDocument:invoice:1p0";
inline constexpr const char* kCII1Ram =
    "urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:12";
inline constexpr const char* kCII1Udt = "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:15";
inline constexpr const char* kCII1Qdt = "urn:un:unece:uncefact:data:standard:QualifiedDataType:12";
inline constexpr const char* kUBLInvoice = "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2";
inline constexpr const char* kUBLCreditNote =
    "urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2";
inline constexpr const char* kUBLCac =
    "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2";
inline constexpr const char* kUBLCbc =
    "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2";
}  // namespace ns

}  // namespace model
