#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "RecordTestSupport.h"
#include "library/LLExport.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/Resources.h"
#include "platform/SFLocalizeHelper.h"
#include "platform/XmlDocument.h"

namespace fs = std::filesystem;
using library::LLExportSummary;
using library::LLInvoiceRecord;

namespace {

constexpr const char* kCIIExample = "en16931-examples/cii/CII_example2.xml";
constexpr const char* kFacturXPDF = "zugferd/XML-Rechnung/FX/EN16931_Elektron.pdf";

// Every file and folder below `dir`, as paths relative to it.
std::set<std::string> tree(const fs::path& dir) {
    std::set<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        out.insert(fs::relative(entry.path(), dir).string());
    return out;
}

// The document text with the white space between tags removed.
std::string withoutIndentation(const std::string& xml) {
    static const std::regex blanks(">\\s+<");
    return std::regex_replace(xml, blanks, "><");
}

LLInvoiceRecord::Summary named(std::optional<std::string> seller,
                               std::optional<std::string> number) {
    LLInvoiceRecord::Summary summary;
    summary.sellerName = std::move(seller);
    summary.name = std::move(number);
    return summary;
}

}  // namespace

TEST(ExportFolders, NamesAreMadeSafe) {
    using library::exportInvoiceFolderName;
    using library::exportSellerFolderName;
    EXPECT_EQ(exportInvoiceFolderName("2024/07:01"), "2024_07_01");
    EXPECT_EQ(exportInvoiceFolderName("  R-1 \n"), "R-1");
    EXPECT_EQ(exportSellerFolderName("../../x"), ".._.._x");
    const std::string unknown = platform::localizedString("Unknown Seller");
    for (std::optional<std::string> hostile :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("."), std::optional<std::string>(".."),
          std::optional<std::string>("  \n")})
        EXPECT_EQ(exportSellerFolderName(hostile), unknown);
    EXPECT_EQ(exportInvoiceFolderName(".."), platform::localizedString("Invoice"));
    // Over-long names are cut on a character boundary.
    std::string longName;
    for (int i = 0; i < 200; ++i) longName += "ä";
    std::string cut = exportSellerFolderName(longName);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut.size() % 2, 0u);
}

