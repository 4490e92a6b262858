#include "library/LLObjectContext.h"

#include <sqlite3.h>

#include <set>

#include "SQLiteFunction.h"
#include "library/LLDocument.h"
#include "library/LLInvoicePredicate.h"
#include "platform/CallbackBoundary.h"
#include "platform/Log.h"
#include "platform/Uuid.h"

namespace library {
namespace {

// 'LLib': marks a SQLite file as a library, so another program's database is not taken for one.
constexpr int kApplicationID = 0x4C4C6962;
// 2: the received bytes are kept beside the stored XML and PDF, and the duplicate key is unique.
constexpr int kFormatVersion = 2;

constexpr const char* kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS Metadata(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS Invoice(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT, uid TEXT,
    identifier TEXT, sellerName TEXT,
    dateIssued INTEGER, dateDue INTEGER,
    currencyCode TEXT,
    taxExclusiveAmount TEXT, taxInclusiveAmount TEXT, payableAmount TEXT,
    validationResult INTEGER NOT NULL DEFAULT 0,
    -- Last, so listing reads no overflow pages of the large values.
    xml BLOB, pdf BLOB);
CREATE INDEX IF NOT EXISTS InvoiceIdentifier ON Invoice(identifier);
CREATE INDEX IF NOT EXISTS InvoiceDateIssued ON Invoice(dateIssued);
CREATE TABLE IF NOT EXISTS TaxSubtotal(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT, uid TEXT,
    gross TEXT, net TEXT, percentage TEXT, tax TEXT, taxScheme TEXT,
    invoice INTEGER REFERENCES Invoice(id) ON DELETE SET NULL);
CREATE INDEX IF NOT EXISTS TaxSubtotalInvoice ON TaxSubtotal(invoice);
)SQL";

// From format 1: the bytes as they arrived (the file for XML, the embedded file and the PDF for
// PDF imports); then the duplicate key made unique among dated invoices (the records import
// matches), after older keys without a seller VAT number got the seller's identity.
constexpr const char* kMigration2Columns = R"SQL(
ALTER TABLE Invoice ADD COLUMN xmlReceived BLOB;
ALTER TABLE Invoice ADD COLUMN pdfReceived BLOB;
)SQL";
constexpr const char* kUniqueKey = R"SQL(
CREATE UNIQUE INDEX IF NOT EXISTS InvoiceKey ON Invoice(identifier) WHERE dateIssued IS NOT NULL;
)SQL";

constexpr const char* kInvoiceColumns =
    "id, name, uid, identifier, sellerName, dateIssued, dateDue, currencyCode, "
    "taxExclusiveAmount, taxInclusiveAmount, payableAmount, validationResult";
constexpr const char* kTaxSubtotalColumns =
    "id, name, uid, gross, net, percentage, tax, taxScheme, invoice";

std::optional<std::string> textColumn(sqlite3_stmt* row, int column) {
    if (sqlite3_column_type(row, column) == SQLITE_NULL) return std::nullopt;
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(row, column));
    return std::string(bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(row, column)));
}

std::optional<LLInstant> instantColumn(sqlite3_stmt* row, int column) {
    if (sqlite3_column_type(row, column) == SQLITE_NULL) return std::nullopt;
    return LLInstant{sqlite3_column_int64(row, column)};
}

std::optional<platform::Decimal> decimalColumn(sqlite3_stmt* row, int column) {
    auto text = textColumn(row, column);
    if (!text) return std::nullopt;
    return platform::Decimal::parse(*text);
}

bool bindValue(sqlite3_stmt* statement, int index, const LLValue& value) {
    struct Bind {
        sqlite3_stmt* s;
        int i;
        int operator()(std::monostate) const { return sqlite3_bind_null(s, i); }
        int operator()(const std::string& text) const {
            return sqlite3_bind_text64(s, i, text.data(), text.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8);
        }
        int operator()(const LLInstant& instant) const {
            return sqlite3_bind_int64(s, i, instant.millis);
        }
        int operator()(const platform::Decimal& number) const {
            std::string text = number.toString();
            return sqlite3_bind_text64(s, i, text.data(), text.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8);
        }
        int operator()(std::int64_t number) const { return sqlite3_bind_int64(s, i, number); }
    };
    return std::visit(Bind{statement, index}, value) == SQLITE_OK;
}

