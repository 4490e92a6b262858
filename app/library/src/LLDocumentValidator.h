#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "library/LLDocument.h"

namespace library {

// The validation behind a library: the rules folder, the XSD gate of the import, the silent
// validation of stored invoices and validation on request.
class LLDocumentValidator {
  public:
    LLDocumentValidator();
    ~LLDocumentValidator();

    std::filesystem::path rulesDirectory() const;
    bool hasRules() const;
    void setRulesDirectory(std::filesystem::path directory);
    std::vector<std::filesystem::path> xsdFilesForRootName(const std::string& qualifiedName) const;
    std::optional<std::string> validateXMLDocument(const platform::XmlDocument& document);
    // Whether the import's XSD gate lets a document with this root in: the rules hold XSDs for
    // it (answered once per XSD folder).
    bool hasXSDsForRootName(const std::string& qualifiedName) const;
    LLValidationResult validationResultCodeForXML(
        const std::optional<std::string>& xml, ruleweave::RWSchematronValidator& validator,
        std::shared_ptr<ruleweave::RWValidationResult>* result, platform::Error* error);
    // The same for `xml` already parsed as `document`, which is validated as it is.
    LLValidationResult validationResultCodeForDocument(
        const platform::XmlDocument& document, const std::string& xml,
        ruleweave::RWSchematronValidator& validator,
        std::shared_ptr<ruleweave::RWValidationResult>* result, platform::Error* error);
    void validateInvoiceSilently(LLInvoiceRecord& record,
                                 ruleweave::RWSchematronValidator* validator);
    std::unique_ptr<ruleweave::RWSchematronValidator> newValidator() const;
    LLDocument::ValidationOnRequest showValidation(LLInvoiceRecord& record,
                                                   ruleweave::RWSchematronValidator* validator);

    // The validator the import thread keeps across invoices (import thread only).
    ruleweave::RWSchematronValidator& importValidator();
    void resetImportValidator();

  private:
    mutable std::mutex rulesMutex_;
    std::optional<std::filesystem::path> rulesDirectory_;
    mutable std::map<std::string, bool> xsdFolderHasFiles_;  // under rulesMutex_
    std::shared_ptr<ruleweave::XSDSchemaCache> xsdCache_;
    std::unique_ptr<ruleweave::RWSchematronValidator> importValidator_;  // import thread only
    // Catalogs the rules once; every validator made from it shares the compiled rule sets.
    mutable std::mutex prototypeMutex_;
    mutable std::unique_ptr<ruleweave::RWSchematronValidator> prototypeValidator_;
};

}  // namespace library
