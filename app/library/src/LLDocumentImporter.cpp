#include "LLDocumentImporter.h"

#include <libxml/tree.h>

#include <algorithm>
#include <set>

#include "LLDocumentValidator.h"
#include "LLSerialQueue.h"
#include "library/LLDocument.h"
#include "model/KeyPath.h"
#include "model/LLInvoice.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "pagewright/PagewrightPDFDocumentAttachment.h"
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

std::string LLDocument::duplicateKey(const model::LLInvoice& invoice) {
    const auto* seller = invoice.seller ? &*invoice.seller : nullptr;
    std::string key = duplicateKey(seller ? seller->vatNumber : std::nullopt, invoice.number);
    if (!seller || seller->vatNumber) return key;
    // Without a VAT number the invoice number alone would join invoices of different sellers.
    auto usable = [](const std::optional<std::string>& text) { return text && !text->empty(); };
    if (usable(seller->ID)) return key + " id:" + *seller->ID;
    if (usable(seller->taxNumber)) return key + " tax:" + *seller->taxNumber;
    if (usable(seller->name)) return key + " name:" + *seller->name;
    return key;
}

std::optional<std::string> LLDocument::duplicateKeyForXML(const std::string& xml) {
    auto document = platform::XmlDocument::parse(xml);
    if (!document || !document->root()) return std::nullopt;
    auto invoice = model::LLInvoiceElement::elementFromXML<model::LLInvoice>(document->root());
    if (!invoice) return std::nullopt;
    return duplicateKey(*invoice);
}

LLDocumentImporter::LLDocumentImporter(LLDocumentValidator& validator, LLImportErrorList& errors,
                                       std::function<bool()> onImportThread)
    : validator_(validator), errors_(errors), onImportThread_(std::move(onImportThread)) {}

void LLDocumentImporter::addError(const std::string& description, const std::string& path,
                                  const std::string& reason) {
    errors_.add({description, path, reason});
}

