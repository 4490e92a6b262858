// ruleweave: validates invoices against the Schematron and XSD sets of a rules folder.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pagewright/PagewrightPDFDocument.h"
#include "platform/JsonWriter.h"
#include "platform/XmlEscape.h"
#include "platform/Resources.h"
#include "ruleweave/RWSchematronValidator.h"

namespace fs = std::filesystem;
using namespace ruleweave;

namespace {

constexpr const char* kUsage =
    "Usage: ruleweave validate [--schemas DIR]... [--format text|json|svrl] [-j N] FILE...\n"
    "\n"
    "Validates each XML file against every schema of the rules folders that fits it: the\n"
    "Schematron rule sets whose namespaces and customization identifier match, and the XSD that\n"
    "declares the document's root element.\n"
    "\n"
    "  --schemas DIR   a folder of .sch and .xsd files (repeatable; default: the program's rules)\n"
    "  --format F      text (default), json (one object per line and file) or svrl\n"
    "  -j N            validate N files in parallel\n"
    "\n"
    "Exit status: 0 valid, 1 warnings only, 2 errors, 3 a file could not be read or matched no "
    "schema.\n";

struct FileReport {
    std::string output;
    int status = 0;  // exit status contribution
};


void writeFinding(platform::JsonWriter& json, const RWValidationError& e) {
    json.beginObject();
    auto field = [&json](const char* name, const std::optional<std::string>& v) {
        json.key(name);
        v ? json.string(*v) : json.null();
    };
    field("pattern", e.pattern);
    field("rule", e.rule);
    field("assertion", e.assertion);
    field("assertionId", e.assertionId);
    field("test", e.test);
    field("type", e.type);
    field("role", e.role);
    field("flag", e.flag);
    field("message", e.message);
    field("location", e.location);
    field("schemaTitle", e.schemaTitle);
    json.key("severity").string(e.severity());
    json.endObject();
}

std::string statusWord(int status) {
    return status == 1 ? "valid" : status == 2 ? "valid with warnings" : "invalid";
}

std::string normalizeSpace(const std::string& s) {
    std::string out;
    bool space = false;
    for (char c : s) {
        if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
            space = !out.empty();
        } else {
            if (space) out.push_back(' ');
            space = false;
            out.push_back(c);
        }
    }
    return out;
}

// The invoice among a PDF's embedded files: CII before UBL before the older CII generation.
std::optional<std::string> invoiceXMLFromPDF(const std::string& bytes, std::string& reason) {
    platform::Error error;
    auto pdf = pagewright::PagewrightPDFDocument::initWithData(bytes, &error);
    if (!pdf) {
        reason =
            error.localizedDescription.empty() ? "not a readable PDF" : error.localizedDescription;
        return std::nullopt;
    }
    std::optional<std::string> best;
    std::string unreadable;
    int bestRank = 99;
    for (const auto& attachment : pdf->attachments()) {
        if (!attachment) continue;
        platform::Error parseError;
        auto doc = platform::XmlDocument::parse(attachment->data, &parseError);
        if (!doc || !doc->root()) {
            if (attachment->name.size() > 4 &&
                attachment->name.substr(attachment->name.size() - 4) == ".xml")
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
            best = attachment->data;
        }
    }
    if (!best) reason = unreadable.empty() ? "the PDF carries no invoice XML" : unreadable;
    return best;
}

