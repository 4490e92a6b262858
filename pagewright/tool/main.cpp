// pagewright: embedded files of PDFs and the archival PDF/A-3 rebuild from the command line.
#include <cstring>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

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
            std::cout << attachment->name << "\t" << attachment->data.size();
            if (attachment->hasFileDescription()) std::cout << "\t" << attachment->fileDescription();
            std::cout << "\n";
        }
        if (document->transcript())
            for (const auto& line : *document->transcript())
                std::cerr << "pagewright: " << file << ": " << line << "\n";
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
    if (document->transcript())
        for (const auto& line : *document->transcript())
            std::cerr << "pagewright: " << file << ": " << line << "\n";
    return status;
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
    return usage("unknown command \"" + command + "\"");
}
