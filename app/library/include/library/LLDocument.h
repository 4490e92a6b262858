#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "library/LLImportErrorList.h"
#include "library/LLObjectContext.h"
#include "platform/Error.h"
#include "platform/XmlDocument.h"

namespace model {
class LLInvoice;
}

namespace ruleweave {
class RWSchematronValidator;
class XSDSchemaCache;
struct RWValidationResult;
}  // namespace ruleweave

namespace library {

class LLDocumentImporter;
class LLDocumentValidator;
class LLSerialQueue;

// Where import requests come from; each accepts other files (see acceptsFile).
enum class LLImportEntryPoint { ImportCommand, Drop, OpenedFromSystem, InsideFolder };

// Progress of an import run, reported from the import thread.
struct LLImportProgress {
    std::string path;              // the file just handled
    std::size_t filesHandled = 0;  // in this run
    std::size_t recordsImported = 0;
    std::size_t recordsCommitted = 0;           // durable in the library file
    std::vector<std::string> fileURIStrings;    // the records of this file, committed
    std::vector<LLImportReplacement> replaced;  // stored invoices this file replaced
};

struct LLImportObserver {
    // Called on the import thread after each file.
    std::function<void(const LLImportProgress&)> progress;
    // Called on the import thread when the run is over, with the URI strings of every record
    // the run created or updated (in import order). A window resolves them in its main
    // context with objectsForURIStrings().
    std::function<void(std::vector<std::string> uriStrings)> finished;
    // Asked on the import thread before each file; true ends the run there (what was imported
    // stays, and `finished` is still called).
    std::function<bool()> cancelled;
};

// The alert a library window shows instead of (or before) a result.
struct LLAlert {
    enum class Style { Warning, Critical };
    Style style = Style::Warning;
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;  // empty: a single OK button
};

// A library: one SQLite file of stored invoices with its main object context, the import runs
// into it, the validation of its invoices and the export of its records.
class LLDocument : public std::enable_shared_from_this<LLDocument> {
  public:
    static constexpr const char* kFileExtension = "ledgerlens";

    // A new untitled library; it lives in a temporary file until saved with saveAs().
    static std::shared_ptr<LLDocument> makeUntitled(platform::Error* error = nullptr);
    // Opens a library file; with `create`, a missing file becomes a new empty library.
    static std::shared_ptr<LLDocument> open(const std::filesystem::path& file, bool create = false,
                                            platform::Error* error = nullptr);
    // Opens a library for reading only (listing, export): also one in a folder or on a disk
    // that cannot be written. Its records cannot be changed.
    static std::shared_ptr<LLDocument> openReadOnly(const std::filesystem::path& file,
                                                    platform::Error* error = nullptr);
    ~LLDocument();
    LLDocument(const LLDocument&) = delete;
    LLDocument& operator=(const LLDocument&) = delete;

    // --- lifecycle
    // None while untitled.
    const std::optional<std::filesystem::path>& fileURL() const { return fileURL_; }
    // The file name without its extension; "Untitled" while untitled.
    std::string displayName() const;
    // Every change is written when it is made; saving waits for running imports and makes the
    // file self-contained (WAL checkpoint). An untitled library needs saveAs().
    bool save(platform::Error* error = nullptr);
    // Writes the library to `file` (replacing it) and continues there.
    bool saveAs(const std::filesystem::path& file, platform::Error* error = nullptr);
    void saveAll();
    // Waits for imports, saves and closes; an untitled library's temporary file is removed.
    void close();
    bool isClosed() const { return !main_; }

    // What closing asks for: close now (the library has a file), close without asking (an
    // untitled library without records), or ask with unsavedChangesAlert() whose first button
    // saves (saveAs) and whose second closes without saving.
    enum class CloseDecision { CloseNow, CloseWithoutAsking, AskUnsavedChanges };
    CloseDecision saveNewFile();
    static LLAlert unsavedChangesAlert();

    // --- store
    LLObjectContext& managedObjectContext();
    LLUndoManager& undoManager() { return managedObjectContext().undoManager(); }
    // A second connection for work on another thread.
    std::unique_ptr<LLObjectContext> newPrivateChildContext(platform::Error* error = nullptr);
    // The status of the icon for a stored result.
    static LLValidationStatus validationStatusForResult(LLValidationResult result);

    // --- import errors (appends may come from the import thread)
    void resetErrors();
    void addError(const std::string& description, const std::string& path,
                  const std::string& reason = {});
    std::vector<LLImportError> errors() const;

