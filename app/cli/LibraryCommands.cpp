#include "LibraryCommands.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <mutex>

#include "CommandLine.h"
#include "Gui.h"
#include "library/LLCopyColumn.h"
#include "library/LLDocument.h"
#include "library/LLExport.h"
#include "library/LLInvoiceList.h"
#include "library/LLInvoicesToLLSourceItemTransformer.h"
#include "library/LLPathTransformer.h"
#include "library/LLSourceItem.h"
#include "platform/JsonWriter.h"
#include "platform/SFLocalizeHelper.h"
#include "ruleweave/RWSchematronValidator.h"
#include "ruleweave/RWValidationResult.h"

namespace fs = std::filesystem;
using library::LLDocument;
using library::LLInvoiceRecord;

namespace {

std::shared_ptr<LLDocument> openLibrary(const std::string& path, bool create) {
    platform::Error error;
    auto document = LLDocument::open(path, create, &error);
    if (!document) std::cerr << "ledgerlens-cli: " << error.localizedDescription << "\n";
    return document;
}

// Listing and export change nothing: a library on a read-only disk or in a folder of someone
// else's is read as it is.
std::shared_ptr<LLDocument> openLibraryForReading(const std::string& path) {
    platform::Error error;
    auto document = LLDocument::openReadOnly(path, &error);
    if (!document) std::cerr << "ledgerlens-cli: " << error.localizedDescription << "\n";
    return document;
}

// The records the invoice list shows for a choice of groups and a search text.
struct ListOptions {
    std::vector<std::string> positional;
    std::optional<long> year;
    std::optional<long> month;
    std::string search;
};

void addListOptions(CommandLine& line) {
    line.addValue({"year"}, "Y");
    line.addValue({"month"}, "M");
    line.addValue({"search"}, "TEXT");
}

// False (with the exit code in `line`) when the values are unusable.
bool readListOptions(CommandLine& line, ListOptions& options) {
    if (line.isSet("year") && !(options.year = line.number("year", 1, 9999))) return false;
    if (line.isSet("month") && !(options.month = line.number("month", 1, 12))) return false;
    options.search = line.value("search").value_or("");
    options.positional = line.positional();
    return true;
}

// The source groups a year and month choice selects: the root "All" without a choice.
std::vector<std::shared_ptr<library::LLSourceItem>> selectedGroups(
    const std::vector<std::shared_ptr<library::LLSourceItem>>& tree, const ListOptions& options) {
    const auto& root = tree.front();
    if (!options.year && !options.month) return {root};
    std::vector<std::shared_ptr<library::LLSourceItem>> selected;
    for (const auto& year : root->items) {
        if (options.year && year->uid != std::to_string(*options.year)) continue;
        if (!options.month) {
            selected.push_back(year);
            continue;
        }
        for (const auto& month : year->items)
            if (month->index == *options.month) selected.push_back(month);
    }
    return selected;
}

std::vector<std::shared_ptr<LLInvoiceRecord>> listedRecords(library::LLObjectContext& context,
                                                            const ListOptions& options) {
    auto records = context.fetchInvoices();
    auto tree = library::LLInvoicesToLLSourceItemTransformer().transformedValue(records);
    return library::arrangeInvoices(
        records, library::filterPredicateForSelection(selectedGroups(tree, options)),
        options.search);
}

// One JSON object per line: what the list shows, for programs.
std::string jsonLines(const std::vector<std::shared_ptr<LLInvoiceRecord>>& records) {
    std::string text;
    for (const auto& record : records) {
        platform::JsonWriter json(false);
        auto string = [&](const char* key, const std::optional<std::string>& value) {
            json.key(key);
            value ? json.string(*value) : json.null();
        };
        auto day = [&](const char* key, const std::optional<library::LLInstant>& value) {
            json.key(key);
            value ? json.string(value->day().toIsoString()) : json.null();
        };
        auto decimal = [&](const char* key, const std::optional<platform::Decimal>& value) {
            json.key(key);
            value ? json.string(value->toString()) : json.null();
        };
        json.beginObject();
        json.key("id").string(record->uriString());
        string("seller", record->sellerName());
        string("number", record->name());
        day("issued", record->dateIssued());
        day("due", record->dateDue());
        string("currency", record->currencyCode());
        decimal("net", record->taxExclusiveAmount());
        decimal("gross", record->taxInclusiveAmount());
        decimal("payable", record->payableAmount());
        json.key("validation").string(library::validationResultWord(record->validationResult()));
        json.endObject();
        text += json.text() + "\n";
    }
    return text;
}

constexpr const char* kListUsage =
    "Usage: ledgerlens-cli list LIBRARY [--year Y] [--month M] [--search TEXT] "
    "[--format tsv|json]\n"
    "Print the invoice list: tsv (default) as the library window copies it, json one object\n"
    "per line (id, seller, number, issued, due, currency, net, gross, payable, validation).\n";
constexpr const char* kExportUsage =
    "Usage: ledgerlens-cli export LIBRARY DIR [--year Y] [--month M] [--search TEXT] "
    "[--pretty] [--rebuild]\n"
    "Write the listed invoices below DIR as SELLER/NUMBER/NUMBER.xml and NUMBER.pdf: the XML\n"
    "and the PDF as they arrived; --pretty writes the XML pretty-printed, --rebuild the\n"
    "archival rebuild of the PDF. An XML invoice gets a PDF rendered from it.\n";
constexpr const char* kImportUsage =
    "Usage: ledgerlens-cli import LIBRARY FILE|DIR...\n"
    "Import XML invoices and PDFs carrying invoice XML into LIBRARY (created when missing).\n"
    "Exit status 0, 1 when some files could not be imported, 2 when the library cannot be\n"
    "opened or written, 4 for a wrong command line.\n";
constexpr const char* kValidateUsage =
    "Usage: ledgerlens-cli validate [--verbose] LIBRARY [NUMBER]\n"
    "Validate the stored invoices again and store the results. Exit status 0 all valid,\n"
    "1 warnings only, 2 errors found, 3 an invoice could not be validated or its result not\n"
    "stored, 4 for a wrong command line.\n";

}  // namespace

