// Bringing invoice files into a library: duplicates, PDFs, folders, the XSD gate and the
// validation result stored with each record.
#include <future>
#include <set>
#include <thread>

#include "LibraryTestSupport.h"
#include "library/LLDocument.h"
#include "library/LLPathTransformer.h"
#include "library/LLValidationResultTransformer.h"
#include "platform/Resources.h"
#include "platform/SFLocalizeHelper.h"
#include "ruleweave/RWValidationResult.h"

using namespace library;
namespace fs = std::filesystem;

namespace {

const char* kCII = "en16931-examples/cii/CII_business_example_01.xml";  // TOSL108, clean
const char* kUBL = "en16931-examples/ubl/ubl-tc434-example7.xml";       // INVOICE_test_7
const char* kInvalidCII =
    "xrechnung/testsuite/business-cases/extension/04.05a-INVOICE_uncefact.xml";
const char* kThreeAttachments = "zugferd/XML-Rechnung/FX/EN16931_Elektron.pdf";
const char* kNoAttachments = "zugferd/unstructured/RE-E-974-Hetzner_2016-01-19_R0005532486.pdf";

bool haveRules() {
    auto resources = platform::resourceDirectory();
    return resources && fs::is_directory(*resources / "rules" / "Schematron");
}

#define SKIP_WITHOUT_RULES() \
    SKIP_WITHOUT_CORPUS();   \
    if (!haveRules()) GTEST_SKIP() << "validation rules not fetched (scripts/fetch-rules)"

std::shared_ptr<LLInvoiceRecord> single(const std::vector<std::shared_ptr<LLInvoiceRecord>>& list) {
    EXPECT_EQ(list.size(), 1u);
    return list.empty() ? nullptr : list.front();
}

}  // namespace

TEST(LibraryImport, StoresTheSummaryAndTheValidationResult) {
    SKIP_WITHOUT_RULES();
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    auto record = single(document->importData(readCorpusFile(kCII), context));
    ASSERT_TRUE(record);
    EXPECT_EQ(*record->name(), "TOSL108");
    EXPECT_EQ(*record->identifier(), "NO123456789MVA-TOSL108");
    EXPECT_EQ(record->dateIssued()->day(), (platform::Date{2013, 6, 30}));
    EXPECT_EQ(*record->currencyCode(), "NOK");
    EXPECT_TRUE(record->payableAmount());
    EXPECT_TRUE(record->sellerName());
    EXPECT_EQ(record->validationResult(),
              LLValidationResult::Valid);  // the official artefacts find nothing
    // The XML is the document as serialised again, and reads back to the same invoice.
    auto xml = record->xml();
    ASSERT_TRUE(xml);
    EXPECT_EQ(xml->rfind("<?xml", 0), 0u);
    auto again = platform::XmlDocument::parse(*xml);
    ASSERT_TRUE(again);
    EXPECT_FALSE(record->pdf());

    auto invalid = single(document->importData(readCorpusFile(kInvalidCII), context));
    ASSERT_TRUE(invalid);
    EXPECT_EQ(invalid->validationResult(), LLValidationResult::Invalid);
    EXPECT_EQ(LLDocument::validationStatusForResult(invalid->validationResult()),
              LLValidationStatus::Errors);
}

TEST(LibraryImport, TheSameInvoiceTwiceIsOneRecordOverwritten) {
    SKIP_WITHOUT_RULES();
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    std::string xml = readCorpusFile(kUBL);
    auto first = single(document->importData(xml, context));
    first->setValidationResult(LLValidationResult::NotValidated);
    first->setSellerName("changed by hand");
    auto second = single(document->importData(xml, context));
    EXPECT_EQ(first.get(), second.get());
    EXPECT_NE(*second->sellerName(), "changed by hand");
    EXPECT_NE(second->validationResult(), LLValidationResult::NotValidated);
    EXPECT_EQ(context.countInvoices(), 1);
}