TEST(Export, FolderTreeBySellerAndNumberStaysInsideTheChosenFolder) {
    TemporaryFolder dir;
    TestLibrary library;
    std::vector<std::shared_ptr<LLInvoiceRecord>> records{library.add(named("ACME", "2024/07:01")),
                                                          library.add(named("ACME", "B")),
                                                          library.add(named("../../x", "1")),
                                                          library.add(named("..", "2")),
                                                          library.add(named("", "3")),
                                                          library.add(named(std::nullopt, "../4")),
                                                          library.add(named("ACME", "B"))};
    records[1]->setPdf(std::string("%PDF-1.4 stored\n"));
    fs::path target = dir.path() / "a" / "export";

    std::vector<std::size_t> progress;
    LLExportSummary summary =
        library::exportRecords(records, target, [&](std::size_t done, std::size_t total) {
            EXPECT_EQ(total, records.size());
            progress.push_back(done);
        });

    EXPECT_EQ(progress, (std::vector<std::size_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(summary.records, 7u);
    EXPECT_EQ(summary.filesWritten, 1u);  // only the stored PDF: no record has XML
    EXPECT_EQ(summary.failures, 0u) << (summary.problems.empty() ? "" : summary.problems[0]);
    const std::string unknown = platform::localizedString("Unknown Seller");
    EXPECT_EQ(
        tree(dir.path()),
        (std::set<std::string>{"a", "a/export", "a/export/ACME", "a/export/ACME/2024_07_01",
                               "a/export/ACME/B", "a/export/ACME/B/B.pdf",
                               // the same number again does not overwrite the first
                               "a/export/ACME/B 2", "a/export/.._.._x", "a/export/.._.._x/1",
                               "a/export/" + unknown, "a/export/" + unknown + "/2",
                               "a/export/" + unknown + "/3", "a/export/" + unknown + "/.._4"}));
    EXPECT_EQ(readFile(target / "ACME" / "B" / "B.pdf"), "%PDF-1.4 stored\n");
}

TEST(Export, ACancelledRunStopsBeforeItsNextRecord) {
    TemporaryFolder dir;
    TestLibrary library;
    std::vector<std::shared_ptr<LLInvoiceRecord>> records{library.add(named("ACME", "1")),
                                                          library.add(named("ACME", "2")),
                                                          library.add(named("ACME", "3"))};
    for (auto& record : records) record->setPdf(std::string("%PDF-1.4 stored\n"));
    std::size_t asked = 0;
    library::LLExportOptions options;
    options.cancelled = [&] { return ++asked > 2; };  // cancel comes while the second is written
    LLExportSummary summary = library::exportRecords(records, dir.path(), {}, options);
    EXPECT_EQ(summary.records, 2u);
    EXPECT_EQ(summary.filesWritten, 2u);
    EXPECT_FALSE(fs::exists(dir.path() / "ACME" / "3"));
}

TEST(Export, XMLIsPrettyPrintedAndAPDFRendered) {
    SKIP_WITHOUT_CORPUS();
    TemporaryFolder dir;
    TestLibrary library;
    std::string xml = readFile(corpusDir() / kCIIExample);
    LLInvoiceRecord::Summary summary = named("Seller", "INV/1");
    summary.xml = xml;
    LLInvoiceRecord::Summary broken = named("Seller", "broken");
    broken.xml = "<Invoice><unclosed></Invoice>";
    std::vector<std::shared_ptr<LLInvoiceRecord>> records{library.add(broken),
                                                          library.add(summary)};

    LLExportSummary result = library::exportRecords(records, dir.path());
    EXPECT_EQ(result.records, 2u);
    EXPECT_EQ(result.filesWritten, 2u);
    EXPECT_EQ(result.failures, 1u);  // the broken XML; the run went on

    fs::path folder = dir.path() / "Seller" / "INV_1";
    std::string pretty = readFile(folder / "INV_1.xml");
    auto original = platform::XmlDocument::parse(xml);
    auto written = platform::XmlDocument::parse(pretty);
    ASSERT_TRUE(written);
    EXPECT_EQ(withoutIndentation(written->serialize(false)),
              withoutIndentation(original->serialize(false)));
    EXPECT_NE(pretty, xml);
    EXPECT_NE(pretty.find("\n  <"), std::string::npos);

    std::string pdf = readFile(folder / "INV_1.pdf");
    ASSERT_TRUE(pdf.starts_with("%PDF-"));
    auto document = pagewright::PagewrightPDFDocument::initWithData(pdf);
    ASSERT_TRUE(document);
    EXPECT_GE(document->pageCount(), 1);

    EXPECT_TRUE(fs::is_directory(dir.path() / "Seller" / "broken"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "Seller" / "broken"));
}

TEST(Export, ImportedFilesAreExportedAsTheyArrivedAndRebuiltOnRequest) {
    SKIP_WITHOUT_CORPUS();
    // The import's XSD gate needs the rule sets.
    auto resources = platform::resourceDirectory();
    if (!resources || !fs::is_directory(*resources / "rules" / "CII-XSD"))
        GTEST_SKIP() << "validation rules not fetched (scripts/fetch-rules)";
    TemporaryFolder dir;
    TestLibrary library;
    auto records = library.document->importFile(corpusDir() / kFacturXPDF, library.context());
    ASSERT_EQ(records.size(), 1u);
    std::optional<std::string> stored = records[0]->pdf();
    ASSERT_TRUE(stored);
    std::string received = readFile(corpusDir() / kFacturXPDF);
    ASSERT_NE(*stored, received);  // the archival rebuild

    LLExportSummary summary = library::exportRecords(records, dir / "as-received");
    EXPECT_EQ(summary.failures, 0u);
    fs::path folder = fs::path(library::exportSellerFolderName(records[0]->sellerName())) /
                      library::exportInvoiceFolderName(records[0]->name());
    std::string name = library::exportInvoiceFolderName(records[0]->name());
    EXPECT_EQ(readFile(dir / "as-received" / folder / (name + ".pdf")), received);
    EXPECT_EQ(readFile(dir / "as-received" / folder / (name + ".xml")), records[0]->xmlReceived());

    library::LLExportOptions options;
    options.prettyXML = true;
    options.rebuiltPDF = true;
    summary = library::exportRecords(records, dir / "rebuilt", {}, options);
    EXPECT_EQ(summary.failures, 0u);
    EXPECT_EQ(readFile(dir / "rebuilt" / folder / (name + ".pdf")), *stored);
    EXPECT_NE(readFile(dir / "rebuilt" / folder / (name + ".xml")), records[0]->xmlReceived());
}

TEST(Export, RunsOnAWorkerThreadWithURIStrings) {
    SKIP_WITHOUT_CORPUS();
    TemporaryFolder dir;
    TestLibrary library;
    LLInvoiceRecord::Summary summary = named("Worker", "W1");
    summary.xml = readFile(corpusDir() / kCIIExample);
    std::vector<std::string> uris{library.add(summary)->uriString(),
                                  "ledgerlens://no-such-store/Invoice/99"};

    LLExportSummary result;
    std::thread worker([&] {
        auto context = library.document->newPrivateChildContext();
        ASSERT_TRUE(context);
        result = library::exportURIStrings(*context, uris, dir.path());
    });
    worker.join();
    EXPECT_EQ(result.records, 1u);
    EXPECT_EQ(result.failures, 1u);
    EXPECT_EQ(result.filesWritten, 2u);
    EXPECT_TRUE(readFile(dir.path() / "Worker" / "W1" / "W1.pdf").starts_with("%PDF-"));
}
