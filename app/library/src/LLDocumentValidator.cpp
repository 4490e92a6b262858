#include "LLDocumentValidator.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>

#include "LLDocumentAlerts.h"
#include "library/LLDocument.h"
#include "platform/Log.h"
#include "platform/Resources.h"
#include "ruleweave/RWSchematronValidator.h"
#include "ruleweave/XSDValidation.h"

namespace fs = std::filesystem;

namespace library {
namespace {

bool isUTF8(const std::string& bytes) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status) ||
           (status == U_STRING_NOT_TERMINATED_WARNING);
}

std::string nameOrUnknown(const LLInvoiceRecord& record) {
    return record.name() ? *record.name() : "Unknown";
}

}  // namespace

LLDocumentValidator::LLDocumentValidator()
    : xsdCache_(std::make_shared<ruleweave::XSDSchemaCache>()) {}

LLDocumentValidator::~LLDocumentValidator() = default;

fs::path LLDocumentValidator::rulesDirectory() const {
    std::lock_guard lock(rulesMutex_);
    if (rulesDirectory_) return *rulesDirectory_;
    auto resources = platform::resourceDirectory();
    return resources ? *resources / "rules" : fs::path("resources/rules");
}

bool LLDocumentValidator::hasRules() const {
    std::error_code ec;
    return fs::is_directory(rulesDirectory(), ec) && !fs::is_empty(rulesDirectory(), ec) && !ec;
}

void LLDocumentValidator::setRulesDirectory(fs::path directory) {
    {
        std::lock_guard lock(rulesMutex_);
        rulesDirectory_ = std::move(directory);
        xsdFolderHasFiles_.clear();
        importValidator_.reset();
    }
    std::lock_guard lock(prototypeMutex_);
    prototypeValidator_.reset();
}

std::unique_ptr<ruleweave::RWSchematronValidator> LLDocumentValidator::newValidator() const {
    std::lock_guard lock(prototypeMutex_);
    if (!prototypeValidator_) {
        prototypeValidator_ = std::make_unique<ruleweave::RWSchematronValidator>();
        prototypeValidator_->addSchemaDirectory(rulesDirectory());
        prototypeValidator_->addSchemaDirectory(rulesDirectory() / "Schematron");
    }
    return prototypeValidator_->sharingSchemas();
}

std::string LLDocument::xsdResourceFolderForRootName(const std::string& name) {
    if (name.find("rsm:CrossIndustryInvoice") != std::string::npos) return "CII-XSD";
    if (name == "ns3:FatturaElettronica" || name == "p:FatturaElettronica") return "FatturaPA-XSD";
    if (name.find("Facturae") != std::string::npos) return "Facturae-XSD";
    return "UBL-XSD/maindoc";
}