// Large attributes go in as blobs: their bytes are kept exactly, whatever their encoding.
bool bindBlob(sqlite3_stmt* statement, int index, const std::optional<std::string>& bytes) {
    if (!bytes) return sqlite3_bind_null(statement, index) == SQLITE_OK;
    return sqlite3_bind_blob64(statement, index, bytes->data(), bytes->size(), SQLITE_TRANSIENT) ==
           SQLITE_OK;
}

// sellerName CONTAINS[cd] ? for SQL.
void containsFunction(sqlite3_context* context, int, sqlite3_value** values) {
    if (sqlite3_value_type(values[0]) == SQLITE_NULL ||
        sqlite3_value_type(values[1]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    auto text = [](sqlite3_value* v) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return std::string(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(v)));
    };
    sqlite3_result_int(context,
                       containsIgnoringCaseAndDiacritics(text(values[0]), text(values[1])));
}

bool isBlobColumn(const char* column) {
    std::string_view name(column);
    return name == "xml" || name == "pdf" || name == "xmlReceived" || name == "pdfReceived";
}

bool execSQL(sqlite3* db, const std::string& sql, std::string* reason) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
    *reason = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

// Format 1 → 2 inside the caller's write transaction.
bool migrateTo2(sqlite3* db, std::string* reason) {
    if (!execSQL(db, kMigration2Columns, reason)) return false;
    // Keys without a VAT number were shared by every seller with the same invoice number.
    std::vector<std::pair<std::int64_t, std::string>> rekeyed;
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT id, xml FROM Invoice WHERE identifier LIKE '(null)-%'",
                               -1, &s, nullptr) != SQLITE_OK) {
            *reason = sqlite3_errmsg(db);
            return false;
        }
        while (sqlite3_step(s) == SQLITE_ROW) {
            auto xml = textColumn(s, 1);
            if (!xml) continue;
            if (auto key = LLDocument::duplicateKeyForXML(*xml))
                rekeyed.emplace_back(sqlite3_column_int64(s, 0), *key);
        }
        sqlite3_finalize(s);
    }
    for (const auto& [row, key] : rekeyed) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "UPDATE Invoice SET identifier = ? WHERE id = ?", -1, &s, nullptr);
        bindValue(s, 1, key);
        sqlite3_bind_int64(s, 2, row);
        int rc = sqlite3_step(s);
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE) {
            *reason = sqlite3_errmsg(db);
            return false;
        }
    }
    // Duplicates left by imports that raced each other stay, under a key of their own; the
    // oldest keeps the key, as it is the one import matched.
    return execSQL(db,
                   "UPDATE Invoice SET identifier = identifier || ' (duplicate ' || id || ')' "
                   "WHERE dateIssued IS NOT NULL AND identifier IS NOT NULL AND id > "
                   "(SELECT min(o.id) FROM Invoice o WHERE o.identifier = Invoice.identifier "
                   "AND o.dateIssued IS NOT NULL);",
                   reason) &&
           execSQL(db, kUniqueKey, reason);
}

}  // namespace

// --- opening

LLObjectContext::LLObjectContext(Kind kind, sqlite3* db, std::filesystem::path path,
                                 std::string uuid)
    : kind_(kind), db_(db), path_(std::move(path)), storeUUID_(std::move(uuid)) {}

LLObjectContext::~LLObjectContext() {
    if (inTransaction_) rollback();
    // Objects kept beyond their context read and write nothing from now on.
    for (auto& [key, weak] : registered_)
        if (auto object = weak.lock()) object->context_ = nullptr;
    for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
    sqlite3_close_v2(db_);
}

