#include "layout/LLInvoiceRenderer.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <deque>
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

std::vector<LLInvoiceRenderer::SectionRecipe> LLInvoiceRenderer::sectionRecipes(
    const LLInvoice& invoice,
    const std::shared_ptr<const std::optional<SubstitutionDictionary>>& document) const {
    std::vector<SectionRecipe> recipes;
    auto withDocument = [document] { return *document; };
    if (invoice.items) {
        recipes.reserve(invoice.items->size() + 16);
        for (size_t position = 0; position < invoice.items->size(); ++position) {
            const model::LLInvoiceItem* item = (*invoice.items)[position].get();
            recipes.push_back({"item", [item, position] {
                                   auto values = item->substitutionDictionary();
                                   // A line whose identifier is too long for the column shows
                                   // its running number.
                                   if (values && !values->count("index") && item->lineID)
                                       (*values)["index"] = std::to_string(position + 1);
                                   return values;
                               }});
        }
    }
    if (invoice.notes)
        for (const auto& note : *invoice.notes)
            recipes.push_back(
                {"notes", [note = note.get()] { return note->substitutionDictionary(); }});
    auto has = [&](const char* key) { return *document && (*document)->count(key) > 0; };
    if (has("document.otherreferences")) recipes.push_back({"references", withDocument});
    if (has("document.attachments")) recipes.push_back({"attachments", withDocument});
    if (invoice.allowancesCharges && !invoice.allowancesCharges->empty()) {
        // Allowance rows show the sum of the lines, not the invoice's net amount.
        platform::Decimal net(0);
        if (invoice.items)
            for (const auto& item : *invoice.items)
                if (item->lineTotalAmount) net += *item->lineTotalAmount;
        for (const auto& allowance : *invoice.allowancesCharges)
            recipes.push_back({"discount", [allowance = allowance.get(), net] {
                                   return allowance->substitutionDictionaryWithNet(net);
                               }});
    }
    // The totals block: net, one row per tax, then gross, prepayments, rounding, withholding
    // and the amount due together in "total".
    // One row per total so every amount stands in the same column.
    auto row = [&](const char* label, const char* key) {
        if (!has(key)) return;
        SubstitutionDictionary values{{"label", platform::localizedString(label)},
                                      {"amount", (*document)->at(key)}};
        if (std::string(key) == "document.withholding")
            values["label"] = (*document)->at("document.withholdinglabel");
        recipes.push_back({"subtotal", [values = std::move(values)]() {
                               return std::optional<SubstitutionDictionary>(values);
                           }});
    };
    row("Sum of lines", "document.linetotal");
    row("Allowances", "document.allowancetotal");
    row("Charges", "document.chargetotal");
    recipes.push_back({"net", withDocument});
    if (invoice.taxes)
        for (const auto& tax : *invoice.taxes)
            recipes.push_back({"tax", [tax = tax.get()] { return tax->substitutionDictionary(); }});
    row("Total (gross)", "document.grossamount");
    row("Prepaid", "document.prepaid");
    row("Stamp duty", "document.stampduty");
    row("Rounding", "document.rounding");
    row("Withholding tax", "document.withholding");
    recipes.push_back({"total", withDocument});
    if (has("payment.accounts") || has("document.paymentreference") || has("qr.iban"))
        recipes.push_back({"bank", withDocument});
    if (invoice.conditions && !invoice.conditions->empty())
        recipes.push_back({"footer", withDocument});
    return recipes;
}

std::vector<LLInvoiceRenderer::Section> LLInvoiceRenderer::sectionsForInvoice(
    const LLInvoice& invoice) const {
    std::vector<Section> sections;
    auto document = std::make_shared<const std::optional<SubstitutionDictionary>>(
        invoice.substitutionDictionary());
    for (const auto& recipe : sectionRecipes(invoice, document))
        if (auto section = filledSection(recipe.identifier, recipe.values()))
            sections.push_back({recipe.identifier, std::move(section)});
    return sections;
}

// Lays out one page after the other, filling sections only as far as the page being laid out
// needs them: a page's sections plus the first that no longer fits.
class LLInvoiceRenderer::PageStream {
  public:
    PageStream(const LLInvoiceRenderer& renderer, const LLInvoice& invoice, bool drawBackdrop)
        : renderer_(renderer),
          invoice_(invoice),
          drawBackdrop_(drawBackdrop),
          document_(std::make_shared<const std::optional<SubstitutionDictionary>>(
              invoice.substitutionDictionary())),
          recipes_(renderer.sectionRecipes(invoice, document_)) {
        // Page numbers are known only when all pages are laid out: this pass keeps their
        // placeholders (a value holding its own placeholder is inserted as it is), and
        // fillPageNumbers() fills them.
        pageValues_ = *document_ ? **document_ : SubstitutionDictionary{};
        pageValues_[kPageNumberKey] = "<" + std::string(kPageNumberKey) + "/>";
        pageValues_[kPageCountKey] = "<" + std::string(kPageCountKey) + "/>";
        // No page at all when the template has none of the invoice's sections.
        finished_ = !fillOne();
    }