TEST(LibraryImport, DuplicateKeysCompareExactlyNotAsPatterns) {
    SKIP_WITHOUT_RULES();
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    std::string xml = readCorpusFile(kCII);
    // "TOSL*" would match "TOSL108" as a LIKE pattern and overwrite it.
    auto plain = single(document->importData(xml, context));
    auto star = single(document->importData(
        replaced(xml, "<ram:ID>TOSL108</ram:ID>", "<ram:ID>TOSL*</ram:ID>"), context));
    auto question = single(document->importData(
        replaced(xml, "<ram:ID>TOSL108</ram:ID>", "<ram:ID>TOSL10?</ram:ID>"), context));
    EXPECT_EQ(context.countInvoices(), 3);
    EXPECT_EQ(*plain->name(), "TOSL108");
    EXPECT_EQ(*star->name(), "TOSL*");
    EXPECT_EQ(*question->name(), "TOSL10?");
}

TEST(LibraryImport, MissingVATAndMissingIssueDate) {
    SKIP_WITHOUT_RULES();
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    std::string xml = readCorpusFile(kCII);
    std::string noVAT = replaced(xml, "<ram:ID schemeID=\"VA\">NO123456789MVA</ram:ID>", "");
    auto a = single(document->importData(noVAT, context));
    // The seller's name stands in for the missing VAT number.
    EXPECT_EQ(*a->identifier(), "(null)-TOSL108 name:Salescompany ltd.");
    auto b = single(document->importData(noVAT, context));
    EXPECT_EQ(a.get(), b.get());  // same number, no VAT: one record

    // Without an issue date nothing matches, so each import is a new record.
    std::string undated =
        replaced(xml, "<udt:DateTimeString format=\"102\">20130630</udt:DateTimeString>", "");
    auto c = single(document->importData(undated, context));
    auto d = single(document->importData(undated, context));
    EXPECT_NE(c.get(), d.get());
    EXPECT_FALSE(c->dateIssued());
}

TEST(LibraryImport, PDFsStoreEveryInvoiceAttachmentWithTheArchivalPDF) {
    SKIP_WITHOUT_RULES();
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    auto records = document->importFile(corpusDir() / kThreeAttachments, context);
    ASSERT_EQ(records.size(), 1u);
    auto pdf = records.front()->pdf();
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->rfind("%PDF-", 0), 0u);
    // The picture and the PDF beside the invoice are side files, not problems.
    EXPECT_TRUE(document->errors().empty());
    // What arrived is kept as it arrived: the PDF file itself.
    EXPECT_EQ(records.front()->pdfReceived(), readCorpusFile(kThreeAttachments));

    document->resetErrors();
    EXPECT_TRUE(document->importFile(corpusDir() / kNoAttachments, context).empty());
    EXPECT_EQ(document->errors(),
              (std::vector<LLImportError>{
                  {kLLErrorNoXMLInPDF, (corpusDir() / kNoAttachments).string(), ""}}));

    // Importing the invoice again as plain XML keeps the stored PDF.
    auto xml = records.front()->xml();
    auto again = single(document->importData(*xml, context));
    EXPECT_EQ(again.get(), records.front().get());
    EXPECT_EQ(again->pdf(), pdf);
}

TEST(LibraryImport, BrokenFilesAreReportedAndNothingIsStored) {
    SKIP_WITHOUT_CORPUS();
    TemporaryFolder folder;
    writeFile(folder / "broken.pdf", "%PDF-1.4\n garbage");
    writeFile(folder / "not-xml.xml", "<Invoice><unclosed></Invoice>");
    writeFile(folder / "empty.xml", "");
    writeFile(folder / "other.xml", "<?xml version=\"1.0\"?><catalog><book/></catalog>");
    writeFile(folder / "entity.xml",
              "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
              "<r>&x;</r>");
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    for (const char* name : {"broken.pdf", "not-xml.xml", "empty.xml", "other.xml", "entity.xml",
                             "does-not-exist.xml"})
        EXPECT_TRUE(document->importFile(folder / name, context).empty()) << name;
    auto errors = document->errors();
    ASSERT_EQ(errors.size(), 6u);
    // Each with its real cause.
    EXPECT_EQ(errors[0].description, kLLErrorUnreadablePDF);
    EXPECT_FALSE(errors[0].reason.empty());
    for (size_t i = 1; i < 5; ++i) EXPECT_EQ(errors[i].description, kLLErrorNoValidXML);
    EXPECT_EQ(errors[5].description, kLLErrorNoSuchFile);
    EXPECT_EQ(errors[5].reason, "no such file");
    EXPECT_EQ(context.countInvoices(), 0);
}

