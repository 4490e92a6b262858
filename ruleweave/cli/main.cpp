// ruleweave: validates invoices against the Schematron and XSD sets of a rules folder.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Reports.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/FileData.h"
#include "platform/Resources.h"
#include "ruleweave/RWSchematronValidator.h"

namespace fs = std::filesystem;
using namespace ruleweave;
using namespace ruleweave::cli;

namespace {

enum Exit { kValid = 0, kWarnings = 1, kInvalid = 2, kUnreadable = 3, kUsage = 4 };

// Larger inputs are refused before they are read; real invoices are far smaller.
constexpr std::uintmax_t kInputLimit = std::uintmax_t(256) << 20;

constexpr const char* kDescription =
    "Validates each invoice (XML, or PDF with the invoice embedded; folders are searched for\n"
    "*.xml and *.pdf) against the rule sets of the rules folders that fit it: the Schematron\n"
    "rules of its syntax and customization or Factur-X/ZUGFeRD profile, and the XSD that\n"
    "declares its root element.\n"
    "\n"
    "Exit status: 0 valid (information findings allowed), 1 warnings, 2 errors, 3 a file could\n"
    "not be read or no rules fit it, 4 usage error. The highest status of all inputs counts.";

int usageError(const std::string& message, const char* help = "ruleweave validate --help") {
    std::cerr << "ruleweave: " << message << "\nTry '" << help << "'.\n";
    return kUsage;
}

bool hasExtension(const fs::path& p, const char* ext) {
    std::string e = p.extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return std::tolower(c); });
    return e == ext;
}

// Files as given; folders become their *.xml and *.pdf files, recursively, in path order.
std::vector<std::string> expandInputs(const QStringList& arguments) {
    std::vector<std::string> files;
    for (const auto& argument : arguments) {
        std::string path = argument.toStdString();
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied,
                                            ec),
            end;
        for (; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec) &&
                (hasExtension(it->path(), ".xml") || hasExtension(it->path(), ".pdf")))
                found.push_back(it->path().string());
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

// The invoice among a PDF's embedded files: CII before UBL before the older CII generation.
std::optional<std::pair<std::string, std::string>> invoiceFromPDF(const std::string& bytes,
                                                                  std::string& reason) {
    platform::Error error;
    auto pdf = pagewright::PagewrightPDFDocument::initWithData(bytes, &error);
    if (!pdf) {
        reason =
            error.localizedDescription.empty() ? "not a readable PDF" : error.localizedDescription;
        return std::nullopt;
    }
    std::optional<std::pair<std::string, std::string>> best;  // name, data
    std::string unreadable;
    int bestRank = 99;
    for (const auto& attachment : pdf->attachments()) {
        if (!attachment) continue;
        platform::Error parseError;
        auto doc = platform::XmlDocument::parse(attachment->data, &parseError);
        if (!doc || !doc->root()) {
            if (hasExtension(attachment->name, ".xml"))
                unreadable = "the embedded " + attachment->name +
                             " is not readable: " + parseError.localizedDescription;
            continue;
        }
        std::string local = doc->root().localName(), uri = doc->root().namespaceURI();
        int rank = local == "CrossIndustryInvoice" ? 0
                   : (local == "Invoice" || local == "CreditNote") &&
                           uri.find("urn:oasis:names:specification:ubl") == 0
                       ? 1
                   : local == "CrossIndustryDocument" ? 2
                                                      : 9;
        if (rank < bestRank) {
            bestRank = rank;
            best.emplace(attachment->name, attachment->data);
        }
    }
    if (!best) reason = unreadable.empty() ? "the PDF carries no invoice XML" : unreadable;
    return best;
}

