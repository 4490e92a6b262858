#include "library/LLExport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <set>

#include "layout/LLInvoiceRenderer.h"
#include "layout/LayoutTemplate.h"
#include "library/LLManagedObject.h"
#include "library/LLObjectContext.h"
#include "model/LLInvoice.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/FileData.h"
#include "platform/SFLocalizeHelper.h"
#include "platform/XmlDocument.h"

namespace library {
namespace {

namespace fs = std::filesystem;

// Leaves room below the usual 255-byte limit for the extension and the temporary suffix.
constexpr std::size_t kMaxComponentBytes = 200;

bool isTrimmed(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Cuts at a UTF-8 character boundary.
void truncateUtf8(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    while (!text.empty() && isTrimmed(text.back())) text.pop_back();
}

// One path component that stays inside its parent folder, or `fallback`.
std::string safeComponent(const std::optional<std::string>& name, const std::string& fallback) {
    if (name) {
        std::string safe = platform::stringForFileName(*name);
        for (char& c : safe)
            if (c == '\0') c = '_';
        truncateUtf8(safe, kMaxComponentBytes);
        if (!safe.empty() && safe != "." && safe != "..") return safe;
    }
    std::string safe = platform::stringForFileName(fallback);
    return safe.empty() || safe == "." || safe == ".." ? std::string("_") : safe;
}

// A readable PDF of an invoice, rendered from its layout template and rebuilt by Pagewright.
class PDFRenderer {
  public:
    std::optional<std::string> render(const std::string& xml, std::string* error) {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            *error = "rendering needs the graphical application";
            return std::nullopt;
        }
        platform::Error parseError;
        auto document = platform::XmlDocument::parse(xml, &parseError);
        if (!document) {
            *error = parseError.localizedDescription;
            return std::nullopt;
        }
        auto invoice = model::LLInvoiceElement::elementFromXML<model::LLInvoice>(document->root());
        if (!invoice) {
            *error = "the XML is no invoice of a known syntax";
            return std::nullopt;
        }
        if (!template_) {
            std::string templateError;
            template_ = layout::LayoutTemplate::named("Light", &templateError);
            if (!template_) {
                *error = "no layout template: " + templateError;
                return std::nullopt;
            }
        }
        layout::LLInvoiceRenderer renderer(*template_);
        QByteArray rendered = renderer.buildPDFWithBackDrop(*invoice, false, error);
        if (rendered.isEmpty()) return std::nullopt;
        platform::Error pdfError;
        auto pdf =
            pagewright::PagewrightPDFDocument::initWithData(rendered.toStdString(), &pdfError);
        std::optional<std::string> data;
        if (pdf) data = pdf->dataRepresentation(&pdfError);
        if (!data) *error = pdfError.localizedDescription;
        return data;
    }

  private:
    std::optional<layout::LayoutTemplate> template_;  // loaded once per run, when first needed
};

class ExportRun {
  public:
    ExportRun(fs::path folder, LLExportOptions options)
        : folder_(std::move(folder)), options_(options) {}

