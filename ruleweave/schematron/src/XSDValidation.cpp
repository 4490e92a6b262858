#include "ruleweave/XSDValidation.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/CallbackBoundary.h"
#include "platform/FileData.h"
#include "platform/Log.h"
#include "platform/XPathContext.h"

namespace ruleweave {
namespace fs = std::filesystem;
namespace {

// Remote locations of imported schemas → local files. Filled from catalog files; read by the
// entity loader, which libxml2 only lets us install process-wide.
std::mutex& catalogMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, std::string>& catalogMap() {
    static std::map<std::string, std::string> map;
    return map;
}

bool isRemote(const char* url) {
    return url && (!strncmp(url, "http://", 7) || !strncmp(url, "https://", 8) ||
                   !strncmp(url, "ftp://", 6));
}

// Called by libxml2 (C): nothing may be thrown through it; a failure loads nothing.
xmlParserInputPtr localOnlyLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt) noexcept {
    return platform::callbackBoundary(
        [&]() -> xmlParserInputPtr {
            if (isRemote(url)) {
                std::string local;
                {
                    std::lock_guard lock(catalogMutex());
                    auto it = catalogMap().find(url);
                    if (it != catalogMap().end()) local = it->second;
                }
                if (local.empty()) return nullptr;  // never fetched
                return xmlNoNetExternalEntityLoader(local.c_str(), id, ctxt);
            }
            return xmlNoNetExternalEntityLoader(url, id, ctxt);
        },
        [](const char*, bool) -> xmlParserInputPtr { return nullptr; });
}

void installLoaderOnce() {
    static std::once_flag once;
    std::call_once(once, [] { xmlSetExternalEntityLoader(localOnlyLoader); });
}

// Called by libxml2 (C): a message that cannot be kept is dropped rather than thrown through.
void collectMessage(void* data, xmlErrorPtr error) noexcept {
    auto* messages = static_cast<std::vector<std::string>*>(data);
    if (!messages || !error || !error->message) return;
    platform::callbackBoundary(
        [&] {
            std::string text = error->message;
            while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
            if (error->line > 0) text = "line " + std::to_string(error->line) + ": " + text;
            messages->push_back(text);
        },
        [](const char*, bool) {});
}

struct SchemaParserFree {
    void operator()(xmlSchemaParserCtxtPtr p) const { xmlSchemaFreeParserCtxt(p); }
};
struct SchemaValidFree {
    void operator()(xmlSchemaValidCtxtPtr p) const { xmlSchemaFreeValidCtxt(p); }
};

std::string join(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
    return out;
}

}  // namespace

void registerXMLCatalog(const fs::path& catalogFile) {
    installLoaderOnce();
    auto text = platform::readFileData(catalogFile);
    if (!text) return;
    auto doc = platform::XmlDocument::parse(*text);
    if (!doc) return;
    platform::XPathContext xpath(doc->raw());
    std::lock_guard lock(catalogMutex());
    for (auto entry : xpath.nodes("//*[local-name()='uri' or local-name()='system']")) {
        std::string remote = entry.attribute("name");
        if (remote.empty()) remote = entry.attribute("systemId");
        std::string local = entry.attribute("uri");
        if (remote.empty() || local.empty()) continue;
        fs::path resolved =
            fs::path(local).is_absolute() ? fs::path(local) : catalogFile.parent_path() / local;
        catalogMap()[remote] = resolved.lexically_normal().string();
    }
}

std::shared_ptr<xmlSchema> XSDSchemaCache::schemaFor(const fs::path& xsd,
                                                     std::vector<std::string>* messages) {
    installLoaderOnce();
    std::string key = fs::absolute(xsd).lexically_normal().string();
    std::lock_guard lock(mutex_);
    auto it = schemas_.find(key);
    if (it != schemas_.end()) return it->second;
    std::vector<std::string> local;
    std::unique_ptr<xmlSchemaParserCtxt, SchemaParserFree> parser(
        xmlSchemaNewParserCtxt(key.c_str()));
    std::shared_ptr<xmlSchema> schema;
    if (parser) {
        xmlSchemaSetParserStructuredErrors(parser.get(), collectMessage,
                                           messages ? messages : &local);
        xmlSchemaPtr raw = xmlSchemaParse(parser.get());
        parser.reset();
        if (raw) schema.reset(raw, xmlSchemaFree);
    }
    if (!schema) platform::logLine("Error parsing XSD file " + key);
    schemas_[key] = schema;
    return schema;
}

bool XSDSchemaCache::contains(const fs::path& xsd) {
    std::string key = fs::absolute(xsd).lexically_normal().string();
    std::lock_guard lock(mutex_);
    return schemas_.count(key) > 0;
}

std::optional<std::string> validateWithXSD(const platform::XmlDocument& document,
                                           const fs::path& xsd, platform::Error* error,
                                           XSDSchemaCache* cache) {
    if (!document.raw()) {
        platform::setError(error, kXSDErrorDomain, -1, "Failed to parse XML.");
        return std::nullopt;
    }
    XSDSchemaCache localCache;
    std::vector<std::string> messages;
    auto schema = (cache ? cache : &localCache)->schemaFor(xsd, &messages);
    int result = -1;
    if (schema) {
        std::unique_ptr<xmlSchemaValidCtxt, SchemaValidFree> context(
            xmlSchemaNewValidCtxt(schema.get()));
        if (context) {
            // Messages go to this context's own callback, so parallel checks never mix them.
            xmlSchemaSetValidStructuredErrors(context.get(), collectMessage, &messages);
            result = xmlSchemaValidateDoc(context.get(), document.raw());
        }
    } else if (messages.empty()) {
        messages.push_back("the schema " + xsd.string() + " cannot be compiled");
    }
    if (result != 0 && error) {
        platform::setError(error, kXSDErrorDomain, result, "XML is invalid.");
        error->userInfo["ValidationErrors"] = join(messages);
        error->userInfo["ValidationErrorsLength"] = std::to_string(messages.size());
    }
    return xsd.stem().string();
}

std::optional<std::string> validateWithXSDs(const platform::XmlDocument& document,
                                            const std::vector<fs::path>& xsds,
                                            platform::Error* error, XSDSchemaCache* cache) {
    std::vector<platform::Error> kept;
    for (const auto& xsd : xsds) {
        platform::Error local;
        auto name = validateWithXSD(document, xsd, &local, cache);
        if (name) {
            if (error) *error = platform::Error();
            return name;
        }
        if (!local.domain.empty()) kept.push_back(local);
    }
    if (error && !kept.empty()) {
        auto length = [](const platform::Error& e) {
            auto it = e.userInfo.find("ValidationErrorsLength");
            return it == e.userInfo.end() ? 0ul : std::stoul(it->second);
        };
        std::stable_sort(kept.begin(), kept.end(),
                         [&](const auto& a, const auto& b) { return length(a) < length(b); });
        *error = kept.front();
        std::string others;
        for (size_t i = 1; i < kept.size(); ++i)
            others += (i > 1 ? "\n" : "") + kept[i].localizedDescription;
        error->userInfo["NSUnderlyingError"] = others;
    }
    return std::nullopt;
}

}  // namespace ruleweave