TEST(LibraryImport, FoldersImportTheirXMLFilesAtAnyDepthAndNoPDFs) {
    SKIP_WITHOUT_RULES();
    TemporaryFolder folder;
    writeFile(folder / "a.xml", readCorpusFile(kCII));
    writeFile(folder / "sub" / "deeper" / "b.XML", readCorpusFile(kUBL));
    writeFile(folder / "c.pdf", readCorpusFile(kThreeAttachments));
    writeFile(folder / "notes.txt", "hello");
    auto document = LLDocument::makeUntitled();
    auto records = document->importDirectory(folder.path(), document->managedObjectContext());
    EXPECT_EQ(records.size(), 2u);
    EXPECT_TRUE(document->errors().empty());
}

TEST(LibraryImport, AcceptedFileKinds) {
    TemporaryFolder folder;
    using E = LLImportEntryPoint;
    EXPECT_TRUE(LLDocument::acceptsFile(E::ImportCommand, "x.xml"));
    EXPECT_TRUE(LLDocument::acceptsFile(E::ImportCommand, "x.XML"));
    EXPECT_FALSE(LLDocument::acceptsFile(E::ImportCommand, "x.pdf"));
    EXPECT_TRUE(LLDocument::acceptsFile(E::ImportCommand, folder.path()));
    EXPECT_TRUE(LLDocument::acceptsFile(E::Drop, "x.PDF"));
    EXPECT_FALSE(LLDocument::acceptsFile(E::Drop, "x.txt"));
    EXPECT_TRUE(LLDocument::acceptsFile(E::Drop, folder.path()));
    EXPECT_TRUE(LLDocument::acceptsFile(E::OpenedFromSystem, "x.txt"));
    EXPECT_FALSE(LLDocument::acceptsFile(E::InsideFolder, "x.pdf"));
    EXPECT_FALSE(LLDocument::acceptsFile(E::InsideFolder, folder.path()));
    EXPECT_TRUE(LLDocument::isLibraryFile("/a/Books.LEDGERLENS"));
    EXPECT_FALSE(LLDocument::isLibraryFile("/a/ledgerlens.xml"));
}

TEST(LibraryImport, RunsOnTheImportThreadAndHandsBackURIStrings) {
    SKIP_WITHOUT_RULES();
    TemporaryFolder folder;
    auto document = LLDocument::open(folder / "lib.ledgerlens", true);
    ASSERT_TRUE(document);
    writeFile(folder / "in" / "a.xml", readCorpusFile(kCII));
    writeFile(folder / "in" / "b.xml", readCorpusFile(kUBL));
    std::vector<std::string> uris;
    std::vector<LLImportProgress> steps;
    std::thread::id importThread;
    LLImportObserver observer;
    observer.progress = [&](const LLImportProgress& p) { steps.push_back(p); };
    observer.finished = [&](std::vector<std::string> result) {
        uris = std::move(result);
        importThread = std::this_thread::get_id();
    };
    document->resetErrors();
    document->importPaths({folder / "in", corpusDir() / kNoAttachments, corpusDir() / kCII},
                          observer);
    document->waitForImports();
    EXPECT_NE(importThread, std::this_thread::get_id());
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps.back().recordsCommitted, 3u);
    // The re-imported CII invoice is the same record: it is handed back once.
    ASSERT_EQ(uris.size(), 2u) << (uris.empty() ? "" : uris[0]);
    auto& main = document->managedObjectContext();
    auto objects = main.objectsForURIStrings(uris);
    ASSERT_EQ(objects.size(), 2u) << uris[0] << " " << uris[1] << " "
                                  << main.countInvoices().value_or(-1);
    EXPECT_EQ(*std::dynamic_pointer_cast<LLInvoiceRecord>(objects[0])->name(), "TOSL108");
    EXPECT_EQ(document->errors().size(), 1u);

    auto uri = document->importData(readCorpusFile(kUBL));
    ASSERT_TRUE(uri);
    EXPECT_EQ(*uri, uris[1]);
}

