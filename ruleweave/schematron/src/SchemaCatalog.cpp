// Cataloging schema folders and picking the schemas that fit a document.
#include <algorithm>
#include <fstream>
#include <future>
#include <regex>
#include <sstream>
#include <tuple>

#include "CatalogCache.h"
#include "RWCompiledSchema.h"
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

std::optional<std::string> firstMatch(const std::string& text, const std::regex& re) {
    std::smatch m;
    if (std::regex_search(text, m, re)) return m[1].str();
    return std::nullopt;
}

const std::regex& versionPattern() {
    static const std::regex re(R"((?:[Vv]ersion:?\s+|;\s*)(\d+(?:\.\d+)+))");
    return re;
}

// A Factur-X profile folder: its code list file (*_codedb.xml), whose list 1 holds the
// guideline IDs of the profile and whose header names the release.
struct ProfileFolder {
    std::vector<std::string> guidelineIDs;
    std::string version;
};

std::optional<ProfileFolder> profileFolder(const fs::path& folder) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() < 11 || name.compare(name.size() - 11, 11, "_codedb.xml") != 0) continue;
        auto text = platform::readFileData(entry.path());
        auto doc = text ? platform::XmlDocument::parse(*text) : nullptr;
        if (!doc) continue;
        ProfileFolder profile;
        platform::XPathContext xpath(doc->raw());
        for (auto value : xpath.nodes("/codedb/cl[@id='1']/enumeration/@value"))
            profile.guidelineIDs.push_back(value.stringValue());
        profile.version = firstMatch(text->substr(0, 1000), versionPattern()).value_or("");
        if (!profile.guidelineIDs.empty()) return profile;
    }
    return std::nullopt;
}

// The release a Schematron file belongs to: its title ("... Version 2.5.0 ...",
// "Schema for Factur-X; 1.09.2; ..."), else the header comment of the flattened copy that
// CEN ships beside it.
std::string schematronVersion(const std::string& title, const fs::path& path) {
    if (auto v = firstMatch(title, versionPattern())) return *v;
    fs::path flat = path.parent_path() / "preprocessed" /
                    (path.stem().string() + "-preprocessed" + path.extension().string());
    static const std::regex stated(R"(Schematron [Vv]ersion:?\s+(\d+(?:\.\d+)+))");
    if (auto text = platform::readFileData(flat))
        if (auto v = firstMatch(text->substr(0, 2000), stated)) return *v;
    return "";
}

std::string ruleSetName(const fs::path& path) {
    std::string stem = path.stem().string();
    const std::string suffix = "-validation";
    if (stem.size() > suffix.size() &&
        stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0)
        stem.erase(stem.size() - suffix.size());
    return stem;
}

bool isWithin(const fs::path& path, const fs::path& root) {
    auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return r == root.end();
}

constexpr const char* kCIINamespace =
    "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100";
constexpr const char* kZUGFeRD1Namespace = "urn:ferd:CrossIndustryDocument:invoice:1p0";

}  // namespace

void RWSchematronValidator::addSchemaDirectory(const fs::path& directory) {
    std::error_code ec;
    fs::path root = fs::canonical(directory, ec);
    catalogFromCache_ = false;
    if (ec || !catalogCacheDirectory_ || !fs::is_directory(root, ec)) {
        scanSchemaDirectory(directory);
        return;
    }
    const std::string fingerprint = folderFingerprint(root);
    const fs::path cacheFile = catalogCacheFile(*catalogCacheDirectory_, root);
    std::optional<std::string> cached;
    if (!fingerprint.empty() && fs::is_regular_file(cacheFile, ec))
        cached = platform::readFileData(cacheFile, nullptr, std::uintmax_t(64) << 20);
    // A damaged, foreign or outdated file is never trusted: the folder is cataloged again.
    if (auto snapshot = cached ? readCatalogCache(*cached, root, fingerprint) : std::nullopt) {
        if (std::none_of(rulesRoots_.begin(), rulesRoots_.end(),
                         [&](const fs::path& known) { return isWithin(root, known); }))
            rulesRoots_.push_back(root);
        for (const auto& file : snapshot->xmlCatalogs) registerXMLCatalog(file);
        for (auto& [path, entry] : snapshot->entries) catalog_[path] = std::move(entry);
        matchingCache_.clear();
        catalogFromCache_ = true;
        return;
    }
    CatalogSnapshot snapshot;
    snapshot.root = root;
    snapshot.fingerprint = fingerprint;
    recording_ = &snapshot;
    // The canonical folder, so the recorded paths stay valid however the folder is reached
    // later (the cache is keyed by the canonical folder).
    scanSchemaDirectory(root);
    recording_ = nullptr;
    if (fingerprint.empty()) return;
    fs::create_directories(*catalogCacheDirectory_, ec);
    if (!platform::writeFileAtomically(cacheFile, writeCatalogCache(snapshot)))
        platform::logLine("Cannot write the rules catalog cache " + cacheFile.string());
    pruneCatalogCache(*catalogCacheDirectory_);
}

