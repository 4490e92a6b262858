#include "EInvoiceMetadata.h"

#include <algorithm>
#include <cctype>

#include "pagewright/PagewrightEngine.h"
#include "platform/XPathContext.h"
#include "platform/XmlDocument.h"
#include "platform/XmlEscape.h"

namespace pagewright {
namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string escape(const std::string& text) { return platform::escapeXml(text); }

struct InvoiceXml {
    std::string rootName;
    std::string guideline;  // GuidelineSpecifiedDocumentContextParameter/ID
};

std::optional<InvoiceXml> readInvoiceXml(const std::string& data) {
    if (data.empty()) return std::nullopt;
    auto doc = platform::XmlDocument::parse(data);
    if (!doc) return std::nullopt;
    InvoiceXml result;
    result.rootName = doc->root().localName();
    platform::XPathContext xpath(doc->raw());
    auto id = xpath.evaluate(
        "normalize-space(//*[local-name()='GuidelineSpecifiedDocumentContextParameter']"
        "/*[local-name()='ID'])");
    if (id) result.guideline = id->string;
    return result;
}

// The conformance level named by a guideline identifier, or "" when it names none.
std::string levelOfGuideline(const std::string& guideline) {
    const std::string g = lower(guideline);
    if (g.find("xrechnung") != std::string::npos) return "XRECHNUNG";
    if (g.find("extended") != std::string::npos) return "EXTENDED";
    if (g.find("basicwl") != std::string::npos || g.find("basic-wl") != std::string::npos)
        return "BASIC WL";
    if (g.find("basic") != std::string::npos) return "BASIC";
    if (g.find("minimum") != std::string::npos) return "MINIMUM";
    if (g.find("comfort") != std::string::npos) return "COMFORT";
    if (g.find("en16931") != std::string::npos) return "EN 16931";
    return "";
}

}  // namespace

bool looksLikeInvoiceXML(const std::string& data) {
    auto xml = readInvoiceXml(data);
    if (!xml) return false;
    return xml->rootName == "CrossIndustryInvoice" || xml->rootName == "CrossIndustryDocument" ||
           xml->rootName == "Invoice" || xml->rootName == "CreditNote";
}

std::string mimeTypeForFileName(const std::string& name) {
    const std::string n = lower(name);
    auto ends = [&](const char* ext) {
        std::string e(ext);
        return n.size() >= e.size() && n.compare(n.size() - e.size(), e.size(), e) == 0;
    };
    if (ends(".xml")) return "text/xml";
    if (ends(".pdf")) return "application/pdf";
    if (ends(".png")) return "image/png";
    if (ends(".jpg") || ends(".jpeg")) return "image/jpeg";
    if (ends(".txt")) return "text/plain";
    if (ends(".csv")) return "text/csv";
    if (ends(".json")) return "application/json";
    return "application/octet-stream";
}