std::unique_ptr<LLObjectContext> LLObjectContext::open(Kind kind, const std::filesystem::path& path,
                                                       bool create, platform::Error* error,
                                                       bool readOnly) {
    sqlite3* db = nullptr;
    auto fail = [&](int code, const std::string& reason) -> std::unique_ptr<LLObjectContext> {
        platform::setError(error, kLibraryErrorDomain, code,
                           "The library “" + path.string() + "” cannot be opened: " + reason);
        if (db) sqlite3_close_v2(db);
        return nullptr;
    };
    if (readOnly) {
        // A library in a folder we may not write has no -shm file and cannot get one; as
        // nobody can write it there, it is read as immutable.
        for (const char* query : {"?mode=ro", "?mode=ro&immutable=1"}) {
            if (db) sqlite3_close_v2(db);
            db = nullptr;
            std::string text = "file:";
            for (char c : path.string()) {
                if (c == '%' || c == '?' || c == '#')
                    text += c == '%' ? "%25" : c == '?' ? "%3F" : "%23";
                else
                    text += c;
            }
            text += query;
            if (sqlite3_open_v2(text.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                                nullptr) == SQLITE_OK &&
                sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) ==
                    SQLITE_OK)
                break;
        }
    } else if (sqlite3_open_v2(path.c_str(), &db,
                               SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0),
                               nullptr) != SQLITE_OK) {
        return fail(LLLibraryErrorOpen, db ? sqlite3_errmsg(db) : "out of memory");
    }
    if (!db) return fail(LLLibraryErrorOpen, "out of memory");
    // Imports and the window share the file; a writer waits for the other instead of failing.
    sqlite3_busy_timeout(db, 60000);
    sqlite3_extended_result_codes(db, 1);
    auto pragmaInt = [&](const char* sql) -> std::optional<int> {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) return std::nullopt;
        std::optional<int> value;
        if (sqlite3_step(s) == SQLITE_ROW) value = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        return value;
    };
    auto readHeader = [&](std::optional<int>& applicationID, std::optional<int>& version,
                          std::optional<int>& tables) {
        applicationID = pragmaInt("PRAGMA application_id");
        version = pragmaInt("PRAGMA user_version");
        tables = pragmaInt("SELECT count(*) FROM sqlite_master");
        return applicationID && version && tables;
    };
    std::optional<int> applicationID, version, tables;
    if (!readHeader(applicationID, version, tables))
        return fail(LLLibraryErrorOpen, sqlite3_errmsg(db));
    if (*applicationID == 0 && *tables == 0 && (!create || readOnly))
        return fail(LLLibraryErrorOpen, "the file is not a Ledgerlens library");
    // The header is read in several statements: another process may be creating the file in
    // between, so anything not yet marked as a library is looked at again under the lock.
    bool needsWork = (*applicationID == 0 && create) ||
                     (*applicationID == kApplicationID && *version < kFormatVersion);
    if (needsWork && !readOnly) {
        // Another process may be creating or migrating the same file: take the write lock,
        // then look again.
        std::string reason;
        if (!execSQL(db, "BEGIN IMMEDIATE", &reason)) return fail(LLLibraryErrorOpen, reason);
        bool done = readHeader(applicationID, version, tables);
        if (done && *applicationID == 0 && *tables == 0) {
            done = execSQL(db,
                           std::string(kSchema) + kMigration2Columns + kUniqueKey +
                               "INSERT INTO Metadata VALUES('storeUUID', '" + platform::newUUID() +
                               "');PRAGMA application_id = " + std::to_string(kApplicationID) +
                               ";PRAGMA user_version = " + std::to_string(kFormatVersion) + ";",
                           &reason);
            version = kFormatVersion;
            applicationID = kApplicationID;
        } else if (done && *applicationID == kApplicationID && *version < 2) {
            done = migrateTo2(db, &reason) &&
                   execSQL(db, "PRAGMA user_version = " + std::to_string(kFormatVersion), &reason);
            if (done) version = kFormatVersion;
        }
        if (!done && reason.empty()) reason = sqlite3_errmsg(db);
        if (!done || !execSQL(db, "COMMIT", &reason)) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            return fail(LLLibraryErrorOpen, reason);
        }
    }
    if (*applicationID != kApplicationID)
        return fail(LLLibraryErrorOpen, "the file is not a Ledgerlens library");
    if (*version > kFormatVersion)
        return fail(LLLibraryErrorNewerFormat, "it was written by a newer version of Ledgerlens");
    if (kind == Kind::Main && !readOnly) {
        // WAL: readers never block the import's writer, and a crash leaves the last commit.
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON", nullptr, nullptr,
                 nullptr);
    registerSQLFunction(db, "ll_contains_cd", 2, containsFunction);
    std::string uuid;
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT value FROM Metadata WHERE key = 'storeUUID'", -1, &s,
                               nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            uuid = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
    }
    if (uuid.empty()) return fail(LLLibraryErrorOpen, "the library has no store identifier");
    auto context = std::unique_ptr<LLObjectContext>(new LLObjectContext(kind, db, path, uuid));
    context->formatVersion_ = *version;
    context->readOnly_ = readOnly;
    return context;
}

