#include "layout/LLInvoiceRenderer.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <map>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>

#include "layout/SFLayoutPageView.h"
#include "layout/SFLayoutTablePreviewView.h"
#include "layout/SFLayoutTableSectionView.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "pagewright/PagewrightPDFDocumentAttachment.h"
#include "platform/Log.h"
#include "platform/SFLocalizeHelper.h"

namespace layout {
namespace {

using model::LLInvoice;
using model::SubstitutionDictionary;

void fail(std::string* error, const std::string& message) {
    if (error) *error = message;
}

QPageSize pageSizeOf(const SFLayoutPageView& page) {
    return QPageSize(page.frame().size(), QPageSize::Point, QString(), QPageSize::ExactMatch);
}

// A backdrop page whose content decodes to more than this is refused: qpdf joins the content
// streams of a page in memory, and a 29 KB file can name one large stream a hundred times.
constexpr size_t kMaximumBackdropContent = size_t(64) << 20;

// Counts decoded content and stops the decoder at the limit.
class ContentBudget : public Pipeline {
  public:
    ContentBudget() : Pipeline("backdrop budget", nullptr) {}
    void write(unsigned char const*, size_t length) override {
        used_ += length;
        if (exceeded()) throw std::runtime_error("backdrop content over budget");
    }
    void finish() override {}
    bool exceeded() const { return used_ > kMaximumBackdropContent; }