EInvoiceIdentification identifyEInvoice(uint32_t versionCode, const std::string& fileName,
                                        const std::string& xmlData) {
    EInvoiceIdentification id;
    if (versionCode != PagewrightEngine::kVersionZUGFeRD &&
        versionCode != PagewrightEngine::kVersionFacturX &&
        versionCode != PagewrightEngine::kVersionXRechnung)
        return id;
    id.present = true;
    auto xml = readInvoiceXml(xmlData);
    std::string level = xml ? levelOfGuideline(xml->guideline) : "";
    id.documentFileName = fileName;
    if (versionCode == PagewrightEngine::kVersionZUGFeRD &&
        (!xml || xml->rootName == "CrossIndustryDocument")) {
        // ZUGFeRD 1.0
        id.schemaName = "ZUGFeRD PDFA Extension Schema";
        id.namespaceURI = "urn:ferd:pdfa:CrossIndustryDocument:invoice:1p0#";
        id.prefix = "zf";
        id.version = "1.0";
        id.conformanceLevel = level.empty() ? "BASIC" : level;
        if (id.documentFileName.empty()) id.documentFileName = "ZUGFeRD-invoice.xml";
    } else if (versionCode == PagewrightEngine::kVersionZUGFeRD) {
        // ZUGFeRD 2.0 (the file is still called zugferd-invoice.xml)
        id.schemaName = "ZUGFeRD PDFA Extension Schema";
        id.namespaceURI = "urn:zugferd:pdfa:CrossIndustryDocument:invoice:2p0#";
        id.prefix = "fx";
        id.version = "1.0";
        id.conformanceLevel = level.empty() ? "EN 16931" : level;
        if (id.documentFileName.empty()) id.documentFileName = "zugferd-invoice.xml";
    } else {
        id.schemaName = "Factur-X PDFA Extension Schema";
        id.namespaceURI = "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#";
        id.prefix = "fx";
        id.version = "1.0";
        if (versionCode == PagewrightEngine::kVersionXRechnung) {
            id.conformanceLevel = "XRECHNUNG";
            // The XRechnung version from "...:xrechnung_2.1" when the XML names it.
            if (xml) {
                auto g = lower(xml->guideline);
                auto at = g.find("xrechnung_");
                if (at != std::string::npos) {
                    std::string v;
                    for (size_t i = at + 10;
                         i < g.size() &&
                         (std::isdigit(static_cast<unsigned char>(g[i])) || g[i] == '.');
                         ++i)
                        v += g[i];
                    if (!v.empty()) id.version = v;
                }
            }
            if (id.documentFileName.empty()) id.documentFileName = "xrechnung.xml";
        } else {
            id.conformanceLevel = (level.empty() || level == "COMFORT") ? "EN 16931" : level;
            if (id.documentFileName.empty()) id.documentFileName = "factur-x.xml";
        }
    }
    id.dataRelationship = id.conformanceLevel == "MINIMUM" || id.conformanceLevel == "BASIC WL";
    return id;
}

std::optional<std::string> pdfDateToXmp(const std::string& pdfDate) {
    std::string s = pdfDate;
    if (s.rfind("D:", 0) == 0) s = s.substr(2);
    size_t digits = 0;
    while (digits < s.size() && digits < 14 && std::isdigit(static_cast<unsigned char>(s[digits])))
        ++digits;
    if (digits < 4) return std::nullopt;
    auto part = [&](size_t at, size_t len, const char* fallback) {
        return at + len <= digits ? s.substr(at, len) : std::string(fallback);
    };
    std::string result = part(0, 4, "") + "-" + part(4, 2, "01") + "-" + part(6, 2, "01") + "T" +
                         part(8, 2, "00") + ":" + part(10, 2, "00") + ":" + part(12, 2, "00");
    std::string zone = s.substr(digits);
    if (zone.empty() || zone[0] == 'Z') return result + "Z";
    if (zone[0] == '+' || zone[0] == '-') {
        std::string hh, mm = "00";
        size_t i = 1;
        while (i < zone.size() && std::isdigit(static_cast<unsigned char>(zone[i])) &&
               hh.size() < 2)
            hh += zone[i++];
        while (i < zone.size() && !std::isdigit(static_cast<unsigned char>(zone[i]))) ++i;
        if (i + 1 < zone.size() + 1 && i + 2 <= zone.size() &&
            std::isdigit(static_cast<unsigned char>(zone[i])))
            mm = zone.substr(i, 2);
        if (hh.size() != 2) return result + "Z";
        return result + zone[0] + hh + ":" + mm;
    }
    return result;
}

