// ledgerlens-cli: command-line access to the invoice reader and the readable invoice.
#include <QByteArray>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Gui.h"
#include "LibraryCommands.h"
#include "layout/LLInvoiceRenderer.h"
#include "model/InvoiceJson.h"
#include "model/LLInvoice.h"
#include "platform/FileData.h"
#include "platform/SFLocalizeHelper.h"
#include "platform/XmlDocument.h"

namespace {

constexpr const char* kUsage =
    "Usage: ledgerlens-cli COMMAND [OPTIONS] ARGS...\n"
    "\n"
    "Commands:\n"
    "  show [--compact] [--locale LANG] [--index N] FILE...\n"
    "      Print the invoice model of each XML invoice as JSON (CII, UBL, FatturaPA, Facturae).\n"
    "      --compact prints one line per file (JSON Lines); --locale picks the language of\n"
    "      localised labels such as tax names (default: the user's language settings).\n"
    "      A file that is no invoice gets one error line on standard error; the others are\n"
    "      still shown. Exit status 1 when any file failed. A FatturaPA file with several\n"
    "      bodies holds several invoices: --index N picks the Nth (default: the first).\n"
    "\n"
    "  render [--locale LOCALE] [--backdrop PDF] [--index N] FILE -o OUT.pdf\n"
    "      Render an XML invoice as a readable PDF with the layout template \"Light\".\n"
    "      --locale sets the language of labels and the form of numbers and dates\n"
    "      (de_DE, en_US, fr_FR, it_IT, es_ES; default: the user's settings);\n"
    "      --backdrop puts the first page of PDF (a letterhead) under every page.\n"
    "\n"
    "  preview [--locale LOCALE] FILE -o OUT\n"
    "      What a quick preview shows: an XML invoice rendered as PDF (with the template's\n"
    "      backdrop), a PDF file unchanged, any other XML file pretty-printed.\n"
    "\n"
    "  import LIBRARY FILE|DIR...\n"
    "      Import XML invoices and PDFs that carry invoice XML into a library file (created\n"
    "      when missing). Folders are searched for .xml files at any depth (PDFs in folders\n"
    "      are not imported; name them). Each invoice is validated as it is stored and kept\n"
    "      as it arrived; the same invoice (seller VAT number, else seller identity, and\n"
    "      invoice number) imported again replaces the stored one, which is reported.\n"
    "      Exit status 0, 1 when some files could not be imported, 2 when the library\n"
    "      cannot be opened or written.\n"
    "\n"
    "  list LIBRARY [--year Y] [--month M] [--search TEXT] [--format tsv|json]\n"
    "      Print the invoice list: tsv (default) is the text the library window copies\n"
    "      (seller, number, issue and due date, currency, net and gross amount); json gives\n"
    "      one object per line with ISO dates, plain decimals, the record's id and its\n"
    "      validation status. --year and --month pick the groups of the source list,\n"
    "      --search keeps invoices whose seller name contains TEXT (ignoring case and\n"
    "      accents). Without a choice every dated invoice is listed.\n"
    "\n"
    "  export LIBRARY DIR [--year Y] [--month M] [--search TEXT] [--pretty] [--rebuild]\n"
    "      Write the listed invoices below DIR as SELLER/NUMBER/NUMBER.xml (the XML as it\n"
    "      arrived; --pretty: pretty-printed) and NUMBER.pdf (the PDF as it arrived;\n"
    "      --rebuild: its archival rebuild; for XML invoices one rendered from the XML).\n"
    "\n"
    "  validate [--verbose] LIBRARY [NUMBER]\n"
    "      Validate the stored invoices again (or those with the invoice number NUMBER) and\n"
    "      store the new results; --verbose lists every finding. Exit status 0 all valid,\n"
    "      1 warnings only, 2 errors found, 3 an invoice could not be validated or its\n"
    "      result not stored.\n"
    "\n"
    "  COMMAND --help   Show the usage of one command.\n"
    "  --help           Show this text.    --version   Show the version.\n"
    "\n"
    "A command line that cannot be used (unknown option, bad value) exits with status 4.\n";

struct ReadResult {
    std::string bytes;
    std::string error;
};

ReadResult readFile(const std::string& path) {
    platform::Error error;
    auto bytes = platform::readFileData(path, &error, platform::XmlDocument::kMaxInputBytes);
    if (bytes) return {std::move(*bytes), {}};
    if (platform::fileDataError(error) == platform::FileDataError::TooLarge)
        return {{}, "the file is too large to be an invoice"};
    return {{}, platform::fileDataReason(error)};
}

// Why --index found nothing in a file of `count` invoices.
std::string holdsText(size_t count) {
    return "the file holds " + std::to_string(count) + (count == 1 ? " invoice" : " invoices");
}

// The invoice at 1-based `index` of a document (a FatturaPA batch holds several); none when
// the document has fewer.
std::shared_ptr<model::LLInvoice> invoiceAt(platform::XmlNode root, size_t index, size_t* count) {
    auto invoices = model::LLInvoice::invoicesFromXML(root);
    if (count) *count = invoices.size();
    if (index < 1 || index > invoices.size()) return nullptr;
    return invoices[index - 1];
}

void reportError(const std::string& path, const std::string& reason) {
    std::cerr << "ledgerlens-cli: " << path << ": " << reason << "\n";
}

constexpr const char* kShowUsage =
    "Usage: ledgerlens-cli show [--compact] [--locale LANG] [--index N] FILE...\n"
    "Print the invoice model of each XML invoice as JSON. --compact: one line per file;\n"
    "--locale: the language of localised labels (en, de, fr, it, es); --index: the Nth\n"
    "invoice of a FatturaPA file with several bodies (default: the first).\n"
    "Exit status 0, 1 when a file could not be shown, 4 for a wrong command line.\n";

int show(const std::vector<std::string>& args) {
    CommandLine line("show", kShowUsage);
    line.addFlag({"compact"});
    line.addValue({"locale"}, "LANG");
    line.addValue({"index"}, "N");
    if (!line.parse(args)) return line.exitCode();
    bool compact = line.isSet("compact");
    size_t index = 1;
    if (line.isSet("index")) {
        auto number = line.number("index", 1, 999999);
        if (!number) return line.exitCode();
        index = static_cast<size_t>(*number);
    }
    if (line.isSet("locale")) {
        auto locale = line.locale("locale");
        if (!locale) return line.exitCode();
        platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(*locale);
    }
    std::vector<std::string> files = line.positional();
    if (files.empty()) return line.fail("show needs at least one file");
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
        size_t count = 0;
        auto invoice = invoiceAt(root, index, &count);
        if (!invoice) {
            reportError(path, count ? holdsText(count)
                                    : "not an invoice of a known syntax (root element <" +
                                          root.name() + ">)");
            status = 1;
            continue;
        }
        platform::JsonWriter json(!compact);
        json.beginObject();
        json.key("file").string(path);
        json.key("syntax").string(model::syntaxName(syntax));
        json.key("invoiceCount").rawNumber(std::to_string(count));
        json.key("invoice");
        model::writeInvoiceJson(json, *invoice);
        json.endObject();
        std::cout << json.text() << "\n";
    }
    std::cout.flush();
    return status;
}

