#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include "PdfSupport.h"
#include "pagewright/PagewrightEngine.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "pagewright/PagewrightPDFPage.h"
#include "platform/Log.h"

namespace pagewright {
namespace {

using OH = QPDFObjectHandle;

QPDFPageObjectHelper pageHelper(PagewrightPDFDocument& document, int index) {
    return QPDFPageDocumentHelper(document.qpdf()).getAllPages().at(static_cast<size_t>(index));
}

// Adds the printable annotations' appearances to the page's form XObject, as a page drawing
// shows them; the fitted copy has no annotations of its own.
void drawAnnotationsInto(OH form, QPDFPageObjectHelper& page, int rotation) {
    OH dict = form.getDict();
    OH resources = dict.getKey("/Resources");
    resources = resources.isDictionary() ? resources.shallowCopy() : OH::newDictionary();
    OH xobjects = resources.getKey("/XObject");
    xobjects = xobjects.isDictionary() ? xobjects.shallowCopy() : OH::newDictionary();
    std::string extra;
    int number = 0;
    for (auto& annotation : page.getAnnotations()) {
        OH appearance = annotation.getAppearanceStream("/N");
        if (!appearance.isStream()) continue;
        std::string name;
        do {
            name = "/PwAnnot" + std::to_string(number++);
        } while (xobjects.hasKey(name));
        std::string content = annotation.getPageContentForAppearance(name, rotation, an_print,
                                                                     an_invisible | an_hidden);
        if (content.empty()) continue;
        xobjects.replaceKey(name, appearance);
        extra += content;
    }
    if (extra.empty()) return;
    std::string problem;
    auto data = decodeStreamBounded(form, kMaximumPageContent, &problem);
    if (!data) {
        platform::logLine("Pagewright: annotations of a fitted page not drawn: " + problem);
        return;
    }
    resources.replaceKey("/XObject", xobjects);
    dict.replaceKey("/Resources", resources);
    form.replaceStreamData("q\n" + *data + "\nQ\n" + extra, OH::newNull(), OH::newNull());
}

}  // namespace

PagewrightRect PagewrightPDFPage::mediaBox() const {
    try {
        auto box = pageHelper(*document_, index_).getMediaBox().getArrayAsRectangle();
        return {std::min(box.llx, box.urx), std::min(box.lly, box.ury), std::abs(box.urx - box.llx),
                std::abs(box.ury - box.lly)};
    } catch (const std::exception&) {
        return {};
    }
}

int PagewrightPDFPage::rotation() const {
    try {
        OH rotate = pageHelper(*document_, index_).getAttribute("/Rotate", false);
        if (!rotate.isInteger()) return 0;
        return static_cast<int>(((rotate.getIntValue() % 360) + 360) % 360) / 90 * 90;
    } catch (const std::exception&) {
        return 0;
    }
}

PagewrightPDFPage PagewrightPDFPage::bringToSizeOfDocument(PagewrightPDFDocument& target,
                                                           bool allowRotation,
                                                           bool allowScaling) const {
    auto targetPage = target.pageAtIndex(0);
    if (!targetPage || !allowScaling) return *this;
    const PagewrightRect frame = targetPage->mediaBox();
    if (frame == mediaBox()) return *this;
    try {
        PagewrightPageView view({0, 0, frame.width, frame.height}, mediaBox(), rotation(),
                                allowRotation, allowScaling);
        auto result = PagewrightPDFDocument::init();
        result->retainSource(document_->qpdfPointer());
        QPDF& out = result->qpdf();
        auto source = pageHelper(*document_, index_);
        // The page as a form XObject in its own document, clipped to its media box.
        OH form = source.getFormXObjectForPage(false);
        drawAnnotationsInto(form, source, rotation());
        auto box = mediaBox();
        form.getDict().replaceKey(
            "/BBox",
            OH::newArray(OH::Rectangle(box.x, box.y, box.x + box.width, box.y + box.height)));
        OH copied = out.copyForeignObject(form);
        auto xobjects = OH::newDictionary();
        xobjects.replaceKey("/Fm0", copied);
        auto resources = OH::newDictionary();
        resources.replaceKey("/XObject", xobjects);
        auto page = OH::newDictionary();
        page.replaceKey("/Type", OH::newName("/Page"));
        page.replaceKey("/MediaBox", OH::newArray(OH::Rectangle(0, 0, frame.width, frame.height)));
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", OH::newStream(&out, view.drawRect("Fm0")));
        QPDFPageDocumentHelper(out).addPage(out.makeIndirectObject(page), false);
        return PagewrightPDFPage(result, 0);
    } catch (const std::exception& e) {
        platform::logLine(std::string("Pagewright: fitting a page failed: ") + e.what());
        return *this;
    }
}

std::optional<PagewrightPDFPage> PagewrightPDFDocument::pageAtIndex(int index) {
    if (index < 0 || index >= pageCount()) return std::nullopt;
    return PagewrightPDFPage(shared_from_this(), index);
}

bool PagewrightPDFDocument::appendPage(const PagewrightPDFPage& page) {
    try {
        auto& source = *page.document();
        QPDFPageObjectHelper from = pageHelper(source, page.index());
        QPDFPageDocumentHelper to(*pdf_);
        if (&source == this) {
            to.addPage(pdf_->makeIndirectObject(OH(from.getObjectHandle()).shallowCopy()), false);
            return true;
        }
        source.qpdf().pushInheritedAttributesToPage();
        // What the source itself copied from must outlive this document too.
        retainSource(source.qpdfPointer());
        for (const auto& further : source.sources_) retainSource(further);
        OH copy = pdf_->copyForeignObject(from.getObjectHandle());
        to.addPage(copy, false);
        auto pages = to.getAllPages();
        QPDFAcroFormDocumentHelper fromForms(source.qpdf());
        QPDFAcroFormDocumentHelper(*pdf_).fixCopiedAnnotations(pages.back().getObjectHandle(),
                                                               from.getObjectHandle(), fromForms);
        return true;
    } catch (const std::exception& e) {
        platform::logLine(std::string("Pagewright: a page could not be inserted: ") + e.what());
        return false;
    }
}

std::shared_ptr<PagewrightPDFDocument> PagewrightPDFDocument::documentWithDocuments(
    const std::vector<std::shared_ptr<PagewrightPDFDocument>>& documents) {
    return documentWithDocumentsAllowRotationAllowScaling(documents, true, true);
}

std::shared_ptr<PagewrightPDFDocument>
PagewrightPDFDocument::documentWithDocumentsAllowRotationAllowScaling(
    const std::vector<std::shared_ptr<PagewrightPDFDocument>>& documents, bool allowRotation,
    bool allowScaling) {
    if (documents.empty()) return nullptr;
    auto result = init();
    AttachmentList collected;
    for (const auto& document : documents) {
        if (!document) continue;
        for (const auto& attachment : document->attachments()) collected.push_back(attachment);
        const int pages = document->pageCount();
        for (int i = 0; i < pages; ++i) {
            auto page = document->pageAtIndex(i);
            if (!page) continue;
            // The first page sets the size; later ones are fitted to it.
            result->appendPage(page->bringToSizeOfDocument(*result, allowRotation, allowScaling));
        }
    }
    result->setAttachments(std::move(collected));
    return result;
}

std::shared_ptr<PagewrightPDFDocument> PagewrightPDFDocument::documentWithDocumentsUsingEngine(
    const std::vector<std::shared_ptr<PagewrightPDFDocument>>& documents) {
    if (documents.empty()) return nullptr;
    PagewrightEngine engine;
    engine.createOutputDocument();
    engine.setImportFlags(PagewrightEngine::kImportFlagsMerge);
    engine.setImportFlags2(20);
    AttachmentList collected;
    std::vector<std::string> lines;
    for (const auto& document : documents) {
        if (!document) continue;
        for (const auto& attachment : document->attachments()) collected.push_back(attachment);
        auto bytes = document->dataRepresentation();
        if (!bytes || bytes->empty()) continue;
        if (engine.openSource(std::make_shared<const std::string>(std::move(*bytes))))
            engine.importPages(engine.pageCount() + 1, 1.0, 1.0);
        engine.closeSource();
    }
    engine.writeOutput();
    for (const auto& line : engine.transcript()) platform::logLine("Pagewright: " + line);
    auto result = initWithData(engine.output());
    if (!result) return nullptr;
    for (const auto& line : engine.transcript()) result->addToTranscript(line);
    result->setAttachments(std::move(collected));
    return result;
}

}  // namespace pagewright