int listCommand(const std::vector<std::string>& args) {
    CommandLine line("list", kListUsage);
    addListOptions(line);
    line.addValue({"format"}, "tsv|json");
    ListOptions options;
    if (!line.parse(args) || !readListOptions(line, options)) return line.exitCode();
    auto format = line.choice("format", {"tsv", "json"}, "tsv");
    if (!format) return line.exitCode();
    if (options.positional.size() != 1) return line.fail("list needs one LIBRARY");
    auto document = openLibraryForReading(options.positional[0]);
    if (!document) return 2;
    auto records = listedRecords(document->managedObjectContext(), options);
    if (*format == "json")
        std::cout << jsonLines(records);
    else
        std::cout << library::copyTextForRecords(records, library::invoiceListCopyInstructions());
    return 0;
}

int exportCommand(const std::vector<std::string>& args) {
    CommandLine line("export", kExportUsage);
    addListOptions(line);
    line.addFlag({"pretty"});
    line.addFlag({"rebuild"});
    ListOptions options;
    if (!line.parse(args) || !readListOptions(line, options)) return line.exitCode();
    if (options.positional.size() != 2) return line.fail("export needs LIBRARY and DIR");
    auto document = openLibraryForReading(options.positional[0]);
    if (!document) return 2;
    auto gui = startGui();
    auto records = listedRecords(document->managedObjectContext(), options);
    std::error_code ec;
    fs::create_directories(options.positional[1], ec);
    if (ec || !fs::is_directory(options.positional[1])) {
        std::cerr << "ledgerlens-cli: " << options.positional[1]
                  << ": cannot create the folder: " << ec.message() << "\n";
        return 2;
    }
    library::LLExportOptions exportOptions;
    exportOptions.prettyXML = line.isSet("pretty");
    exportOptions.rebuiltPDF = line.isSet("rebuild");
    auto summary = library::exportRecords(
        records, options.positional[1],
        [](std::size_t done, std::size_t total) {
            std::cerr << "\r" << done << "/" << total << std::flush;
        },
        exportOptions);
    if (!records.empty()) std::cerr << "\n";
    for (const auto& problem : summary.problems) std::cerr << "  " << problem << "\n";
    for (const auto& note : summary.notes) std::cerr << "  note: " << note << "\n";
    std::cout << summary.records << " invoice(s) exported to " << options.positional[1] << " ("
              << summary.filesWritten << " files)\n";
    return summary.failures ? 1 : 0;
}

