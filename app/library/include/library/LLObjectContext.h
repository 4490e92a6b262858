#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/LLInvoicePredicate.h"
#include "library/LLManagedObject.h"
#include "library/LLUndoManager.h"
#include "platform/Error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace library {

inline constexpr const char* kLibraryErrorDomain = "LedgerlensLibrary";
enum LLLibraryErrorCode {
    LLLibraryErrorOpen = 1,  // the file cannot be opened or is no library
    LLLibraryErrorNewerFormat = 2,
    LLLibraryErrorStore = 3,  // a statement failed (disk full, locked too long, ...)
    LLLibraryErrorNoLocation = 4,
};

// One connection to a library file: the records as one thread sees them. The main context
// writes each change at once (undoable through its undo manager); a private child context
// collects its changes in one transaction that save() commits, so the main context sees them
// all together. Use a context from one thread at a time.
class LLObjectContext {
  public:
    enum class Kind { Main, PrivateChild };

    ~LLObjectContext();
    LLObjectContext(const LLObjectContext&) = delete;
    LLObjectContext& operator=(const LLObjectContext&) = delete;

    Kind kind() const { return kind_; }
    const std::string& storeUUID() const { return storeUUID_; }
    const std::filesystem::path& storePath() const { return path_; }

    // --- records
    std::vector<std::shared_ptr<LLInvoiceRecord>> fetchInvoices(
        const LLInvoicePredicate& predicate = LLInvoicePredicate::all(),
        platform::Error* error = nullptr);
    std::optional<std::int64_t> countInvoices(
        const LLInvoicePredicate& predicate = LLInvoicePredicate::all(),
        platform::Error* error = nullptr);
    std::optional<std::int64_t> countTaxSubtotals(platform::Error* error = nullptr);
    // Every tax line, or those of one invoice row.
    std::vector<std::shared_ptr<LLTaxSubtotalRecord>> fetchTaxSubtotals(
        std::optional<std::int64_t> invoiceRowID = std::nullopt, platform::Error* error = nullptr);
    // A new record, already with its permanent identifier (its row exists in this context's
    // transaction).
    std::shared_ptr<LLInvoiceRecord> insertInvoice(platform::Error* error = nullptr);
    std::shared_ptr<LLTaxSubtotalRecord> insertTaxSubtotal(platform::Error* error = nullptr);
    bool deleteObject(const std::shared_ptr<LLManagedObject>& object,
                      platform::Error* error = nullptr);

    // --- identifiers
    std::shared_ptr<LLManagedObject> objectForURIString(const std::optional<std::string>& uri);
    std::vector<std::shared_ptr<LLManagedObject>> objectsForURIStrings(
        const std::vector<std::string>& uris);
    std::shared_ptr<LLManagedObject> existingObject(const std::string& entity, std::int64_t rowID);

    // --- transactions
    // Child: commits the open transaction. Main: nothing is pending; answers true.
    bool save(platform::Error* error = nullptr);
    // Child: drops the changes since the last save.
    void rollback();
    bool hasChanges() const { return inTransaction_; }
    bool isReadOnly() const { return readOnly_; }
    // The store's message for the last failed statement ("attempt to write a readonly
    // database", ...).
    std::string lastStoreError() const { return lastStoreError_; }
    // Runs `work` as one write transaction, so what it reads and what it writes cannot be
    // interleaved with another writer: inside a child context's open transaction, or in one of
    // its own on the main context (rolled back when `work` fails).
    bool performWrite(const std::function<bool(platform::Error*)>& work,
                      platform::Error* error = nullptr);
    // Re-reads the registered records, so changes committed by other contexts show; records
    // deleted meanwhile are marked deleted and forgotten.
    void processPendingChanges();
    std::size_t registeredObjectCount() const;

    LLUndoManager& undoManager() { return undoManager_; }

    // Internal: the column write behind the records' setters.
    bool writeColumn(LLManagedObject& object, const char* column, const LLValue& value,
                     platform::Error* error = nullptr);
    // Several columns in one statement: each UPDATE rewrites the whole row, blobs included.
    bool writeColumns(LLManagedObject& object,
                      const std::vector<std::pair<const char*, LLValue>>& values,
                      platform::Error* error = nullptr);
    std::optional<std::string> readBlob(const LLManagedObject& object, const char* column) const;

  private:
    friend class LLDocument;
    friend class LLManagedObject;
    LLObjectContext(Kind kind, sqlite3* db, std::filesystem::path path, std::string uuid);
    // Creates (with `create`) or migrates the file first unless `readOnly`; both are safe while
    // another process opens the same file.
    static std::unique_ptr<LLObjectContext> open(Kind kind, const std::filesystem::path& path,
                                                 bool create, platform::Error* error,
                                                 bool readOnly = false);

    sqlite3_stmt* statement(const std::string& sql, platform::Error* error) const;
    bool begin(platform::Error* error);
    std::optional<std::int64_t> insertRow(const char* entity, platform::Error* error);
    std::optional<std::int64_t> countRows(const std::string& sql,
                                          const std::vector<LLValue>& bindings,
                                          platform::Error* error);
    bool exec(const char* sql, platform::Error* error);
    bool storeError(platform::Error* error, const std::string& what) const;
    std::shared_ptr<LLInvoiceRecord> invoiceFromRow(sqlite3_stmt* row);
    std::shared_ptr<LLTaxSubtotalRecord> taxSubtotalFromRow(sqlite3_stmt* row);
    template <class T>
    std::shared_ptr<T> registeredObject(const char* entity, std::int64_t rowID);

    Kind kind_;
    sqlite3* db_;
    std::filesystem::path path_;
    std::string storeUUID_;
    bool inTransaction_ = false;
    int formatVersion_ = 0;
    mutable std::string lastStoreError_;
    bool readOnly_ = false;
    mutable std::map<std::string, sqlite3_stmt*> statements_;
    std::map<std::pair<std::string, std::int64_t>, std::weak_ptr<LLManagedObject>> registered_;
    LLUndoManager undoManager_;
};

}  // namespace library