FileReport validateFile(RWSchematronValidator& validator, const std::string& path,
                        const std::string& format) {
    FileReport report;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        report.status = 3;
        report.output = "ruleweave: " + path + ": cannot read the file\n";
        return report;
    }
    std::stringstream stream;
    stream << in.rdbuf();
    std::string bytes = stream.str();
    if (bytes.rfind("%PDF-", 0) == 0 || bytes.find("%PDF-") < 1024) {
        std::string reason;
        auto xml = invoiceXMLFromPDF(bytes, reason);
        if (!xml) {
            report.status = 3;
            report.output = "ruleweave: " + path + ": " + reason + "\n";
            return report;
        }
        bytes = std::move(*xml);
    }
    platform::Error error;
    auto result = validator.validateXMLWithAutoDetection(bytes, &error);
    if (!result) {
        report.status = 3;
        report.output = "ruleweave: " + path + ": " +
                        (error.localizedDescription.empty() ? "cannot be validated"
                                                            : error.localizedDescription) +
                        "\n";
        return report;
    }
    int status = result->status();
    report.status = status == 1 ? 0 : status == 2 ? 1 : 2;
    std::ostringstream out;
    if (format == "json") {
        platform::JsonWriter json(false);
        json.beginObject();
        json.key("file").string(path);
        json.key("status").rawNumber(std::to_string(status));
        json.key("schemaFiles").beginArray();
        for (const auto& s : result->schemaFiles.value_or(std::vector<std::string>{}))
            json.string(s);
        json.endArray();
        json.key("errors").beginArray();
        for (const auto& e : result->errors) writeFinding(json, e);
        json.endArray();
        json.key("warnings").beginArray();
        for (const auto& e : result->warnings) writeFinding(json, e);
        json.endArray();
        json.endObject();
        out << json.text() << "\n";
    } else if (format == "svrl") {
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            << "<svrl:schematron-output xmlns:svrl=\"http://purl.oclc.org/dsdl/svrl\" title=\""
            << platform::escapeXml(path) << "\">\n";
        for (const auto& s : result->schemaFiles.value_or(std::vector<std::string>{}))
            out << "  <svrl:active-pattern document=\"" << platform::escapeXml(path) << "\" name=\""
                << platform::escapeXml(s) << "\"/>\n";
        for (const auto* list : {&result->errors, &result->warnings}) {
            for (const auto& e : *list) {
                std::string element = e.type == std::optional<std::string>("report")
                                          ? "svrl:successful-report"
                                          : "svrl:failed-assert";
                out << "  <" << element;
                if (e.assertionId) out << " id=\"" << platform::escapeXml(*e.assertionId) << "\"";
                if (e.flag) out << " flag=\"" << platform::escapeXml(*e.flag) << "\"";
                if (e.role) out << " role=\"" << platform::escapeXml(*e.role) << "\"";
                out << " location=\"" << platform::escapeXml(e.location.value_or("")) << "\">\n"
                    << "    <svrl:text>" << platform::escapeXml(e.message.value_or("")) << "</svrl:text>\n"
                    << "  </" << element << ">\n";
            }
        }
        out << "</svrl:schematron-output>\n";
    } else {
        out << path << ": " << statusWord(status) << " (" << result->errors.size() << " errors, "
            << result->warnings.size() << " warnings)\n";
        for (const auto& s : result->schemaFiles.value_or(std::vector<std::string>{}))
            out << "  schema: " << s << "\n";
        for (const auto* list : {&result->errors, &result->warnings})
            for (const auto& e : *list)
                out << "  " << e.severity() << "  " << e.assertionId.value_or(e.type.value_or("-"))
                    << "  " << (e.location && !e.location->empty() ? *e.location : "-") << "  "
                    << normalizeSpace(e.message.value_or("")) << "\n";
    }
    report.output = out.str();
    return report;
}

int validateCommand(const std::vector<std::string>& args) {
    std::vector<fs::path> schemaDirs;
    std::vector<std::string> files;
    std::string format = "text";
    unsigned jobs = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* option) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                std::cerr << "ruleweave: " << option << " needs a value\n";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--schemas") {
            auto v = value("--schemas");
            if (!v) return 3;
            schemaDirs.emplace_back(*v);
        } else if (a == "--format") {
            auto v = value("--format");
            if (!v) return 3;
            format = *v;
            if (format != "text" && format != "json" && format != "svrl") {
                std::cerr << "ruleweave: unknown format " << format << "\n";
                return 3;
            }
        } else if (a == "-j") {
            auto v = value("-j");
            if (!v) return 3;
            jobs = static_cast<unsigned>(std::max(1, std::atoi(v->c_str())));
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            std::cerr << "ruleweave: unknown option " << a << "\n" << kUsage;
            return 3;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        std::cerr << kUsage;
        return 3;
    }
    if (schemaDirs.empty()) {
        auto resources = platform::resourceDirectory();
        if (!resources || !fs::is_directory(*resources / "rules")) {
            std::cerr << "ruleweave: no rules folder found; run scripts/fetch-rules or pass "
                         "--schemas DIR\n";
            return 3;
        }
        schemaDirs.push_back(*resources / "rules");
    }
    std::vector<FileReport> reports(files.size());
    std::atomic<size_t> next{0};
    auto worker = [&] {
        RWSchematronValidator validator;  // one per worker: validators are single-threaded
        for (const auto& dir : schemaDirs) validator.addSchemaDirectory(dir);
        for (size_t i; (i = next++) < files.size();)
            reports[i] = validateFile(validator, files[i], format);
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < std::min<size_t>(jobs, files.size()); ++t)
        threads.emplace_back(worker);
    worker();
    for (auto& t : threads) t.join();
    int status = 0;
    for (const auto& r : reports) {
        (r.status == 3 ? std::cerr : std::cout) << r.output;
        status = std::max(status, r.status);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return args.empty() ? 3 : 0;
    }
    if (args[0] == "validate") return validateCommand({args.begin() + 1, args.end()});
    std::cerr << "ruleweave: unknown command " << args[0] << "\n" << kUsage;
    return 3;
}