// Options shared by render and preview.
struct RenderOptions {
    std::string input;
    std::string output;
    std::string backdrop;
    size_t index = 1;
    bool ok = true;
};

constexpr const char* kRenderUsage =
    "Usage: ledgerlens-cli render [--locale LOCALE] [--backdrop PDF] [--index N] FILE -o OUT.pdf\n"
    "Render an XML invoice as a readable PDF with the layout template \"Light\".\n"
    "--locale: labels, numbers and dates (de_DE, en_US, fr_FR, it_IT, es_ES);\n"
    "--backdrop: the first page of PDF (a letterhead) under every page.\n";
constexpr const char* kPreviewUsage =
    "Usage: ledgerlens-cli preview [--locale LOCALE] [--index N] FILE -o OUT\n"
    "What a quick preview shows: an XML invoice rendered as PDF, a PDF file unchanged,\n"
    "any other XML file pretty-printed.\n";

RenderOptions parseRenderOptions(const std::string& command, const std::vector<std::string>& args,
                                 bool allowBackdrop, int* exitCode) {
    RenderOptions options;
    options.ok = false;
    CommandLine line(command, allowBackdrop ? kRenderUsage : kPreviewUsage);
    line.addValue({"o", "output"}, "OUT");
    line.addValue({"locale"}, "LOCALE");
    if (allowBackdrop) line.addValue({"backdrop"}, "PDF");
    auto stop = [&](int code) {
        *exitCode = code;
        return options;
    };
    line.addValue({"index"}, "N");
    if (!line.parse(args)) return stop(line.exitCode());
    if (line.isSet("index")) {
        auto number = line.number("index", 1, 999999);
        if (!number) return stop(line.exitCode());
        options.index = static_cast<size_t>(*number);
    }
    if (line.isSet("locale")) {
        auto locale = line.locale("locale");
        if (!locale) return stop(line.exitCode());
        // Numbers, dates and country names follow LC_ALL; labels follow the helper.
        setenv("LC_ALL", locale->c_str(), 1);
        platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(*locale);
    }
    if (allowBackdrop) options.backdrop = line.value("backdrop").value_or("");
    options.output = line.value("output").value_or("");
    auto files = line.positional();
    if (files.size() > 1) return stop(line.fail(command + " takes one file"));
    if (files.empty()) return stop(line.fail(command + " needs a file"));
    if (options.output.empty()) return stop(line.fail(command + " needs -o OUT"));
    options.input = files.front();
    options.ok = true;
    return options;
}

