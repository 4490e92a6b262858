#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/LLDocument.h"

namespace library {

class LLDocumentValidator;

// The import behind a library: files, folders and PDFs read into invoices, gated and validated
// by the library's validator, stored by duplicate key, problems added to its error list.
class LLDocumentImporter {
  public:
    using ContextFactory = std::function<std::unique_ptr<LLObjectContext>(platform::Error*)>;

    // `onImportThread` tells whether the caller runs on the library's import thread, whose
    // validator is kept across invoices.
    LLDocumentImporter(LLDocumentValidator& validator, LLImportErrorList& errors,
                       std::function<bool()> onImportThread);

    std::vector<std::shared_ptr<LLInvoiceRecord>> importDirectory(
        const std::filesystem::path& directory, LLObjectContext& context);
    std::vector<std::shared_ptr<LLInvoiceRecord>> importFile(const std::filesystem::path& file,
                                                             LLObjectContext& context);
    std::vector<std::shared_ptr<LLInvoiceRecord>> importData(const std::string& xml,
                                                             LLObjectContext& context);
    // One run over the paths in a child context of its own, committed after each file.
    void runImport(const std::vector<std::filesystem::path>& paths,
                   const LLImportObserver& observer, const ContextFactory& newPrivateChildContext);
    // The files a run handles for one path, in walking order (a folder's XML files).
    static std::vector<std::filesystem::path> importFilesForPath(const std::filesystem::path& path);

  private:
    struct PreparedInvoice {
        LLInvoiceRecord::Summary summary;
        std::string received;
        LLValidationResult validationResult = LLValidationResult::NotValidated;
    };
    struct StoredPDF {
        std::string received;
        std::string rebuilt;
    };
    // `document` is `xml` parsed already, or null.
    std::optional<PreparedInvoice> prepareInvoice(const std::string& xml,
                                                  std::shared_ptr<platform::XmlDocument> document);
    std::shared_ptr<LLInvoiceRecord> storeInvoice(const PreparedInvoice& prepared,
                                                  LLObjectContext& context, const StoredPDF* pdf,
                                                  bool* replaced, platform::Error* error);
    void addError(const std::string& description, const std::string& path,
                  const std::string& reason = {});

    LLDocumentValidator& validator_;
    LLImportErrorList& errors_;
    std::function<bool()> onImportThread_;
};

}  // namespace library