TEST(LibraryValidation, TheXSDGateChoosesTheSetByTheRootName) {
    EXPECT_EQ(LLDocument::xsdResourceFolderForRootName("rsm:CrossIndustryInvoice"), "CII-XSD");
    EXPECT_EQ(LLDocument::xsdResourceFolderForRootName("p:FatturaElettronica"), "FatturaPA-XSD");
    EXPECT_EQ(LLDocument::xsdResourceFolderForRootName("ns3:FatturaElettronica"), "FatturaPA-XSD");
    // The FatturaPA test compares whole names: other prefixes fall to the UBL set.
    EXPECT_EQ(LLDocument::xsdResourceFolderForRootName("FatturaElettronica"), "UBL-XSD/maindoc");
    EXPECT_EQ(LLDocument::xsdResourceFolderForRootName("fe:Facturae"), "Facturae-XSD");
    EXPECT_EQ(LLDocument::xsdResourceFolderForRootName("Invoice"), "UBL-XSD/maindoc");
}

TEST(LibraryValidation, WithoutCIISchemasNoCIIInvoiceGetsIn) {
    SKIP_WITHOUT_RULES();
    TemporaryFolder rules;
    fs::path source = *platform::resourceDirectory() / "rules";
    fs::copy(source, rules.path(), fs::copy_options::recursive);
    for (const auto& entry : fs::directory_iterator(rules / "CII-XSD")) fs::remove(entry.path());
    auto document = LLDocument::makeUntitled();
    document->setRulesDirectory(rules.path());
    auto& context = document->managedObjectContext();
    EXPECT_TRUE(document->importData(readCorpusFile(kCII), context).empty());
    // A UBL invoice that breaks its XSD still gets in; its rules decide the code.
    std::string ubl = readCorpusFile(kUBL);
    std::string broken =
        replaced(ubl, "<cbc:IssueDate>", "<cbc:Unexpected>x</cbc:Unexpected><cbc:IssueDate>");
    auto record = single(document->importData(broken, context));
    ASSERT_TRUE(record);
    EXPECT_GE(record->validationResult(), LLValidationResult::Valid);
}