// Through a temporary file and a rename: OUT is complete or untouched.
bool writeFile(const std::string& path, const QByteArray& bytes) {
    return platform::writeFileAtomically(path, std::string_view(bytes.constData(), bytes.size()));
}

// Renders an invoice read from `document`; 0 on success.
int renderInvoice(const std::string& path, const model::LLInvoice& invoice,
                  const RenderOptions& options, bool drawBackdrop) {
    std::string error;
    auto layoutTemplate = layout::LayoutTemplate::named("Light", &error);
    if (!layoutTemplate) {
        reportError(path, "no layout template: " + error);
        return 1;
    }
    layout::LLInvoiceRenderer renderer(*layoutTemplate);
    if (!options.backdrop.empty()) {
        ReadResult backdrop = readFile(options.backdrop);
        if (!backdrop.error.empty()) {
            reportError(options.backdrop, backdrop.error);
            return 1;
        }
        if (backdrop.bytes.rfind("%PDF-", 0) != 0) {
            reportError(options.backdrop, "not a PDF file");
            return 1;
        }
        renderer.setBackdropOverride(QByteArray::fromStdString(backdrop.bytes));
        drawBackdrop = true;
    }
    QByteArray pdf = renderer.buildPDFWithBackDrop(invoice, drawBackdrop, &error);
    if (pdf.isEmpty()) {
        reportError(path, error);
        return 1;
    }
    if (!writeFile(options.output, pdf)) {
        reportError(options.output, "cannot write the file");
        return 1;
    }
    return 0;
}

struct ParsedInput {
    std::string bytes;
    std::shared_ptr<platform::XmlDocument> document;
    std::shared_ptr<model::LLInvoice> invoice;
    bool isPDF = false;
    std::string error;
};

ParsedInput readInput(const std::string& path, size_t index) {
    ParsedInput input;
    ReadResult file = readFile(path);
    if (!file.error.empty()) {
        input.error = file.error;
        return input;
    }
    input.bytes = std::move(file.bytes);
    if (input.bytes.rfind("%PDF-", 0) == 0) {
        input.isPDF = true;
        return input;
    }
    platform::Error error;
    input.document = platform::XmlDocument::parse(input.bytes, &error);
    if (!input.document) {
        input.error = error.localizedDescription;
        return input;
    }
    size_t count = 0;
    input.invoice = invoiceAt(input.document->root(), index, &count);
    if (!input.invoice && count) input.error = holdsText(count);
    return input;
}

int render(const std::vector<std::string>& args) {
    int exitCode = 0;
    RenderOptions options = parseRenderOptions("render", args, true, &exitCode);
    if (!options.ok) return exitCode;
    ParsedInput input = readInput(options.input, options.index);
    if (!input.error.empty()) {
        reportError(options.input, input.error);
        return 1;
    }
    if (input.isPDF) {
        reportError(options.input, "a PDF file; render reads XML invoices");
        return 1;
    }
    if (!input.invoice) {
        reportError(options.input, "not an invoice of a known syntax (root element <" +
                                       input.document->root().name() + ">)");
        return 1;
    }
    // The invoice is all rendering needs: the file and its XML tree go before the pages come.
    input.document.reset();
    std::string().swap(input.bytes);
    auto gui = startGui();
    return renderInvoice(options.input, *input.invoice, options, false);
}

int preview(const std::vector<std::string>& args) {
    int exitCode = 0;
    RenderOptions options = parseRenderOptions("preview", args, false, &exitCode);
    if (!options.ok) return exitCode;
    ParsedInput input = readInput(options.input, options.index);
    if (!input.error.empty()) {
        reportError(options.input, input.error);
        return 1;
    }
    if (input.isPDF) {
        if (!writeFile(options.output, QByteArray::fromStdString(input.bytes))) {
            reportError(options.output, "cannot write the file");
            return 1;
        }
        return 0;
    }
    if (!input.invoice) {
        if (!writeFile(options.output,
                       QByteArray::fromStdString(input.document->serialize(true)))) {
            reportError(options.output, "cannot write the file");
            return 1;
        }
        return 0;
    }
    auto gui = startGui();
    return renderInvoice(options.input, *input.invoice, options, true);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "ledgerlens-cli " << LEDGERLENS_VERSION << "\n";
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "show") return show(args);
    if (command == "render") return render(args);
    if (command == "preview") return preview(args);
    if (command == "import") return importCommand(args);
    if (command == "validate") return validateCommand(args);
    if (command == "list") return listCommand(args);
    if (command == "export") return exportCommand(args);
    return usageError(command.rfind('-', 0) == 0 ? "unknown option " + command
                                                 : "unknown command " + command);
}
