// The source list over a large library: building the year/month tree, restoring the tree
// state, filtering the invoice list, the copy text; then an export of invoices whose PDFs are
// rendered. Prints milliseconds per step. Arguments: [records] [exported invoices].
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "library/LLCopyColumn.h"
#include "library/LLDocument.h"
#include "library/LLExport.h"
#include "library/LLInvoiceList.h"
#include "library/LLInvoicesToLLSourceItemTransformer.h"
#include "library/LLSourceTreeController.h"

using namespace library;
using Clock = std::chrono::steady_clock;

namespace {

template <class F>
double timed(const char* label, int repeats, F&& body) {
    auto start = Clock::now();
    for (int i = 0; i < repeats; ++i) body();
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / repeats;
    std::printf("%-44s %9.2f ms\n", label, ms);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const char* sellers[] = {"Müller GmbH",    "Schmidt AG",
                             "ACME Corp",      "Lieferant & Söhne",
                             "Übersee Handel", "Société Générale de Fournitures",
                             "Rossi S.p.A."};
    auto document = LLDocument::makeUntitled();
    if (!document) return 1;

    timed("insert records (one transaction)", 1, [&] {
        auto context = document->newPrivateChildContext();
        std::mt19937 random(42);
        for (int i = 0; i < count; ++i) {
            auto record = context->insertInvoice();
            LLInvoiceRecord::Summary summary;
            platform::Date day = platform::Date::fromDaysSinceEpoch(
                platform::Date{2019, 1, 1}.daysSinceEpoch() + random() % (6 * 365));
            summary.dateIssued = LLInstant::startOfDay(day);
            summary.sellerName = sellers[random() % std::size(sellers)];
            summary.name = "INV-" + std::to_string(i);
            summary.currencyCode = "EUR";
            summary.taxExclusiveAmount =
                platform::Decimal(static_cast<std::int64_t>(random() % 100000));
            record->setSummary(summary);
        }
        context->save();
    });

    std::vector<std::shared_ptr<LLInvoiceRecord>> records;
    timed("fetch all records", 1,
          [&] { records = document->managedObjectContext().fetchInvoices(); });
    std::printf("records: %zu\n", records.size());

    std::vector<std::shared_ptr<LLSourceItem>> tree;
    LLInvoicesToLLSourceItemTransformer transformer;
    timed("build the year/month tree", 5, [&] { tree = transformer.transformedValue(records); });

    auto settings = std::filesystem::temp_directory_path() / "ledgerlens-sourcelist-bench.conf";
    LLSourceTreeController controller{platform::Settings(settings)};
    controller.setInWindow(true);
    controller.setContent(tree);
    controller.expandItem(controller.arrangedObjects().nodeForUID("all"));
    controller.setSelectedUIDs({"2023-7", "2024-2"});
    timed("setContent with restored state", 5, [&] { controller.setContent(tree); });

    auto all = filterPredicateForSelection({tree[0]});
    auto twoMonths = filterPredicateForSelection(controller.selectedObjects());
    std::size_t shown = 0;
    timed("filter: All", 5, [&] { shown = arrangeInvoices(records, all, "").size(); });
    std::printf("  shown: %zu\n", shown);
    timed("filter: two months", 5, [&] { shown = arrangeInvoices(records, twoMonths, "").size(); });
    std::printf("  shown: %zu\n", shown);
    timed("filter: All + search \"muller\"", 5,
          [&] { shown = arrangeInvoices(records, all, "muller").size(); });
    std::printf("  shown: %zu\n", shown);

    std::vector<std::size_t> rows(records.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = i;
    std::size_t bytes = 0;
    timed("copy text of every row", 1, [&] {
        bytes = copyTextUsingInstructions(records, rows, invoiceListCopyInstructions()).size();
    });
    std::printf("  bytes: %zu\n", bytes);
    std::filesystem::remove(settings);
    document->close();

    // Export: every invoice has XML and no stored PDF, so each PDF is rendered.
    const int exported = argc > 2 ? std::atoi(argv[2]) : 50;
    std::ifstream in(std::filesystem::path(LEDGERLENS_CORPUS_DIR) /
                     "en16931-examples/cii/CII_example2.xml");
    std::stringstream xml;
    xml << in.rdbuf();
    if (exported <= 0 || xml.str().empty()) return 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    auto exportLibrary = LLDocument::makeUntitled();
    std::vector<std::shared_ptr<LLInvoiceRecord>> toExport;
    for (int i = 0; i < exported; ++i) {
        auto record = exportLibrary->managedObjectContext().insertInvoice();
        LLInvoiceRecord::Summary summary;
        summary.sellerName = sellers[i % std::size(sellers)];
        summary.name = "EX-" + std::to_string(i);
        summary.xml = xml.str();
        record->setSummary(summary);
        toExport.push_back(record);
    }
    auto folder = std::filesystem::temp_directory_path() / "ledgerlens-sourcelist-bench-export";
    LLExportSummary result;
    double ms = timed("export with rendered PDFs (whole run)", 1,
                      [&] { result = exportRecords(toExport, folder); });
    std::printf("  invoices: %d, files: %zu, failures: %zu, %.1f ms per invoice\n", exported,
                result.filesWritten, result.failures, ms / exported);
    std::filesystem::remove_all(folder);
    exportLibrary->close();
    return 0;
}
