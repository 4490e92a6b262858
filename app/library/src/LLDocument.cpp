#include "library/LLDocument.h"

#include <sqlite3.h>

#include <utility>

#include "LLDocumentAlerts.h"
#include "LLDocumentImporter.h"
#include "LLDocumentValidator.h"
#include "LLSerialQueue.h"
#include "platform/Log.h"
#include "platform/SFLocalizeHelper.h"
#include "platform/Uuid.h"
#include "ruleweave/RWSchematronValidator.h"
#include "ruleweave/XSDValidation.h"

namespace fs = std::filesystem;

namespace library {
namespace {

void removeStoreFiles(const fs::path& file) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(fs::path(file.string() + suffix), ignored);
}

}  // namespace

LLDocument::LLDocument()
    : errorList_(std::make_unique<LLImportErrorList>()),
      validator_(std::make_unique<LLDocumentValidator>()),
      importer_(std::make_unique<LLDocumentImporter>(*validator_, *errorList_, [this] {
          return importQueue_ && importQueue_->isWorkerThread();
      })) {}

std::shared_ptr<LLDocument> LLDocument::makeUntitled(platform::Error* error) {
    std::shared_ptr<LLDocument> document(new LLDocument());
    std::error_code ec;
    fs::path folder = fs::temp_directory_path(ec);
    if (ec) folder = "/tmp";
    fs::path file = folder / ("Ledgerlens-Untitled-" + platform::newUUID() + ".ledgerlens");
    if (!document->attach(file, true, error)) return nullptr;
    return document;
}

std::shared_ptr<LLDocument> LLDocument::open(const fs::path& file, bool create,
                                             platform::Error* error) {
    std::shared_ptr<LLDocument> document(new LLDocument());
    if (!document->attach(file, create, error)) return nullptr;
    document->fileURL_ = file;
    return document;
}

std::shared_ptr<LLDocument> LLDocument::openReadOnly(const fs::path& file, platform::Error* error) {
    std::shared_ptr<LLDocument> document(new LLDocument());
    if (!document->attach(file, false, error, true)) return nullptr;
    document->fileURL_ = file;
    return document;
}

bool LLDocument::attach(const fs::path& file, bool create, platform::Error* error, bool readOnly) {
    main_ = LLObjectContext::open(LLObjectContext::Kind::Main, file, create, error, readOnly);
    if (!main_) return false;
    storePath_ = file;
    if (!importQueue_) importQueue_ = std::make_unique<LLSerialQueue>();
    return true;
}

LLDocument::~LLDocument() { close(); }

std::string LLDocument::displayName() const {
    if (!fileURL_) return platform::localizedString("Untitled");
    return fileURL_->stem().string();
}

LLObjectContext& LLDocument::managedObjectContext() { return *main_; }

std::unique_ptr<LLObjectContext> LLDocument::newPrivateChildContext(platform::Error* error) {
    if (!main_) {
        platform::setError(error, kLibraryErrorDomain, LLLibraryErrorOpen,
                           "The library is closed.");
        return nullptr;
    }
    return LLObjectContext::open(LLObjectContext::Kind::PrivateChild, storePath_, false, error);
}

bool LLDocument::save(platform::Error* error) {
    if (!main_) return false;
    waitForImports();
    if (!fileURL_) {
        return platform::setError(error, kLibraryErrorDomain, LLLibraryErrorNoLocation,
                                  "The library has no file yet; choose where to save it.");
    }
    if (main_->isReadOnly()) return true;
    // Everything is committed already; the checkpoint folds the log into the file itself.
    return main_->exec("PRAGMA wal_checkpoint(TRUNCATE)", error);
}

bool LLDocument::saveAs(const fs::path& file, platform::Error* error) {
    if (!main_) return false;
    waitForImports();
    std::error_code ec;
    fs::path target = fs::absolute(file, ec);
    if (ec) target = file;
    if (fs::exists(storePath_) && fs::exists(target) && fs::equivalent(storePath_, target, ec))
        return save(error);
    // Copy through a temporary file beside the target and rename it: the old file at the
    // target stays whole until the copy is complete.
    fs::path temporary = target;
    temporary += ".saving-" + platform::newUUID();
    sqlite3* destination = nullptr;
    auto fail = [&](const std::string& reason) {
        if (destination) sqlite3_close_v2(destination);
        removeStoreFiles(temporary);
        return platform::setError(
            error, kLibraryErrorDomain, LLLibraryErrorStore,
            "The library could not be saved to “" + target.string() + "”: " + reason);
    };
    if (sqlite3_open_v2(temporary.c_str(), &destination, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        return fail(destination ? sqlite3_errmsg(destination) : "out of memory");
    sqlite3_backup* backup = sqlite3_backup_init(destination, "main", main_->db_, "main");
    if (!backup) return fail(sqlite3_errmsg(destination));
    int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) return fail(sqlite3_errmsg(destination));
    // A file of its own, without a log beside it.
    sqlite3_exec(destination, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_close_v2(destination);
    destination = nullptr;
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        fs::remove(fs::path(target.string() + suffix), ec);
    fs::rename(temporary, target, ec);
    if (ec) return fail(ec.message());

    bool wasUntitled = !fileURL_;
    fs::path oldStore = storePath_;
    main_.reset();
    if (!attach(target, false, error)) {
        // The copy is there but cannot be used: stay on the old store.
        attach(oldStore, false, nullptr);
        return false;
    }
    fileURL_ = target;
    if (wasUntitled) removeStoreFiles(oldStore);
    return true;
}

void LLDocument::saveAll() {
    if (main_ && fileURL_) save();
}

void LLDocument::close() {
    if (!main_) return;
    waitForImports();
    saveAll();
    importQueue_.reset();
    validator_->resetImportValidator();
    main_.reset();
    if (!fileURL_) removeStoreFiles(storePath_);
}

LLDocument::CloseDecision LLDocument::saveNewFile() {
    if (fileURL_) return CloseDecision::CloseNow;
    waitForImports();
    auto invoices = main_->countInvoices();
    auto lines = main_->countTaxSubtotals();
    if (invoices.value_or(1) == 0 && lines.value_or(1) == 0)
        return CloseDecision::CloseWithoutAsking;
    return CloseDecision::AskUnsavedChanges;
}

LLAlert LLDocument::unsavedChangesAlert() { return LLDocumentAlerts::unsavedChanges(); }

LLValidationStatus LLDocument::validationStatusForResult(LLValidationResult result) {
    return validationStatusOf(result);
}

// --- errors

void LLDocument::resetErrors() { errorList_->reset(); }

void LLDocument::addError(const std::string& description, const std::string& path,
                          const std::string& reason) {
    errorList_->add({description, path, reason});
}

std::vector<LLImportReplacement> LLDocument::takeReplacements() {
    return errorList_->takeReplacements();
}

std::vector<LLImportError> LLDocument::errors() const { return errorList_->errors(); }

void LLDocument::waitForImports() {
    if (importQueue_) importQueue_->waitUntilIdle();
}

}  // namespace library
