// pagewright: embedded files of PDFs and the archival PDF/A-3 rebuild from the command line.
#include <QCommandLineParser>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "pagewright/PagewrightIdentity.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/FileData.h"

namespace fs = std::filesystem;
using pagewright::PagewrightPDFDocument;

namespace {

constexpr int kExitFailure = 1;
// A command line that cannot be used; the same status in all Ledgerlens tools.
constexpr int kExitUsage = 4;

const char* kUsage =
    "usage: pagewright COMMAND ARGS...\n"
    "\n"
    "  attachments PDF...            list the embedded files (name, bytes, description)\n"
    "  extract PDF DIR               write the embedded files into DIR\n"
    "  convert PDF -o OUT.pdf [--attach FILE]...\n"
    "                                rebuild as archival PDF/A-3b with the embedded files\n"
    "                                (and FILEs added), e-invoice metadata chosen by their names\n"
    "  merge PDF... -o OUT.pdf [--force]\n"
    "                                all pages in order, each fitted (turned and scaled) to the\n"
    "                                first page, with all embedded files, as PDF/A-3b; OUT is\n"
    "                                never one of the PDFs, and replaced only with --force\n"
    "  sign PDF --identity NAME -o OUT.pdf\n"
    "                                rebuild as PDF/A-3b and sign with the PKCS #12 identity\n"
    "                                whose certificate is named NAME (common name), found in\n"
    "                                $XDG_DATA_HOME/Ledgerlens/identities/\n"
    "\n"
    "Options: --help prints this text (COMMAND --help too), --version the version.\n"
    "Exit status 0, 1 when a file could not be read or written, 4 for a wrong command line.\n";

int usage(const std::string& problem) {
    std::cerr << "pagewright: " << problem << "\nTry 'pagewright --help'.\n";
    return kExitUsage;
}

// The output may be none of the inputs (whatever the path looks like) and replaces an
// existing file only when asked to.
std::optional<std::string> outputProblem(const std::string& output,
                                         const std::vector<std::string>& inputs, bool force) {
    std::error_code ec;
    if (!fs::exists(output, ec)) return std::nullopt;
    for (const auto& input : inputs)
        if (fs::equivalent(input, output, ec))
            return output + " is one of the input files; choose another -o";
    if (!force) return output + " exists; add --force to replace it";
    return std::nullopt;
}

// Writes a PDF the engine made; 0 or kExitFailure with the reason said.
int writePDF(const std::string& output, const std::optional<std::string>& bytes,
             const std::string& source, const platform::Error& error) {
    if (!bytes) {
        std::cerr << "pagewright: " << source << ": " << error.localizedDescription << "\n";
        return kExitFailure;
    }
    platform::Error writeError;
    // Through a new file and a rename: the target is complete or untouched.
    if (!platform::writeFileAtomically(output, *bytes, &writeError)) {
        std::cerr << "pagewright: " << writeError.localizedDescription << "\n";
        return kExitFailure;
    }
    return 0;
}

std::shared_ptr<PagewrightPDFDocument> open(const std::string& path) {
    platform::Error error;
    auto document = PagewrightPDFDocument::initWithURL(path, &error);
    if (!document) std::cerr << "pagewright: " << error.localizedDescription << "\n";
    return document;
}

// A file name that stays inside the target folder whatever the PDF calls the attachment.
std::string safeFileName(const std::string& name, size_t index) {
    std::string base = name;
    auto slash = base.find_last_of("/\\");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    std::string clean;
    for (unsigned char c : base) clean += (c < 0x20 || c == 0x7f) ? '_' : static_cast<char>(c);
    while (!clean.empty() && clean.front() == '.') clean.erase(clean.begin());
    if (clean.empty()) clean = "attachment-" + std::to_string(index + 1);
    if (clean.size() > 200) clean = clean.substr(clean.size() - 200);
    return clean;
}

fs::path freePath(const fs::path& dir, const std::string& fileName) {
    fs::path candidate = dir / fileName;
    std::error_code ec;
    fs::path stem = fs::path(fileName).stem(), ext = fs::path(fileName).extension();
    for (int n = 2; fs::exists(fs::symlink_status(candidate, ec)); ++n)
        candidate = dir / (stem.string() + "-" + std::to_string(n) + ext.string());
    return candidate;
}

// One line per attachment whatever the PDF puts in its texts.
std::string printable(const std::string& text) {
    std::string result;
    for (unsigned char c : text) result += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    return result;
}

int listAttachments(const std::vector<std::string>& files) {
    int status = 0;
    for (const auto& file : files) {
        auto document = open(file);
        if (!document) {
            status = kExitFailure;
            continue;
        }
        if (files.size() > 1) std::cout << file << ":\n";
        for (const auto& attachment : document->attachments()) {
            std::cout << printable(attachment->name) << "\t" << attachment->data.size();
            if (attachment->hasFileDescription())
                std::cout << "\t" << printable(attachment->fileDescription());
            std::cout << "\n";
        }
    }
    return status;
}

int extract(const std::string& file, const fs::path& dir) {
    auto document = open(file);
    if (!document) return kExitFailure;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) {
        std::cerr << "pagewright: " << dir.string() << ": not a folder\n";
        return kExitFailure;
    }
    int status = 0;
    const auto& attachments = document->attachments();
    for (size_t i = 0; i < attachments.size(); ++i) {
        fs::path target = freePath(dir, safeFileName(attachments[i]->name, i));
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(attachments[i]->data.data(),
                  static_cast<std::streamsize>(attachments[i]->data.size()));
        out.close();
        if (!out) {
            std::cerr << "pagewright: " << target.string() << ": could not be written\n";
            status = kExitFailure;
            continue;
        }
        std::cout << target.string() << "\n";
    }
    return status;
}

