#include <libxml/tree.h>

#include <algorithm>
#include <set>

#include "LLSerialQueue.h"
#include "library/LLDocument.h"
#include "model/KeyPath.h"
#include "model/LLInvoice.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/FileData.h"
#include "platform/Log.h"
#include "ruleweave/RWSchematronValidator.h"

namespace fs = std::filesystem;

namespace library {
namespace {

std::string lowerExtension(const fs::path& path) {
    std::string extension = path.extension().string();
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool isDirectory(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

std::optional<LLInstant> instantForDay(const std::optional<platform::Date>& day) {
    if (!day) return std::nullopt;
    return LLInstant::startOfDay(*day);
}

}  // namespace

bool LLDocument::acceptsFile(LLImportEntryPoint entry, const fs::path& path) {
    const std::string extension = lowerExtension(path);
    switch (entry) {
        case LLImportEntryPoint::ImportCommand:
            return isDirectory(path) || extension == "xml";
        case LLImportEntryPoint::Drop:
            return isDirectory(path) || extension == "xml" || extension == "pdf";
        case LLImportEntryPoint::OpenedFromSystem:
            return true;
        case LLImportEntryPoint::InsideFolder:
            return !isDirectory(path) && extension == "xml";
    }
    return false;
}

bool LLDocument::isLibraryFile(const fs::path& path) {
    return lowerExtension(path) == kFileExtension;
}

std::string LLDocument::duplicateKey(const std::optional<std::string>& sellerVAT,
                                     const std::optional<std::string>& number) {
    return sellerVAT.value_or("(null)") + "-" + number.value_or("(null)");
}

std::vector<fs::path> LLDocument::importFilesForPath(const fs::path& path) {
    if (!isDirectory(path)) return {path};
    std::vector<fs::path> files;
    std::error_code ec;
    // Symbolic links to folders are not followed, so a link loop cannot make the walk endless.
    for (fs::recursive_directory_iterator
             it(path, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        if (acceptsFile(LLImportEntryPoint::InsideFolder, it->path())) files.push_back(it->path());
    }
    // Name order: the same folder imports in the same order on every machine.
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocument::importDirectory(
    const fs::path& directory, LLObjectContext& context) {
    std::vector<std::shared_ptr<LLInvoiceRecord>> records;
    for (const auto& file : importFilesForPath(directory)) {
        if (file == directory) continue;  // not a folder
        auto imported = importFile(file, context);
        records.insert(records.end(), imported.begin(), imported.end());
    }
    return records;
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocument::importFile(const fs::path& file,
                                                                     LLObjectContext& context) {
    std::vector<std::shared_ptr<LLInvoiceRecord>> records;
    if (lowerExtension(file) == "pdf") {
        platform::Error error;
        auto pdf = pagewright::PagewrightPDFDocument::initWithURL(file, &error);
        if (!pdf || pdf->attachments().empty()) {
            addError(kLLErrorNoXMLInPDF, file.string());
            return records;
        }
        for (const auto& attachment : pdf->attachments()) {
            auto imported = importData(attachment->data, context);
            if (imported.empty()) addError(kLLErrorNoValidXML, file.string());
            records.insert(records.end(), imported.begin(), imported.end());
        }
        if (records.empty()) return records;
        auto bytes = pdf->dataRepresentation(&error);
        if (!bytes) {
            // Keep the file as it came rather than lose the PDF of the invoice.
            platform::logLine(
                "Import: the PDF “" + file.string() +
                "” is stored as read; its archival rebuild failed: " + error.localizedDescription);
            bytes = platform::readFileData(file);
        }
        for (auto& record : records) record->setPdf(bytes);
        return records;
    }
    auto bytes = platform::readFileData(file);
    if (bytes) records = importData(*bytes, context);
    if (records.empty()) addError(kLLErrorNoValidXML, file.string());
    return records;
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocument::importData(const std::string& xml,
                                                                     LLObjectContext& context) {
    auto document = platform::XmlDocument::parse(xml);
    if (!document || !document->root()) return {};
    // A FatturaPA batch holds one invoice per body: each is stored on its own, as a document
    // with the header and that one body.
    if (model::detectSyntax(document->root()) == model::InvoiceSyntax::FatturaPA) {
        const size_t bodies =
            model::nodesForKeyPath(document->root(), "FatturaElettronicaBody").size();
        if (bodies > 1) {
            std::vector<std::shared_ptr<LLInvoiceRecord>> records;
            for (size_t keep = 0; keep < bodies; ++keep) {
                auto single = platform::XmlDocument::parse(xml);
                auto nodes = model::nodesForKeyPath(single->root(), "FatturaElettronicaBody");
                for (size_t i = 0; i < nodes.size(); ++i) {
                    if (i == keep) continue;
                    xmlUnlinkNode(nodes[i].raw());
                    xmlFreeNode(nodes[i].raw());
                }
                auto imported = importData(single->serialize(), context);
                records.insert(records.end(), imported.begin(), imported.end());
            }
            return records;
        }
    }
    if (!validateXMLDocument(*document)) return {};
    auto invoice = model::LLInvoiceElement::elementFromXML<model::LLInvoice>(document->root());
    if (!invoice) return {};

    std::string key =
        duplicateKey(invoice->seller ? invoice->seller->vatNumber : std::nullopt, invoice->number);
    auto existing = context.fetchInvoices(LLInvoicePredicate::identifierIs(key));
    std::shared_ptr<LLInvoiceRecord> record =
        existing.empty() ? context.insertInvoice() : existing.front();
    if (!record) return {};

    LLInvoiceRecord::Summary summary;
    summary.dateIssued = instantForDay(invoice->issueDate);
    summary.dateDue = instantForDay(invoice->dueDate);
    summary.payableAmount = invoice->finalAmount;
    summary.taxExclusiveAmount = invoice->netAmount;
    summary.taxInclusiveAmount = invoice->grossAmount;
    if (invoice->seller) summary.sellerName = invoice->seller->name;
    summary.name = invoice->number;
    if (invoice->currency) summary.currencyCode = invoice->currency->name;
    summary.identifier = key;
    summary.xml = document->serialize();
    record->setSummary(summary);

    if (importQueue_ && importQueue_->isWorkerThread())
        validateInvoiceSilently(*record, &importValidator());
    else
        validateInvoiceSilently(*record);
    return {record};
}

ruleweave::RWSchematronValidator& LLDocument::importValidator() {
    if (!importValidator_) importValidator_ = newValidator();
    return *importValidator_;
}

void LLDocument::importPath(const std::optional<fs::path>& path, LLImportObserver observer) {
    if (path) importPaths({*path}, std::move(observer));
}

void LLDocument::importPaths(std::vector<fs::path> paths, LLImportObserver observer) {
    if (!main_) return;
    importQueue_->async([this, paths = std::move(paths), observer = std::move(observer)] {
        runImport(paths, observer);
    });
}

void LLDocument::runImport(const std::vector<fs::path>& paths, const LLImportObserver& observer) {
    std::vector<std::string> uris;
    std::set<std::string> seen;
    platform::Error error;
    auto context = newPrivateChildContext(&error);
    if (!context) {
        platform::logLine("Import: " + error.localizedDescription);
        if (observer.finished) observer.finished({});
        return;
    }
    LLImportProgress progress;
    for (const auto& path : paths) {
        for (const auto& file : importFilesForPath(path)) {
            auto records = importFile(file, *context);
            // Each file is committed on its own: a crash or a full disk later in the run loses
            // nothing that was already imported.
            if (context->save(&error)) {
                progress.recordsCommitted += records.size();
            } else {
                platform::logLine("Import: “" + file.string() +
                                  "” could not be stored: " + error.localizedDescription);
                context->rollback();
                records.clear();
            }
            progress.fileURIStrings.clear();
            for (const auto& record : records) {
                std::string uri = record->uriString();
                progress.fileURIStrings.push_back(uri);
                if (seen.insert(uri).second) uris.push_back(std::move(uri));
            }
            progress.path = file.string();
            ++progress.filesHandled;
            progress.recordsImported += records.size();
            if (observer.progress) observer.progress(progress);
        }
    }
    context->save();
    context.reset();
    if (observer.finished) observer.finished(std::move(uris));
}

std::optional<std::string> LLDocument::importData(const std::string& xml) {
    if (!main_) return std::nullopt;
    std::optional<std::string> uri;
    auto job = [&] {
        auto context = newPrivateChildContext();
        if (!context) return;
        auto records = importData(xml, *context);
        if (!records.empty() && context->save()) uri = records.front()->uriString();
    };
    if (importQueue_->isWorkerThread()) {
        job();
    } else {
        importQueue_->async(job);
        importQueue_->waitUntilIdle();
    }
    return uri;
}

}  // namespace library
