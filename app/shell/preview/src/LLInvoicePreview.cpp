#include "preview/LLInvoicePreview.h"

#include <functional>

#include "layout/LLInvoiceRenderer.h"
#include "layout/LayoutTemplate.h"
#include "library/LLManagedObject.h"
#include "model/LLInvoice.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/FileData.h"
#include "platform/Log.h"
#include "platform/SFLocalizeHelper.h"
#include "platform/XmlDocument.h"

namespace preview {
namespace {

// A file previewed on its own is refused beyond this size rather than read into memory.
constexpr std::uintmax_t kMaximumFileSize = std::uintmax_t(256) << 20;

constexpr size_t kMaximumTextShown = size_t(1) << 20;

bool isPDF(std::string_view bytes) { return bytes.substr(0, 5) == "%PDF-"; }

bool looksLikeXML(std::string_view bytes) {
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") return true;
    const auto at = bytes.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return at != std::string_view::npos && bytes[at] == '<';
}

// The invoice a PDF carries: the first embedded XML file that reads as one.
std::shared_ptr<model::LLInvoice> invoiceInPDF(const std::string& bytes, std::string* xml) {
    auto document = pagewright::PagewrightPDFDocument::initWithData(bytes);
    if (!document) return nullptr;
    for (const auto& attachment : document->attachments()) {
        if (!attachment || !looksLikeXML(attachment->data)) continue;
        if (auto invoice = invoiceFromXML(attachment->data)) {
            *xml = attachment->data;
            return invoice;
        }
    }
    return nullptr;
}

}  // namespace

std::shared_ptr<model::LLInvoice> invoiceFromXML(const std::string& xml, LLPreviewProblem* problem,
                                                 std::string* detail) {
    platform::Error error;
    auto document = platform::XmlDocument::parse(xml, &error);
    if (!document || !document->root()) {
        if (problem) *problem = LLPreviewProblem::UnreadableXML;
        if (detail) *detail = error.localizedDescription;
        return nullptr;
    }
    auto invoice = model::LLInvoiceElement::elementFromXML<model::LLInvoice>(document->root());
    if (!invoice) {
        if (problem) *problem = LLPreviewProblem::NotAnInvoice;
        if (detail) *detail = "no invoice of a known syntax (<" + document->root().name() + ">)";
    }
    return invoice;
}

LLInvoicePreviewSource::LLInvoicePreviewSource() = default;
LLInvoicePreviewSource::~LLInvoicePreviewSource() = default;

QByteArray LLInvoicePreviewSource::rendered(const model::LLInvoice& invoice, const std::string& xml,
                                            bool drawBackdrop, LLInvoicePreview& preview) {
    // The template's labels are translated when it is loaded: a language switch reloads it.
    const std::string language = platform::SFLocalizeHelper::sharedHelper().currentLanguage();
    const std::string key = language + (drawBackdrop ? "|b|" : "|-|") +
                            std::to_string(std::hash<std::string>{}(xml)) + "|" +
                            std::to_string(xml.size());
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->key != key) continue;
        cache_.splice(cache_.begin(), cache_, it);
        return cache_.front().pdf;
    }
    if (!template_ || templateLanguage_ != language) {
        std::string error;
        auto loaded = layout::LayoutTemplate::named("Light", &error);
        if (!loaded) {
            preview.problem = LLPreviewProblem::NoLayout;
            preview.detail = error;
            return {};
        }
        template_ = std::make_unique<layout::LayoutTemplate>(std::move(*loaded));
        templateLanguage_ = language;
    }
    layout::LLInvoiceRenderer renderer(*template_);
    std::string error;
    QByteArray pdf = renderer.buildPDFWithBackDrop(invoice, drawBackdrop, &error);
    if (pdf.isEmpty()) {
        preview.problem = LLPreviewProblem::RenderingFailed;
        preview.detail = error;
        return {};
    }
    cache_.push_front({key, pdf});
    if (cache_.size() > kCachedRenderings) cache_.pop_back();
    return pdf;
}

LLInvoicePreview LLInvoicePreviewSource::previewForRecord(const library::LLInvoiceRecord& record) {
    LLInvoicePreview preview;
    const std::optional<std::string> xml = record.xml();
    if (xml) preview.invoice = invoiceFromXML(*xml, &preview.problem, &preview.detail);
    // The PDF as it arrived; older records only kept the archival rebuild.
    std::optional<std::string> pdf = record.pdfReceived();
    if (!pdf) pdf = record.pdf();
    if (pdf && !pdf->empty()) {
        preview.pdf = QByteArray::fromStdString(*pdf);
        preview.origin = LLInvoicePreview::Origin::Stored;
        return preview;
    }
    if (preview.invoice) {
        preview.pdf = rendered(*preview.invoice, *xml, false, preview);
        if (!preview.pdf.isEmpty()) preview.origin = LLInvoicePreview::Origin::Rendered;
    }
    if (!preview.detail.empty()) {
        platform::logLine("Preview: invoice " + record.name().value_or("?") + ": " +
                          preview.detail);
    }
    return preview;
}

LLInvoicePreview LLInvoicePreviewSource::previewForXML(const std::string& xml, bool drawBackdrop) {
    LLInvoicePreview preview;
    preview.invoice = invoiceFromXML(xml, &preview.problem, &preview.detail);
    if (!preview.invoice) return preview;
    preview.pdf = rendered(*preview.invoice, xml, drawBackdrop, preview);
    if (!preview.pdf.isEmpty()) preview.origin = LLInvoicePreview::Origin::Rendered;
    return preview;
}

LLInvoicePreview LLInvoicePreviewSource::previewForFile(const std::filesystem::path& file) {
    LLInvoicePreview preview;
    platform::Error error;
    auto bytes = platform::readFileData(file, &error, kMaximumFileSize);
    if (!bytes) {
        preview.problem = LLPreviewProblem::UnreadableFile;
        preview.detail = error.localizedDescription;
        preview.xmlText = std::string();
        return preview;
    }
    if (isPDF(*bytes)) {
        preview.invoice = invoiceInPDF(*bytes, &preview.invoiceXML);
        preview.pdf = QByteArray::fromStdString(*bytes);
        preview.origin = LLInvoicePreview::Origin::File;
        return preview;
    }
    preview = previewForXML(*bytes, true);
    if (preview.invoice) {
        preview.invoiceXML = std::move(*bytes);
        return preview;
    }
    // Not an invoice: the document's text, pretty-printed when it is XML at all.
    auto document = platform::XmlDocument::parse(*bytes);
    if (document && document->root()) {
        preview.xmlText = document->serialize(true);
    } else {
        // Shown as it is; a large file of something else only by its beginning.
        preview.xmlText = bytes->substr(0, kMaximumTextShown);
    }
    return preview;
}

}  // namespace preview
