// The library file: records, exact values, identifiers, contexts and the document's lifecycle.
#include <sqlite3.h>

#include "LibraryTestSupport.h"
#include "library/LLDocument.h"

using namespace library;
namespace fs = std::filesystem;

namespace {

platform::Decimal dec(const char* text) { return *platform::Decimal::parse(text); }

std::shared_ptr<LLInvoiceRecord> addInvoice(LLObjectContext& context, const std::string& number,
                                            std::optional<platform::Date> issued) {
    auto record = context.insertInvoice();
    LLInvoiceRecord::Summary summary;
    summary.name = number;
    summary.identifier = "VAT-" + number;
    summary.sellerName = "Seller of " + number;
    if (issued) summary.dateIssued = LLInstant::startOfDay(*issued);
    record->setSummary(summary);
    return record;
}

}  // namespace

TEST(LibraryStore, KeepsEveryAttributeExactlyAcrossSaveAndReopen) {
    TemporaryFolder folder;
    auto document = LLDocument::makeUntitled();
    ASSERT_TRUE(document);
    auto& context = document->managedObjectContext();
    auto record = context.insertInvoice();
    ASSERT_TRUE(record);
    LLInvoiceRecord::Summary summary;
    summary.dateIssued = LLInstant::startOfDay({2024, 7, 16});
    summary.dateDue = LLInstant::startOfDay({2024, 8, 15});
    // More digits than a double holds: stored as the exact decimal.
    summary.payableAmount = dec("12345678901234567890.123456789");
    summary.taxExclusiveAmount = dec("-0.005");
    summary.taxInclusiveAmount = dec("100.10");
    summary.sellerName = "Müller & Söhne GmbH";
    summary.name = "2024/07:01";
    summary.currencyCode = "EUR";
    summary.identifier = "DE123-2024/07:01";
    summary.xml = std::string("<a>\0b</a>", 9);  // blobs keep every byte
    record->setSummary(summary);
    record->setPdf(std::string("%PDF-1.7\n\xff\xfe", 11));
    record->setValidationResult(LLValidationResult::Warnings);
    const std::string uri = record->uriString();

    fs::path file = folder / "Books.ledgerlens";
    ASSERT_TRUE(document->saveAs(file));
    EXPECT_EQ(document->displayName(), "Books");
    document->close();

    auto reopened = LLDocument::open(file);
    ASSERT_TRUE(reopened);
    auto records = reopened->managedObjectContext().fetchInvoices();
    ASSERT_EQ(records.size(), 1u);
    const auto& r = *records.front();
    EXPECT_EQ(r.uriString(), uri);  // save-as keeps the store's identity
    EXPECT_EQ(r.payableAmount()->toString(), "12345678901234567890.123456789");
    EXPECT_EQ(r.taxExclusiveAmount()->toString(), "-0.005");
    EXPECT_EQ(*r.taxInclusiveAmount(), dec("100.1"));
    EXPECT_EQ(r.dateIssued()->day(), (platform::Date{2024, 7, 16}));
    EXPECT_EQ(r.dateDue()->day(), (platform::Date{2024, 8, 15}));
    EXPECT_EQ(*r.sellerName(), "Müller & Söhne GmbH");
    EXPECT_EQ(*r.name(), "2024/07:01");
    EXPECT_EQ(*r.currencyCode(), "EUR");
    EXPECT_EQ(*r.identifier(), "DE123-2024/07:01");
    EXPECT_EQ(*r.xml(), std::string("<a>\0b</a>", 9));
    EXPECT_EQ(*r.pdf(), std::string("%PDF-1.7\n\xff\xfe", 11));
    EXPECT_EQ(r.validationResult(), LLValidationResult::Warnings);
    EXPECT_FALSE(r.uid());
}

TEST(LibraryStore, AbsentValuesOverwriteAndReadBackAsAbsent) {
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    auto record = addInvoice(context, "1", platform::Date{2024, 1, 2});
    record->setSummary({});
    auto again = context.fetchInvoices().front();
    EXPECT_EQ(again.get(), record.get());  // one object per record in a context
    context.processPendingChanges();
    auto child = document->newPrivateChildContext();
    auto fresh = child->fetchInvoices().front();
    EXPECT_FALSE(fresh->name());
    EXPECT_FALSE(fresh->dateIssued());
    EXPECT_FALSE(fresh->payableAmount());
    EXPECT_FALSE(fresh->xml());
    EXPECT_FALSE(fresh->pdf());
}

