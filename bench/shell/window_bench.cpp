// The library window over a large library: from opening the file to a painted window, then
// searching, sorting and reloading. Prints milliseconds per step. Argument: [records].
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <random>

#include "library/LLDocument.h"
#include "library/LLManagedObject.h"
#include "shell/LLContentArrayController.h"
#include "shell/LLContentTableView.h"
#include "shell/LLLibraryWindow.h"

using namespace library;
using Clock = std::chrono::steady_clock;

namespace {

template <class F>
double timed(const char* label, F&& body) {
    auto start = Clock::now();
    body();
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%-44s %9.2f ms\n", label, ms);
    return ms;
}

bool makeLibrary(const std::filesystem::path& file, int count) {
    const char* sellers[] = {"Müller GmbH",       "Schmidt AG",     "ACME Corp",
                             "Lieferant & Söhne", "Übersee Handel", "Rossi S.p.A."};
    auto document = LLDocument::open(file, true);
    if (!document) return false;
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
        summary.taxInclusiveAmount = summary.taxExclusiveAmount;
        record->setSummary(summary);
        record->setValidationResult(library::validationResultFromStoredCode(2 + random() % 3));
    }
    return context->save() && document->save();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
    QApplication app(argc, argv);
    const std::filesystem::path file = folder.filePath("Bench.ledgerlens").toStdString();
    timed("create the library", [&] { makeLibrary(file, count); });

    shell::LLLibraryWindow* window = nullptr;
    timed("open to a painted window", [&] {
        auto document = LLDocument::open(file);
        window = new shell::LLLibraryWindow(document);
        window->show();
        window->grab();  // lays out and paints every visible part
        QCoreApplication::processEvents();
    });
    std::printf("rows: %d\n", window->contentController()->rowCount());
    timed("search \"müller\"", [&] { window->searchField()->setText("MULLER"); });
    std::printf("rows: %d\n", window->contentController()->rowCount());
    timed("clear the search", [&] { window->searchField()->clear(); });
    timed("sort by gross", [&] { window->tableView()->sortByColumn(7, Qt::DescendingOrder); });
    timed("select all and copy", [&] {
        window->tableView()->selectAll();
        window->action("copy")->trigger();
    });
    timed("reload after a change", [&] { window->reloadContent(); });
    window->close();
    return 0;
}
