// Rendering speed: an XML invoice laid out as PDF pages from the layout template and the first
// page painted, in one process (template loaded once) and as a whole `ledgerlens-cli render`
// process per invoice. Prints medians; run by hand:
//   render-bench [CORPUS_DIR] [PROCESS_RUNS]
#include <poppler-qt6.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <vector>

#include "layout/LLInvoiceRenderer.h"
#include "layout/LayoutTemplate.h"
#include "model/LLInvoice.h"
#include "platform/FileData.h"
#include "platform/XmlDocument.h"

namespace fs = std::filesystem;

namespace {

void print(const char* what, std::vector<double> ms) {
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    std::cout << std::fixed << std::setprecision(1) << what << ": n=" << ms.size() << " median "
              << ms[ms.size() / 2] << " ms, p90 " << ms[size_t(0.9 * double(ms.size() - 1))]
              << " ms, max " << ms.back() << " ms\n";
}

double millisecondsSince(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

std::vector<fs::path> invoicesBelow(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && it->path().extension() == ".xml") files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path(LEDGERLENS_BENCH_CORPUS);
    const int processRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;

    std::vector<std::shared_ptr<model::LLInvoice>> invoices;
    std::vector<fs::path> sources;
    for (const auto& folder : {corpus / "xrechnung" / "testsuite", corpus / "en16931-examples"}) {
        for (const auto& file : invoicesBelow(folder)) {
            auto bytes = platform::readFileData(file);
            auto document = bytes ? platform::XmlDocument::parse(*bytes) : nullptr;
            auto invoice = document ? model::LLInvoiceElement::elementFromXML<model::LLInvoice>(
                                          document->root())
                                    : nullptr;
            if (!invoice) continue;
            invoices.push_back(invoice);
            sources.push_back(file);
        }
    }
    if (invoices.empty()) {
        std::cerr << "render-bench: no invoices below " << corpus << "\n";
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    std::string error;
    auto layoutTemplate = layout::LayoutTemplate::named("Light", &error);
    if (!layoutTemplate) {
        std::cerr << "render-bench: " << error << "\n";
        return 1;
    }
    std::cout << std::fixed << std::setprecision(1)
              << "template \"Light\" loaded in " << millisecondsSince(timer) << " ms\n";

    // Two rounds: the first pays for fonts and caches, the second is what every later invoice costs.
    std::vector<double> renderPerPage, paintFirstPage, both;
    size_t onePage = invoices.size();
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < invoices.size(); ++i) {
            layout::LLInvoiceRenderer renderer(*layoutTemplate);
            timer.restart();
            QByteArray pdf = renderer.buildPDFWithBackDrop(*invoices[i], false, &error);
            const double rendered = millisecondsSince(timer);
            timer.restart();
            auto document = Poppler::Document::loadFromData(pdf);
            std::unique_ptr<Poppler::Page> page(document ? document->page(0) : nullptr);
            QImage image = page ? page->renderToImage(96, 96) : QImage();
            const double painted = millisecondsSince(timer);
            if (!document || image.isNull()) {
                std::cerr << "render-bench: " << sources[i] << " gave no page\n";
                continue;
            }
            if (round == 0) continue;
            const int pages = std::max(1, document->numPages());
            if (pages == 1 && onePage == invoices.size()) onePage = i;
            renderPerPage.push_back(rendered / pages);
            paintFirstPage.push_back(painted);
            both.push_back(rendered / pages + painted);
        }
    }
    print("in one process, render per page", renderPerPage);
    print("in one process, paint the first page (96 dpi)", paintFirstPage);
    print("in one process, render a page and paint it", both);

    // Whole processes: program start, template, render, write.
    if (onePage < invoices.size()) {
        const QString output = QString::fromStdString(
            (fs::temp_directory_path() / "ledgerlens-render-bench.pdf").string());
        auto run = [&](const QStringList& arguments) {
            std::vector<double> ms;
            for (int i = 0; i < processRuns; ++i) {
                QProcess process;
                timer.restart();
                process.start(LEDGERLENS_CLI, arguments);
                process.waitForFinished(60000);
                if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
                    ms.push_back(millisecondsSince(timer));
            }
            return ms;
        };
        std::cout << "one-page invoice for the process runs: " << sources[onePage] << "\n";
        print("process: ledgerlens-cli --version (start alone)", run({"--version"}));
        print("process: ledgerlens-cli render (one page)",
              run({"render", QString::fromStdString(sources[onePage].string()), "-o", output}));
        fs::remove(output.toStdString());
    }
    return 0;
}
