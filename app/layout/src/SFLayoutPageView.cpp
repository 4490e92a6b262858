#include "layout/SFLayoutPageView.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include "ArchiveSupport.h"
#include "layout/SFLayoutTablePreviewView.h"
#include "platform/Log.h"

namespace layout {

std::shared_ptr<SFLayoutTablePreviewView> SFLayoutPageView::tableView() const {
    for (const auto& subview : subviews())
        if (auto table = std::dynamic_pointer_cast<SFLayoutTablePreviewView>(subview)) return table;
    return nullptr;
}

std::optional<SectionList> SFLayoutPageView::populateItems(const SectionList& sections) {
    auto table = tableView();
    if (!table) return std::nullopt;
    return table->populateItems(sections);
}

void SFLayoutPageView::updateBackdrop() {
    if (pdfData.isEmpty()) {
        image.clear();
        return;
    }
    // The backdrop stays a PDF so it can be placed under the page as vectors; here we only
    // check that it opens and has a first page.
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("backdrop", pdfData.constData(), size_t(pdfData.size()));
        if (QPDFPageDocumentHelper(pdf).getAllPages().empty())
            image.clear();
        else
            image = pdfData;
    } catch (const std::exception& e) {
        platform::logLine(std::string("Layout template: backdrop is not a readable PDF: ") +
                          e.what());
        image.clear();
    }
}

void SFLayoutPageView::copyFieldsFrom(const LayoutView& view) {
    const auto& source = static_cast<const SFLayoutPageView&>(view);
    pdfData = source.pdfData;
    image = source.image;  // what updateBackdrop() makes of the same data
}

void SFLayoutPageView::encodeFields(QJsonObject& archive) const {
    archive::writeData(archive, "pdfData", pdfData);
}

void SFLayoutPageView::decodeFields(const QJsonObject& archive, const ArchiveContext& context) {
    pdfData = archive::readData(archive, "pdfData", context);
    if (image.isEmpty()) updateBackdrop();
}

}  // namespace layout