    // The next page with its sections placed, or none after the last.
    std::optional<Page> next() {
        if (finished_) return std::nullopt;
        std::vector<Section> prefix;
        if (auto header = renderer_.template_.tableSectionWithIdentifier("header"))
            prefix.push_back({"header", header});
        if (pageName_ == "firstpage" && invoice_.lead)
            if (auto lead = renderer_.filledSection("lead", *document_))
                prefix.insert(prefix.begin(), {"lead", lead});
        auto page = renderer_.template_.tablePageWithIdentifier(pageName_);
        if (!page) {
            platform::logLine("Layout template has no page \"" + pageName_ + "\"");
            finished_ = true;
            return std::nullopt;
        }
        page->substituteValues(pageValues_);
        makeRoomAboveTable(*page);
        if (auto table = page->tableView()) fillPastPage(table->frame().height(), prefix);

        SectionList pending;
        std::map<const SFLayoutTableSectionView*, std::string> identifiers;
        auto take = [&](const Section& section) {
            pending.push_back(section.view);
            identifiers[section.view.get()] = section.identifier;
        };
        std::for_each(prefix.begin(), prefix.end(), take);
        std::for_each(pending_.begin(), pending_.end(), take);
        SectionList carried = totalsCarriedOver(*page, pending, identifiers);
        SectionList placed(pending.begin(), pending.end() - long(carried.size()));
        std::optional<SectionList> remainder = page->populateItems(placed);
        if (!carried.empty()) remainder = carried;
        if (!renderer_.backdropOverride_.isEmpty()) {
            page->pdfData = renderer_.backdropOverride_;
            page->updateBackdrop();
        }
        page->drawBackdrop = drawBackdrop_;
        Page laidOut{pageName_, page, {}};
        if (auto table = page->tableView())
            for (const auto& section : table->subviews())
                laidOut.sectionIdentifiers.push_back(
                    identifiers[dynamic_cast<const SFLayoutTableSectionView*>(section.get())]);

        std::deque<Section> rest;
        if (remainder)
            for (const auto& view : *remainder) rest.push_back({identifiers[view.get()], view});
        pending_ = std::move(rest);
        pageName_ = "middlepage";
        finished_ = !remainder || (pending_.empty() && nextRecipe_ == recipes_.size());
        return laidOut;
    }

  private:
    // Fills the next section the template has; false when none is left.
    bool fillOne() {
        while (nextRecipe_ < recipes_.size()) {
            SectionRecipe& recipe = recipes_[nextRecipe_++];
            auto section = renderer_.filledSection(recipe.identifier, recipe.values());
            recipe.values = nullptr;  // what it held is not needed again
            if (section) {
                pending_.push_back({recipe.identifier, std::move(section)});
                return true;
            }
        }
        return false;
    }

    // Fills sections until one would not fit into a table of this height after `prefix`, the way
    // the table places them, or until none is left.
    void fillPastPage(double tableHeight, const std::vector<Section>& prefix) {
        double y = 0;
        auto fits = [&](const Section& section) {
            double height = std::min(section.view->frame().height(), tableHeight * 0.5);
            if (y + height > tableHeight) return false;
            y += height;
            return true;
        };
        for (const auto& section : prefix)
            if (!fits(section)) return;
        for (size_t i = 0;; ++i) {
            if (i == pending_.size() && !fillOne()) return;
            if (!fits(pending_[i])) return;
        }
    }

    const LLInvoiceRenderer& renderer_;
    const LLInvoice& invoice_;
    const bool drawBackdrop_;
    const std::shared_ptr<const std::optional<SubstitutionDictionary>> document_;
    std::vector<SectionRecipe> recipes_;
    size_t nextRecipe_ = 0;
    std::deque<Section> pending_;  // filled, not yet placed
    SubstitutionDictionary pageValues_;
    std::string pageName_ = "firstpage";
    bool finished_ = false;
};

namespace {

// Fills the page number placeholders of a page's own texts.
void fillPageNumbers(LLInvoiceRenderer::Page& page, size_t number, size_t count) {
    const SubstitutionDictionary numbers{
        {LLInvoiceRenderer::kPageNumberKey, std::to_string(number)},
        {LLInvoiceRenderer::kPageCountKey, std::to_string(count)}};
    auto table = page.view->tableView();
    for (const auto& subview : page.view->subviews())
        if (subview != table) subview->substituteValues(numbers);
}

// Draws pages into one vector PDF as they come; backdrops are placed when it is finished.
class PdfPageWriter {
  public:
    explicit PdfPageWriter(const std::string& title) : buffer_(&bytes_), title_(title) {}

