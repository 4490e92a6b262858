#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Error.h"
#include "platform/XmlDocument.h"
#include "ruleweave/RWExport.h"
#include "ruleweave/RWValidationResult.h"
#include "ruleweave/RWXPath2Evaluator.h"
#include "ruleweave/SchematronSchema.h"

namespace RULEWEAVE_EXPORT ruleweave {

inline constexpr const char* kRuleweaveErrorDomain = "Ruleweave";

// Parses and runs Schematron schemas, catalogs schema directories and picks the schemas that
// fit a document. One thread at a time; parsed schemas are cached for the validator's life.
class RWCompiledSchema;
struct CatalogSnapshot;

class RWSchematronValidator {
  public:
    RWSchematronValidator();
    ~RWSchematronValidator();
    RWSchematronValidator(const RWSchematronValidator&) = delete;
    RWSchematronValidator& operator=(const RWSchematronValidator&) = delete;
    RWSchematronValidator(RWSchematronValidator&&) noexcept;
    RWSchematronValidator& operator=(RWSchematronValidator&&) noexcept;
    bool isInitialized() const { return true; }

    // A validator for another thread: the same catalog, and the schemas compiled by either
    // are compiled once for both (they are immutable; each validator keeps its own evaluators
    // and rule documents).
    std::unique_ptr<RWSchematronValidator> sharingSchemas() const;

    // --- schemas
    std::optional<SchematronSchema> parseSchema(
        const std::string& text, const std::optional<std::filesystem::path>& basePath,
        platform::Error* error = nullptr);
    std::optional<SchematronSchema> parseSchema(const std::string& text,
                                                platform::Error* error = nullptr) {
        return parseSchema(text, std::nullopt, error);
    }
    // Schema text with includes expanded (the input unchanged when nothing could be expanded).
    std::string processIncludes(const std::string& text, const std::filesystem::path& basePath,
                                platform::Error* error = nullptr);
    // A schema file parsed once per validator.
    std::shared_ptr<const SchematronSchema> schemaForFile(const std::filesystem::path& path,
                                                          platform::Error* error = nullptr);

    // --- runs
    RWValidationResult validateDocument(const platform::XmlDocument& document,
                                        const SchematronSchema& schema,
                                        platform::Error* error = nullptr);
    std::optional<RWValidationResult> validateXMLWithSchemaFile(
        const std::string& xml, const std::filesystem::path& schemaFile,
        platform::Error* error = nullptr);
    std::optional<RWValidationResult> validateXMLWithSchema(const std::string& xml,
                                                            const std::string& schema,
                                                            platform::Error* error = nullptr);
    std::string evaluateMessageWithValueOf(xmlNodePtr messageElement, RWXPath2Evaluator& evaluator,
                                           xmlNodePtr contextNode,
                                           platform::Error* error = nullptr);
    static std::string getNodePath(xmlNodePtr node);
    static bool toBoolean(const RWXPValue& value);

    // --- catalog
    // Catalogs the folder, or takes its catalog from the cache folder when no file in it changed
    // since the catalog was stored there.
    void addSchemaDirectory(const std::filesystem::path& directory);
    // Where catalogs are kept between processes ($XDG_CACHE_HOME/ledgerlens by default); none
    // turns the cache off.
    void setCatalogCacheDirectory(std::optional<std::filesystem::path> directory) {
        catalogCacheDirectory_ = std::move(directory);
    }
    // Whether the last addSchemaDirectory() took the catalog from the cache.
    bool catalogFromCache() const { return catalogFromCache_; }
    void catalogSchemaFile(const std::filesystem::path& path);
    void catalogXSDFile(const std::filesystem::path& path);
    static std::optional<std::string> extractEN16931CustomizationIDRequirement(
        const platform::XmlDocument& schema);
    std::optional<std::vector<std::string>> findMatchingSchemasForXML(
        const std::string& xml, platform::Error* error = nullptr);
    static void collectNamespacesFromElement(xmlNodePtr element, std::set<std::string>& uris);
    std::optional<RWValidationResult> validateXMLWithAutoDetection(
        const std::string& xml, platform::Error* error = nullptr);
    // The same for a parsed document: selection, Schematron and XSD runs share the one tree.
    std::optional<RWValidationResult> validateDocumentWithAutoDetection(
        const platform::XmlDocument& document, platform::Error* error = nullptr);
    std::optional<RWValidationResult> validateXMLWithXSDFile(const std::string& xml,
                                                             const std::filesystem::path& xsdFile,
                                                             platform::Error* error = nullptr);
    RWValidationResult validateDocumentWithXSDFile(const platform::XmlDocument& document,
                                                   const std::filesystem::path& xsdFile,
                                                   platform::Error* error = nullptr);
    bool runSelfTest() const { return true; }