// --- statements

sqlite3_stmt* LLObjectContext::statement(const std::string& sql, platform::Error* error) const {
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        sqlite3_reset(found->second);
        sqlite3_clear_bindings(found->second);
        return found->second;
    }
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) !=
        SQLITE_OK) {
        storeError(error, "prepare");
        return nullptr;
    }
    statements_.emplace(sql, s);
    return s;
}

bool LLObjectContext::storeError(platform::Error* error, const std::string& what) const {
    std::string message = sqlite3_errmsg(db_);
    lastStoreError_ = message;
    platform::logLine("Library store: " + what + " failed: " + message);
    platform::setError(error, kLibraryErrorDomain, LLLibraryErrorStore,
                       "The library could not be changed: " + message);
    return false;
}

bool LLObjectContext::exec(const char* sql, platform::Error* error) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        return storeError(error, sql);
    return true;
}

bool LLObjectContext::begin(platform::Error* error) {
    if (kind_ == Kind::Main || inTransaction_) return true;
    // IMMEDIATE takes the write lock now, so the run never fails half-way on a lock upgrade.
    if (!exec("BEGIN IMMEDIATE", error)) return false;
    inTransaction_ = true;
    return true;
}

bool LLObjectContext::performWrite(const std::function<bool(platform::Error*)>& work,
                                   platform::Error* error) {
    if (kind_ != Kind::Main) {
        // Inside the open transaction; a failed step leaves nothing of itself behind.
        if (!begin(error) || !exec("SAVEPOINT performWrite", error)) return false;
        if (work(error)) return exec("RELEASE performWrite", error);
        exec("ROLLBACK TO performWrite", nullptr);
        exec("RELEASE performWrite", nullptr);
        processPendingChanges();
        return false;
    }
    if (!exec("BEGIN IMMEDIATE", error)) return false;
    if (!work(error)) {
        exec("ROLLBACK", nullptr);
        processPendingChanges();
        return false;
    }
    if (exec("COMMIT", error)) return true;
    exec("ROLLBACK", nullptr);
    return false;
}

bool LLObjectContext::save(platform::Error* error) {
    if (!inTransaction_) return true;
    if (!exec("COMMIT", error)) return false;
    inTransaction_ = false;
    return true;
}

void LLObjectContext::rollback() {
    if (!inTransaction_) return;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    inTransaction_ = false;
    processPendingChanges();
}

// --- objects

template <class T>
std::shared_ptr<T> LLObjectContext::registeredObject(const char* entity, std::int64_t rowID) {
    auto key = std::make_pair(std::string(entity), rowID);
    auto found = registered_.find(key);
    if (found != registered_.end()) {
        if (auto object = std::dynamic_pointer_cast<T>(found->second.lock())) return object;
    }
    auto object = std::shared_ptr<T>(new T(this, rowID));
    registered_[key] = object;
    return object;
}