void RWSchematronValidator::scanSchemaDirectory(const fs::path& directory) {
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec) {
        platform::logLine("Error reading schema directory " + directory.string() + ": " +
                          ec.message());
        return;
    }
    fs::path root = fs::canonical(directory, ec);
    if (!ec && std::none_of(rulesRoots_.begin(), rulesRoots_.end(),
                            [&](const fs::path& known) { return isWithin(root, known); }))
        rulesRoots_.push_back(root);
    std::vector<fs::directory_entry> entries(it, fs::directory_iterator());
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path() < b.path(); });
    for (const auto& entry : entries) {
        const fs::path& path = entry.path();
        if (entry.is_directory(ec)) {
            scanSchemaDirectory(path);
        } else if (path.extension() == ".sch") {
            if (path.filename().string().find("-preprocessed") == std::string::npos)
                catalogSchemaFile(path);
        } else if (path.extension() == ".xsd") {
            catalogXSDFile(path);
        } else if (path.filename() == "catalog.xml") {
            registerXMLCatalog(path);
            if (recording_) recording_->xmlCatalogs.push_back(path.string());
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
    entry.ruleSet.name = ruleSetName(path);
    entry.ruleSet.version = schematronVersion(entry.title, path);
    if (auto profile = profileFolder(path.parent_path())) {
        entry.profile = path.parent_path().filename().string();
        entry.profileIDs = profile->guidelineIDs;
        if (!profile->version.empty()) entry.ruleSet.version = profile->version;
    }
    entry.ruleSet.path = fs::absolute(path).lexically_normal().string();
    if (recording_) recording_->entries[fs::absolute(path).lexically_normal().string()] = entry;
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
    entry.ruleSet.name = entry.title;
    entry.ruleSet.version = root.attribute("version");
    entry.ruleSet.isXSD = true;
    if (auto profile = profileFolder(path.parent_path())) {
        entry.profile = path.parent_path().filename().string();
        entry.profileIDs = profile->guidelineIDs;
        if (entry.ruleSet.version.empty()) entry.ruleSet.version = profile->version;
    }
    entry.ruleSet.path = fs::absolute(path).lexically_normal().string();
    if (recording_) recording_->entries[fs::absolute(path).lexically_normal().string()] = entry;
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
    auto selection = selectSchemasForXML(xml, error);
    if (!selection) return std::nullopt;
    return selection->paths;
}

std::optional<RWSchematronValidator::Selection> RWSchematronValidator::selectSchemasForXML(
    const std::string& xml, platform::Error* error) {
    auto doc = platform::XmlDocument::parse(xml, error);
    if (!doc || !doc->root()) return std::nullopt;
    return selectSchemasForDocument(*doc, error);
}

RWSchematronValidator::Selection RWSchematronValidator::selectSchemasForDocument(
    const platform::XmlDocument& document, platform::Error* error) {
    const platform::XmlDocument* doc = &document;
    if (!doc->root()) {
        platform::setError(error, kRuleweaveErrorDomain, 404,
                           "No matching Schematron schema found for this XML document");
        return {};
    }
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
    Selection selection;
    if (cached != matchingCache_.end()) {
        selection = cached->second;
    } else {
        const std::string id = identifier.value_or(""), lowerID = lower(id);
        // Factur-X/ZUGFeRD 2 documents get exactly one profile's rules. XRechnung documents and
        // the plain EN 16931 identifier keep the CEN rules (plus XRechnung's).
        bool profiled = rootURI == kCIINamespace && rootLocal == "CrossIndustryInvoice" &&
                        identifier && lowerID.find("xrechnung") == std::string::npos &&
                        id != "urn:cen.eu:en16931:2017";
        auto profileWhere = [this](auto&& accepts) -> std::optional<std::string> {
            for (const auto& [path, entry] : catalog_)
                if (!entry.isXSD && !entry.profile.empty())
                    for (const auto& profileID : entry.profileIDs)
                        if (accepts(profileID)) return entry.profile;
            return std::nullopt;
        };
        std::optional<std::string> profile;
        if (profiled) {
            profile = profileWhere([&](const std::string& p) { return p == id; });
            selection.profileMatch = "exact";
            if (!profile) {
                // Older tools wrote IDs that only name the profile.
                for (std::string word : {"minimum", "basicwl", "basic", "extended"}) {
                    if (lowerID.find(word) == std::string::npos) continue;
                    profile = profileWhere([&](const std::string& p) {
                        std::string l = lower(p), tail = ":" + word;
                        return l.size() > tail.size() &&
                               l.compare(l.size() - tail.size(), tail.size(), tail) == 0;
                    });
                    break;
                }
                if (!profile && lowerID.rfind("urn:cen.eu:en16931:2017", 0) == 0)
                    profile = profileWhere(
                        [](const std::string& p) { return p == "urn:cen.eu:en16931:2017"; });
                selection.profileMatch = profile ? "legacy" : "unknown";
            }
            selection.profile = profile;
        } else if (rootURI == kZUGFeRD1Namespace && rootLocal == "CrossIndustryDocument") {
            // One rule set for all three 1.0 profiles; it is chosen by namespace.
            selection.profile = "ZUGFeRD1";
            bool known = false;
            for (const char* suffix : {":basic", ":comfort", ":extended"})
                known = known || id == std::string(kZUGFeRD1Namespace) + suffix;
            selection.profileMatch = known ? "exact" : "namespace";
        }

        for (const auto& [path, entry] : catalog_) {
            const bool declaresRoot = entry.isXSD && entry.namespaces.at("target") == rootURI &&
                                      entry.globalElements.count(rootLocal);
            if (!entry.profile.empty()) {
                if (profile && entry.profile == *profile && (!entry.isXSD || declaresRoot))
                    selection.paths.push_back(path);
                continue;
            }
            if (profile) continue;  // the profile's own XSD and rules replace the general ones
            if (entry.isXSD) {
                // An XSD runs only when it declares the document's root; schemas that merely
                // share a namespace are components of another schema.
                if (declaresRoot) selection.paths.push_back(path);
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
                std::string requirement = lower(*entry.customizationID);
                fits = requirement.find("xrechnung") != std::string::npos &&
                       lowerID.find("xrechnung") != std::string::npos;
            }
            if (fits) selection.paths.push_back(path);
        }
        // The same rule set reached through two schema folders runs once.
        std::set<std::tuple<std::string, std::string, std::string>> seen;
        std::erase_if(selection.paths, [&](const std::string& path) {
            const RWRuleSet& set = catalog_.at(path).ruleSet;
            return !seen.emplace(fs::path(path).filename().string(), set.name, set.version).second;
        });
        matchingCache_[key] = selection;
    }
    if (selection.paths.empty())
        platform::setError(error, kRuleweaveErrorDomain, 404,
                           "No matching Schematron schema found for this XML document");
    return selection;
}

xmlDocPtr RWSchematronValidator::ruleDocument(const fs::path& base, const std::string& uri) {
    // A scheme (http:, file:, ...) is never followed: rules read only files beside them.
    size_t colon = uri.find(':'), slash = uri.find('/');
    if (uri.empty() ||
        (colon != std::string::npos && (slash == std::string::npos || colon < slash)))
        return nullptr;
    std::error_code ec;
    fs::path target = fs::weakly_canonical(base / uri, ec);
    if (ec) return nullptr;
    std::vector<fs::path> roots = rulesRoots_;
    if (roots.empty()) roots.push_back(fs::weakly_canonical(base, ec));
    if (std::none_of(roots.begin(), roots.end(),
                     [&](const fs::path& root) { return isWithin(target, root); }))
        return nullptr;
    auto [it, inserted] = ruleDocuments_.try_emplace(target.string());
    if (inserted) {
        platform::Error readError;
        auto text = platform::readFileData(target, &readError, std::uintmax_t(64) << 20);
        it->second = text ? platform::XmlDocument::parse(*text, &readError) : nullptr;
        if (!it->second)
            platform::logLine("Error reading rule document " + target.string() + ": " +
                              readError.localizedDescription);
    }
    return it->second ? it->second->raw() : nullptr;
}

std::optional<RWValidationResult> RWSchematronValidator::validateXMLWithXSDFile(
    const std::string& xml, const fs::path& xsdFile, platform::Error* error) {
    auto doc = platform::XmlDocument::parse(xml, error);
    if (!doc) return std::nullopt;
    return validateDocumentWithXSDFile(*doc, xsdFile, error);
}

RWValidationResult RWSchematronValidator::validateDocumentWithXSDFile(
    const platform::XmlDocument& document, const fs::path& xsdFile, platform::Error* error) {
    const platform::XmlDocument* doc = &document;
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
    auto doc = platform::XmlDocument::parse(xml, error);
    if (!doc || !doc->root()) return std::nullopt;
    return validateDocumentWithAutoDetection(*doc, error);
}

std::optional<RWValidationResult> RWSchematronValidator::validateDocumentWithAutoDetection(
    const platform::XmlDocument& document, platform::Error* error) {
    auto selection = selectSchemasForDocument(document, error);
    if (selection.paths.empty()) return std::nullopt;
    RWValidationResult merged;
    merged.patterns = std::vector<std::string>();
    merged.profile = selection.profile;
    merged.profileMatch = selection.profileMatch;
    // Schematron schemas first, then XSDs, each in path order.
    std::vector<std::string> ordered = selection.paths;
    std::stable_partition(ordered.begin(), ordered.end(),
                          [this](const std::string& p) { return !catalog_.at(p).isXSD; });
    // An XSD not compiled yet is compiled beside the Schematron runs (the first invoice of a
    // process waits for both); the cache's lock orders it before its own use.
    std::vector<std::future<void>> compiling;
    for (const auto& path : ordered)
        if (catalog_.at(path).isXSD && !sharedXSDCache().contains(path))
            compiling.push_back(
                std::async(std::launch::async, [path] { sharedXSDCache().schemaFor(path); }));
    for (const auto& path : ordered) {
        const CatalogEntry& entry = catalog_.at(path);
        merged.ruleSets.push_back(entry.ruleSet);
        std::optional<RWValidationResult> run;
        if (entry.isXSD) {
            run = validateDocumentWithXSDFile(document, path, error);
        } else if (auto schema = compiledSchemaForFile(path, error)) {
            run = this->run(document, *schema);
        }
        if (!run) continue;
        for (auto* list : {&run->errors, &run->warnings})
            for (auto& finding : *list) finding.ruleSet = entry.ruleSet.name;
        merged.errors.insert(merged.errors.end(), run->errors.begin(), run->errors.end());
        merged.warnings.insert(merged.warnings.end(), run->warnings.begin(), run->warnings.end());
        for (auto problem : run->engineProblems) {
            problem.ruleSet = entry.ruleSet.name;
            merged.engineProblems.push_back(std::move(problem));
        }
        if (run->patterns)
            merged.patterns->insert(merged.patterns->end(), run->patterns->begin(),
                                    run->patterns->end());
    }
    merged.valid = merged.errors.empty();
    merged.schemaFiles = ordered;
    return merged;
}

}  // namespace ruleweave