  private:
    size_t used_ = 0;
};

// Throws when the page's content streams, as often as the page names them, decode to more
// than kMaximumBackdropContent.
void checkBackdropContentSize(QPDFPageObjectHelper& page) {
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    std::vector<QPDFObjectHandle> streams;
    if (contents.isArray())
        for (int i = 0; i < contents.getArrayNItems(); ++i)
            streams.push_back(contents.getArrayItem(i));
    else
        streams.push_back(contents);
    ContentBudget budget;
    for (auto& stream : streams) {
        if (!stream.isStream()) continue;
        try {
            stream.pipeStreamData(&budget, 0, qpdf_dl_generalized, true);
        } catch (const std::exception&) {
            // over budget (checked below), or damaged data qpdf reports when placing the page
        }
        if (budget.exceeded())
            throw std::runtime_error("its first page holds more than " +
                                     std::to_string(kMaximumBackdropContent >> 20) +
                                     " MiB of content");
    }
}

// Places the first page of each backdrop PDF under the content of its page, as a form XObject.
QByteArray underlayBackdrops(const QByteArray& rendered, const std::vector<QByteArray>& backdrops,
                             std::string* error) {
    try {
        QPDF output;
        output.processMemoryFile("rendered", rendered.constData(), size_t(rendered.size()));
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(output).getAllPages();
        std::map<QByteArray, std::shared_ptr<QPDF>> sources;  // kept alive until written
        std::map<QByteArray, QPDFObjectHandle> forms;
        for (size_t i = 0; i < pages.size() && i < backdrops.size(); ++i) {
            const QByteArray& backdrop = backdrops[i];
            if (backdrop.isEmpty()) continue;
            if (!forms.count(backdrop)) {
                auto source = std::make_shared<QPDF>();
                source->setSuppressWarnings(true);
                source->processMemoryFile("backdrop", backdrop.constData(),
                                          size_t(backdrop.size()));
                auto sourcePages = QPDFPageDocumentHelper(*source).getAllPages();
                if (sourcePages.empty()) continue;
                checkBackdropContentSize(sourcePages.front());
                forms[backdrop] =
                    output.copyForeignObject(sourcePages.front().getFormXObjectForPage());
                sources[backdrop] = source;
            }
            QPDFPageObjectHelper& page = pages[i];
            QPDFObjectHandle resources = page.getAttribute("/Resources", true);
            if (!resources.hasKey("/XObject"))
                resources.replaceKey("/XObject", QPDFObjectHandle::newDictionary());
            int suffix = 0;
            std::string name = resources.getUniqueResourceName("/Fx", suffix);
            resources.getKey("/XObject").replaceKey(name, forms[backdrop]);
            std::string content = page.placeFormXObject(
                forms[backdrop], name, page.getMediaBox().getArrayAsRectangle(), true, true, true);
            page.addPageContents(QPDFObjectHandle::newStream(&output, "q\n" + content + "\nQ\n"),
                                 true);
        }
        QPDFWriter writer(output);
        writer.setOutputMemory();
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                          qsizetype(buffer->getSize()));
    } catch (const std::exception& e) {
        fail(error, std::string("cannot place the backdrop: ") + e.what());
        return {};
    }
}

bool isTotalsSection(const std::string& identifier) {
    return identifier == "subtotal" || identifier == "net" || identifier == "tax" ||
           identifier == "total" || identifier == "bank" || identifier == "footer";
}

// The sections that must move to the next page so the totals block (net, taxes, amount due,
// payee account and payment code, payment terms) stands on one page: the block from its first
// section on, when it would be split here and something else precedes it on this page. Empty when
// nothing needs to move.
SectionList totalsCarriedOver(
    const SFLayoutPageView& page, const SectionList& pending,
    const std::map<const SFLayoutTableSectionView*, std::string>& identifiers) {
    auto table = page.tableView();
    if (!table) return {};
    const double tableHeight = table->frame().height();
    auto identifierOf = [&](size_t i) {
        auto found = identifiers.find(pending[i].get());
        return found == identifiers.end() ? std::string() : found->second;
    };
    // How many sections fit, the way the table area will place them.
    size_t fitting = 0;
    double y = 0;
    for (; fitting < pending.size(); ++fitting) {
        double height = std::min(pending[fitting]->frame().height(), tableHeight * 0.5);
        if (y + height > tableHeight) break;
        y += height;
    }
    if (fitting == pending.size()) return {};
    size_t start = 0;
    while (start < pending.size() && !isTotalsSection(identifierOf(start))) ++start;
    if (start >= fitting || !isTotalsSection(identifierOf(fitting))) return {};
    size_t content = 0;  // the header and lead start every page
    while (content < pending.size() &&
           (identifierOf(content) == "header" || identifierOf(content) == "lead"))
        ++content;
    if (start <= content) return {};  // already at the top: moving would not help
    return SectionList(pending.begin() + long(start), pending.end());
}

// The bytes of an attachment written in base64; none when the text is not base64 or the bytes
// would exceed what Pagewright accepts as one embedded file.
std::optional<std::string> decodedAttachment(const model::EmbeddedAttachment& attachment) {
    QByteArray text;
    text.reserve(static_cast<qsizetype>(attachment.base64.size()));
    for (char c : attachment.base64)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') text.append(c);
    if (static_cast<size_t>(text.size()) / 4 * 3 >
        pagewright::PagewrightPDFDocument::kMaximumAttachmentSize)
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    return decoded.decoded.toStdString();
}

// The rendered PDF rebuilt by Pagewright with the invoice's embedded attachments as embedded
// files. Attachments that cannot be decoded are left out (they stay listed on the page).
QByteArray withEmbeddedAttachments(const QByteArray& rendered, const LLInvoice& invoice,
                                   std::string* error) {
    pagewright::PagewrightPDFDocument::AttachmentList files;
    for (const auto& attachment : invoice.embeddedAttachments) {
        auto bytes = decodedAttachment(attachment);
        if (!bytes) {
            platform::logLine("attachment " + attachment.name +
                              " is not embedded: not base64 or too large");
            continue;
        }
        auto file =
            attachment.mimeType.empty()
                ? pagewright::PagewrightPDFDocumentAttachment::attachmentWithDataName(
                      std::move(*bytes), attachment.name)
                : pagewright::PagewrightPDFDocumentAttachment::attachmentWithDataNameMimeType(
                      std::move(*bytes), attachment.name, attachment.mimeType);
        if (!attachment.description.empty()) file->setFileDescription(attachment.description);
        files.push_back(std::move(file));
    }
    if (files.empty()) return rendered;
    platform::Error problem;
    auto document =
        pagewright::PagewrightPDFDocument::initWithData(rendered.toStdString(), &problem);
    // Set as a whole: addAttachment() refuses a name contained in an earlier one.
    if (document) document->setAttachments(std::move(files));
    auto bytes = document ? document->dataRepresentation(&problem) : std::nullopt;
    if (!bytes) {
        fail(error, "cannot embed the attachments: " + problem.localizedDescription);
        return {};
    }
    return QByteArray::fromStdString(*bytes);
}

// Texts above the table grow with their values (many references): the table then starts
// below the lowest of them instead of being drawn over them.
void makeRoomAboveTable(SFLayoutPageView& page) {
    auto table = page.tableView();
    if (!table) return;
    QRectF frame = table->frame();
    double top = frame.top();
    for (const auto& view : page.subviews())
        if (view != table && view->frame().top() < frame.top())
            top = std::max(top, view->frame().bottom() + 6.0);
    if (top <= frame.top() || top >= frame.bottom() - 100.0) return;
    frame.setTop(top);
    table->setFrame(frame);
}

}  // namespace

