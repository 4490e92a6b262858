#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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

class LLSerialQueue;

// A problem with one file of an import run: one of the identifiers below, the file's path and,
// where the system gave one, its reason ("Permission denied", "the PDF is encrypted", ...).
struct LLImportError {
    std::string description;
    std::string path;
    std::string reason;
    bool operator==(const LLImportError&) const = default;
};
inline constexpr const char* kLLErrorNoXMLInPDF = "LLErrorNoXMLInPDF";
inline constexpr const char* kLLErrorNoValidXML = "LLErrorNoValidXML";
inline constexpr const char* kLLErrorNoSuchFile = "LLErrorNoSuchFile";
inline constexpr const char* kLLErrorUnreadableFile = "LLErrorUnreadableFile";
inline constexpr const char* kLLErrorUnreadablePDF = "LLErrorUnreadablePDF";
inline constexpr const char* kLLErrorNotStored = "LLErrorNotStored";

// A stored invoice that an import replaced with the one of `path`.
struct LLImportReplacement {
    std::string path;
    std::string number;
    std::string seller;
    bool operator==(const LLImportReplacement&) const = default;
};

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
    // The status of the icon for a stored code: 2, 3, 4 → 1, 2, 3; others 0.
    static int validationStatusForResult(int code);

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
    // The code for XML text (none: 0): the silent validation without a record.
    int validationResultCodeForXML(const std::optional<std::string>& xml,
                                   ruleweave::RWSchematronValidator& validator,
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
    LLDocument() = default;
    struct PreparedInvoice {
        LLInvoiceRecord::Summary summary;
        std::string received;
        int validationResult = 0;
    };
    struct StoredPDF {
        std::string received;
        std::string rebuilt;
    };
    std::optional<PreparedInvoice> prepareInvoice(const std::string& xml);
    std::shared_ptr<LLInvoiceRecord> storeInvoice(const PreparedInvoice& prepared,
                                                  LLObjectContext& context, const StoredPDF* pdf,
                                                  bool* replaced, platform::Error* error);
    bool attach(const std::filesystem::path& file, bool create, platform::Error* error,
                bool readOnly = false);
    ruleweave::RWSchematronValidator& importValidator();
    // The files a run handles for one path, in walking order (a folder's XML files).
    static std::vector<std::filesystem::path> importFilesForPath(const std::filesystem::path& path);
    void runImport(const std::vector<std::filesystem::path>& paths,
                   const LLImportObserver& observer);

    std::optional<std::filesystem::path> fileURL_;
    std::filesystem::path storePath_;  // the file the store lives in (temporary while untitled)
    std::unique_ptr<LLObjectContext> main_;
    std::unique_ptr<LLSerialQueue> importQueue_;
    std::shared_ptr<ruleweave::XSDSchemaCache> xsdCache_;
    std::unique_ptr<ruleweave::RWSchematronValidator> importValidator_;  // import thread only
    // Catalogs the rules once; every validator made from it shares the compiled rule sets.
    mutable std::mutex prototypeMutex_;
    mutable std::unique_ptr<ruleweave::RWSchematronValidator> prototypeValidator_;
    mutable std::mutex errorsMutex_;
    std::vector<LLImportError> errors_;
    std::vector<LLImportReplacement> replacements_;
    mutable std::mutex rulesMutex_;
    std::optional<std::filesystem::path> rulesDirectory_;
};

}  // namespace library