std::shared_ptr<LLInvoiceRecord> LLObjectContext::invoiceFromRow(sqlite3_stmt* row) {
    auto record = registeredObject<LLInvoiceRecord>(LLInvoiceRecord::kEntityName,
                                                    sqlite3_column_int64(row, 0));
    record->name_ = textColumn(row, 1);
    record->uid_ = textColumn(row, 2);
    record->identifier_ = textColumn(row, 3);
    record->sellerName_ = textColumn(row, 4);
    record->dateIssued_ = instantColumn(row, 5);
    record->dateDue_ = instantColumn(row, 6);
    record->currencyCode_ = textColumn(row, 7);
    record->taxExclusive_ = decimalColumn(row, 8);
    record->taxInclusive_ = decimalColumn(row, 9);
    record->payable_ = decimalColumn(row, 10);
    record->validationResult_ = validationResultFromStoredCode(sqlite3_column_int64(row, 11));
    record->xml_.reset();
    record->pdf_.reset();
    record->xmlReceived_.reset();
    record->pdfReceived_.reset();
    record->deleted_ = false;
    return record;
}

std::shared_ptr<LLTaxSubtotalRecord> LLObjectContext::taxSubtotalFromRow(sqlite3_stmt* row) {
    auto record = registeredObject<LLTaxSubtotalRecord>(LLTaxSubtotalRecord::kEntityName,
                                                        sqlite3_column_int64(row, 0));
    record->name_ = textColumn(row, 1);
    record->uid_ = textColumn(row, 2);
    record->gross_ = decimalColumn(row, 3);
    record->net_ = decimalColumn(row, 4);
    record->percentage_ = decimalColumn(row, 5);
    record->tax_ = decimalColumn(row, 6);
    record->taxScheme_ = textColumn(row, 7);
    record->invoice_.reset();
    if (sqlite3_column_type(row, 8) != SQLITE_NULL) record->invoice_ = sqlite3_column_int64(row, 8);
    record->deleted_ = false;
    return record;
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLObjectContext::fetchInvoices(
    const LLInvoicePredicate& predicate, platform::Error* error) {
    std::vector<LLValue> bindings;
    std::string sql = std::string("SELECT ") + kInvoiceColumns + " FROM Invoice WHERE " +
                      predicate.sqlWhere(bindings) + " ORDER BY id";
    std::vector<std::shared_ptr<LLInvoiceRecord>> records;
    sqlite3_stmt* s = statement(sql, error);
    if (!s) return records;
    for (size_t i = 0; i < bindings.size(); ++i) bindValue(s, static_cast<int>(i + 1), bindings[i]);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) records.push_back(invoiceFromRow(s));
    if (rc != SQLITE_DONE) storeError(error, "fetch");
    sqlite3_reset(s);
    return records;
}

std::optional<std::int64_t> LLObjectContext::countRows(const std::string& sql,
                                                       const std::vector<LLValue>& bindings,
                                                       platform::Error* error) {
    sqlite3_stmt* s = statement(sql, error);
    if (!s) return std::nullopt;
    for (size_t i = 0; i < bindings.size(); ++i) bindValue(s, static_cast<int>(i + 1), bindings[i]);
    std::optional<std::int64_t> count;
    if (sqlite3_step(s) == SQLITE_ROW)
        count = sqlite3_column_int64(s, 0);
    else
        storeError(error, "count");
    sqlite3_reset(s);
    return count;
}

std::optional<std::int64_t> LLObjectContext::countInvoices(const LLInvoicePredicate& predicate,
                                                           platform::Error* error) {
    std::vector<LLValue> bindings;
    std::string where = predicate.sqlWhere(bindings);
    return countRows("SELECT count(*) FROM Invoice WHERE " + where, bindings, error);
}

