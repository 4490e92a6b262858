#include "LibraryCommands.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <mutex>

#include "Gui.h"
#include "library/LLCopyColumn.h"
#include "library/LLDocument.h"
#include "library/LLExport.h"
#include "library/LLInvoiceList.h"
#include "library/LLInvoicesToLLSourceItemTransformer.h"
#include "library/LLPathTransformer.h"
#include "library/LLSourceItem.h"
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

const char* statusWord(int code) {
    switch (code) {
        case 0:
            return "not validated";
        case 1:
            return "no rules apply";
        case 2:
            return "valid";
        case 3:
            return "valid with warnings";
        case 4:
            return "invalid";
        case 5:
            return "not UTF-8";
        case 6:
            return "validation failed";
    }
    return "unknown";
}

// The records the invoice list shows for a choice of groups and a search text.
struct ListOptions {
    std::vector<std::string> positional;
    std::optional<long> year;
    std::optional<long> month;
    std::string search;
    std::string error;
};

ListOptions parseListOptions(const std::vector<std::string>& args) {
    ListOptions options;
    auto number = [&](const std::string& option, const std::string& text, long low,
                      long high) -> std::optional<long> {
        char* end = nullptr;
        long value = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end || value < low || value > high) {
            options.error = option + " needs a number from " + std::to_string(low) + " to " +
                            std::to_string(high);
            return std::nullopt;
        }
        return value;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if ((arg == "--year" || arg == "--month" || arg == "--search") && !hasValue) {
            options.error = arg + " needs a value";
            return options;
        }
        if (arg == "--year")
            options.year = number(arg, args[++i], 1, 9999);
        else if (arg == "--month")
            options.month = number(arg, args[++i], 1, 12);
        else if (arg == "--search")
            options.search = args[++i];
        else if (arg.rfind("--", 0) == 0)
            options.error = "unknown option " + arg;
        else
            options.positional.push_back(arg);
        if (!options.error.empty()) return options;
    }
    return options;
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

}  // namespace

int listCommand(const std::vector<std::string>& args) {
    auto options = parseListOptions(args);
    if (options.error.empty() && options.positional.size() != 1)
        options.error = "usage: list LIBRARY [--year Y] [--month M] [--search TEXT]";
    if (!options.error.empty()) {
        std::cerr << "ledgerlens-cli list: " << options.error << "\n";
        return 2;
    }
    auto document = openLibrary(options.positional[0], false);
    if (!document) return 2;
    auto records = listedRecords(document->managedObjectContext(), options);
    std::cout << library::copyTextForRecords(records, library::invoiceListCopyInstructions());
    return 0;
}

int exportCommand(const std::vector<std::string>& args) {
    auto options = parseListOptions(args);
    if (options.error.empty() && options.positional.size() != 2)
        options.error = "usage: export LIBRARY DIR [--year Y] [--month M] [--search TEXT]";
    if (!options.error.empty()) {
        std::cerr << "ledgerlens-cli export: " << options.error << "\n";
        return 2;
    }
    auto document = openLibrary(options.positional[0], false);
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
    auto summary = library::exportRecords(
        records, options.positional[1], [](std::size_t done, std::size_t total) {
            std::cerr << "\r" << done << "/" << total << std::flush;
        });
    if (!records.empty()) std::cerr << "\n";
    for (const auto& problem : summary.problems) std::cerr << "  " << problem << "\n";
    std::cout << summary.records << " invoice(s) exported to " << options.positional[1] << " ("
              << summary.filesWritten << " files)\n";
    return summary.failures ? 1 : 0;
}

int importCommand(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        std::cerr << "ledgerlens-cli import: usage: import LIBRARY FILE|DIR...\n";
        return 2;
    }
    auto document = openLibrary(args[0], true);
    if (!document) return 2;
    std::vector<fs::path> paths(args.begin() + 1, args.end());
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
    };
    document->resetErrors();
    document->importPaths(paths, observer);
    document->waitForImports();

    auto errors = document->errors();
    if (!errors.empty()) {
        std::cerr << "\n" << errors.size() << " problem(s):\n";
        library::LLPathTransformer name;
        for (const auto& error : errors)
            std::cerr << "  " << name.transformedValue(error.path).value_or("") << ": "
                      << platform::localizedString(error.description) << " (" << error.description
                      << ")\n    " << error.path << "\n";
    }
    platform::Error error;
    if (!document->save(&error)) {
        std::cerr << "ledgerlens-cli: " << error.localizedDescription << "\n";
        return 2;
    }
    std::cout << imported << " invoice(s) from " << files << " file(s) imported into " << args[0]
              << "; " << *document->managedObjectContext().countInvoices() << " in the library\n";
    return errors.empty() ? 0 : 1;
}

int validateCommand(const std::vector<std::string>& args) {
    bool verbose = false;
    std::vector<std::string> rest;
    for (const auto& arg : args) {
        if (arg == "--verbose" || arg == "-v")
            verbose = true;
        else
            rest.push_back(arg);
    }
    if (rest.empty() || rest.size() > 2) {
        std::cerr << "ledgerlens-cli validate: usage: validate [--verbose] LIBRARY [NUMBER]\n";
        return 3;
    }
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
    int worst = 0;  // 0 valid, 1 warnings, 2 errors, 3 not validated
    auto validator = document->newValidator();
    for (const auto& record : records) {
        auto answer = document->showValidation(*record, validator.get());
        std::cout << record->name().value_or("(no number)") << "\t"
                  << statusWord(record->validationResult());
        if (answer.alert) {
            std::cout << "\t" << answer.alert->messageText << ": " << answer.alert->informativeText
                      << "\n";
            worst = 3;
            continue;
        }
        const auto& result = *answer.result;
        std::cout << "\t" << result.errors.size() << " error(s), " << result.warnings.size()
                  << " warning(s)\n";
        if (verbose) {
            for (const auto* list : {&result.errors, &result.warnings})
                for (const auto& finding : *list)
                    std::cout << "    [" << finding.assertionId.value_or("?") << "] "
                              << finding.severity() << ": " << finding.message.value_or("")
                              << "\n      at " << finding.location.value_or("") << "\n";
        }
        int level = record->validationResult() == 4 ? 2 : record->validationResult() == 3 ? 1 : 0;
        if (record->validationResult() < 2) level = 3;
        worst = std::max(worst, level);
    }
    return worst;
}