int importCommand(const std::vector<std::string>& args) {
    CommandLine line("import", kImportUsage);
    if (!line.parse(args)) return line.exitCode();
    auto positional = line.positional();
    if (positional.size() < 2) return line.fail("import needs LIBRARY and at least one FILE|DIR");
    auto document = openLibrary(positional[0], true);
    if (!document) return 2;
    if (!document->hasRules())
        std::cerr << "ledgerlens-cli: no validation rules found in "
                  << document->rulesDirectory().string()
                  << "; invoices are stored as not validated\n";
    std::vector<fs::path> paths(positional.begin() + 1, positional.end());
    std::mutex outputMutex;
    std::size_t imported = 0, files = 0;
    library::LLImportObserver observer;
    observer.progress = [&](const library::LLImportProgress& progress) {
        std::lock_guard lock(outputMutex);
        files = progress.filesHandled;
        imported = progress.recordsImported;
        // One line per file; "stored" lines name records already safe in the library file.
        std::cerr << "[" << progress.filesHandled << "] " << progress.path << ": "
                  << progress.fileURIStrings.size() << " invoice(s) stored";
        for (const auto& uri : progress.fileURIStrings) std::cerr << " " << uri;
        std::cerr << "\n";
        for (const auto& replaced : progress.replaced)
            std::cerr << "    replaced " << replaced.number << " (" << replaced.seller << ") from "
                      << replaced.path << "\n";
    };
    document->resetErrors();
    document->importPaths(paths, observer);
    document->waitForImports();

    auto errors = document->errors();
    bool notStored = false;
    if (!errors.empty()) {
        std::cerr << "\n" << errors.size() << " problem(s):\n";
        library::LLPathTransformer name;
        for (const auto& error : errors) {
            notStored = notStored || error.description == library::kLLErrorNotStored;
            std::cerr << "  " << name.transformedValue(error.path).value_or("") << ": "
                      << platform::localizedString(error.description) << " (" << error.description
                      << ")\n    " << error.path;
            if (!error.reason.empty()) std::cerr << ": " << error.reason;
            std::cerr << "\n";
        }
    }
    platform::Error error;
    if (!document->save(&error)) {
        std::cerr << "ledgerlens-cli: " << error.localizedDescription << "\n";
        return 2;
    }
    std::cout << imported << " invoice(s) from " << files << " file(s) imported into "
              << positional[0] << "; "
              << document->managedObjectContext().countInvoices().value_or(0)
              << " in the library\n";
    if (notStored) return 2;
    return errors.empty() ? 0 : 1;
}

// 0 valid, 1 warnings, 2 errors, 3 not validated.
int exitStatusFor(library::LLValidationResult result) {
    switch (library::validationStatusOf(result)) {
        case library::LLValidationStatus::Valid:
            return 0;
        case library::LLValidationStatus::Warnings:
            return 1;
        case library::LLValidationStatus::Errors:
            return 2;
        case library::LLValidationStatus::None:
            break;
    }
    return 3;
}

int validateCommand(const std::vector<std::string>& args) {
    CommandLine line("validate", kValidateUsage);
    line.addFlag({"v", "verbose"});
    if (!line.parse(args)) return line.exitCode();
    bool verbose = line.isSet("verbose");
    auto rest = line.positional();
    if (rest.empty() || rest.size() > 2) return line.fail("validate needs LIBRARY [NUMBER]");
    auto document = openLibrary(rest[0], false);
    if (!document) return 3;
    auto records = document->managedObjectContext().fetchInvoices();
    if (rest.size() == 2) {
        std::erase_if(records, [&](const auto& r) { return r->name() != rest[1]; });
        if (records.empty()) {
            std::cerr << "ledgerlens-cli: no invoice numbered “" << rest[1] << "” in " << rest[0]
                      << "\n";
            return 3;
        }
    }
    int worst = 0;  // 0 valid, 1 warnings, 2 errors, 3 not validated or not stored
    auto validator = document->newValidator();
    for (const auto& record : records) {
        auto answer = document->showValidation(*record, validator.get());
        std::cout << record->name().value_or("(no number)") << "\t"
                  << library::validationResultWord(record->validationResult());
        if (answer.storeError) {
            std::cerr << "ledgerlens-cli: " << rest[0] << ": the result for "
                      << record->name().value_or("(no number)")
                      << " could not be stored: " << *answer.storeError << "\n";
            worst = 3;
        }
        if (answer.alert) {
            std::cout << "\t" << answer.alert->messageText << ": " << answer.alert->informativeText
                      << "\n";
            worst = 3;
            continue;
        }
        const auto& result = *answer.result;
        std::cout << "\t" << result.errors.size() << " error(s), " << result.warningCount()
                  << " warning(s), " << result.informationCount() << " information\n";
        if (verbose) {
            for (const auto* list : {&result.errors, &result.warnings})
                for (const auto& finding : *list)
                    std::cout << "    [" << finding.assertionId.value_or("?") << "] "
                              << finding.severity() << ": " << finding.message.value_or("")
                              << "\n      at " << finding.location.value_or("") << "\n";
        }
        worst = std::max(worst, exitStatusFor(record->validationResult()));
    }
    return worst;
}