std::optional<std::int64_t> LLObjectContext::countTaxSubtotals(platform::Error* error) {
    return countRows("SELECT count(*) FROM TaxSubtotal", {}, error);
}

std::vector<std::shared_ptr<LLTaxSubtotalRecord>> LLObjectContext::fetchTaxSubtotals(
    std::optional<std::int64_t> invoiceRowID, platform::Error* error) {
    std::string sql = std::string("SELECT ") + kTaxSubtotalColumns + " FROM TaxSubtotal" +
                      (invoiceRowID ? " WHERE invoice = ?" : "") + " ORDER BY id";
    std::vector<std::shared_ptr<LLTaxSubtotalRecord>> records;
    sqlite3_stmt* s = statement(sql, error);
    if (!s) return records;
    if (invoiceRowID) sqlite3_bind_int64(s, 1, *invoiceRowID);
    while (sqlite3_step(s) == SQLITE_ROW) records.push_back(taxSubtotalFromRow(s));
    sqlite3_reset(s);
    return records;
}

std::optional<std::int64_t> LLObjectContext::insertRow(const char* entity, platform::Error* error) {
    if (!begin(error)) return std::nullopt;
    sqlite3_stmt* s = statement(std::string("INSERT INTO ") + entity + " DEFAULT VALUES", error);
    if (!s) return std::nullopt;
    bool ok = sqlite3_step(s) == SQLITE_DONE;
    sqlite3_reset(s);
    if (!ok) {
        storeError(error, "insert");
        return std::nullopt;
    }
    return sqlite3_last_insert_rowid(db_);
}

std::shared_ptr<LLInvoiceRecord> LLObjectContext::insertInvoice(platform::Error* error) {
    auto row = insertRow(LLInvoiceRecord::kEntityName, error);
    if (!row) return nullptr;
    return registeredObject<LLInvoiceRecord>(LLInvoiceRecord::kEntityName, *row);
}

std::shared_ptr<LLTaxSubtotalRecord> LLObjectContext::insertTaxSubtotal(platform::Error* error) {
    auto row = insertRow(LLTaxSubtotalRecord::kEntityName, error);
    if (!row) return nullptr;
    return registeredObject<LLTaxSubtotalRecord>(LLTaxSubtotalRecord::kEntityName, *row);
}

bool LLObjectContext::writeColumn(LLManagedObject& object, const char* column, const LLValue& value,
                                  platform::Error* error) {
    return writeColumns(object, {{column, value}}, error);
}

bool LLObjectContext::writeColumns(LLManagedObject& object,
                                   const std::vector<std::pair<const char*, LLValue>>& values,
                                   platform::Error* error) {
    if (object.deleted_) return false;
    if (values.empty()) return true;
    if (!begin(error)) return false;
    std::string sql = std::string("UPDATE ") + object.entityName() + " SET ";
    for (size_t i = 0; i < values.size(); ++i)
        sql += std::string(i ? ", " : "") + values[i].first + " = ?";
    sql += " WHERE id = ?";
    sqlite3_stmt* s = statement(sql, error);
    if (!s) return false;
    int index = 1;
    for (const auto& [column, value] : values) {
        if (isBlobColumn(column) && std::holds_alternative<std::string>(value))
            bindBlob(s, index, std::get<std::string>(value));
        else
            bindValue(s, index, value);
        ++index;
    }
    sqlite3_bind_int64(s, index, object.rowID_);
    bool ok = sqlite3_step(s) == SQLITE_DONE;
    sqlite3_reset(s);
    return ok || storeError(error, "update");
}

std::optional<std::string> LLObjectContext::readBlob(const LLManagedObject& object,
                                                     const char* column) const {
    // A library of format 1 opened read-only has no received bytes.
    if (formatVersion_ < 2 && std::string_view(column).ends_with("Received")) return std::nullopt;
    std::string sql =
        std::string("SELECT ") + column + " FROM " + object.entityName() + " WHERE id = ?";
    sqlite3_stmt* s = statement(sql, nullptr);
    if (!s) return std::nullopt;
    sqlite3_bind_int64(s, 1, object.rowID_);
    std::optional<std::string> bytes;
    if (sqlite3_step(s) == SQLITE_ROW) bytes = textColumn(s, 0);
    sqlite3_reset(s);
    return bytes;
}

