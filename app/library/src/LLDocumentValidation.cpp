#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>

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

std::string format(std::string pattern, const std::vector<std::string>& values) {
    size_t from = 0;
    for (const auto& value : values) {
        size_t at = pattern.find("%@", from);
        if (at == std::string::npos) break;
        pattern.replace(at, 2, value);
        from = at + value.size();
    }
    return pattern;
}

}  // namespace

fs::path LLDocument::rulesDirectory() const {
    std::lock_guard lock(rulesMutex_);
    if (rulesDirectory_) return *rulesDirectory_;
    auto resources = platform::resourceDirectory();
    return resources ? *resources / "rules" : fs::path("resources/rules");
}

bool LLDocument::hasRules() const {
    std::error_code ec;
    return fs::is_directory(rulesDirectory(), ec) && !fs::is_empty(rulesDirectory(), ec) && !ec;
}

void LLDocument::setRulesDirectory(fs::path directory) {
    waitForImports();
    {
        std::lock_guard lock(rulesMutex_);
        rulesDirectory_ = std::move(directory);
        importValidator_.reset();
    }
    std::lock_guard lock(prototypeMutex_);
    prototypeValidator_.reset();
}

std::unique_ptr<ruleweave::RWSchematronValidator> LLDocument::newValidator() const {
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

std::vector<fs::path> LLDocument::xsdFilesForRootName(const std::string& name) const {
    const std::string folder = xsdResourceFolderForRootName(name);
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

std::optional<std::string> LLDocument::validateXMLDocument(const platform::XmlDocument& document) {
    auto root = document.root();
    if (!root) return std::nullopt;
    auto files = xsdFilesForRootName(root.name());
    if (files.empty()) return std::nullopt;
    return ruleweave::validateWithXSDs(document, files, nullptr, xsdCache_.get());
}

int LLDocument::validationResultCodeForXML(const std::optional<std::string>& xml,
                                           ruleweave::RWSchematronValidator& validator,
                                           std::shared_ptr<ruleweave::RWValidationResult>* result,
                                           platform::Error* error) {
    if (!xml) return 0;
    if (!isUTF8(*xml)) return 5;
    auto outcome = validator.validateXMLWithAutoDetection(*xml, error);
    if (!outcome) return 6;
    int code;
    if (!outcome->schemaFiles || outcome->schemaFiles->empty())
        code = 1;
    else
        code = 1 + outcome->status();  // information findings alone leave an invoice green
    if (result) *result = std::make_shared<ruleweave::RWValidationResult>(std::move(*outcome));
    return code;
}

void LLDocument::validateInvoiceSilently(LLInvoiceRecord& record,
                                         ruleweave::RWSchematronValidator* validator) {
    std::unique_ptr<ruleweave::RWSchematronValidator> own;
    if (!validator) {
        own = newValidator();
        validator = own.get();
    }
    record.setValidationResult(hasRules() ? validationResultCodeForXML(record.xml(), *validator)
                                          : 0);
}

LLDocument::ValidationOnRequest LLDocument::showValidation(
    LLInvoiceRecord& record, ruleweave::RWSchematronValidator* validator) {
    ValidationOnRequest answer;
    answer.displayName = record.name() ? *record.name() : "Invoice";
    auto xml = record.xml();
    if (!xml) {
        answer.alert = LLAlert{LLAlert::Style::Warning,
                               "No XML Data",
                               format("Invoice '%@' has no XML data.", {nameOrUnknown(record)}),
                               {}};
        return answer;
    }
    if (!isUTF8(*xml)) {
        if (!record.setValidationResult(5) && record.managedObjectContext())
            answer.storeError = record.managedObjectContext()->lastStoreError();
        answer.alert =
            LLAlert{LLAlert::Style::Warning,
                    "Invalid XML",
                    format("Invoice '%@' contains invalid XML data.", {nameOrUnknown(record)}),
                    {}};
        return answer;
    }
    std::unique_ptr<ruleweave::RWSchematronValidator> own;
    if (!validator) {
        own = newValidator();
        validator = own.get();
    }
    platform::Error error;
    int code = validationResultCodeForXML(xml, *validator, &answer.result, &error);
    if (!record.setValidationResult(code))
        answer.storeError = record.managedObjectContext()
                                ? record.managedObjectContext()->lastStoreError()
                                : std::string("the library is closed");
    if (code == 6) {
        std::string reason =
            error.localizedDescription.empty() ? "Unknown error" : error.localizedDescription;
        answer.alert =
            LLAlert{LLAlert::Style::Critical,
                    "Validation Error",
                    format("Failed to validate '%@': %@", {nameOrUnknown(record), reason}),
                    {}};
    }
    return answer;
}

}  // namespace library
