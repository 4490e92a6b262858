// Times Pagewright over the ZUGFeRD corpus: opening and reading attachments, the archival
// rebuild, and merging every PDF into one. Usage: pagewright-bench [CORPUS_DIR] [ROUNDS]
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <vector>

#include "pagewright/PagewrightPDFDocument.h"

namespace fs = std::filesystem;
using pagewright::PagewrightPDFDocument;

namespace {

double millisecondsOf(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void report(const std::string& what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) sum += t;
    std::cout << what << ": " << times.size() << " runs, median " << times[times.size() / 2]
              << " ms, mean " << sum / times.size() << " ms, max " << times.back() << " ms\n";
}

}  // namespace

int main(int argc, char** argv) {
    fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path(LEDGERLENS_CORPUS_DIR);
    int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(corpus / "zugferd"))
        if (entry.path().extension() == ".pdf") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::cerr << "pagewright-bench: no PDFs under " << corpus / "zugferd" << "\n";
        return 1;
    }
    std::vector<double> open, convert;
    std::vector<std::shared_ptr<PagewrightPDFDocument>> documents;
    for (int round = 0; round < rounds; ++round)
        for (const auto& file : files) {
            std::shared_ptr<PagewrightPDFDocument> document;
            open.push_back(millisecondsOf([&] {
                document = PagewrightPDFDocument::initWithURL(file);
                if (document) document->attachments();
            }));
            if (!document) continue;
            convert.push_back(millisecondsOf([&] { document->dataRepresentation(); }));
            if (round == 0) documents.push_back(document);
        }
    report("open + attachments", open);
    report("dataRepresentation (PDF/A-3 rebuild)", convert);
    std::vector<double> merge;
    for (int round = 0; round < rounds; ++round)
        merge.push_back(millisecondsOf([&] {
            auto merged = PagewrightPDFDocument::documentWithDocuments(documents);
            if (merged) merged->dataRepresentation();
        }));
    report("merge of all " + std::to_string(documents.size()) + " PDFs + rebuild", merge);
    return 0;
}