bool LLObjectContext::deleteObject(const std::shared_ptr<LLManagedObject>& object,
                                   platform::Error* error) {
    if (!object || object->context_ != this || object->deleted_) return false;
    if (!begin(error)) return false;
    const std::string entity = object->entityName();
    const std::int64_t rowID = object->rowID_;

    // The main context keeps the whole row, so undo brings the record back under its old URI.
    struct SavedRow {
        std::vector<std::string> columns;
        std::vector<std::optional<std::string>> texts;  // every column as stored bytes
        std::vector<int> types;
    };
    auto saved = std::make_shared<SavedRow>();
    if (kind_ == Kind::Main) {
        sqlite3_stmt* s = statement("SELECT * FROM " + entity + " WHERE id = ?", error);
        if (!s) return false;
        sqlite3_bind_int64(s, 1, rowID);
        if (sqlite3_step(s) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                saved->columns.emplace_back(sqlite3_column_name(s, i));
                saved->types.push_back(sqlite3_column_type(s, i));
                saved->texts.push_back(textColumn(s, i));
            }
        }
        sqlite3_reset(s);
    }
    sqlite3_stmt* s = statement("DELETE FROM " + entity + " WHERE id = ?", error);
    if (!s) return false;
    sqlite3_bind_int64(s, 1, rowID);
    bool ok = sqlite3_step(s) == SQLITE_DONE;
    sqlite3_reset(s);
    if (!ok) return storeError(error, "delete");
    object->deleted_ = true;
    registered_.erase({entity, rowID});

    if (kind_ == Kind::Main && !saved->columns.empty()) {
        undoManager_.registerUndo("Delete", [this, saved, entity, rowID]() {
            std::string names, marks;
            for (size_t i = 0; i < saved->columns.size(); ++i) {
                names += (i ? ", " : "") + saved->columns[i];
                marks += i ? ", ?" : "?";
            }
            sqlite3_stmt* insert = statement(
                "INSERT INTO " + entity + " (" + names + ") VALUES (" + marks + ")", nullptr);
            if (!insert) return;
            for (size_t i = 0; i < saved->columns.size(); ++i) {
                int index = static_cast<int>(i + 1);
                const auto& bytes = saved->texts[i];
                switch (saved->types[i]) {
                    case SQLITE_NULL:
                        sqlite3_bind_null(insert, index);
                        break;
                    case SQLITE_INTEGER:
                        sqlite3_bind_int64(insert, index, std::stoll(*bytes));
                        break;
                    case SQLITE_BLOB:
                        bindBlob(insert, index, bytes);
                        break;
                    default:
                        bindValue(insert, index, *bytes);
                }
            }
            bool restored = sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
            if (!restored) {
                storeError(nullptr, "undo delete");
                return;
            }
            undoManager_.registerUndo("Delete", [this, entity, rowID]() {
                if (auto again = existingObject(entity, rowID)) deleteObject(again);
            });
        });
    }
    return true;
}

// --- identifiers

std::shared_ptr<LLManagedObject> LLObjectContext::existingObject(const std::string& entity,
                                                                 std::int64_t rowID) {
    const char* columns = nullptr;
    if (entity == LLInvoiceRecord::kEntityName)
        columns = kInvoiceColumns;
    else if (entity == LLTaxSubtotalRecord::kEntityName)
        columns = kTaxSubtotalColumns;
    else
        return nullptr;
    sqlite3_stmt* s =
        statement(std::string("SELECT ") + columns + " FROM " + entity + " WHERE id = ?", nullptr);
    if (!s) return nullptr;
    sqlite3_bind_int64(s, 1, rowID);
    std::shared_ptr<LLManagedObject> object;
    if (sqlite3_step(s) == SQLITE_ROW) {
        if (entity == LLInvoiceRecord::kEntityName)
            object = invoiceFromRow(s);
        else
            object = taxSubtotalFromRow(s);
    }
    sqlite3_reset(s);
    return object;
}