LLInvoiceRenderer::LLInvoiceRenderer(LayoutTemplate layoutTemplate)
    : template_(std::move(layoutTemplate)) {}

std::shared_ptr<SFLayoutTableSectionView> LLInvoiceRenderer::filledSection(
    const std::string& identifier, const std::optional<SubstitutionDictionary>& values) const {
    auto section = template_.tableSectionWithIdentifier(identifier);
    if (!section) {
        platform::logLine("Layout template has no section \"" + identifier + "\"; skipped");
        return nullptr;
    }
    section->substituteValues(values ? *values : SubstitutionDictionary{});
    return section;
}

std::vector<LLInvoiceRenderer::Section> LLInvoiceRenderer::sectionsForInvoice(
    const LLInvoice& invoice) const {
    std::vector<Section> sections;
    auto add = [&](const std::string& identifier,
                   const std::optional<SubstitutionDictionary>& values) {
        if (auto section = filledSection(identifier, values))
            sections.push_back({identifier, std::move(section)});
    };
    const std::optional<SubstitutionDictionary> document = invoice.substitutionDictionary();
    if (invoice.items)
        for (size_t position = 0; position < invoice.items->size(); ++position) {
            auto values = (*invoice.items)[position]->substitutionDictionary();
            // A line whose identifier is too long for the column shows its running number.
            if (values && !values->count("index") && (*invoice.items)[position]->lineID)
                (*values)["index"] = std::to_string(position + 1);
            add("item", values);
        }
    if (invoice.notes)
        for (const auto& note : *invoice.notes) add("notes", note->substitutionDictionary());
    auto has = [&](const char* key) { return document && document->count(key) > 0; };
    if (has("document.otherreferences")) add("references", document);
    if (has("document.attachments")) add("attachments", document);
    if (invoice.allowancesCharges && !invoice.allowancesCharges->empty()) {
        // Allowance rows show the sum of the lines, not the invoice's net amount.
        platform::Decimal net(0);
        if (invoice.items)
            for (const auto& item : *invoice.items)
                if (item->lineTotalAmount) net += *item->lineTotalAmount;
        for (const auto& allowance : *invoice.allowancesCharges)
            add("discount", allowance->substitutionDictionaryWithNet(net));
    }
    // The totals block: net, one row per tax, then gross, prepayments, rounding, withholding
    // and the amount due together in "total".
    // One row per total so every amount stands in the same column.
    auto row = [&](const char* label, const char* key) {
        if (!has(key)) return;
        SubstitutionDictionary values{{"label", platform::localizedString(label)},
                                      {"amount", document->at(key)}};
        if (std::string(key) == "document.withholding")
            values["label"] = document->at("document.withholdinglabel");
        add("subtotal", values);
    };
    row("Sum of lines", "document.linetotal");
    row("Allowances", "document.allowancetotal");
    row("Charges", "document.chargetotal");
    add("net", document);
    if (invoice.taxes)
        for (const auto& tax : *invoice.taxes) add("tax", tax->substitutionDictionary());
    row("Total (gross)", "document.grossamount");
    row("Prepaid", "document.prepaid");
    row("Stamp duty", "document.stampduty");
    row("Rounding", "document.rounding");
    row("Withholding tax", "document.withholding");
    add("total", document);
    if (has("payment.accounts") || has("document.paymentreference") || has("qr.iban"))
        add("bank", document);
    if (invoice.conditions && !invoice.conditions->empty()) add("footer", document);
    return sections;
}