TEST(LibraryValidation, ResultCodesAndTheAlertsOnRequest) {
    SKIP_WITHOUT_RULES();
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    auto record = context.insertInvoice();

    document->validateInvoiceSilently(*record);
    EXPECT_EQ(record->validationResult(), LLValidationResult::NotValidated);  // no XML
    record->setValidationResult(LLValidationResult::Valid);
    auto answer = document->showValidation(*record);
    ASSERT_TRUE(answer.alert);
    EXPECT_EQ(answer.alert->messageText, "No XML Data");
    EXPECT_EQ(answer.alert->informativeText, "Invoice 'Unknown' has no XML data.");
    EXPECT_EQ(record->validationResult(), LLValidationResult::Valid);  // unchanged on request
    EXPECT_EQ(answer.displayName, "Invoice");
    {
        // The alert speaks the interface language; the invoice's name stays as it is.
        auto& helper = platform::SFLocalizeHelper::sharedHelper();
        const std::string before = helper.currentLanguage();
        helper.setCurrentLanguage("de");
        auto german = document->showValidation(*record);
        helper.setCurrentLanguage(before);
        ASSERT_TRUE(german.alert);
        EXPECT_EQ(german.alert->messageText, "Keine XML-Daten");
        EXPECT_EQ(german.alert->informativeText,
                  "Die Rechnung \u201eUnknown\u201c enth\u00e4lt keine XML-Daten.");
    }

    // UTF-16 text is not UTF-8.
    record->setName("R-16");
    record->setXml(std::string("\xff\xfe<\0I\0/\0>\0", 10));
    document->validateInvoiceSilently(*record);
    EXPECT_EQ(record->validationResult(), LLValidationResult::NotUTF8);
    answer = document->showValidation(*record);
    EXPECT_EQ(answer.alert->messageText, "Invalid XML");
    EXPECT_EQ(answer.alert->informativeText, "Invoice 'R-16' contains invalid XML data.");

    // Well-formed but of no known kind: the validator has no schema for it.
    record->setXml("<?xml version=\"1.0\"?><catalog/>");
    answer = document->showValidation(*record);
    EXPECT_EQ(record->validationResult(), LLValidationResult::Failed);
    ASSERT_TRUE(answer.alert);
    EXPECT_EQ(answer.alert->style, LLAlert::Style::Critical);
    EXPECT_EQ(answer.alert->informativeText.rfind("Failed to validate 'R-16': ", 0), 0u);

    record->setXml(readCorpusFile(kInvalidCII));
    answer = document->showValidation(*record);
    EXPECT_FALSE(answer.alert);
    ASSERT_TRUE(answer.result);
    EXPECT_FALSE(answer.result->errors.empty());
    EXPECT_EQ(record->validationResult(), LLValidationResult::Invalid);
    EXPECT_EQ(answer.displayName, "R-16");
}

TEST(LibraryValidation, StatusTransformers) {
    auto transformer = SFValueTransformer::transformerNamed<LLValidationResultTransformer>(
        "LLValidationResultTransformer");
    ASSERT_TRUE(transformer);
    using S = LLValidationStatus;
    // Stored codes, as the library file holds them: unknown ones are neutral.
    const std::vector<std::pair<std::optional<long long>, S>> cases = {
        {0, S::None}, {1, S::None}, {2, S::Valid}, {3, S::Warnings},        {4, S::Errors},
        {5, S::None}, {6, S::None}, {7, S::None},  {std::nullopt, S::None}, {-3, S::None}};
    for (const auto& [code, status] : cases) EXPECT_EQ(transformer->transformedValue(code), status);
    auto path = SFValueTransformer::transformerNamed<LLPathTransformer>("LLPathTransformer");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->transformedValue("/home/a/Invoices/R-1.xml"), "R-1.xml");
    EXPECT_EQ(path->transformedValue("/home/a/Invoices/"), "Invoices");
    EXPECT_FALSE(path->transformedValue(std::nullopt));
}

TEST(LibraryImport, TheLastOwnerMayLetGoOnTheImportThread) {
    SKIP_WITHOUT_CORPUS();
    auto document = LLDocument::makeUntitled();
    fs::path store = document->managedObjectContext().storePath();
    auto last = std::make_shared<std::shared_ptr<LLDocument>>(document);
    std::promise<void> done;
    LLImportObserver observer;
    observer.finished = [last, &done](std::vector<std::string>) {
        last->reset();  // the document closes here, on its own import thread
        done.set_value();
    };
    document->importPaths({corpusDir() / kCII}, observer);
    document.reset();
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    // The run holds the library until its job is over, which is just after `finished`.
    for (int i = 0; i < 100 && fs::exists(store); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(fs::exists(store));
}

TEST(LibraryImport, ACancelledRunStopsBeforeItsNextFileAndKeepsWhatItStored) {
    SKIP_WITHOUT_CORPUS();
    auto document = LLDocument::makeUntitled();
    std::promise<std::vector<std::string>> done;
    std::atomic<bool> cancelled{false};
    LLImportObserver observer;
    observer.progress = [&](const LLImportProgress&) { cancelled = true; };
    observer.cancelled = [&] { return cancelled.load(); };
    observer.finished = [&](std::vector<std::string> uris) { done.set_value(std::move(uris)); };
    document->importPaths({corpusDir() / kCII, corpusDir() / kUBL}, observer);
    auto future = done.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(120)), std::future_status::ready);
    EXPECT_EQ(future.get().size(), 1u);
    EXPECT_EQ(document->managedObjectContext().countInvoices(), 1);
}

