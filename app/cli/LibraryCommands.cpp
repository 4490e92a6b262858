#include "LibraryCommands.h"

#include <algorithm>
#include <iostream>
#include <mutex>

#include "library/LLDocument.h"
#include "library/LLPathTransformer.h"
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
        case 0: return "not validated";
        case 1: return "no rules apply";
        case 2: return "valid";
        case 3: return "valid with warnings";
        case 4: return "invalid";
        case 5: return "not UTF-8";
        case 6: return "validation failed";
    }
    return "unknown";
}

}  // namespace

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
    std::cout << imported << " invoice(s) from " << files << " file(s) imported into "
              << args[0] << "; " << *document->managedObjectContext().countInvoices()
              << " in the library\n";
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