std::vector<LLInvoiceRenderer::Page> LLInvoiceRenderer::layoutPages(const LLInvoice& invoice,
                                                                    bool drawBackdrop) const {
    std::vector<Page> pages;
    std::vector<Section> sections = sectionsForInvoice(invoice);
    if (sections.empty()) return pages;
    const std::optional<SubstitutionDictionary> document = invoice.substitutionDictionary();
    // Page numbers are known only when all pages are laid out: the first pass keeps their
    // placeholders (a value holding its own placeholder is inserted as it is), the last fills them.
    SubstitutionDictionary pageValues = document ? *document : SubstitutionDictionary{};
    pageValues[kPageNumberKey] = "<" + std::string(kPageNumberKey) + "/>";
    pageValues[kPageCountKey] = "<" + std::string(kPageCountKey) + "/>";
    std::map<const SFLayoutTableSectionView*, std::string> identifiers;
    for (const auto& section : sections) identifiers[section.view.get()] = section.identifier;

    SectionList pending;
    for (const auto& section : sections) pending.push_back(section.view);
    std::string pageName = "firstpage";
    while (true) {
        if (auto header = template_.tableSectionWithIdentifier("header")) {
            identifiers[header.get()] = "header";
            pending.insert(pending.begin(), header);
        }
        if (pageName == "firstpage" && invoice.lead) {
            if (auto lead = filledSection("lead", document)) {
                identifiers[lead.get()] = "lead";
                pending.insert(pending.begin(), lead);
            }
        }
        auto page = template_.tablePageWithIdentifier(pageName);
        if (!page) {
            platform::logLine("Layout template has no page \"" + pageName + "\"");
            break;
        }
        page->substituteValues(pageValues);
        makeRoomAboveTable(*page);
        SectionList carried = totalsCarriedOver(*page, pending, identifiers);
        SectionList placed(pending.begin(), pending.end() - long(carried.size()));
        std::optional<SectionList> remainder = page->populateItems(placed);
        if (!carried.empty()) remainder = carried;
        if (!backdropOverride_.isEmpty()) {
            page->pdfData = backdropOverride_;
            page->updateBackdrop();
        }
        page->drawBackdrop = drawBackdrop;
        Page laidOut{pageName, page, {}};
        if (auto table = page->tableView())
            for (const auto& placed : table->subviews())
                laidOut.sectionIdentifiers.push_back(
                    identifiers[dynamic_cast<const SFLayoutTableSectionView*>(placed.get())]);
        pages.push_back(std::move(laidOut));
        pageName = "middlepage";
        if (!remainder || remainder->empty()) break;
        pending = *remainder;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        const SubstitutionDictionary numbers{{kPageNumberKey, std::to_string(i + 1)},
                                             {kPageCountKey, std::to_string(pages.size())}};
        auto table = pages[i].view->tableView();
        for (const auto& subview : pages[i].view->subviews())
            if (subview != table) subview->substituteValues(numbers);
    }
    return pages;
}

QByteArray LLInvoiceRenderer::renderPDF(const std::vector<Page>& pages, const std::string& title,
                                        std::string* error) {
    if (pages.empty()) {
        fail(error, "nothing to lay out");
        return {};
    }
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);  // one device unit is one point, like the layout
        writer.setCreator(QStringLiteral("Ledgerlens"));
        writer.setTitle(QString::fromStdString(title));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(pageSizeOf(*pages.front().view));
        QPainter painter;
        if (!painter.begin(&writer)) {
            fail(error, "cannot start the PDF writer");
            return {};
        }
        const DrawContext context{false};
        for (size_t i = 0; i < pages.size(); ++i) {
            if (i > 0) {
                writer.setPageSize(pageSizeOf(*pages[i].view));
                writer.newPage();
            }
            pages[i].view->display(painter, context);
        }
        painter.end();
    }
    std::vector<QByteArray> backdrops;
    bool anyBackdrop = false;
    for (const auto& page : pages) {
        backdrops.push_back(page.view->drawBackdrop ? page.view->image : QByteArray());
        anyBackdrop = anyBackdrop || !backdrops.back().isEmpty();
    }
    if (!anyBackdrop) return bytes;
    return underlayBackdrops(bytes, backdrops, error);
}

QByteArray LLInvoiceRenderer::buildPDFWithBackDrop(const LLInvoice& invoice, bool drawBackdrop,
                                                   std::string* error) const {
    std::vector<Page> pages = layoutPages(invoice, drawBackdrop);
    if (pages.empty()) {
        fail(error, "the layout template gives no pages for this invoice");
        return {};
    }
    std::string title = platform::localizedString(model::documentTitleKey(invoice.documentKind));
    if (invoice.number) title += " " + *invoice.number;
    QByteArray bytes = renderPDF(pages, title, error);
    if (bytes.isEmpty() || invoice.embeddedAttachments.empty()) return bytes;
    return withEmbeddedAttachments(bytes, invoice, error);
}

}  // namespace layout