TEST(LibraryStore, URIStringsResolveOnlyInTheirOwnStore) {
    auto first = LLDocument::makeUntitled();
    auto second = LLDocument::makeUntitled();
    auto& context = first->managedObjectContext();
    auto a = addInvoice(context, "A", std::nullopt);
    auto b = addInvoice(context, "B", std::nullopt);
    auto foreign = addInvoice(second->managedObjectContext(), "X", std::nullopt);
    EXPECT_NE(first->managedObjectContext().storeUUID(),
              second->managedObjectContext().storeUUID());
    EXPECT_EQ(a->uriString().rfind("ledgerlens://" + context.storeUUID() + "/Invoice/", 0), 0u);

    auto objects =
        context.objectsForURIStrings({b->uriString(), foreign->uriString(), a->uriString()});
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].get(), b.get());
    EXPECT_EQ(objects[1].get(), a.get());
    EXPECT_FALSE(context.objectForURIString(std::nullopt));
    for (const std::string& bad : std::vector<std::string>{
             "", "ledgerlens://", "ledgerlens://" + context.storeUUID() + "/Invoice/",
             "ledgerlens://" + context.storeUUID() + "/Invoice/9x",
             "ledgerlens://" + context.storeUUID() + "/Other/1",
             "ledgerlens://" + context.storeUUID() + "/Invoice/999999"})
        EXPECT_FALSE(context.objectForURIString(bad)) << bad;
}

TEST(LibraryStore, ChildContextChangesShowInTheMainContextOnlyAfterSave) {
    TemporaryFolder folder;
    auto document = LLDocument::open(folder / "l.ledgerlens", true);
    ASSERT_TRUE(document);
    auto& main = document->managedObjectContext();
    auto child = document->newPrivateChildContext();
    ASSERT_TRUE(child);
    auto record = addInvoice(*child, "7", platform::Date{2024, 3, 1});
    EXPECT_EQ(main.countInvoices(), 0);  // not committed yet
    EXPECT_FALSE(record->objectInContext(main));
    ASSERT_TRUE(child->save());
    auto seen = record->objectInContext(main);
    ASSERT_TRUE(seen);
    EXPECT_EQ(*std::dynamic_pointer_cast<LLInvoiceRecord>(seen)->name(), "7");

    // A child dropped without saving leaves nothing behind.
    {
        auto other = document->newPrivateChildContext();
        addInvoice(*other, "8", std::nullopt);
    }
    EXPECT_EQ(main.countInvoices(), 1);

    // A change made in the child after the main side read the record shows after a refresh.
    auto inChild = std::dynamic_pointer_cast<LLInvoiceRecord>(seen->objectInContext(*child));
    inChild->setValidationResult(LLValidationResult::Invalid);
    child->save();
    main.processPendingChanges();
    EXPECT_EQ(std::dynamic_pointer_cast<LLInvoiceRecord>(seen)->validationResult(),
              LLValidationResult::Invalid);
}

TEST(LibraryStore, DeleteInTheMainContextIsUndoableUnderTheSameURI) {
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    auto record = addInvoice(context, "1", platform::Date{2024, 1, 2});
    record->setXml("<x/>");
    const std::string uri = record->uriString();
    ASSERT_TRUE(context.deleteObject(record));
    EXPECT_TRUE(record->isDeleted());
    EXPECT_EQ(context.countInvoices(), 0);
    ASSERT_TRUE(document->undoManager().canUndo());
    document->undoManager().undo();
    auto back = std::dynamic_pointer_cast<LLInvoiceRecord>(context.objectForURIString(uri));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back->xml(), "<x/>");
    EXPECT_EQ(*back->name(), "1");
    EXPECT_EQ(back->dateIssued()->day(), (platform::Date{2024, 1, 2}));
    document->undoManager().redo();
    EXPECT_EQ(context.countInvoices(), 0);
    // A new record never takes the row (and so the URI) of a deleted one.
    auto next = addInvoice(context, "2", std::nullopt);
    EXPECT_NE(next->uriString(), uri);
}

