// Selection change to a shown PDF in the preview pane: the time from setSelection() until the
// pane has painted the visible part of the PDF, for XML invoices rendered from the layout
// template (first showing, and again from the cache of recent renderings) and for PDF invoices
// showing their stored PDF. Prints the timings; the goal for a rendered invoice is 100 ms.
//
//   preview-bench [CORPUS_DIR]
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <vector>

#include "library/LLDocument.h"
#include "library/LLManagedObject.h"
#include "preview/LLContentViewController.h"
#include "preview/LLPDFViewController.h"

namespace fs = std::filesystem;

namespace {

struct Timings {
    std::vector<double> milliseconds;
    void print(const char* what) {
        if (milliseconds.empty()) {
            std::cout << what << ": no samples\n";
            return;
        }
        std::sort(milliseconds.begin(), milliseconds.end());
        const auto at = [&](double q) {
            return milliseconds[size_t(q * double(milliseconds.size() - 1))];
        };
        std::cout << std::fixed << std::setprecision(1) << what << ": n=" << milliseconds.size()
                  << " median " << at(0.5) << " ms, p90 " << at(0.9) << " ms, max "
                  << milliseconds.back() << " ms\n";
    }
};

double showSelection(preview::LLContentViewController& pane,
                     const std::shared_ptr<library::LLDocument>& document,
                     const std::shared_ptr<library::LLInvoiceRecord>& record) {
    QElapsedTimer timer;
    timer.start();
    pane.setSelection(document, {record});
    pane.repaint();  // paints now: the visible page is drawn
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path(LEDGERLENS_BENCH_CORPUS);
    if (!fs::is_directory(corpus)) {
        std::cerr << "preview-bench: no corpus at " << corpus << "\n";
        return 77;
    }
    QTemporaryDir noRules;  // invoices are stored unchecked: the import is not measured
    auto document = library::LLDocument::makeUntitled();
    document->setRulesDirectory(noRules.path().toStdString());
    auto& context = document->managedObjectContext();
    std::vector<std::shared_ptr<library::LLInvoiceRecord>> xmlRecords, pdfRecords;
    for (const char* folder :
         {"en16931-examples/cii", "en16931-examples/ubl",
          "xrechnung/testsuite/business-cases/standard", "zugferd/XML-Rechnung"}) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(corpus / folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            for (auto& record : document->importFile(file, context)) {
                (file.extension() == ".pdf" ? pdfRecords : xmlRecords).push_back(record);
            }
        }
    }

    preview::LLContentViewController pane;
    pane.resize(1280, 800);
    pane.show();
    QApplication::processEvents();

    Timings cold, warm, stored;
    // Rendered: every XML invoice for the first time, then the last eight again (cached).
    std::vector<std::pair<double, std::string>> slowest;
    for (const auto& record : xmlRecords) {
        const double ms = showSelection(pane, document, record);
        cold.milliseconds.push_back(ms);
        slowest.emplace_back(ms, record->name().value_or("?"));
    }
    std::sort(slowest.rbegin(), slowest.rend());
    slowest.resize(std::min<size_t>(slowest.size(), 5));
    const size_t cached = std::min<size_t>(8, xmlRecords.size());
    for (int round = 0; round < 3; ++round) {
        for (size_t i = xmlRecords.size() - cached; i < xmlRecords.size(); ++i)
            warm.milliseconds.push_back(showSelection(pane, document, xmlRecords[i]));
    }
    for (const auto& record : pdfRecords)
        stored.milliseconds.push_back(showSelection(pane, document, record));

    std::cout << "Selection change to a shown PDF (pane 1280 x 800, fit width)\n";
    cold.print("XML invoice, rendered (first showing)");
    warm.print("XML invoice, rendered (again, from the cache)");
    stored.print("PDF invoice, stored PDF");
    std::cout << "slowest first showings:";
    for (const auto& [ms, name] : slowest) std::cout << " " << name << " (" << ms << " ms)";
    std::cout << "\n";
    return 0;
}