TEST(LibraryImport, TheDocumentMayBeLetGoFromAProgressCallback) {
    SKIP_WITHOUT_CORPUS();
    TemporaryFolder folder;
    fs::path file = folder / "lib.ledgerlens";
    auto document = LLDocument::open(file, true);
    ASSERT_TRUE(document);
    auto last = std::make_shared<std::shared_ptr<LLDocument>>(document);
    std::promise<std::size_t> done;
    std::size_t handled = 0;
    LLImportObserver observer;
    observer.progress = [last, &handled](const LLImportProgress& progress) {
        handled = progress.filesHandled;
        last->reset();  // the window closes the library while the run goes on
    };
    observer.finished = [&](std::vector<std::string> uris) { done.set_value(uris.size()); };
    document->importPaths({corpusDir() / kCII, corpusDir() / kUBL, corpusDir() / kInvalidCII},
                          observer);
    document.reset();
    auto future = done.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(120)), std::future_status::ready);
    EXPECT_EQ(future.get(), 3u);
    EXPECT_EQ(handled, 3u);
    // The run finished its work on a live library: every record is in the file.
    auto reopened = LLDocument::open(file);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->managedObjectContext().countInvoices(), 3);
}

namespace {

// Two sellers without VAT numbers who use the same invoice number.
std::string ciiWithoutVAT(const std::string& sellerName, const std::string& taxNumber) {
    std::string xml = readCorpusFile(kCII);
    xml = replaced(xml, "schemeID=\"VA\">NO123456789MVA", "schemeID=\"FC\">" + taxNumber);
    return replaced(xml, "<ram:Name>Salescompany ltd.</ram:Name>",
                    "<ram:Name>" + sellerName + "</ram:Name>");
}

}  // namespace

TEST(LibraryImport, SellersWithoutVATNumbersDoNotReplaceEachOther) {
    SKIP_WITHOUT_RULES();
    TemporaryFolder folder;
    writeFile(folder / "a.xml", ciiWithoutVAT("Müller Bau", "1111111111111"));
    writeFile(folder / "b.xml", ciiWithoutVAT("Schmidt Holz", "2222222222222"));
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    ASSERT_EQ(document->importFile(folder / "a.xml", context).size(), 1u);
    ASSERT_EQ(document->importFile(folder / "b.xml", context).size(), 1u);
    EXPECT_EQ(context.countInvoices(), 2);
    EXPECT_TRUE(document->takeReplacements().empty());
    // The same invoice again replaces its own record, and says so.
    ASSERT_EQ(document->importFile(folder / "b.xml", context).size(), 1u);
    EXPECT_EQ(context.countInvoices(), 2);
    EXPECT_EQ(document->takeReplacements(),
              (std::vector<LLImportReplacement>{
                  {(folder / "b.xml").string(), "TOSL108", "Schmidt Holz"}}));
    EXPECT_EQ(LLDocument::duplicateKeyForXML(readFile(folder / "b.xml")),
              "(null)-TOSL108 tax:2222222222222");
    // With a VAT number the key stays what it always was.
    EXPECT_EQ(LLDocument::duplicateKeyForXML(readCorpusFile(kCII)), "NO123456789MVA-TOSL108");
}