TEST(LibraryStore, DeletingSeveralRecordsIsOneUndoStep) {
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    auto& undo = document->undoManager();
    auto a = addInvoice(context, "a", platform::Date{2024, 1, 2});
    auto b = addInvoice(context, "b", platform::Date{2024, 1, 3});
    auto c = addInvoice(context, "c", platform::Date{2024, 1, 4});
    undo.beginUndoGrouping();
    ASSERT_TRUE(context.deleteObject(a));
    ASSERT_TRUE(context.deleteObject(b));
    undo.endUndoGrouping();
    ASSERT_TRUE(context.deleteObject(c));  // a step of its own
    EXPECT_EQ(context.countInvoices(), 0);
    undo.undo();
    EXPECT_EQ(context.countInvoices(), 1);
    undo.undo();
    EXPECT_EQ(context.countInvoices(), 3);
    EXPECT_FALSE(undo.canUndo());
    // The redo of the group is one step as well.
    undo.redo();
    EXPECT_EQ(context.countInvoices(), 1);
    undo.undo();
    EXPECT_EQ(context.countInvoices(), 3);
    // An empty group leaves no step.
    undo.redo();
    undo.redo();
    undo.beginUndoGrouping();
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_EQ(context.countInvoices(), 1);
}

TEST(LibraryStore, PredicatesAgreeInTheStoreAndInMemory) {
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    addInvoice(context, "undated", std::nullopt);
    addInvoice(context, "dec", platform::Date{2023, 12, 31});
    addInvoice(context, "jan", platform::Date{2024, 1, 1});
    auto accented = addInvoice(context, "acc", platform::Date{2024, 2, 1});
    accented->setSellerName("Société Générale");
    auto wildcard = addInvoice(context, "w", platform::Date{2024, 2, 2});
    wildcard->setIdentifier("DE1-A*");

    auto year2024 = LLInvoicePredicate::issuedBetween(LLInstant::startOfDay({2024, 1, 1}),
                                                      LLInstant::startOfDay({2025, 1, 1}));
    const std::vector<std::pair<LLInvoicePredicate, size_t>> cases = {
        {LLInvoicePredicate::dated(), 4},
        {year2024, 3},
        {LLInvoicePredicate::sellerContains("GENERALE"), 1},
        {LLInvoicePredicate::sellerContains("societe gen"), 1},
        {LLInvoicePredicate::sellerContains("xyz"), 0},
        {LLInvoicePredicate::identifierIs("DE1-A*"), 1},
        {LLInvoicePredicate::identifierIs("DE1-AB"), 0},
        {LLInvoicePredicate::identifierIs("VAT-undated"), 0},  // undated never matches
        {LLInvoicePredicate::identifierIs("vat-dec"), 0},      // case-sensitive
        {LLInvoicePredicate::anyOf({year2024, LLInvoicePredicate::sellerContains("of dec")}), 4},
        {LLInvoicePredicate::anyOf({}), 0},
        {LLInvoicePredicate::allOf({year2024, LLInvoicePredicate::sellerContains("soc")}), 1},
    };
    auto all = context.fetchInvoices();
    for (const auto& [predicate, expected] : cases) {
        EXPECT_EQ(context.fetchInvoices(predicate).size(), expected) << predicate.predicateFormat();
        size_t inMemory = 0;
        for (const auto& r : all) inMemory += predicate.evaluate(*r) ? 1 : 0;
        EXPECT_EQ(inMemory, expected) << predicate.predicateFormat();
    }
}

TEST(LibraryDocument, ClosingAsksOnlyForAnUntitledLibraryWithRecords) {
    auto empty = LLDocument::makeUntitled();
    EXPECT_EQ(empty->saveNewFile(), LLDocument::CloseDecision::CloseWithoutAsking);

    auto filled = LLDocument::makeUntitled();
    addInvoice(filled->managedObjectContext(), "1", std::nullopt);
    EXPECT_EQ(filled->saveNewFile(), LLDocument::CloseDecision::AskUnsavedChanges);
    auto alert = LLDocument::unsavedChangesAlert();
    EXPECT_FALSE(alert.messageText.empty());
    EXPECT_EQ(alert.buttons.size(), 2u);
    platform::Error error;
    EXPECT_FALSE(filled->save(&error));  // no location yet
    EXPECT_EQ(error.code, LLLibraryErrorNoLocation);

    TemporaryFolder folder;
    ASSERT_TRUE(filled->saveAs(folder / "Saved.ledgerlens"));
    EXPECT_EQ(filled->saveNewFile(), LLDocument::CloseDecision::CloseNow);
}