// Arguments after the command: positional ones, and the values of -o, --attach, --identity.
struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> output;
    std::vector<std::string> attach;
    std::optional<std::string> identity;
    bool force = false;
    bool help = false;
    std::string problem;
};

Options parseOptions(const std::string& command, const std::vector<std::string>& args) {
    Options options;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const bool writes = command == "convert" || command == "merge" || command == "sign";
    parser.addOption(QCommandLineOption(QStringList{"h", "help"}));
    if (writes) parser.addOption(QCommandLineOption(QStringList{"o", "output"}, {}, "OUT"));
    if (command == "convert") parser.addOption(QCommandLineOption("attach", {}, "FILE"));
    if (command == "sign") parser.addOption(QCommandLineOption("identity", {}, "NAME"));
    if (command == "merge") parser.addOption(QCommandLineOption("force"));
    QStringList list{"pagewright"};
    for (const auto& arg : args) list << QString::fromStdString(arg);
    if (!parser.parse(list)) {
        options.problem = command + ": " + parser.errorText().toStdString();
        return options;
    }
    options.help = parser.isSet("help");
    for (const auto& arg : parser.positionalArguments())
        options.positional.push_back(arg.toStdString());
    if (writes && parser.isSet("output")) options.output = parser.value("output").toStdString();
    if (command == "convert")
        for (const auto& value : parser.values("attach"))
            options.attach.push_back(value.toStdString());
    if (command == "sign" && parser.isSet("identity"))
        options.identity = parser.value("identity").toStdString();
    options.force = command == "merge" && parser.isSet("force");
    return options;
}

int convert(const Options& options) {
    if (options.positional.size() != 1 || !options.output)
        return usage("convert needs one PDF and -o OUT.pdf");
    const std::string& file = options.positional[0];
    auto document = open(file);
    if (!document) return kExitFailure;
    int status = 0;
    for (const auto& path : options.attach) {
        platform::Error readError;
        auto data = platform::readFileData(
            path, &readError, pagewright::PagewrightPDFDocument::kMaximumAttachmentSize);
        if (!data) {
            std::cerr << "pagewright: " << path
                      << ": cannot be read: " << platform::fileDataReason(readError) << "\n";
            return kExitFailure;
        }
        auto name = fs::path(path).filename().string();
        if (!document->addAttachment(
                pagewright::PagewrightPDFDocumentAttachment::attachmentWithDataName(
                    std::move(*data), name))) {
            std::cerr << "pagewright: " << path << ": not attached, the PDF already holds a file "
                      << "whose name contains \"" << name << "\"\n";
            status = kExitFailure;
        }
    }
    if (auto problem = outputProblem(*options.output, {file}, true)) return usage(*problem);
    platform::Error error;
    auto bytes = document->dataRepresentation(&error);
    if (int written = writePDF(*options.output, bytes, file, error)) return written;
    return status;
}

int merge(const Options& options) {
    if (options.positional.empty() || !options.output)
        return usage("merge needs at least one PDF and -o OUT.pdf");
    if (auto problem = outputProblem(*options.output, options.positional, options.force))
        return usage(*problem);
    std::vector<std::shared_ptr<PagewrightPDFDocument>> documents;
    for (const auto& file : options.positional) {
        auto document = open(file);
        if (!document) return kExitFailure;
        documents.push_back(std::move(document));
    }
    auto merged = PagewrightPDFDocument::documentWithDocuments(documents);
    platform::Error error;
    if (!merged) {
        std::cerr << "pagewright: " << *options.output << ": nothing to merge\n";
        return kExitFailure;
    }
    return writePDF(*options.output, merged->dataRepresentation(&error), *options.output, error);
}

int sign(const Options& options) {
    if (options.positional.size() != 1 || !options.output || !options.identity)
        return usage("sign needs one PDF, --identity NAME and -o OUT.pdf");
    const std::string& file = options.positional[0];
    auto identity = PagewrightPDFDocument::findPDFIdentity(*options.identity);
    if (!identity) {
        std::cerr << "pagewright: no identity named \"" << *options.identity << "\" in "
                  << pagewright::PagewrightIdentity::identitiesDirectory().string() << "\n";
        return kExitFailure;
    }
    auto document = open(file);
    if (!document) return kExitFailure;
    if (auto problem = outputProblem(*options.output, {file}, true)) return usage(*problem);
    platform::Error error;
    return writePDF(*options.output, document->signedDataRepresentation(*identity, &error), file,
                    error);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage("no command given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "pagewright " << PAGEWRIGHT_VERSION << "\n";
        return 0;
    }
    const std::string command = args[0];
    const std::set<std::string> commands{"attachments", "extract", "convert", "merge", "sign"};
    if (!commands.count(command))
        return usage((command.rfind('-', 0) == 0 ? "unknown option " : "unknown command ") +
                     command);
    Options options = parseOptions(command, {args.begin() + 1, args.end()});
    if (!options.problem.empty()) return usage(options.problem);
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    if (command == "attachments") {
        if (options.positional.empty()) return usage("attachments needs a PDF");
        return listAttachments(options.positional);
    }
    if (command == "extract") {
        if (options.positional.size() != 2) return usage("extract needs a PDF and a folder");
        return extract(options.positional[0], options.positional[1]);
    }
    if (command == "convert") return convert(options);
    if (command == "merge") return merge(options);
    return sign(options);
}
