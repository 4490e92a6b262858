// Cataloging schema folders and picking the schemas that fit a document.
#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/FileData.h"
#include "platform/Log.h"
#include "platform/XPathContext.h"
#include "ruleweave/RWSchematronValidator.h"
#include "ruleweave/XSDValidation.h"

namespace ruleweave {
namespace fs = std::filesystem;
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

XSDSchemaCache& sharedXSDCache() {
    static XSDSchemaCache cache;
    return cache;
}

}  // namespace

void RWSchematronValidator::addSchemaDirectory(const fs::path& directory) {
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec) {
        platform::logLine("Error reading schema directory " + directory.string() + ": " +
                          ec.message());
        return;
    }
    std::vector<fs::directory_entry> entries(it, fs::directory_iterator());
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path() < b.path(); });
    for (const auto& entry : entries) {
        const fs::path& path = entry.path();
        if (entry.is_directory(ec)) {
            addSchemaDirectory(path);
        } else if (path.extension() == ".sch") {
            if (path.filename().string().find("-preprocessed") == std::string::npos)
                catalogSchemaFile(path);
        } else if (path.extension() == ".xsd") {
            catalogXSDFile(path);
        } else if (path.filename() == "catalog.xml") {
            registerXMLCatalog(path);
        }
    }
    matchingCache_.clear();
}

void RWSchematronValidator::catalogSchemaFile(const fs::path& path) {
    auto text = platform::readFileData(path);
    if (!text) {
        platform::logLine("Error reading schema file " + path.string() + ": cannot open");
        return;
    }
    platform::Error error;
    auto doc = platform::XmlDocument::parse(*text, &error);
    if (!doc) {
        platform::logLine("Error parsing schema file " + path.string() + ": " +
                          error.localizedDescription);
        return;
    }
    platform::XmlNode root = doc->root();
    if (root.localName() != "schema") return;
    CatalogEntry entry;
    entry.title = path.filename().string();
    for (auto child : root.childElements()) {
        if (child.localName() == "title" && entry.title == path.filename().string())
            entry.title = child.stringValue();
        if (child.localName() == "ns" && child.hasAttribute("prefix") && child.hasAttribute("uri"))
            entry.namespaces[child.attribute("prefix")] = child.attribute("uri");
    }
    // The identifier a customisation requires often sits in an included file.
    auto expanded = platform::XmlDocument::parse(processIncludes(*text, path.parent_path()));
    entry.customizationID = extractEN16931CustomizationIDRequirement(expanded ? *expanded : *doc);
    catalog_[fs::absolute(path).lexically_normal().string()] = entry;
}

void RWSchematronValidator::catalogXSDFile(const fs::path& path) {
    auto text = platform::readFileData(path);
    if (!text) {
        platform::logLine("Error reading XSD file " + path.string() + ": cannot open");
        return;
    }
    platform::Error error;
    auto doc = platform::XmlDocument::parse(*text, &error);
    if (!doc) {
        platform::logLine("Error parsing XSD file " + path.string() + ": " +
                          error.localizedDescription);
        return;
    }
    platform::XmlNode root = doc->root();
    if (root.localName() != "schema" || !root.hasAttribute("targetNamespace")) return;
    CatalogEntry entry;
    entry.isXSD = true;
    entry.title = path.stem().string();
    entry.namespaces["target"] = root.attribute("targetNamespace");
    for (auto child : root.childElements())
        if (child.localName() == "element" && child.hasAttribute("name"))
            entry.globalElements.insert(child.attribute("name"));
    catalog_[fs::absolute(path).lexically_normal().string()] = entry;
}

