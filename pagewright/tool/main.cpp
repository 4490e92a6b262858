// pagewright: embedded files of PDFs and the archival PDF/A-3 rebuild from the command line.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "pagewright/PagewrightIdentity.h"
#include "pagewright/PagewrightPDFDocument.h"

namespace fs = std::filesystem;
using pagewright::PagewrightPDFDocument;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char* kUsage =
    "usage: pagewright COMMAND ARGS...\n"
    "\n"
    "  attachments PDF...            list the embedded files (name, bytes, description)\n"
    "  extract PDF DIR               write the embedded files into DIR\n"
    "  convert PDF -o OUT.pdf [--attach FILE]...\n"
    "                                rebuild as archival PDF/A-3b with the embedded files\n"
    "                                (and FILEs added), e-invoice metadata chosen by their names\n"
    "  merge OUT.pdf PDF...          all pages in order, each fitted (turned and scaled) to the\n"
    "                                first page, with all embedded files, as PDF/A-3b\n"
    "  sign PDF --identity NAME -o OUT.pdf\n"
    "                                rebuild as PDF/A-3b and sign with the PKCS #12 identity\n"
    "                                whose certificate is named NAME (common name), found in\n"
    "                                $XDG_DATA_HOME/Ledgerlens/identities/\n"
    "\n"
    "Options: --help prints this text.\n";

int usage(const std::string& problem) {
    std::cerr << "pagewright: " << problem << "\n\n" << kUsage;
    return kExitUsage;
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

// Arguments after the command: positional ones, and the values of -o and --attach.
struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> output;
    std::vector<std::string> attach;
    std::optional<std::string> identity;
    std::string problem;
};

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                options.problem = arg + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "-o" || arg == "--output")
            options.output = value();
        else if (arg == "--attach") {
            if (auto v = value()) options.attach.push_back(*v);
        } else if (arg == "--identity")
            options.identity = value();
        else if (arg.size() > 1 && arg[0] == '-')
            options.problem = "unknown option " + arg;
        else
            options.positional.push_back(arg);
    }
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
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << "pagewright: " << path << ": cannot be read\n";
            return kExitFailure;
        }
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto name = fs::path(path).filename().string();
        if (!document->addAttachment(
                pagewright::PagewrightPDFDocumentAttachment::attachmentWithDataName(data, name))) {
            std::cerr << "pagewright: " << path << ": not attached, the PDF already holds a file "
                      << "whose name contains \"" << name << "\"\n";
            status = kExitFailure;
        }
    }
    platform::Error error;
    if (!document->writeToURL(*options.output, &error)) {
        std::cerr << "pagewright: " << file << ": " << error.localizedDescription << "\n";
        return kExitFailure;
    }
    return status;
}

int merge(const Options& options) {
    if (options.positional.size() < 2) return usage("merge needs OUT.pdf and at least one PDF");
    std::vector<std::shared_ptr<PagewrightPDFDocument>> documents;
    for (size_t i = 1; i < options.positional.size(); ++i) {
        auto document = open(options.positional[i]);
        if (!document) return kExitFailure;
        documents.push_back(std::move(document));
    }
    auto merged = PagewrightPDFDocument::documentWithDocuments(documents);
    platform::Error error;
    if (!merged || !merged->writeToURL(options.positional[0], &error)) {
        std::cerr << "pagewright: " << options.positional[0] << ": "
                  << (merged ? error.localizedDescription : "nothing to merge") << "\n";
        return kExitFailure;
    }
    return 0;
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
    platform::Error error;
    auto bytes = document->signedDataRepresentation(*identity, &error);
    if (!bytes) {
        std::cerr << "pagewright: " << file << ": " << error.localizedDescription << "\n";
        return kExitFailure;
    }
    fs::path temp = *options.output + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
        out.close();
        std::error_code ec;
        if (out) fs::rename(temp, *options.output, ec);
        if (!out || ec) {
            fs::remove(temp, ec);
            std::cerr << "pagewright: " << *options.output << ": could not be written\n";
            return kExitFailure;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& arg : args)
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
    if (args.empty()) return usage("no command given");
    const std::string command = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "attachments") {
        if (rest.empty()) return usage("attachments needs a PDF");
        return listAttachments(rest);
    }
    if (command == "extract") {
        if (rest.size() != 2) return usage("extract needs a PDF and a folder");
        return extract(rest[0], rest[1]);
    }
    Options options = parseOptions(rest);
    if (!options.problem.empty()) return usage(options.problem);
    if (command == "convert") return convert(options);
    if (command == "merge") return merge(options);
    if (command == "sign") return sign(options);
    return usage("unknown command \"" + command + "\"");
}
