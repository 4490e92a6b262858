// ledgerlens-cli: command-line access to the invoice reader.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "model/InvoiceJson.h"
#include "model/LLInvoice.h"
#include "platform/SFLocalizeHelper.h"
#include "platform/XmlDocument.h"

namespace {

constexpr const char* kUsage =
    "Usage: ledgerlens-cli COMMAND [OPTIONS] ARGS...\n"
    "\n"
    "Commands:\n"
    "  show [--compact] [--locale LANG] FILE...\n"
    "      Print the invoice model of each XML invoice as JSON (CII, UBL, FatturaPA, Facturae).\n"
    "      --compact prints one line per file (JSON Lines); --locale picks the language of\n"
    "      localised labels such as tax names (default: the user's language settings).\n"
    "      A file that is no invoice gets one error line on standard error; the others are\n"
    "      still shown. Exit status 1 when any file failed.\n"
    "\n"
    "  --help   Show this text.\n";

struct ReadResult {
    std::string bytes;
    std::string error;
};

ReadResult readFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) return {{}, "no such file"};
    if (fs::is_directory(status)) return {{}, "is a folder, not a file"};
    if (!fs::is_regular_file(status)) return {{}, "not a regular file"};
    auto size = fs::file_size(path, ec);
    if (ec) return {{}, "cannot read the file size"};
    if (size > platform::XmlDocument::kMaxInputBytes) return {{}, "the file is too large to be an invoice"};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {{}, "cannot open the file"};
    std::string bytes(static_cast<size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) return {{}, "cannot read the file"};
    return {std::move(bytes), {}};
}

void reportError(const std::string& path, const std::string& reason) {
    std::cerr << "ledgerlens-cli: " << path << ": " << reason << "\n";
}

int show(const std::vector<std::string>& args) {
    bool compact = false;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--compact") {
            compact = true;
        } else if (arg == "--locale") {
            if (i + 1 >= args.size()) {
                std::cerr << "ledgerlens-cli: --locale needs a language\n";
                return 2;
            }
            platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(args[++i]);
        } else if (arg == "--") {
            files.insert(files.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "ledgerlens-cli: unknown option " << arg << "\n" << kUsage;
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::cerr << "ledgerlens-cli: show needs at least one file\n" << kUsage;
        return 2;
    }
    int status = 0;
    for (const std::string& path : files) {
        ReadResult file = readFile(path);
        if (!file.error.empty()) {
            reportError(path, file.error);
            status = 1;
            continue;
        }
        if (file.bytes.rfind("%PDF-", 0) == 0) {
            reportError(path, "a PDF file; show reads XML invoices");
            status = 1;
            continue;
        }
        platform::Error error;
        auto document = platform::XmlDocument::parse(file.bytes, &error);
        if (!document) {
            reportError(path, error.localizedDescription);
            status = 1;
            continue;
        }
        platform::XmlNode root = document->root();
        model::InvoiceSyntax syntax = model::detectSyntax(root);
        auto invoice = model::LLInvoiceElement::elementFromXML<model::LLInvoice>(root);
        if (!invoice) {
            reportError(path, "not an invoice of a known syntax (root element <" + root.name() + ">)");
            status = 1;
            continue;
        }
        platform::JsonWriter json(!compact);
        json.beginObject();
        json.key("file").string(path);
        json.key("syntax").string(model::syntaxName(syntax));
        json.key("invoice");
        model::writeInvoiceJson(json, *invoice);
        json.endObject();
        std::cout << json.text() << "\n";
    }
    std::cout.flush();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "show") return show(args);
    std::cerr << "ledgerlens-cli: unknown command " << command << "\n" << kUsage;
    return 2;
}
