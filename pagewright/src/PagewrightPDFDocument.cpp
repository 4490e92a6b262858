#include "pagewright/PagewrightPDFDocument.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <sstream>

#include "PdfSupport.h"
#include "platform/Log.h"
#include "platform/Settings.h"
#include "platform/Uuid.h"

namespace pagewright {
namespace {

std::string lowercase(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

bool userDefault(std::string_view key) { return platform::Settings().boolValue(key, false); }

// Walks the whole embedded-files name tree, Kids included, in tree order.
PagewrightPDFDocument::AttachmentList readAttachments(QPDF& pdf,
                                                      std::vector<std::string>& problems) {
    PagewrightPDFDocument::AttachmentList list;
    size_t total = 0;
    try {
        QPDFObjectHandle names = pdf.getRoot().getKey("/Names");
        if (!names.isDictionary()) return list;
        QPDFObjectHandle tree = names.getKey("/EmbeddedFiles");
        if (!tree.isDictionary()) return list;
        QPDFNameTreeObjectHelper helper(tree, pdf, false);
        for (auto it = helper.begin(); it != helper.end(); ++it) {
            const std::string name = it->first;
            try {
                QPDFObjectHandle spec = it->second;
                if (!spec.isDictionary()) continue;
                QPDFObjectHandle ef = spec.getKey("/EF");
                if (!ef.isDictionary()) continue;
                QPDFObjectHandle stream = ef.getKey("/F");
                if (!stream.isStream()) stream = ef.getKey("/UF");
                if (!stream.isStream()) continue;
                std::string problem;
                auto data =
                    decodeStreamBounded(stream,
                                        std::min(PagewrightPDFDocument::kMaximumAttachmentSize,
                                                 kMaximumTotalAttachmentSize - total),
                                        &problem);
                if (!data) {
                    problems.push_back("Attachment \"" + name + "\" skipped: " + problem);
                    continue;
                }
                total += data->size();
                auto attachment =
                    PagewrightPDFDocumentAttachment::attachmentWithDataName(std::move(*data), name);
                QPDFObjectHandle desc = spec.getKey("/Desc");
                if (desc.isString()) attachment->setFileDescription(desc.getUTF8Value());
                list.push_back(std::move(attachment));
            } catch (const std::exception& e) {
                problems.push_back("Attachment \"" + name + "\" skipped: " + e.what());
            }
        }
    } catch (const std::exception& e) {
        problems.push_back(std::string("Embedded files unreadable: ") + e.what());
    }
    return list;
}

}  // namespace

PagewrightPDFDocument::PagewrightPDFDocument() = default;
PagewrightPDFDocument::~PagewrightPDFDocument() = default;

std::shared_ptr<PagewrightPDFDocument> PagewrightPDFDocument::init() {
    std::shared_ptr<PagewrightPDFDocument> document(new PagewrightPDFDocument());
    document->pdf_ = std::make_shared<QPDF>();
    document->pdf_->setSuppressWarnings(true);
    document->pdf_->emptyPDF();
    return document;
}

std::shared_ptr<PagewrightPDFDocument> PagewrightPDFDocument::initWithData(std::string bytes,
                                                                           platform::Error* error) {
    std::string problem;
    int code = PagewrightErrorNotAPDF;
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    auto pdf = openPDF(shared, "PDF data", &problem, &code);
    if (!pdf) {
        platform::setError(error, PagewrightErrorDomain, code, problem);
        return nullptr;
    }
    std::shared_ptr<PagewrightPDFDocument> document(new PagewrightPDFDocument());
    document->pdf_ = std::move(pdf);
    document->rawData_ = std::move(shared);
    // qpdf repairs what it can; the repair is worth knowing about, as content may be missing.
    auto warnings = document->pdf_->getWarnings();
    if (!warnings.empty()) {
        std::string detail = warnings.front().getMessageDetail();
        for (const auto& warning : warnings)
            if (warning.getMessageDetail() != "file is damaged") {
                detail = warning.getMessageDetail();
                break;
            }
        std::string line = "The PDF is damaged and was repaired (" +
                           std::to_string(warnings.size()) + " problems, such as: " + detail + ")";
        platform::logLine("Pagewright: " + line);
        document->addToTranscript(std::move(line));
    }
    return document;
}

std::shared_ptr<PagewrightPDFDocument> PagewrightPDFDocument::initWithURL(
    const std::filesystem::path& file, platform::Error* error) {
    std::string problem;
    auto bytes = readFileBounded(file, &problem);
    if (!bytes) {
        platform::setError(error, PagewrightErrorDomain, PagewrightErrorUnreadableFile,
                           file.string() + ": " + problem);
        return nullptr;
    }
    auto document = initWithData(std::move(*bytes), error);
    if (!document && error)
        error->localizedDescription = file.string() + ": " + error->localizedDescription;
    return document;
}

bool PagewrightPDFDocument::optimize() const {
    return optimize_ && !userDefault("PagewrightDisableOptimize");
}

int PagewrightPDFDocument::variant() const {
    return userDefault("PagewrightDisableConvert") ? 0 : variant_;
}

PagewrightPDFDocument::AttachmentList& PagewrightPDFDocument::attachments() {
    if (!attachments_) {
        std::vector<std::string> problems;
        attachments_ = readAttachments(*pdf_, problems);
        for (auto& line : problems) {
            platform::logLine("Pagewright: " + line);
            addToTranscript(line);
        }
    }
    return *attachments_;
}

std::vector<std::map<std::string, std::string>> PagewrightPDFDocument::attachmentDictionaries() {
    std::vector<std::map<std::string, std::string>> result;
    for (const auto& attachment : attachments()) {
        std::map<std::string, std::string> entry;
        if (attachment->type) entry["type"] = *attachment->type;
        if (attachment->mimeType) entry["mimeType"] = *attachment->mimeType;
        entry["data"] = attachment->data;
        entry["name"] = attachment->name;
        result.push_back(std::move(entry));
    }
    return result;
}

bool PagewrightPDFDocument::hasAttachmentNamed(std::string_view text) {
    const std::string needle = lowercase(text);
    for (const auto& attachment : attachments())
        if (lowercase(attachment->name).find(needle) != std::string::npos) return true;
    return false;
}

bool PagewrightPDFDocument::addAttachment(
    std::shared_ptr<PagewrightPDFDocumentAttachment> attachment) {
    if (!attachment || hasAttachmentNamed(attachment->name)) return false;
    attachments().push_back(std::move(attachment));
    needsOptimize_ = true;
    return true;
}

void PagewrightPDFDocument::addToTranscript(std::string line) {
    if (!transcript_) transcript_.emplace();
    transcript_->push_back(std::move(line));
}

void PagewrightPDFDocument::loadFontList(const std::filesystem::path& file) {
    fonts_.emplace();
    std::string problem;
    auto bytes = readFileBounded(file, &problem);
    if (!bytes) {
        platform::logLine("Pagewright: font list " + file.string() + ": " + problem);
        return;
    }
    // ISO Latin 1 to UTF-8.
    std::string text;
    for (unsigned char c : *bytes) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xc0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> names;
    while (std::getline(lines, line, '\n')) {
        std::string name = line.substr(0, line.find(','));
        while (!name.empty() && name.front() == '"') name.erase(name.begin());
        while (!name.empty() && name.back() == '"') name.pop_back();
        names.push_back(std::move(name));
    }
    *fonts_ = PagewrightFont::fontsWithNames(names, 10);
}

std::optional<std::string> PagewrightPDFDocument::rawData() {
    if (rawData_) return *rawData_;
    return platformDataRepresentation();
}

std::optional<std::string> PagewrightPDFDocument::platformDataRepresentation() {
    try {
        return writePDF(*pdf_);
    } catch (const std::exception& e) {
        platform::logLine(std::string("Pagewright: writing the PDF failed: ") + e.what());
        return std::nullopt;
    }
}

int PagewrightPDFDocument::pageCount() const {
    try {
        return static_cast<int>(QPDFPageDocumentHelper(*pdf_).getAllPages().size());
    } catch (const std::exception&) {
        return 0;
    }
}

bool PagewrightPDFDocument::hasText() {
    auto bytes = rawData();
    if (!bytes) return false;
    std::unique_ptr<poppler::document> doc(
        poppler::document::load_from_raw_data(bytes->data(), static_cast<int>(bytes->size())));
    if (!doc || doc->is_locked()) return false;
    for (int i = 0; i < doc->pages(); ++i) {
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (!page) continue;
        auto text = page->text().to_utf8();
        for (char c : text)
            if (!std::isspace(static_cast<unsigned char>(c))) return true;
    }
    return false;
}

std::string PagewrightPDFDocument::convertPDFString(std::string_view pdfString) {
    return QPDFObjectHandle::newString(std::string(pdfString)).getUTF8Value();
}

std::string PagewrightPDFDocument::uniqueString() { return platform::newUUID(); }

}  // namespace pagewright
