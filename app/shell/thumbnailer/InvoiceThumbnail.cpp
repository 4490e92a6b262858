#include "InvoiceThumbnail.h"

#include <poppler-qt6.h>

#include <QPainter>
#include <memory>

#include "layout/LLInvoiceRenderer.h"
#include "layout/LayoutTemplate.h"
#include "model/LLInvoice.h"
#include "platform/XmlDocument.h"

namespace thumbnailer {
namespace {

Thumbnail failure(ThumbnailError error, std::string reason) {
    return {QImage(), error, std::move(reason)};
}

Thumbnail firstPageOfPDF(const QByteArray& pdf, int size) {
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
    if (!document || document->isLocked())
        return failure(ThumbnailError::Unreadable, "not a readable PDF");
    if (document->numPages() < 1) return failure(ThumbnailError::NoPages, "the PDF has no pages");
    std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page) return failure(ThumbnailError::NoPages, "the first page cannot be read");
    const QSizeF points = page->pageSizeF();
    const double longer = std::max(points.width(), points.height());
    if (longer <= 0) return failure(ThumbnailError::NoPages, "the first page has no size");
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);
    const double dpi = 72.0 * size / longer;
    QImage rendered = page->renderToImage(dpi, dpi);
    if (rendered.isNull())
        return failure(ThumbnailError::NoPages, "the first page cannot be drawn");
    // Rounding in the renderer may leave a pixel more or less; the longer side is exactly `size`.
    QImage scaled = rendered.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage page32(scaled.size(), QImage::Format_ARGB32);
    page32.fill(Qt::white);
    QPainter(&page32).drawImage(0, 0, scaled);
    return {page32, ThumbnailError::None, {}};
}

}  // namespace

Thumbnail thumbnailForInvoice(const std::string& bytes, int size) {
    if (bytes.substr(0, 1024).find("%PDF-") != std::string::npos)
        return firstPageOfPDF(QByteArray::fromStdString(bytes), size);
    platform::Error error;
    auto document = platform::XmlDocument::parse(bytes, &error);
    if (!document || !document->root())
        return failure(ThumbnailError::Unreadable,
                       "not readable as XML: " + error.localizedDescription);
    auto invoices = model::LLInvoice::invoicesFromXML(document->root());
    if (invoices.empty() || !invoices.front())
        return failure(
            ThumbnailError::NotAnInvoice,
            "not an invoice of a known syntax (root element <" + document->root().name() + ">)");
    std::string reason;
    auto layoutTemplate = layout::LayoutTemplate::named("Light", &reason);
    if (!layoutTemplate) return failure(ThumbnailError::NoPages, "no layout template: " + reason);
    // Drawn as the quick preview draws it: with the template's letterhead.
    QByteArray pdf = layout::LLInvoiceRenderer(*layoutTemplate)
                         .buildPDFWithBackDrop(*invoices.front(), true, &reason);
    if (pdf.isEmpty()) return failure(ThumbnailError::NoPages, reason);
    return firstPageOfPDF(pdf, size);
}

}  // namespace thumbnailer