std::string buildXmp(const std::map<std::string, std::string>& info,
                     const EInvoiceIdentification& id) {
    auto get = [&](const char* key) -> std::optional<std::string> {
        auto it = info.find(key);
        if (it == info.end()) return std::nullopt;
        return it->second;
    };
    std::string x;
    x += "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n";
    x += "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n";
    x += " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n";
    x += "  <rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
         "   <pdfaid:part>3</pdfaid:part>\n"
         "   <pdfaid:conformance>B</pdfaid:conformance>\n"
         "  </rdf:Description>\n";
    x += "  <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
         "   <dc:format>application/pdf</dc:format>\n";
    if (auto v = get("/Title"))
        x += "   <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + escape(*v) +
             "</rdf:li></rdf:Alt></dc:title>\n";
    if (auto v = get("/Author"))
        x += "   <dc:creator><rdf:Seq><rdf:li>" + escape(*v) + "</rdf:li></rdf:Seq></dc:creator>\n";
    if (auto v = get("/Subject"))
        x += "   <dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">" + escape(*v) +
             "</rdf:li></rdf:Alt></dc:description>\n";
    x += "  </rdf:Description>\n";
    x += "  <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n";
    if (auto v = get("/Keywords")) x += "   <pdf:Keywords>" + escape(*v) + "</pdf:Keywords>\n";
    if (auto v = get("/Producer")) x += "   <pdf:Producer>" + escape(*v) + "</pdf:Producer>\n";
    x += "  </rdf:Description>\n";
    x += "  <rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n";
    if (auto v = get("/Creator")) x += "   <xmp:CreatorTool>" + escape(*v) + "</xmp:CreatorTool>\n";
    if (auto v = get("/CreationDate"))
        if (auto d = pdfDateToXmp(*v)) x += "   <xmp:CreateDate>" + *d + "</xmp:CreateDate>\n";
    if (auto v = get("/ModDate"))
        if (auto d = pdfDateToXmp(*v)) {
            x += "   <xmp:ModifyDate>" + *d + "</xmp:ModifyDate>\n";
            x += "   <xmp:MetadataDate>" + *d + "</xmp:MetadataDate>\n";
        }
    x += "  </rdf:Description>\n";
    if (id.present) {
        x += "  <rdf:Description rdf:about=\"\" xmlns:" + id.prefix + "=\"" + id.namespaceURI +
             "\">\n";
        auto field = [&](const char* name, const std::string& value) {
            x += "   <" + id.prefix + ":" + name + ">" + escape(value) + "</" + id.prefix + ":" +
                 name + ">\n";
        };
        field("DocumentType", id.documentType);
        field("DocumentFileName", id.documentFileName);
        field("Version", id.version);
        field("ConformanceLevel", id.conformanceLevel);
        x += "  </rdf:Description>\n";
        x += "  <rdf:Description rdf:about=\"\"\n"
             "    xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\"\n"
             "    xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\"\n"
             "    xmlns:pdfaProperty=\"http://www.aiim.org/pdfa/ns/property#\">\n"
             "   <pdfaExtension:schemas>\n    <rdf:Bag>\n"
             "     <rdf:li rdf:parseType=\"Resource\">\n"
             "      <pdfaSchema:schema>" +
             id.schemaName +
             "</pdfaSchema:schema>\n"
             "      <pdfaSchema:namespaceURI>" +
             id.namespaceURI +
             "</pdfaSchema:namespaceURI>\n"
             "      <pdfaSchema:prefix>" +
             id.prefix +
             "</pdfaSchema:prefix>\n"
             "      <pdfaSchema:property>\n       <rdf:Seq>\n";
        const char* properties[][2] = {
            {"DocumentFileName", "The name of the embedded XML invoice file"},
            {"DocumentType", "The type of the hybrid document in capital letters, e.g. INVOICE"},
            {"Version", "The actual version of the standard applying to the embedded XML document"},
            {"ConformanceLevel", "The conformance level of the embedded XML document"}};
        for (auto& p : properties)
            x += std::string("        <rdf:li rdf:parseType=\"Resource\">\n") +
                 "         <pdfaProperty:name>" + p[0] +
                 "</pdfaProperty:name>\n"
                 "         <pdfaProperty:valueType>Text</pdfaProperty:valueType>\n"
                 "         <pdfaProperty:category>external</pdfaProperty:category>\n"
                 "         <pdfaProperty:description>" +
                 p[1] +
                 "</pdfaProperty:description>\n"
                 "        </rdf:li>\n";
        x += "       </rdf:Seq>\n      </pdfaSchema:property>\n     </rdf:li>\n"
             "    </rdf:Bag>\n   </pdfaExtension:schemas>\n  </rdf:Description>\n";
    }
    x += " </rdf:RDF>\n</x:xmpmeta>\n";
    // Room for in-place edits by other tools, as the XMP packet convention asks.
    for (int i = 0; i < 20; ++i) x += std::string(99, ' ') + "\n";
    x += "<?xpacket end=\"w\"?>";
    return x;
}

}  // namespace pagewright