    // --- import
    static bool acceptsFile(LLImportEntryPoint entry, const std::filesystem::path& path);
    // A file the application opens as a library rather than importing it (".ledgerlens").
    static bool isLibraryFile(const std::filesystem::path& path);
    // One import run on the library's import thread; returns at once. Runs are handled one
    // after another in the order they were started. A run keeps the library alive until it has
    // finished, so its owners may let go of it at any time (also from the observer's callbacks).
    void importPaths(std::vector<std::filesystem::path> paths, LLImportObserver observer = {});
    void importPath(const std::optional<std::filesystem::path>& path,
                    LLImportObserver observer = {});
    // Blocks until every started run has finished.
    void waitForImports();
    // Imports raw XML on the import thread (no error list, no selection); true when stored.
    std::optional<std::string> importData(const std::string& xml);

    // The import steps, usable with any context (the run uses its child context).
    std::vector<std::shared_ptr<LLInvoiceRecord>> importDirectory(
        const std::filesystem::path& directory, LLObjectContext& context);
    std::vector<std::shared_ptr<LLInvoiceRecord>> importFile(const std::filesystem::path& file,
                                                             LLObjectContext& context);
    std::vector<std::shared_ptr<LLInvoiceRecord>> importData(const std::string& xml,
                                                             LLObjectContext& context);
    // "<seller VAT>-<number>", an absent part written "(null)".
    static std::string duplicateKey(const std::optional<std::string>& sellerVAT,
                                    const std::optional<std::string>& number);
    // The key of an invoice: without a seller VAT number, the seller's identifier, tax number
    // or name follows (" id:…", " tax:…", " name:…"), so other sellers' invoices stay apart.
    static std::string duplicateKey(const model::LLInvoice& invoice);
    static std::optional<std::string> duplicateKeyForXML(const std::string& xml);
    // The replacements found by importFile() since the last call.
    std::vector<LLImportReplacement> takeReplacements();

    // --- validation
    // The folder of the XSD and Schematron sets (default: the resources' "rules" folder).
    std::filesystem::path rulesDirectory() const;
    // False when the rules folder is missing or empty: invoices are then stored unchecked
    // (code 0, not validated).
    bool hasRules() const;
    void setRulesDirectory(std::filesystem::path directory);
    // The XSD set for a root element's qualified name: folder (below the rules folder) and the
    // schema files used from it, in resource order.
    std::vector<std::filesystem::path> xsdFilesForRootName(const std::string& qualifiedName) const;
    static std::string xsdResourceFolderForRootName(const std::string& qualifiedName);
    // The import gate: the name of the schema the document was checked against, or none.
    std::optional<std::string> validateXMLDocument(const platform::XmlDocument& document);
    // Stores the code of an automatic Schematron validation in the record. `validator` may be
    // shared by calls on one thread; a new one is made otherwise.
    void validateInvoiceSilently(LLInvoiceRecord& record,
                                 ruleweave::RWSchematronValidator* validator = nullptr);
    // The result for XML text (none: not validated): the silent validation without a record.
    LLValidationResult validationResultCodeForXML(
        const std::optional<std::string>& xml, ruleweave::RWSchematronValidator& validator,
        std::shared_ptr<ruleweave::RWValidationResult>* result = nullptr,
        platform::Error* error = nullptr);

    // A validator over the rules folder's Schematron sets, as the library validates.
    std::unique_ptr<ruleweave::RWSchematronValidator> newValidator() const;

    // Validation on request: stores the new code and answers the result to show, or the
    // alert to show instead.
    struct ValidationOnRequest {
        std::shared_ptr<ruleweave::RWValidationResult> result;
        std::optional<LLAlert> alert;
        std::string displayName;  // the sheet's file name: the record's name or "Invoice"
        std::optional<std::string> storeError;  // the new code could not be stored: why
    };
    // `validator` may be kept for several calls on one thread; a new one is made otherwise.
    ValidationOnRequest showValidation(LLInvoiceRecord& record,
                                       ruleweave::RWSchematronValidator* validator = nullptr);

  private:
    LLDocument();
    bool attach(const std::filesystem::path& file, bool create, platform::Error* error,
                bool readOnly = false);
    void runImport(const std::vector<std::filesystem::path>& paths,
                   const LLImportObserver& observer);

    std::optional<std::filesystem::path> fileURL_;
    std::filesystem::path storePath_;  // the file the store lives in (temporary while untitled)
    std::unique_ptr<LLObjectContext> main_;
    std::unique_ptr<LLSerialQueue> importQueue_;
    // Each responsibility behind the library has a class of its own.
    std::unique_ptr<LLImportErrorList> errorList_;
    std::unique_ptr<LLDocumentValidator> validator_;
    std::unique_ptr<LLDocumentImporter> importer_;
};

}  // namespace library