TEST(LibraryImport, TheReceivedBytesAreKeptAsTheyArrived) {
    SKIP_WITHOUT_RULES();
    TemporaryFolder folder;
    // A comment and odd spacing, which the parsed document would not give back.
    std::string xml = replaced(readCorpusFile(kUBL), "<cbc:IssueDate>",
                               "<!-- signed: do not touch -->\n   <cbc:IssueDate>");
    writeFile(folder / "a.xml", xml);
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    auto record = single(document->importFile(folder / "a.xml", context));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->xmlReceived(), xml);
    EXPECT_NE(record->xml(), xml);
    EXPECT_FALSE(record->pdfReceived());
}

TEST(LibraryImport, TwoImportsOfOneFolderAtOnceStoreNoDuplicateKey) {
    SKIP_WITHOUT_RULES();
    TemporaryFolder folder;
    writeFile(folder / "in" / "a.xml", readCorpusFile(kCII));
    writeFile(folder / "in" / "b.xml", readCorpusFile(kUBL));
    writeFile(folder / "in" / "c.xml", readCorpusFile(kInvalidCII));
    writeFile(folder / "in" / "d.xml", ciiWithoutVAT("Müller Bau", "1111111111111"));
    for (int trial = 0; trial < 3; ++trial) {
        fs::path file = folder / ("lib" + std::to_string(trial) + ".ledgerlens");
        // Both create the new library at once, then import the same folder at once.
        std::vector<std::shared_ptr<LLDocument>> documents(2);
        std::vector<std::thread> openers;
        for (auto& document : documents)
            openers.emplace_back([&document, file] { document = LLDocument::open(file, true); });
        for (auto& opener : openers) opener.join();
        ASSERT_TRUE(documents[0] && documents[1]) << "trial " << trial;
        for (auto& document : documents) document->importPaths({folder / "in"});
        for (auto& document : documents) document->waitForImports();
        for (auto& document : documents) EXPECT_TRUE(document->errors().empty());
        auto& context = documents[0]->managedObjectContext();
        auto records = context.fetchInvoices();
        std::set<std::string> keys;
        for (const auto& record : records) keys.insert(record->identifier().value_or(""));
        EXPECT_EQ(records.size(), 4u) << "trial " << trial;
        EXPECT_EQ(keys.size(), records.size()) << "trial " << trial;
    }
}

TEST(LibraryImport, WithoutRulesInvoicesAreStoredAsNotValidated) {
    SKIP_WITHOUT_CORPUS();
    TemporaryFolder folder;
    auto document = LLDocument::makeUntitled();
    document->setRulesDirectory(folder / "no-rules");
    EXPECT_FALSE(document->hasRules());
    auto& context = document->managedObjectContext();
    auto records = document->importFile(corpusDir() / kCII, context);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.front()->validationResult(), LLValidationResult::NotValidated);
    EXPECT_TRUE(document->errors().empty());
}

TEST(LibraryValidation, AResultThatCannotBeStoredIsReported) {
    SKIP_WITHOUT_RULES();
    TemporaryFolder folder;
    fs::path file = folder / "lib.ledgerlens";
    {
        auto document = LLDocument::open(file, true);
        ASSERT_TRUE(document);
        ASSERT_EQ(
            document->importData(readCorpusFile(kCII), document->managedObjectContext()).size(),
            1u);
    }
    auto document = LLDocument::openReadOnly(file);
    ASSERT_TRUE(document);
    auto records = document->managedObjectContext().fetchInvoices();
    ASSERT_EQ(records.size(), 1u);
    auto answer = document->showValidation(*records.front());
    ASSERT_TRUE(answer.storeError);
    EXPECT_NE(answer.storeError->find("readonly"), std::string::npos) << *answer.storeError;
    // Import into it fails with the store's reason, not as an unreadable invoice.
    EXPECT_TRUE(document->importFile(corpusDir() / kUBL, document->managedObjectContext()).empty());
    ASSERT_EQ(document->errors().size(), 1u);
    EXPECT_EQ(document->errors()[0].description, kLLErrorNotStored);
}