TEST(LibraryDocument, UntitledLibrariesLeaveNoTemporaryFileBehind) {
    auto document = LLDocument::makeUntitled();
    fs::path store = document->managedObjectContext().storePath();
    EXPECT_TRUE(fs::exists(store));
    addInvoice(document->managedObjectContext(), "1", std::nullopt);
    document->close();
    EXPECT_FALSE(fs::exists(store));
    EXPECT_FALSE(fs::exists(store.string() + "-wal"));
}

TEST(LibraryDocument, RefusesFilesThatAreNoLibrary) {
    TemporaryFolder folder;
    platform::Error error;
    EXPECT_FALSE(LLDocument::open(folder / "missing.ledgerlens", false, &error));
    EXPECT_EQ(error.domain, kLibraryErrorDomain);

    writeFile(folder / "text.ledgerlens", "just some text, not a database at all.........");
    EXPECT_FALSE(LLDocument::open(folder / "text.ledgerlens", true, &error));
    EXPECT_EQ(readFile(folder / "text.ledgerlens"),
              "just some text, not a database at all.........");

    // Another program's SQLite database is left alone, even when asked to create.
    sqlite3* db = nullptr;
    sqlite3_open((folder / "other.db").c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_FALSE(LLDocument::open(folder / "other.db", true, &error));
    EXPECT_NE(error.localizedDescription.find("not a Ledgerlens library"), std::string::npos);
}

TEST(LibraryDocument, SaveAsReplacesAnExistingFileOnlyWhenComplete) {
    TemporaryFolder folder;
    auto document = LLDocument::makeUntitled();
    addInvoice(document->managedObjectContext(), "1", platform::Date{2024, 5, 5});
    writeFile(folder / "target.ledgerlens", "old content");
    ASSERT_TRUE(document->saveAs(folder / "target.ledgerlens"));
    addInvoice(document->managedObjectContext(), "2", std::nullopt);  // goes to the new file
    document->close();
    auto reopened = LLDocument::open(folder / "target.ledgerlens");
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->managedObjectContext().countInvoices(), 2);
    for (const auto& entry : fs::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename().string().find(".saving-"), std::string::npos);
}

TEST(LibraryStore, ValidationResultsKeepTheirIntegerCodesInTheFile) {
    TemporaryFolder folder;
    fs::path file = folder / "Codes.ledgerlens";
    auto document = LLDocument::open(file, true);
    ASSERT_TRUE(document);
    auto& context = document->managedObjectContext();
    const std::vector<std::pair<LLValidationResult, int>> codes = {
        {LLValidationResult::NotValidated, 0}, {LLValidationResult::NoRules, 1},
        {LLValidationResult::Valid, 2},        {LLValidationResult::Warnings, 3},
        {LLValidationResult::Invalid, 4},      {LLValidationResult::NotUTF8, 5},
        {LLValidationResult::Failed, 6}};
    for (const auto& [result, code] : codes) {
        auto record = addInvoice(context, "R-" + std::to_string(code), std::nullopt);
        ASSERT_TRUE(record->setValidationResult(result));
    }
    ASSERT_TRUE(document->save());
    auto column = [&](const std::string& sql) {
        std::vector<int> values;
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        sqlite3_exec(
            db, sql.c_str(),
            [](void* out, int, char** row, char**) {
                if (row[0]) static_cast<std::vector<int>*>(out)->push_back(std::atoi(row[0]));
                return 0;
            },
            &values, nullptr);
        sqlite3_close(db);
        return values;
    };
    EXPECT_EQ(column("SELECT validationResult FROM Invoice ORDER BY name"),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    document->close();

    // A code this version does not know (from a later one) reads as itself and stays.
    column("UPDATE Invoice SET validationResult = 9 WHERE name = 'R-0'");
    auto reopened = LLDocument::open(file);
    ASSERT_TRUE(reopened);
    for (const auto& record : reopened->managedObjectContext().fetchInvoices()) {
        if (record->name() != "R-0") continue;
        EXPECT_EQ(storedCode(record->validationResult()), 9);
        EXPECT_EQ(LLDocument::validationStatusForResult(record->validationResult()),
                  LLValidationStatus::None);
        EXPECT_STREQ(validationResultWord(record->validationResult()), "unknown");
    }
}
