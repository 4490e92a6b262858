#include "platform/XmlDocument.h"

#include <libxml/entities.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <memory>

#include "platform/CallbackBoundary.h"

namespace platform {
namespace {

// libxml2's first initialisation is not thread-safe and makes the calling thread its "main"
// thread: done while the library loads, before main() or any thread starts (every program and
// library that parses XML links this file).
[[maybe_unused]] const bool kXmlInitialised = (initializeXml(), true);

struct ParserCtxtDeleter {
    void operator()(xmlParserCtxtPtr p) const { xmlFreeParserCtxt(p); }
};

// First error of a parse, collected per parser context instead of libxml2's global handler.
struct ParseDiagnostics {
    std::string firstError;
    int line = 0;
};

}  // namespace

void initializeXml() { xmlInitParser(); }

namespace {

void collectError(void* userData, xmlErrorPtr error) noexcept {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* diagnostics = ctxt ? static_cast<ParseDiagnostics*>(ctxt->_private) : nullptr;
    if (!diagnostics || !error || error->level < XML_ERR_ERROR) return;
    if (!diagnostics->firstError.empty()) return;
    // Called by libxml2 (C): nothing may be thrown through it.
    diagnostics->line = error->line;
    callbackBoundary(
        [&] {
            std::string message = error->message ? error->message : "unknown error";
            while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
                message.pop_back();
            diagnostics->firstError = message;
        },
        [](const char*, bool) {});
}

constexpr int kBaseOptions = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;

xmlDocPtr parseOnce(std::string_view bytes, std::string_view baseURL, int options,
                    ParseDiagnostics& diagnostics) {
    std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        diagnostics.firstError = "out of memory";
        return nullptr;
    }
    ctxt->_private = &diagnostics;
    ctxt->sax->serror = collectError;
    std::string url(baseURL);
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()),
                                      url.empty() ? nullptr : url.c_str(), nullptr, options);
    if (doc && !ctxt->wellFormed) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc && diagnostics.firstError.empty()) diagnostics.firstError = "not well-formed XML";
    return doc;
}

struct EntityScan {
    bool any = false;
    bool external = false;
};

void scanEntity(void* payload, void* data, const xmlChar*) {
    auto* scan = static_cast<EntityScan*>(data);
    auto* entity = static_cast<xmlEntityPtr>(payload);
    scan->any = true;
    if (entity->etype != XML_INTERNAL_GENERAL_ENTITY &&
        entity->etype != XML_INTERNAL_PARAMETER_ENTITY &&
        entity->etype != XML_INTERNAL_PREDEFINED_ENTITY)
        scan->external = true;
}

EntityScan scanEntities(xmlDocPtr doc) {
    EntityScan scan;
    for (xmlDtdPtr dtd : {doc->intSubset, doc->extSubset}) {
        if (!dtd) continue;
        if (dtd->entities)
            xmlHashScan(static_cast<xmlHashTablePtr>(dtd->entities), scanEntity, &scan);
        if (dtd->pentities)
            xmlHashScan(static_cast<xmlHashTablePtr>(dtd->pentities), scanEntity, &scan);
    }
    return scan;
}

}  // namespace

std::shared_ptr<XmlDocument> XmlDocument::parse(std::string_view bytes, Error* error,
                                                std::string_view baseURL) {
    if (bytes.size() > kMaxInputBytes || bytes.size() > static_cast<size_t>(INT_MAX)) {
        setError(error, kXmlErrorDomain, XmlErrorTooLarge,
                 "the file is too large to be an invoice");
        return nullptr;
    }
    // Entities stay unexpanded in the first pass, so nothing external is read while we look.
    ParseDiagnostics diagnostics;
    xmlDocPtr doc = parseOnce(bytes, baseURL, kBaseOptions, diagnostics);
    if (!doc) {
        std::string text = diagnostics.firstError;
        if (diagnostics.line > 0) text += " (line " + std::to_string(diagnostics.line) + ")";
        setError(error, kXmlErrorDomain, XmlErrorNotWellFormed, "not well-formed XML: " + text);
        return nullptr;
    }
    EntityScan scan = scanEntities(doc);
    if (scan.external) {
        xmlFreeDoc(doc);
        setError(error, kXmlErrorDomain, XmlErrorUnsafe,
                 "the XML declares external entities, which are not read");
        return nullptr;
    }
    if (scan.any) {
        // Internal entities only: expand them so values read as written. libxml2's
        // amplification limits stay on (no XML_PARSE_HUGE).
        xmlFreeDoc(doc);
        ParseDiagnostics second;
        doc = parseOnce(bytes, baseURL, kBaseOptions | XML_PARSE_NOENT, second);
        if (!doc) {
            setError(error, kXmlErrorDomain, XmlErrorUnsafe,
                     "the XML's entities could not be expanded safely: " + second.firstError);
            return nullptr;
        }
    }
    return std::make_shared<XmlDocument>(doc);
}

XmlDocument::~XmlDocument() {
    if (doc_) xmlFreeDoc(doc_);
}

XmlNode XmlDocument::root() const { return XmlNode(doc_ ? xmlDocGetRootElement(doc_) : nullptr); }

std::string XmlDocument::serialize(bool pretty) const {
    if (!doc_) return {};
    xmlChar* memory = nullptr;
    int size = 0;
    if (!pretty) {
        xmlDocDumpFormatMemoryEnc(doc_, &memory, &size, "UTF-8", 0);
    } else {
        // Indentation only works on a tree without the original blank text nodes.
        xmlDocDumpFormatMemoryEnc(doc_, &memory, &size, "UTF-8", 0);
        std::string plain(reinterpret_cast<const char*>(memory), static_cast<size_t>(size));
        xmlFree(memory);
        memory = nullptr;
        ParseDiagnostics ignored;
        xmlDocPtr compact = parseOnce(plain, {}, kBaseOptions | XML_PARSE_NOBLANKS, ignored);
        if (!compact) return plain;
        xmlDocDumpFormatMemoryEnc(compact, &memory, &size, "UTF-8", 1);
        xmlFreeDoc(compact);
    }
    std::string result =
        memory ? std::string(reinterpret_cast<const char*>(memory), static_cast<size_t>(size))
               : std::string();
    xmlFree(memory);
    return result;
}

}  // namespace platform
