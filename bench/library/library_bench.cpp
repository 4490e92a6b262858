// Library speed: imports per second with validation, and the source list and list filter over
// a library of generated invoices. Prints medians; run by hand:
//   build/bench/library/library-bench [--count 10000] [--runs 5]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "library/LLDocument.h"
#include "library/LLInvoiceList.h"
#include "library/LLInvoicesToLLSourceItemTransformer.h"
#include "library/LLSourceItem.h"
#include "model/LLInvoice.h"
#include "platform/FileData.h"

namespace fs = std::filesystem;
using namespace library;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double medianOf(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        work();
        times.push_back(seconds(start));
    }
    return median(times);
}

std::vector<fs::path> filesBelow(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && it->path().extension() == extension)
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

fs::path temporaryLibrary(const std::string& name) {
    fs::path file = fs::temp_directory_path() / ("ledgerlens-bench-" + name + ".ledgerlens");
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file.string() + suffix);
    return file;
}

struct ImportTimes {
    double first = 0;  // into a new library: its rules are loaded on the way
    double again = 0;  // the same files once more: rules ready, every record replaced
    std::size_t records = 0;
};

// Imports `files` into a new library, then once more into the same library.
ImportTimes timeImport(const std::vector<fs::path>& files) {
    fs::path file = temporaryLibrary("import");
    auto document = LLDocument::open(file, true);
    ImportTimes times;
    LLImportObserver observer;
    observer.progress = [&](const LLImportProgress& p) { times.records = p.recordsImported; };
    for (double* slot : {&times.first, &times.again}) {
        auto start = Clock::now();
        document->importPaths(files, observer);
        document->waitForImports();
        *slot = seconds(start);
    }
    document->close();
    fs::remove(file);
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 10000, runs = 5;
    fs::path corpus = LEDGERLENS_BENCH_CORPUS;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--count") count = std::stoi(argv[i + 1]);
        if (option == "--runs") runs = std::stoi(argv[i + 1]);
        if (option == "--corpus") corpus = argv[i + 1];
    }
    if (!fs::is_directory(corpus)) {
        std::fprintf(stderr, "library-bench: no corpus at %s\n", corpus.c_str());
        return 1;
    }

    // --- import with validation
    auto xml = filesBelow(corpus / "xrechnung" / "testsuite", ".xml");
    auto more = filesBelow(corpus / "en16931-examples", ".xml");
    xml.insert(xml.end(), more.begin(), more.end());
    auto report = [](const char* what, std::size_t files, const std::vector<ImportTimes>& runs) {
        std::vector<double> first, again;
        for (const auto& r : runs) {
            first.push_back(r.first);
            again.push_back(r.again);
        }
        const double records = static_cast<double>(runs.front().records);
        std::printf(
            "import %s with validation: %zu files, %.0f invoices; new library %.2f s = "
            "%.1f invoices/s, again %.2f s = %.1f invoices/s (median of %zu)\n",
            what, files, records, median(first), records / median(first), median(again),
            records / median(again), runs.size());
    };
    std::vector<ImportTimes> xmlRuns;
    for (int i = 0; i < 3; ++i) xmlRuns.push_back(timeImport(xml));
    report("XML", xml.size(), xmlRuns);
    auto pdfs = filesBelow(corpus / "zugferd", ".pdf");
    report("PDF", pdfs.size(), {timeImport(pdfs)});

    // --- a large library made from corpus invoices with new numbers and spread-out dates
    struct Base {
        std::string xml;
        std::shared_ptr<platform::XmlDocument> document;
        std::shared_ptr<model::LLInvoice> invoice;
    };
    std::vector<Base> bases;
    for (const auto& file : xml) {
        auto bytes = platform::readFileData(file);
        if (!bytes) continue;
        auto document = platform::XmlDocument::parse(*bytes);
        if (!document) continue;
        auto invoice = model::LLInvoiceElement::elementFromXML<model::LLInvoice>(document->root());
        if (invoice && invoice->number) bases.push_back({*bytes, document, invoice});
    }
    fs::path file = temporaryLibrary("large");
    auto document = LLDocument::open(file, true);
    auto start = Clock::now();
    {
        auto context = document->newPrivateChildContext();
        const platform::Date first{2015, 1, 1};
        for (int i = 0; i < count; ++i) {
            const Base& base = bases[static_cast<size_t>(i) % bases.size()];
            std::string number = *base.invoice->number + "-" + std::to_string(i);
            std::string bytes = base.xml;
            if (auto at = bytes.find(">" + *base.invoice->number + "<"); at != std::string::npos)
                bytes.replace(at + 1, base.invoice->number->size(), number);
            auto record = context->insertInvoice();
            LLInvoiceRecord::Summary summary;
            summary.name = number;
            summary.identifier = LLDocument::duplicateKey(
                base.invoice->seller ? base.invoice->seller->vatNumber : std::nullopt, number);
            summary.sellerName = base.invoice->seller ? base.invoice->seller->name : std::nullopt;
            summary.dateIssued = LLInstant::startOfDay(
                platform::Date::fromDaysSinceEpoch(first.daysSinceEpoch() + (i * 7919) % 3650));
            summary.payableAmount = base.invoice->finalAmount;
            summary.taxExclusiveAmount = base.invoice->netAmount;
            summary.taxInclusiveAmount = base.invoice->grossAmount;
            summary.currencyCode =
                base.invoice->currency ? base.invoice->currency->name : std::nullopt;
            summary.xml = std::move(bytes);
            record->setSummary(summary);
            record->setValidationResult(library::LLValidationResult::Valid);
        }
        context->save();
    }
    std::printf("generated library: %d invoices stored in %.2f s (%.0f MB file)\n", count,
                seconds(start), fs::file_size(file) / 1e6);

    auto& main = document->managedObjectContext();
    std::vector<std::shared_ptr<LLInvoiceRecord>> dated;
    double fetch = medianOf(runs, [&] {
        dated.clear();
        dated = main.fetchInvoices(LLInvoicePredicate::dated());
    });
    double refresh = medianOf(runs, [&] { main.processPendingChanges(); });
    LLInvoicesToLLSourceItemTransformer transformer;
    std::vector<std::shared_ptr<LLSourceItem>> tree;
    double build = medianOf(runs, [&] { tree = transformer.transformedValue(dated); });
    auto year = tree.front()->items.front();
    auto month = year->items.front();
    auto otherYear = tree.front()->items.back();
    std::vector<std::shared_ptr<LLSourceItem>> selection = {month, otherYear};
    std::vector<std::shared_ptr<LLInvoiceRecord>> shown;
    double filter = medianOf(
        runs, [&] { shown = arrangeInvoices(dated, filterPredicateForSelection(selection), ""); });
    std::size_t filtered = shown.size();
    double search = medianOf(runs, [&] {
        shown = arrangeInvoices(dated, filterPredicateForSelection({tree.front()}), "gmbh");
    });
    double storeFilter =
        medianOf(runs, [&] { shown = main.fetchInvoices(filterPredicateForSelection(selection)); });
    std::printf("%zu dated records fetched in %.1f ms (median of %d)\n", dated.size(), fetch * 1e3,
                runs);
    std::printf("refreshing them after another context's changes: %.1f ms\n", refresh * 1e3);
    std::printf("year/month tree: %zu years built in %.1f ms\n", tree.front()->items.size(),
                build * 1e3);
    std::printf(
        "list filter (one month + one year): %zu records in %.2f ms; in the store %.1f ms\n",
        filtered, filter * 1e3, storeFilter * 1e3);
    std::printf("list filter \"All\" + search \"gmbh\": %.1f ms\n", search * 1e3);
    document->close();
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file.string() + suffix);
    return 0;
}