Outcome validateFile(RWSchematronValidator& validator, const std::string& path) {
    Outcome outcome;
    outcome.file = path;
    // Devices and pipes are not read at all: they may never end.
    platform::Error readError;
    auto bytes = platform::readFileData(path, &readError, kInputLimit);
    if (!bytes) {
        switch (platform::fileDataError(readError)) {
            case platform::FileDataError::TooLarge:
                outcome.reason = "larger than 256 MB";
                break;
            case platform::FileDataError::IsFolder:
                outcome.reason = "not a regular file";
                break;
            default:
                outcome.reason = platform::fileDataReason(readError);
        }
        return outcome;
    }
    if (bytes->rfind("%PDF-", 0) == 0 ||
        bytes->substr(0, 1024).find("%PDF-") != std::string::npos) {
        auto invoice = invoiceFromPDF(*bytes, outcome.reason);
        if (!invoice) return outcome;
        outcome.attachment = invoice->first;
        *bytes = std::move(invoice->second);
    }
    platform::Error error;
    auto result = validator.validateXMLWithAutoDetection(*bytes, &error);
    if (!result) {
        bool noRules = error.domain == kRuleweaveErrorDomain && error.code == 404;
        outcome.verdict = noRules ? Verdict::NoRules : Verdict::Unreadable;
        outcome.reason = noRules ? "no rule set fits this document"
                         : error.localizedDescription.empty()
                             ? "not readable as XML"
                             : "not readable as XML: " + error.localizedDescription;
        return outcome;
    }
    outcome.verdict = verdictOf(*result);
    outcome.result = std::move(result);
    return outcome;
}

int exitCodeOf(Verdict verdict, bool failOnWarning) {
    switch (verdict) {
        case Verdict::Valid:
            return kValid;
        case Verdict::Warnings:
            return failOnWarning ? kWarnings : kValid;
        case Verdict::Invalid:
            return kInvalid;
        default:
            return kUnreadable;
    }
}

// NAME.EXT in `dir`, NAME-2.EXT ... when several inputs share a file name.
std::string outputName(const std::string& input, const std::string& extension,
                       std::map<std::string, int>& used) {
    std::string name = fs::path(input).stem().string();
    int n = ++used[name];
    return n == 1 ? name + extension : name + "-" + std::to_string(n) + extension;
}

int validateCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    QCommandLineOption help({"h", "help"}, "Show this help.");
    QCommandLineOption schemas(
        "schemas", "A folder of .sch and .xsd files (repeatable; default: the program's rules).",
        "DIR");
    QCommandLineOption format("format", "text (default), json (one line per input), svrl or html.",
                              "FORMAT", "text");
    QCommandLineOption outputDir(
        "output-dir", "Write one report per input into DIR (NAME.svrl.xml, NAME.html, NAME.json).",
        "DIR");
    QCommandLineOption failOn("fail-on",
                              "warning (default): warnings exit 1; error: only errors fail.",
                              "LEVEL", "warning");
    QCommandLineOption jobs("j", "Validate N files in parallel.", "N", "1");
    for (const auto& option : {help, schemas, format, outputDir, failOn, jobs})
        parser.addOption(option);
    parser.addPositionalArgument("FILE", "Invoice files or folders.", "FILE|DIR...");
    QStringList all = QStringList{"ruleweave validate"} + arguments;
    if (!parser.parse(all)) return usageError(parser.errorText().toStdString());
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(QRegularExpression("^Usage: \\S+ "), "Usage: ruleweave validate ");
        std::cout << text.toStdString();
        return kValid;
    }
    std::string fmt = parser.value(format).toStdString();
    if (fmt != "text" && fmt != "json" && fmt != "svrl" && fmt != "html")
        return usageError("--format: unknown format '" + fmt + "' (text, json, svrl, html)");
    std::string level = parser.value(failOn).toStdString();
    if (level != "warning" && level != "error")
        return usageError("--fail-on: '" + level + "' is neither 'warning' nor 'error'");
    bool numberOK = false;
    int jobCount = parser.value(jobs).toInt(&numberOK);
    if (!numberOK || jobCount < 1 || jobCount > 64)
        return usageError("-j: '" + parser.value(jobs).toStdString() +
                          "' is not a number from 1 to 64");
    std::optional<fs::path> outDir;
    if (parser.isSet(outputDir)) {
        if (fmt == "text") return usageError("--output-dir needs --format json, svrl or html");
        outDir = parser.value(outputDir).toStdString();
        std::error_code ec;
        if (!fs::is_directory(*outDir, ec))
            return usageError("--output-dir: " + outDir->string() + " is not a folder");
    }
    if (parser.positionalArguments().isEmpty())
        return usageError("validate needs a file or folder");

    std::vector<fs::path> schemaDirs;
    for (const auto& dir : parser.values(schemas)) {
        fs::path p = dir.toStdString();
        std::error_code ec;
        if (!fs::is_directory(p, ec))
            return usageError("--schemas: " + p.string() + " is not a folder");
        schemaDirs.push_back(p);
    }
    if (schemaDirs.empty()) {
        auto resources = platform::resourceDirectory();
        if (!resources || !fs::is_directory(*resources / "rules")) {
            std::cerr << "ruleweave: no rules folder found; run scripts/fetch-rules or pass "
                         "--schemas DIR\n";
            return kUnreadable;
        }
        schemaDirs.push_back(*resources / "rules");
    }
    std::vector<std::string> files = expandInputs(parser.positionalArguments());
    if (files.empty()) {
        std::cerr << "ruleweave: no *.xml or *.pdf files in the given folders\n";
        return kUnreadable;
    }
    if ((fmt == "svrl" || fmt == "html") && !outDir && files.size() > 1)
        return usageError("--format " + fmt +
                          " writes one document; give one input or --output-dir");

    std::vector<Outcome> outcomes(files.size());
    std::atomic<size_t> next{0};
    // The folders are cataloged once; the workers share the catalog and the compiled schemas
    // (each has its own validator: a validator is single-threaded).
    auto catalogOwner = std::make_unique<RWSchematronValidator>();
    RWSchematronValidator& catalog = *catalogOwner;
    for (const auto& dir : schemaDirs) catalog.addSchemaDirectory(dir);
    auto worker = [&](RWSchematronValidator& validator) {
        for (size_t i; (i = next++) < files.size();)
            outcomes[i] = validateFile(validator, files[i]);
    };
    const int threadCount = std::min<int>(jobCount, static_cast<int>(files.size()));
    std::vector<std::unique_ptr<RWSchematronValidator>> validators;
    for (int t = 1; t < threadCount; ++t) validators.push_back(catalog.sharingSchemas());
    std::vector<std::thread> threads;
    for (auto& validator : validators) threads.emplace_back(worker, std::ref(*validator));
    worker(catalog);
    for (auto& t : threads) t.join();
    // The process ends right after the reports (main): the validators, their compiled rule sets
    // and documents are left to the operating system instead of being freed piece by piece.
    (void)catalogOwner.release();
    for (auto& validator : validators) (void)validator.release();

    const bool failOnWarning = level == "warning";
    int status = kValid;
    std::map<Verdict, size_t> counts;
    std::map<std::string, int> usedNames;
    for (const auto& o : outcomes) {
        status = std::max(status, exitCodeOf(o.verdict, failOnWarning));
        ++counts[o.verdict];
        if (!o.result) std::cerr << "ruleweave: " << o.file << ": " << o.reason << "\n";
        std::string text, extension;
        if (fmt == "json") {
            text = jsonRecord(o) + "\n";
            extension = ".json";
        } else if (fmt == "svrl") {
            text = svrlReport(o);
            extension = ".svrl.xml";
        } else if (fmt == "html") {
            text = htmlReport(o);
            extension = ".html";
        } else if (o.result) {
            text = textReport(o);
        }
        if (!outDir) {
            std::cout << text;  // text format: unreadable inputs are told on stderr only
            continue;
        }
        fs::path target = *outDir / outputName(o.file, extension, usedNames);
        platform::Error writeError;
        if (!platform::writeFileAtomically(target, text, &writeError)) {
            std::cerr << "ruleweave: " << writeError.localizedDescription << "\n";
            status = std::max<int>(status, kUnreadable);
        }
    }
    if (files.size() > 1)
        std::cerr << "ruleweave: " << files.size() << " files: " << counts[Verdict::Valid]
                  << " valid, " << counts[Verdict::Warnings] << " with warnings, "
                  << counts[Verdict::Invalid] << " invalid, " << counts[Verdict::Unreadable]
                  << " unreadable, " << counts[Verdict::NoRules] << " without rules\n";
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("ruleweave");
    QCoreApplication::setApplicationVersion(LEDGERLENS_VERSION);
    QStringList args = app.arguments();
    args.removeFirst();
    const std::string commands =
        "Usage: ruleweave validate [options] FILE|DIR...\n"
        "       ruleweave --version | --help\n"
        "Run 'ruleweave validate --help' for the options.\n";
    if (args.isEmpty()) return usageError("no command given", "ruleweave --help");
    const QString first = args.first();
    if (first == "--help" || first == "-h") {
        std::cout << commands << "\n" << kDescription << "\n";
        return kValid;
    }
    if (first == "--version") {
        std::cout << "ruleweave " << LEDGERLENS_VERSION << "\n";
        return kValid;
    }
    if (first == "validate") {
        int status = validateCommand(args.mid(1));
        // Everything is written; freeing the compiled rule sets and documents one by one would
        // only delay the exit.
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return usageError("unknown command '" + first.toStdString() + "'", "ruleweave --help");
}