std::vector<fs::path> LLDocumentImporter::importFilesForPath(const fs::path& path) {
    if (!isDirectory(path)) return {path};
    std::vector<fs::path> files;
    std::error_code ec;
    // Symbolic links to folders are not followed, so a link loop cannot make the walk endless.
    for (fs::recursive_directory_iterator
             it(path, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        if (LLDocument::acceptsFile(LLImportEntryPoint::InsideFolder, it->path()))
            files.push_back(it->path());
    }
    // Name order: the same folder imports in the same order on every machine.
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocumentImporter::importDirectory(
    const fs::path& directory, LLObjectContext& context) {
    std::vector<std::shared_ptr<LLInvoiceRecord>> records;
    for (const auto& file : importFilesForPath(directory)) {
        if (file == directory) continue;  // not a folder
        auto imported = importFile(file, context);
        records.insert(records.end(), imported.begin(), imported.end());
    }
    return records;
}

namespace {

// Why a file cannot be read, in the words of the system.
std::optional<std::string> readFile(const fs::path& file, std::string* bytes,
                                    std::string* description) {
    platform::Error error;
    auto read = platform::readFileData(file, &error, platform::XmlDocument::kMaxInputBytes);
    if (read) {
        *bytes = std::move(*read);
        return std::nullopt;
    }
    const auto code = platform::fileDataError(error);
    *description =
        code == platform::FileDataError::NoSuchFile ? kLLErrorNoSuchFile : kLLErrorUnreadableFile;
    if (code == platform::FileDataError::TooLarge) return "the file is too large to be an invoice";
    return platform::fileDataReason(error);
}

// Embedded files worth reading as an invoice; pictures and other PDFs beside it are not.
bool mayBeXML(const pagewright::PagewrightPDFDocumentAttachment& attachment) {
    if (lowerExtension(attachment.name) == "xml") return true;
    const std::string& bytes = attachment.data;
    if (bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0) return true;
    auto at = bytes.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return at != std::string::npos && bytes[at] == '<';
}

struct SourceInvoice {
    std::string xml;
    std::shared_ptr<platform::XmlDocument> document;  // `xml` parsed; null when it is not XML
};

// A FatturaPA batch holds one invoice per body: each is stored on its own, as a document
// with the header and that one body. Any other document is one invoice, parsed once here
// for everything the import does with it.
std::vector<SourceInvoice> invoicesOfDocument(const std::string& xml) {
    auto document = platform::XmlDocument::parse(xml);
    if (!document || !document->root() ||
        model::detectSyntax(document->root()) != model::InvoiceSyntax::FatturaPA)
        return {{xml, document}};
    const size_t bodies = model::nodesForKeyPath(document->root(), "FatturaElettronicaBody").size();
    if (bodies < 2) return {{xml, document}};
    std::vector<SourceInvoice> invoices;
    for (size_t keep = 0; keep < bodies; ++keep) {
        auto single = platform::XmlDocument::parse(xml);
        auto nodes = model::nodesForKeyPath(single->root(), "FatturaElettronicaBody");
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (i == keep) continue;
            xmlUnlinkNode(nodes[i].raw());
            xmlFreeNode(nodes[i].raw());
        }
        // Parsed again from its text, so what is validated is exactly what is stored.
        std::string text = single->serialize();
        auto parsed = platform::XmlDocument::parse(text);
        invoices.push_back({std::move(text), std::move(parsed)});
    }
    return invoices;
}

}  // namespace

std::optional<LLDocumentImporter::PreparedInvoice> LLDocumentImporter::prepareInvoice(
    const std::string& xml, std::shared_ptr<platform::XmlDocument> document) {
    if (!document) document = platform::XmlDocument::parse(xml);
    if (!document || !document->root()) return std::nullopt;
    bool rules = validator_.hasRules();
    // The gate lets in what the rules hold XSDs for; the XSD run itself is part of the
    // validation below, on this same parsed document.
    if (rules && !validator_.hasXSDsForRootName(document->root().name())) return std::nullopt;
    auto invoice = model::LLInvoiceElement::elementFromXML<model::LLInvoice>(document->root());
    if (!invoice) return std::nullopt;

    PreparedInvoice prepared;
    auto& summary = prepared.summary;
    summary.dateIssued = instantForDay(invoice->issueDate);
    summary.dateDue = instantForDay(invoice->dueDate);
    summary.payableAmount = invoice->finalAmount;
    summary.taxExclusiveAmount = invoice->netAmount;
    summary.taxInclusiveAmount = invoice->grossAmount;
    if (invoice->seller) summary.sellerName = invoice->seller->name;
    summary.name = invoice->number;
    if (invoice->currency) summary.currencyCode = invoice->currency->name;
    summary.identifier = LLDocument::duplicateKey(*invoice);
    summary.xml = document->serialize();
    prepared.received = xml;
    // Validated before the store is touched: the write lock is held only for the writes.
    if (!rules) {
        prepared.validationResult = LLValidationResult::NotValidated;
    } else {
        std::unique_ptr<ruleweave::RWSchematronValidator> own;
        ruleweave::RWSchematronValidator* validator = nullptr;
        if (onImportThread_ && onImportThread_()) {
            validator = &validator_.importValidator();
        } else {
            own = validator_.newValidator();
            validator = own.get();
        }
        prepared.validationResult = validator_.validationResultCodeForDocument(
            *document, *summary.xml, *validator, nullptr, nullptr);
    }
    return prepared;
}

std::shared_ptr<LLInvoiceRecord> LLDocumentImporter::storeInvoice(const PreparedInvoice& prepared,
                                                                  LLObjectContext& context,
                                                                  const StoredPDF* pdf,
                                                                  bool* replaced,
                                                                  platform::Error* error) {
    std::shared_ptr<LLInvoiceRecord> record;
    *replaced = false;
    // The look-up and the insert form one transaction: two imports of the same invoice at
    // once cannot both miss the other's record.
    bool ok = context.performWrite(
        [&](platform::Error* writeError) {
            auto existing = context.fetchInvoices(
                LLInvoicePredicate::identifierIs(*prepared.summary.identifier), writeError);
            *replaced = !existing.empty();
            record = existing.empty() ? context.insertInvoice(writeError) : existing.front();
            if (!record) return false;
            LLInvoiceRecord::Summary summary = prepared.summary;
            summary.xmlReceived = prepared.received;
            summary.validationResult = prepared.validationResult;
            if (pdf) {
                summary.pdf = pdf->rebuilt;
                summary.pdfReceived = pdf->received;
            }
            bool written = record->setSummary(summary);
            if (!written)
                platform::setError(writeError, kLibraryErrorDomain, LLLibraryErrorStore,
                                   "The library could not be changed: " + context.lastStoreError());
            return written;
        },
        error);
    if (!ok) return nullptr;
    return record;
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocumentImporter::importFile(
    const fs::path& file, LLObjectContext& context) {
    std::vector<std::shared_ptr<LLInvoiceRecord>> records;
    std::string bytes, description;
    if (auto problem = readFile(file, &bytes, &description)) {
        addError(description, file.string(), *problem);
        return records;
    }
    std::vector<PreparedInvoice> prepared;
    std::optional<StoredPDF> pdf;
    std::optional<std::string> rebuildProblem;
    if (lowerExtension(file) == "pdf") {
        platform::Error error;
        auto document = pagewright::PagewrightPDFDocument::initWithData(bytes, &error);
        if (!document) {
            // Encrypted, damaged or no PDF at all: say which.
            addError(kLLErrorUnreadablePDF, file.string(), error.localizedDescription);
            return records;
        }
        if (document->attachments().empty()) {
            addError(kLLErrorNoXMLInPDF, file.string());
            return records;
        }
        std::size_t xmlAttachments = 0;
        for (const auto& attachment : document->attachments()) {
            if (!mayBeXML(*attachment)) continue;  // pictures, other PDFs: no invoices
            ++xmlAttachments;
            for (auto& single : invoicesOfDocument(attachment->data))
                if (auto invoice = prepareInvoice(single.xml, std::move(single.document)))
                    prepared.push_back(std::move(*invoice));
        }
        // Side files are no problem as long as one attachment is the invoice.
        if (prepared.empty()) {
            addError(xmlAttachments ? kLLErrorNoValidXML : kLLErrorNoXMLInPDF, file.string());
            return records;
        }
        pdf.emplace();
        pdf->received = bytes;
        auto rebuilt = document->dataRepresentation(&error);
        // Without a rebuild the file is kept as it came rather than lose the PDF of the invoice
        // (also where the rebuild belongs, since readers of the library expect a PDF there); the
        // import says so once the invoice is stored.
        if (!rebuilt) rebuildProblem = error.localizedDescription;
        pdf->rebuilt = rebuilt ? std::move(*rebuilt) : bytes;
    } else {
        for (auto& single : invoicesOfDocument(bytes)) {
            auto invoice = prepareInvoice(single.xml, std::move(single.document));
            if (!invoice) continue;
            invoice->received = bytes;  // what arrived is the whole file, batch or not
            prepared.push_back(std::move(*invoice));
        }
        if (prepared.empty()) {
            addError(kLLErrorNoValidXML, file.string());
            return records;
        }
    }
    for (const auto& invoice : prepared) {
        bool replaced = false;
        platform::Error error;
        auto record = storeInvoice(invoice, context, pdf ? &*pdf : nullptr, &replaced, &error);
        if (!record) {
            addError(kLLErrorNotStored, file.string(), error.localizedDescription);
            continue;
        }
        if (replaced)
            errors_.addReplacement({file.string(), invoice.summary.name.value_or("(no number)"),
                                    invoice.summary.sellerName.value_or("(no seller)")});
        records.push_back(std::move(record));
    }
    if (rebuildProblem && !records.empty())
        addError(kLLErrorNoArchivalRebuild, file.string(), *rebuildProblem);
    return records;
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocumentImporter::importData(
    const std::string& xml, LLObjectContext& context) {
    std::vector<std::shared_ptr<LLInvoiceRecord>> records;
    for (auto& single : invoicesOfDocument(xml)) {
        auto prepared = prepareInvoice(single.xml, std::move(single.document));
        if (!prepared) continue;
        prepared->received = xml;
        bool replaced = false;
        if (auto record = storeInvoice(*prepared, context, nullptr, &replaced, nullptr))
            records.push_back(std::move(record));
    }
    return records;
}

// --- LLDocument's import, done by its importer

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocument::importDirectory(
    const fs::path& directory, LLObjectContext& context) {
    return importer_->importDirectory(directory, context);
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocument::importFile(const fs::path& file,
                                                                     LLObjectContext& context) {
    return importer_->importFile(file, context);
}

std::vector<std::shared_ptr<LLInvoiceRecord>> LLDocument::importData(const std::string& xml,
                                                                     LLObjectContext& context) {
    return importer_->importData(xml, context);
}

void LLDocument::runImport(const std::vector<fs::path>& paths, const LLImportObserver& observer) {
    importer_->runImport(paths, observer,
                         [this](platform::Error* error) { return newPrivateChildContext(error); });
}

void LLDocument::importPath(const std::optional<fs::path>& path, LLImportObserver observer) {
    if (path) importPaths({*path}, std::move(observer));
}

void LLDocument::importPaths(std::vector<fs::path> paths, LLImportObserver observer) {
    if (!main_) return;
    importQueue_->async([self = shared_from_this(), paths = std::move(paths),
                         observer = std::move(observer)] { self->runImport(paths, observer); });
}

void LLDocumentImporter::runImport(const std::vector<fs::path>& paths,
                                   const LLImportObserver& observer,
                                   const ContextFactory& newPrivateChildContext) {
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
    bool stopped = false;
    for (const auto& path : paths) {
        if (stopped) break;
        for (const auto& file : importFilesForPath(path)) {
            if (observer.cancelled && observer.cancelled()) {
                stopped = true;
                break;
            }
            auto records = importFile(file, *context);
            // Each file is committed on its own: a crash or a full disk later in the run loses
            // nothing that was already imported.
            progress.replaced = errors_.takeReplacements();
            if (context->save(&error)) {
                progress.recordsCommitted += records.size();
            } else {
                addError(kLLErrorNotStored, file.string(), error.localizedDescription);
                context->rollback();
                records.clear();
                progress.replaced.clear();
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