    struct CatalogEntry {
        std::map<std::string, std::string> namespaces;
        std::string title;
        std::optional<std::string> customizationID;
        bool isXSD = false;
        std::set<std::string> globalElements;  // XSD: local names of global element declarations
        RWRuleSet ruleSet;                     // name and version for reports
        // Factur-X profile sets: the folder's name and the guideline IDs its code list accepts
        // (list 1 of the folder's *_codedb.xml). Such entries run only for their profile.
        std::string profile;
        std::vector<std::string> profileIDs;
    };
    const std::map<std::string, CatalogEntry>& schemaCatalog() const { return catalog_; }

    // The schemas that fit a document and the Factur-X/ZUGFeRD profile behind the choice.
    struct Selection {
        std::vector<std::string> paths;
        std::optional<std::string> profile;
        std::optional<std::string> profileMatch;
    };
    std::optional<Selection> selectSchemasForXML(const std::string& xml,
                                                 platform::Error* error = nullptr);
    Selection selectSchemasForDocument(const platform::XmlDocument& document,
                                       platform::Error* error = nullptr);

    // A document that rules read with document(): `uri` relative to `base`, only inside the
    // schema directories (or `base` itself when none were added), never over the network;
    // parsed once per validator. Null when refused or unreadable.
    xmlDocPtr ruleDocument(const std::filesystem::path& base, const std::string& uri);

  private:
    std::map<std::string, CatalogEntry> catalog_;  // path order is the run order
    std::unordered_map<std::string, Selection> matchingCache_;
    std::vector<std::filesystem::path> rulesRoots_;  // canonical schema directories
    std::map<std::string, std::shared_ptr<platform::XmlDocument>> ruleDocuments_;
    void scanSchemaDirectory(const std::filesystem::path& directory);
    std::optional<std::filesystem::path> catalogCacheDirectory_;
    bool catalogFromCache_ = false;
    CatalogSnapshot* recording_ = nullptr;  // the catalog being stored, while scanning
    // Compiled schemas by file, shared with the validators made by sharingSchemas().
    struct SharedSchemas;
    std::shared_ptr<SharedSchemas> shared_;
    std::shared_ptr<const RWCompiledSchema> compiledSchemaForFile(const std::filesystem::path& path,
                                                                  platform::Error* error);
    RWValidationResult run(const platform::XmlDocument& document, const RWCompiledSchema& schema);
    // One evaluator per compiled schema and validator.
    std::unordered_map<const RWCompiledSchema*, std::unique_ptr<RWXPath2Evaluator>> evaluators_;
};

// The identifier that decides which customisation rules apply: cbc:CustomizationID or the CII
// guideline parameter; none when the document has neither.
std::optional<std::string> documentCustomizationID(xmlDocPtr doc);

}  // namespace ruleweave

namespace RULEWEAVE_EXPORT ruleweave {

inline constexpr const char* kRuleweaveDocumentErrorDomain = "RuleweaveErrorDomain";

// Document operations: validate a parsed document against schema text or a schema file (the
// file's includes resolve against its folder).
std::optional<RWValidationResult> validateWithSchematron(const platform::XmlDocument& document,
                                                         const std::string& schemaText,
                                                         platform::Error* error = nullptr);
std::optional<RWValidationResult> validateWithSchematronFile(
    const platform::XmlDocument& document, const std::filesystem::path& schemaFile,
    platform::Error* error = nullptr);

}  // namespace ruleweave
