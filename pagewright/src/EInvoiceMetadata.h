#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace pagewright {

// What the XMP says about the embedded e-invoice: the extension schema and its four values.
struct EInvoiceIdentification {
    bool present = false;
    std::string schemaName;
    std::string namespaceURI;
    std::string prefix;
    std::string documentFileName;
    std::string documentType = "INVOICE";
    std::string version;
    std::string conformanceLevel;
    // MINIMUM and BASIC WL files are not complete invoices: their relationship is Data.
    bool dataRelationship = false;
};

// The identification for a version code, read from the invoice file's name and XML.
EInvoiceIdentification identifyEInvoice(uint32_t versionCode, const std::string& fileName,
                                        const std::string& xml);
// True for XML whose root is a CII, ZUGFeRD 1 or UBL invoice or credit note.
bool looksLikeInvoiceXML(const std::string& data);
std::string mimeTypeForFileName(const std::string& name);
// "D:20240131120000+01'00'" → "2024-01-31T12:00:00+01:00"; none when it is not a PDF date.
std::optional<std::string> pdfDateToXmp(const std::string& pdfDate);
// The XMP packet: PDF/A-3b identification, document information and the e-invoice extension.
std::string buildXmp(const std::map<std::string, std::string>& info,
                     const EInvoiceIdentification& id);

}  // namespace pagewright