std::vector<fs::path> LLDocumentValidator::xsdFilesForRootName(const std::string& name) const {
    const std::string folder = LLDocument::xsdResourceFolderForRootName(name);
    std::vector<fs::path> files;
    std::error_code ec;
    fs::path directory = rulesDirectory() / folder;
    for (fs::recursive_directory_iterator it(directory, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->path().extension() != ".xsd") continue;
        const std::string file = it->path().filename().string();
        if (folder == "CII-XSD" && file.find("_urn") != std::string::npos) continue;
        if (folder == "UBL-XSD/maindoc" && file.find("-Invoice") == std::string::npos) continue;
        files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::optional<std::string> LLDocumentValidator::validateXMLDocument(
    const platform::XmlDocument& document) {
    auto root = document.root();
    if (!root) return std::nullopt;
    auto files = xsdFilesForRootName(root.name());
    if (files.empty()) return std::nullopt;
    return ruleweave::validateWithXSDs(document, files, nullptr, xsdCache_.get());
}

bool LLDocumentValidator::hasXSDsForRootName(const std::string& name) const {
    const std::string folder = LLDocument::xsdResourceFolderForRootName(name);
    {
        std::lock_guard lock(rulesMutex_);
        if (auto it = xsdFolderHasFiles_.find(folder); it != xsdFolderHasFiles_.end())
            return it->second;
    }
    const bool has = !xsdFilesForRootName(name).empty();
    std::lock_guard lock(rulesMutex_);
    xsdFolderHasFiles_[folder] = has;
    return has;
}

LLValidationResult LLDocumentValidator::validationResultCodeForXML(
    const std::optional<std::string>& xml, ruleweave::RWSchematronValidator& validator,
    std::shared_ptr<ruleweave::RWValidationResult>* result, platform::Error* error) {
    if (!xml) return LLValidationResult::NotValidated;
    if (!isUTF8(*xml)) return LLValidationResult::NotUTF8;
    auto document = platform::XmlDocument::parse(*xml, error);
    if (!document || !document->root()) return LLValidationResult::Failed;
    return validationResultCodeForDocument(*document, *xml, validator, result, error);
}

LLValidationResult LLDocumentValidator::validationResultCodeForDocument(
    const platform::XmlDocument& document, const std::string& xml,
    ruleweave::RWSchematronValidator& validator,
    std::shared_ptr<ruleweave::RWValidationResult>* result, platform::Error* error) {
    if (!isUTF8(xml)) return LLValidationResult::NotUTF8;
    auto outcome = validator.validateDocumentWithAutoDetection(document, error);
    if (!outcome) return LLValidationResult::Failed;
    LLValidationResult code = LLValidationResult::NoRules;
    if (outcome->schemaFiles && !outcome->schemaFiles->empty()) {
        // Information findings alone leave an invoice green.
        const int status = outcome->status();
        code = status >= 3   ? LLValidationResult::Invalid
               : status == 2 ? LLValidationResult::Warnings
                             : LLValidationResult::Valid;
    }
    if (result) *result = std::make_shared<ruleweave::RWValidationResult>(std::move(*outcome));
    return code;
}

void LLDocumentValidator::validateInvoiceSilently(LLInvoiceRecord& record,
                                                  ruleweave::RWSchematronValidator* validator) {
    std::unique_ptr<ruleweave::RWSchematronValidator> own;
    if (!validator) {
        own = newValidator();
        validator = own.get();
    }
    record.setValidationResult(
        hasRules() ? validationResultCodeForXML(record.xml(), *validator, nullptr, nullptr)
                   : LLValidationResult::NotValidated);
}

LLDocument::ValidationOnRequest LLDocumentValidator::showValidation(
    LLInvoiceRecord& record, ruleweave::RWSchematronValidator* validator) {
    LLDocument::ValidationOnRequest answer;
    answer.displayName = record.name() ? *record.name() : "Invoice";
    auto xml = record.xml();
    if (!xml) {
        answer.alert = LLDocumentAlerts::noXMLData(nameOrUnknown(record));
        return answer;
    }
    if (!isUTF8(*xml)) {
        if (!record.setValidationResult(LLValidationResult::NotUTF8) &&
            record.managedObjectContext())
            answer.storeError = record.managedObjectContext()->lastStoreError();
        answer.alert = LLDocumentAlerts::invalidXML(nameOrUnknown(record));
        return answer;
    }
    std::unique_ptr<ruleweave::RWSchematronValidator> own;
    if (!validator) {
        own = newValidator();
        validator = own.get();
    }
    platform::Error error;
    LLValidationResult code = validationResultCodeForXML(xml, *validator, &answer.result, &error);
    if (!record.setValidationResult(code))
        answer.storeError = record.managedObjectContext()
                                ? record.managedObjectContext()->lastStoreError()
                                : std::string("the library is closed");
    if (code == LLValidationResult::Failed) {
        std::string reason =
            error.localizedDescription.empty() ? "Unknown error" : error.localizedDescription;
        answer.alert = LLDocumentAlerts::validationError(nameOrUnknown(record), reason);
    }
    return answer;
}

ruleweave::RWSchematronValidator& LLDocumentValidator::importValidator() {
    if (!importValidator_) importValidator_ = newValidator();
    return *importValidator_;
}

void LLDocumentValidator::resetImportValidator() { importValidator_.reset(); }

// --- LLDocument's validation, answered by its validator

fs::path LLDocument::rulesDirectory() const { return validator_->rulesDirectory(); }

bool LLDocument::hasRules() const { return validator_->hasRules(); }

void LLDocument::setRulesDirectory(fs::path directory) {
    waitForImports();
    validator_->setRulesDirectory(std::move(directory));
}

std::unique_ptr<ruleweave::RWSchematronValidator> LLDocument::newValidator() const {
    return validator_->newValidator();
}

std::vector<fs::path> LLDocument::xsdFilesForRootName(const std::string& name) const {
    return validator_->xsdFilesForRootName(name);
}

std::optional<std::string> LLDocument::validateXMLDocument(const platform::XmlDocument& document) {
    return validator_->validateXMLDocument(document);
}

LLValidationResult LLDocument::validationResultCodeForXML(
    const std::optional<std::string>& xml, ruleweave::RWSchematronValidator& validator,
    std::shared_ptr<ruleweave::RWValidationResult>* result, platform::Error* error) {
    return validator_->validationResultCodeForXML(xml, validator, result, error);
}

void LLDocument::validateInvoiceSilently(LLInvoiceRecord& record,
                                         ruleweave::RWSchematronValidator* validator) {
    validator_->validateInvoiceSilently(record, validator);
}

LLDocument::ValidationOnRequest LLDocument::showValidation(
    LLInvoiceRecord& record, ruleweave::RWSchematronValidator* validator) {
    return validator_->showValidation(record, validator);
}

}  // namespace library