    bool add(const LLInvoiceRenderer::Page& page, std::string* error) {
        if (!writer_) {
            buffer_.open(QIODevice::WriteOnly);
            writer_ = std::make_unique<QPdfWriter>(&buffer_);
            writer_->setResolution(72);  // one device unit is one point, like the layout
            writer_->setCreator(QStringLiteral("Ledgerlens"));
            writer_->setTitle(QString::fromStdString(title_));
            writer_->setPageMargins(QMarginsF(0, 0, 0, 0));
            writer_->setPageSize(pageSizeOf(*page.view));
            if (!painter_.begin(writer_.get())) {
                fail(error, "cannot start the PDF writer");
                return false;
            }
        } else {
            writer_->setPageSize(pageSizeOf(*page.view));
            writer_->newPage();
        }
        page.view->display(painter_, DrawContext{false});
        backdrops_.push_back(page.view->drawBackdrop ? page.view->image : QByteArray());
        anyBackdrop_ = anyBackdrop_ || !backdrops_.back().isEmpty();
        return true;
    }

    QByteArray finish(std::string* error) {
        if (!writer_) {
            fail(error, "nothing to lay out");
            return {};
        }
        painter_.end();
        writer_.reset();
        buffer_.close();
        if (!anyBackdrop_) return std::move(bytes_);
        return underlayBackdrops(bytes_, backdrops_, error);
    }

  private:
    QByteArray bytes_;
    QBuffer buffer_;
    std::string title_;
    std::unique_ptr<QPdfWriter> writer_;
    QPainter painter_;
    std::vector<QByteArray> backdrops_;  // shared copies of the template's one backdrop
    bool anyBackdrop_ = false;
};

// Pages of at most this many sections in all are kept from counting to drawing; larger
// invoices are laid out twice rather than held in memory (a filled line takes about 120 KB).
constexpr size_t kSectionsKeptWhileCounting = 400;

}  // namespace

std::vector<LLInvoiceRenderer::Page> LLInvoiceRenderer::layoutPages(const LLInvoice& invoice,
                                                                    bool drawBackdrop) const {
    std::vector<Page> pages;
    PageStream stream(*this, invoice, drawBackdrop);
    while (auto page = stream.next()) pages.push_back(std::move(*page));
    for (size_t i = 0; i < pages.size(); ++i) fillPageNumbers(pages[i], i + 1, pages.size());
    return pages;
}

QByteArray LLInvoiceRenderer::renderPDF(const std::vector<Page>& pages, const std::string& title,
                                        std::string* error) {
    PdfPageWriter writer(title);
    for (const auto& page : pages)
        if (!writer.add(page, error)) return {};
    return writer.finish(error);
}

QByteArray LLInvoiceRenderer::buildPDFWithBackDrop(const LLInvoice& invoice, bool drawBackdrop,
                                                   std::string* error) const {
    // The page count stands on every page, so the pages are counted first.
    std::vector<Page> kept;
    size_t keptSections = 0;
    bool keeping = true;
    size_t count = 0;
    {
        PageStream counting(*this, invoice, drawBackdrop);
        while (auto page = counting.next()) {
            ++count;
            keptSections += page->sectionIdentifiers.size();
            keeping = keeping && keptSections <= kSectionsKeptWhileCounting;
            if (keeping)
                kept.push_back(std::move(*page));
            else
                kept.clear();
        }
    }
    if (count == 0) {
        fail(error, "the layout template gives no pages for this invoice");
        return {};
    }
    std::string title = platform::localizedString(model::documentTitleKey(invoice.documentKind));
    if (invoice.number) title += " " + *invoice.number;
    PdfPageWriter writer(title);
    size_t number = 0;
    auto write = [&](Page& page) {
        fillPageNumbers(page, ++number, count);
        return writer.add(page, error);
    };
    if (keeping) {
        for (auto& page : kept) {
            if (!write(page)) return {};
            page = Page{};  // drawn: its layout is not needed any more
        }
    } else {
        PageStream drawing(*this, invoice, drawBackdrop);
        while (auto page = drawing.next())
            if (!write(*page)) return {};
    }
    QByteArray bytes = writer.finish(error);
    if (bytes.isEmpty() || invoice.embeddedAttachments.empty()) return bytes;
    return withEmbeddedAttachments(bytes, invoice, error);
}

}  // namespace layout