std::optional<std::string> RWSchematronValidator::extractEN16931CustomizationIDRequirement(
    const platform::XmlDocument& schema) {
    platform::XPathContext xpath(schema.raw());
    static const std::regex startsWith(R"(starts-with\s*\([^,]+,\s*['"]([^'"]+)['"]\))");
    static const std::regex equals(R"(CustomizationID[^=]*=\s*['"]([^'"]+)['"])");
    static const std::regex quoted(R"(['"]([^'"]+)['"])");
    for (auto assertion : xpath.nodes("//*[local-name()='assert']")) {
        std::string test = assertion.attribute("test");
        if (test.find("CustomizationID") == std::string::npos) continue;
        std::smatch m;
        if (std::regex_search(test, m, startsWith)) return m[1].str();
        if (std::regex_search(test, m, equals)) return m[1].str();
    }
    for (auto let : xpath.nodes("//*[local-name()='let']")) {
        if (!let.hasAttribute("name") || !let.hasAttribute("value")) continue;
        std::string name = lower(let.attribute("name"));
        if (name.find("cius") == std::string::npos &&
            name.find("customizationid") == std::string::npos)
            continue;
        std::string value = let.attribute("value"), joined;
        for (std::sregex_iterator it(value.begin(), value.end(), quoted), end; it != end; ++it)
            joined += (*it)[1].str();
        if (!joined.empty()) return joined;
    }
    return std::nullopt;
}

void RWSchematronValidator::collectNamespacesFromElement(xmlNodePtr element,
                                                         std::set<std::string>& uris) {
    for (xmlNodePtr n = element; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        if (n->ns && n->ns->href) uris.insert(reinterpret_cast<const char*>(n->ns->href));
        collectNamespacesFromElement(n->children, uris);
    }
}

std::optional<std::vector<std::string>> RWSchematronValidator::findMatchingSchemasForXML(
    const std::string& xml, platform::Error* error) {
    auto doc = platform::XmlDocument::parse(xml, error);
    if (!doc || !doc->root()) return std::nullopt;
    auto identifier = documentCustomizationID(doc->raw());
    std::set<std::string> uris;
    xmlNodePtr root = doc->root().raw();
    if (root->ns && root->ns->href) uris.insert(reinterpret_cast<const char*>(root->ns->href));
    collectNamespacesFromElement(root, uris);
    std::string rootLocal = doc->root().localName(), rootURI = doc->root().namespaceURI();

    std::string key;
    for (const auto& uri : uris) key += (key.empty() ? "" : "|") + uri;
    key += "#" + identifier.value_or("") + "#" + rootURI + " " + rootLocal;
    auto cached = matchingCache_.find(key);
    std::vector<std::string> matches;
    if (cached != matchingCache_.end()) {
        matches = cached->second;
    } else {
        for (const auto& [path, entry] : catalog_) {
            if (entry.isXSD) {
                // An XSD runs only when it declares the document's root; schemas that merely
                // share a namespace are components of another schema.
                if (entry.namespaces.at("target") == rootURI &&
                    entry.globalElements.count(rootLocal))
                    matches.push_back(path);
                continue;
            }
            bool candidate = false;
            for (const auto& [prefix, uri] : entry.namespaces)
                candidate = candidate || uris.count(uri);
            if (!candidate) continue;
            bool fits = !identifier || !entry.customizationID ||
                        identifier->find(*entry.customizationID) != std::string::npos;
            // A customisation's rules apply to every version of its identifier, as the official
            // validation scenarios configure them.
            if (!fits && entry.customizationID) {
                std::string requirement = lower(*entry.customizationID), id = lower(*identifier);
                fits = requirement.find("xrechnung") != std::string::npos &&
                       id.find("xrechnung") != std::string::npos;
            }
            if (fits) matches.push_back(path);
        }
        matchingCache_[key] = matches;
    }
    if (matches.empty())
        platform::setError(error, kRuleweaveErrorDomain, 404,
                           "No matching Schematron schema found for this XML document");
    return matches;
}

std::optional<RWValidationResult> RWSchematronValidator::validateXMLWithXSDFile(
    const std::string& xml, const fs::path& xsdFile, platform::Error* error) {
    auto doc = platform::XmlDocument::parse(xml, error);
    if (!doc) return std::nullopt;
    std::string key = fs::absolute(xsdFile).lexically_normal().string();
    auto entry = catalog_.find(key);
    std::string title = entry != catalog_.end() ? entry->second.title : xsdFile.filename().string();
    RWValidationResult result;
    result.patterns = std::vector<std::string>();
    result.schemaFiles = std::vector<std::string>{title};
    platform::Error local;
    validateWithXSD(*doc, xsdFile, &local, &sharedXSDCache());
    auto messages = local.userInfo.find("ValidationErrors");
    if (local.domain.empty() || messages == local.userInfo.end()) return result;
    std::stringstream lines(messages->second);
    std::string line;
    while (std::getline(lines, line)) {
        size_t a = line.find_first_not_of(" \t\r\n"), b = line.find_last_not_of(" \t\r\n");
        if (a == std::string::npos) continue;
        RWValidationError finding;
        finding.message = line.substr(a, b - a + 1);
        finding.type = "xsd";
        finding.role = "error";
        finding.schemaTitle = title;
        finding.location = "";
        result.errors.push_back(std::move(finding));
    }
    result.valid = result.errors.empty();
    if (error) *error = local;
    return result;
}

std::optional<RWValidationResult> RWSchematronValidator::validateXMLWithAutoDetection(
    const std::string& xml, platform::Error* error) {
    auto paths = findMatchingSchemasForXML(xml, error);
    if (!paths || paths->empty()) return std::nullopt;
    RWValidationResult merged;
    merged.patterns = std::vector<std::string>();
    // Schematron schemas first, then XSDs, each in path order.
    std::vector<std::string> ordered = *paths;
    std::stable_partition(ordered.begin(), ordered.end(),
                          [this](const std::string& p) { return !catalog_.at(p).isXSD; });
    for (const auto& path : ordered) {
        std::optional<RWValidationResult> run = catalog_.at(path).isXSD
                                                    ? validateXMLWithXSDFile(xml, path, error)
                                                    : validateXMLWithSchemaFile(xml, path, error);
        if (!run) continue;
        merged.errors.insert(merged.errors.end(), run->errors.begin(), run->errors.end());
        merged.warnings.insert(merged.warnings.end(), run->warnings.begin(), run->warnings.end());
        if (run->patterns)
            merged.patterns->insert(merged.patterns->end(), run->patterns->begin(),
                                    run->patterns->end());
    }
    merged.valid = merged.errors.empty();
    merged.schemaFiles = ordered;
    return merged;
}

}  // namespace ruleweave