std::shared_ptr<LLManagedObject> LLObjectContext::objectForURIString(
    const std::optional<std::string>& uri) {
    if (!uri) return nullptr;
    static constexpr std::string_view scheme = "ledgerlens://";
    std::string_view text = *uri;
    if (text.substr(0, scheme.size()) != scheme) return nullptr;
    text.remove_prefix(scheme.size());
    auto slash1 = text.find('/');
    if (slash1 == std::string_view::npos || text.substr(0, slash1) != storeUUID_) return nullptr;
    text.remove_prefix(slash1 + 1);
    auto slash2 = text.find('/');
    if (slash2 == std::string_view::npos) return nullptr;
    std::string entity(text.substr(0, slash2));
    std::string_view digits = text.substr(slash2 + 1);
    if (digits.empty() || digits.size() > 18) return nullptr;
    std::int64_t rowID = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return nullptr;
        rowID = rowID * 10 + (c - '0');
    }
    return existingObject(entity, rowID);
}

std::vector<std::shared_ptr<LLManagedObject>> LLObjectContext::objectsForURIStrings(
    const std::vector<std::string>& uris) {
    std::vector<std::shared_ptr<LLManagedObject>> objects;
    for (const auto& uri : uris)
        if (auto object = objectForURIString(uri)) objects.push_back(std::move(object));
    return objects;
}

void LLObjectContext::processPendingChanges() {
    std::vector<std::shared_ptr<LLManagedObject>> alive;
    for (auto it = registered_.begin(); it != registered_.end();) {
        if (auto object = it->second.lock()) {
            alive.push_back(std::move(object));
            ++it;
        } else {
            it = registered_.erase(it);
        }
    }
    // Many records: one pass over each table beats a query per record.
    std::set<std::pair<std::string, std::int64_t>> present;
    if (alive.size() > 64) {
        for (const auto& record : fetchInvoices())
            present.emplace(LLInvoiceRecord::kEntityName, record->rowID_);
        for (const auto& line : fetchTaxSubtotals())
            present.emplace(LLTaxSubtotalRecord::kEntityName, line->rowID_);
    }
    for (auto& object : alive) {
        std::pair<std::string, std::int64_t> key(object->entityName(), object->rowID_);
        bool exists = alive.size() > 64 ? present.count(key) > 0
                                        : existingObject(key.first, key.second) != nullptr;
        if (!exists) {
            object->deleted_ = true;
            registered_.erase(key);
        }
    }
}

std::size_t LLObjectContext::registeredObjectCount() const {
    std::size_t count = 0;
    for (const auto& [key, weak] : registered_)
        if (!weak.expired()) ++count;
    return count;
}

namespace {

void callSQLFunction(sqlite3_context* context, int count, sqlite3_value** values) noexcept {
    const auto& body = *static_cast<const SQLFunctionBody*>(sqlite3_user_data(context));
    platform::callbackBoundary([&] { body(context, count, values); },
                               [&](const char* reason, bool outOfMemory) {
                                   if (outOfMemory)
                                       sqlite3_result_error_nomem(context);
                                   else
                                       sqlite3_result_error(context, reason, -1);
                               });
}

}  // namespace

bool registerSQLFunction(sqlite3* db, const char* name, int arguments, SQLFunctionBody body) {
    auto* kept = new SQLFunctionBody(std::move(body));
    // SQLite owns `kept` from here on, and frees it with the function, even when this fails.
    return sqlite3_create_function_v2(db, name, arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC, kept,
                                      callSQLFunction, nullptr, nullptr, [](void* p) {
                                          delete static_cast<SQLFunctionBody*>(p);
                                      }) == SQLITE_OK;
}

}  // namespace library