    void exportRecord(const LLInvoiceRecord& record) {
        ++summary_.records;
        std::error_code ec;
        fs::path sellerFolder = folder_ / exportSellerFolderName(record.sellerName());
        fs::create_directories(sellerFolder, ec);
        std::string safeName = unusedName(sellerFolder, exportInvoiceFolderName(record.name()));
        fs::path invoiceFolder = sellerFolder / safeName;
        fs::create_directories(invoiceFolder, ec);
        if (!fs::is_directory(invoiceFolder, ec)) {
            fail(invoiceFolder, ec ? ec.message() : "no folder");
            return;
        }

        // The XML as it arrived, unless the pretty-printed form is asked for (or the record
        // predates keeping what arrived).
        std::optional<std::string> pretty;
        std::optional<std::string> received =
            options_.prettyXML ? std::nullopt : record.xmlReceived();
        if (received) write(invoiceFolder / (safeName + ".xml"), *received);
        if (std::optional<std::string> xml = record.xml()) {
            platform::Error error;
            if (auto document = platform::XmlDocument::parse(*xml, &error)) {
                pretty = document->serialize(true);
                if (!received) write(invoiceFolder / (safeName + ".xml"), *pretty);
            } else if (!received) {
                fail(invoiceFolder / (safeName + ".xml"),
                     "the stored XML cannot be read: " + error.localizedDescription);
            }
        }

        std::optional<std::string> pdf = options_.rebuiltPDF ? std::nullopt : record.pdfReceived();
        if (!pdf) {
            pdf = record.pdf();
            // An import whose rebuild failed keeps the PDF as it arrived in place of the rebuild.
            if (options_.rebuiltPDF && pdf && pdf == record.pdfReceived())
                summary_.notes.push_back((invoiceFolder / (safeName + ".pdf")).string() +
                                         ": no archival rebuild is stored; written as it arrived");
        }
        if (!pdf && pretty) {
            std::string error;
            pdf = renderer_.render(*pretty, &error);
            if (!pdf) fail(invoiceFolder / (safeName + ".pdf"), "no PDF rendered: " + error);
        }
        if (pdf) write(invoiceFolder / (safeName + ".pdf"), *pdf);
    }

    void fail(const fs::path& where, const std::string& why) {
        ++summary_.failures;
        summary_.problems.push_back(where.string() + ": " + why);
    }

    LLExportSummary& summary() { return summary_; }

  private:
    // Two invoices of one seller with the same number (different VAT numbers, or numbers that
    // differ only in characters a file name cannot hold) would overwrite each other: the second
    // gets "name 2", the third "name 3" and so on. Only folders of this run count.
    std::string unusedName(const fs::path& sellerFolder, const std::string& name) {
        std::string candidate = name;
        for (int n = 2; !used_.insert((sellerFolder / candidate).string()).second; ++n)
            candidate = name + " " + std::to_string(n);
        return candidate;
    }

    void write(const fs::path& file, const std::string& bytes) {
        platform::Error error;
        if (platform::writeFileAtomically(file, bytes, &error))
            ++summary_.filesWritten;
        else
            fail(file, error.localizedDescription);
    }

    fs::path folder_;
    LLExportOptions options_;
    std::set<std::string> used_;
    LLExportSummary summary_;
    PDFRenderer renderer_;
};

template <class Resolve>
LLExportSummary runExport(std::size_t total, const Resolve& resolve, const fs::path& folder,
                          const LLExportProgress& progress, const LLExportOptions& options) {
    ExportRun run(folder, options);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        run.fail(folder, ec ? ec.message() : "not a folder");
        return run.summary();
    }
    for (std::size_t i = 0; i < total; ++i) {
        if (options.cancelled && options.cancelled()) break;
        resolve(i, run);
        if (progress) progress(i + 1, total);
    }
    return run.summary();
}

}  // namespace

std::string exportSellerFolderName(const std::optional<std::string>& sellerName) {
    return safeComponent(sellerName, platform::localizedString("Unknown Seller"));
}

std::string exportInvoiceFolderName(const std::optional<std::string>& invoiceName) {
    return safeComponent(invoiceName, platform::localizedString("Invoice"));
}

LLExportSummary exportRecords(const std::vector<std::shared_ptr<LLInvoiceRecord>>& records,
                              const fs::path& folder, const LLExportProgress& progress,
                              const LLExportOptions& options) {
    return runExport(
        records.size(),
        [&](std::size_t i, ExportRun& run) {
            if (records[i]) run.exportRecord(*records[i]);
        },
        folder, progress, options);
}

LLExportSummary exportURIStrings(LLObjectContext& context, const std::vector<std::string>& uris,
                                 const fs::path& folder, const LLExportProgress& progress,
                                 const LLExportOptions& options) {
    return runExport(
        uris.size(),
        [&](std::size_t i, ExportRun& run) {
            auto record =
                std::dynamic_pointer_cast<LLInvoiceRecord>(context.objectForURIString(uris[i]));
            if (record)
                run.exportRecord(*record);
            else
                run.fail(uris[i], "no such invoice in the library");
        },
        folder, progress, options);
}

}  // namespace library
