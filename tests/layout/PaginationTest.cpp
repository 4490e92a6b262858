#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "LayoutTestSupport.h"
#include "layout/LLInvoiceRenderer.h"
#include "layout/SFLayoutPageView.h"
#include "layout/SFLayoutTablePreviewView.h"
#include "layout/SFLayoutTableSectionView.h"

using namespace layout;
using platform::Decimal;

namespace {

std::shared_ptr<SFLayoutTableSectionView> band(double height) {
    auto section = std::make_shared<SFLayoutTableSectionView>();
    section->setFrame(QRectF(0, 0, 300, height));
    return section;
}

QJsonObject textAt(const QString& html, double y = 0) {
    return {{"class", "SFLayoutTextView"}, {"frame", QJsonArray{0, y, 400, 12}}, {"html", html}};
}

QJsonObject section(const QString& html) {
    return {{"class", "SFLayoutTableSectionView"},
            {"frame", QJsonArray{0, 0, 400, 20}},
            {"subviews", QJsonArray{textAt(html)}}};
}

QJsonObject page(double tableY, const QString& html) {
    return {{"class", "SFLayoutPageView"},
            {"frame", QJsonArray{0, 0, 595, 842}},
            {"subviews",
             QJsonArray{textAt(html, 20),
                        QJsonObject{{"class", "SFLayoutTablePreviewView"},
                                    {"frame", QJsonArray{50, tableY, 400, 700 - tableY}}}}}};
}

LayoutTemplate invoiceTemplate() {
    QJsonArray sections;
    for (const char* id : {"item", "notes", "discount", "net", "tax", "totalBeforePayments",
                           "payment", "total", "footer", "header", "lead"}) {
        QString html = QString("%1 ").arg(id);
        if (QString(id) == "item") html += "&lt;title/&gt;";
        if (QString(id) == "discount") html += "&lt;net/&gt;";
        if (QString(id) == "payment") html += "&lt;amount/&gt;";
        sections.append(QJsonObject{{"identifier", id}, {"view", section(html)}});
    }
    QJsonObject root{
        {"tableSections", sections},
        {"pages",
         QJsonArray{
             QJsonObject{{"name", "firstpage"},
                         {"view", page(300, "first &lt;document.number/&gt;")}},
             QJsonObject{{"name", "middlepage"},
                         {"view", page(100, "middle &lt;page.number/&gt;/&lt;page.count/&gt;")}}}}};
    return *LayoutTemplate::fromJson(QJsonDocument(root).toJson(), ArchiveContext{});
}

std::shared_ptr<model::LLInvoice> invoiceWithLines(int count) {
    auto invoice = std::make_shared<model::LLInvoice>();
    invoice->number = "R-1";
    invoice->items.emplace();
    for (int i = 0; i < count; ++i) {
        auto item = std::make_shared<model::LLInvoiceItem>();
        item->productName = "Line " + std::to_string(i + 1);
        item->lineTotalAmount = Decimal(10 * (i + 1));
        invoice->items->push_back(item);
    }
    invoice->taxes.emplace();
    invoice->taxes->push_back(std::make_shared<model::LLInvoiceTax>());
    return invoice;
}

std::vector<std::string> ids(const std::vector<LLInvoiceRenderer::Section>& sections) {
    std::vector<std::string> out;
    for (const auto& s : sections) out.push_back(s.identifier);
    return out;
}

using Ids = std::vector<std::string>;

}  // namespace

TEST(TableLayout, ExactFitHalfHeightCutAndRemainder) {
    SFLayoutTablePreviewView table;
    table.setFrame(QRectF(0, 0, 300, 100));
    auto remainder = table.populateItems({band(40), band(50), band(10), band(1)});
    ASSERT_TRUE(remainder);
    EXPECT_EQ(remainder->size(), 1u);  // 40 + 50 + 10 fills exactly; the next does not fit
    EXPECT_EQ(table.subviews()[1]->frame(), QRectF(0, 40, 300, 50));

    SFLayoutTablePreviewView tight;
    tight.setFrame(QRectF(0, 0, 300, 200));
    auto over = band(40.001);
    remainder = tight.populateItems({band(100), band(60), over});
    ASSERT_EQ(remainder->size(), 1u);
    EXPECT_EQ((*remainder)[0], over);  // 0.001 point more moves on

    SFLayoutTablePreviewView cut;
    cut.setFrame(QRectF(0, 0, 300, 100));
    auto tall = band(500);
    EXPECT_TRUE(cut.populateItems({tall})->empty());
    EXPECT_EQ(tall->frame().height(), 50);  // cut to half the table

    SFLayoutPageView noTable;
    EXPECT_FALSE(noTable.populateItems({band(1)}));
}

TEST(InvoiceRenderer, SectionOrder) {
    LLInvoiceRenderer renderer(invoiceTemplate());
    auto invoice = invoiceWithLines(3);
    EXPECT_EQ(ids(renderer.sectionsForInvoice(*invoice)),
              (Ids{"item", "item", "item", "net", "tax", "total"}));

    invoice->conditions = "30 days";
    invoice->prepaidAmount = Decimal(0);
    EXPECT_EQ(ids(renderer.sectionsForInvoice(*invoice)),
              (Ids{"item", "item", "item", "net", "tax", "total", "footer"}));

    invoice->prepaidAmount = Decimal(-20);
    invoice->notes.emplace();
    invoice->notes->push_back(std::make_shared<model::LLInvoiceNote>());
    invoice->allowancesCharges.emplace();
    auto allowance = std::make_shared<model::LLInvoiceAllowanceCharge>();
    invoice->allowancesCharges->push_back(allowance);
    invoice->netAmount = Decimal(999);
    auto sections = renderer.sectionsForInvoice(*invoice);
    // Gross and prepayment are rows of "total" itself, so the totals stay one block.
    EXPECT_EQ(ids(sections),
              (Ids{"item", "item", "item", "notes", "discount", "net", "tax", "total", "footer"}));
    // The allowance row gets the sum of the lines (10 + 20 + 30), not the net amount.
    auto text = std::dynamic_pointer_cast<SFLayoutTextView>(sections[4].view->subviews()[0]);
    EXPECT_TRUE(text->plainText().startsWith("discount 60")) << text->plainText().toStdString();
}

TEST(InvoiceRenderer, TheTotalsBlockIsNeverSplitAcrossPages) {
    LLInvoiceRenderer renderer(invoiceTemplate());
    int splitsAvoided = 0;
    // Enough line counts that the page break falls at every place inside the block.
    for (int lines = 10; lines <= 70; ++lines) {
        auto invoice = invoiceWithLines(lines);
        invoice->conditions = "Payable within 30 days";
        for (int i = 0; i < 4; ++i)
            invoice->taxes->push_back(std::make_shared<model::LLInvoiceTax>());
        auto pages = renderer.layoutPages(*invoice, false);
        size_t withTotals = 0;
        for (const auto& page : pages) {
            const auto& on = page.sectionIdentifiers;
            auto count = [&](const char* id) {
                return std::count(on.begin(), on.end(), std::string(id));
            };
            if (count("net") + count("tax") + count("total") == 0) continue;
            ++withTotals;
            EXPECT_EQ(count("net"), 1) << lines << " lines";
            EXPECT_EQ(count("tax"), 5) << lines << " lines";
            EXPECT_EQ(count("total"), 1) << lines << " lines";
            // The payment terms go with the amount due, not alone onto a page of their own.
            EXPECT_EQ(count("footer"), 1) << lines << " lines";
            // Never the block alone under the header while lines could have preceded it.
            if (on.size() > 1 && on[1] == "net" && &page != &pages.front()) ++splitsAvoided;
        }
        EXPECT_EQ(withTotals, 1u) << lines << " lines";
        size_t items = 0;
        for (const auto& page : pages)
            items += size_t(std::count(page.sectionIdentifiers.begin(),
                                       page.sectionIdentifiers.end(), std::string("item")));
        EXPECT_EQ(items, size_t(lines));
    }
    EXPECT_GT(splitsAvoided, 0);
}

TEST(InvoiceRenderer, PagesRepeatTheHeaderAndLeadStandsOnTheFirstOnly) {
    LLInvoiceRenderer renderer(invoiceTemplate());
    auto small = invoiceWithLines(3);
    auto pages = renderer.layoutPages(*small, false);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].sectionIdentifiers,
              (Ids{"header", "item", "item", "item", "net", "tax", "total"}));

    auto large = invoiceWithLines(60);
    large->lead = "";  // present, even when empty
    pages = renderer.layoutPages(*large, false);
    ASSERT_GE(pages.size(), 2u);
    EXPECT_EQ(pages[0].name, "firstpage");
    EXPECT_EQ(pages[0].sectionIdentifiers[0], "lead");
    EXPECT_EQ(pages[0].sectionIdentifiers[1], "header");
    size_t items = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) {
            EXPECT_EQ(pages[i].name, "middlepage");
            EXPECT_EQ(pages[i].sectionIdentifiers[0], "header");
        }
        EXPECT_EQ(std::count(pages[i].sectionIdentifiers.begin(), pages[i].sectionIdentifiers.end(),
                             std::string("lead")),
                  i == 0 ? 1 : 0);
        items += size_t(std::count(pages[i].sectionIdentifiers.begin(),
                                   pages[i].sectionIdentifiers.end(), std::string("item")));
    }
    EXPECT_EQ(items, 60u);
    EXPECT_EQ(pages.back().sectionIdentifiers.back(), "total");
    // The page's own texts are filled with the invoice values.
    auto header = std::dynamic_pointer_cast<SFLayoutTextView>(pages[0].view->subviews()[0]);
    EXPECT_EQ(header->plainText(), "first R-1");
    auto second = std::dynamic_pointer_cast<SFLayoutTextView>(pages[1].view->subviews()[0]);
    EXPECT_EQ(second->plainText(), QString("middle 2/%1").arg(pages.size()));
}

TEST(InvoiceRenderer, PDFOutputAndBackdrop) {
    LLInvoiceRenderer renderer(invoiceTemplate());
    auto invoice = invoiceWithLines(60);
    std::string error;
    QByteArray pdf = renderer.buildPDFWithBackDrop(*invoice, false, &error);
    ASSERT_FALSE(pdf.isEmpty()) << error;
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_GE(pdf.count("/Type /Page\n") + pdf.count("/Type/Page\n") + pdf.count("/Type /Page "),
              0);

    // A letterhead: a one-page PDF made by the same writer.
    model::LLInvoice letterInvoice;
    letterInvoice.number = "LETTERHEAD";
    letterInvoice.items.emplace();
    letterInvoice.items->push_back(std::make_shared<model::LLInvoiceItem>());
    QByteArray letterhead = renderer.buildPDFWithBackDrop(letterInvoice, false);
    ASSERT_FALSE(letterhead.isEmpty());
    renderer.setBackdropOverride(letterhead);
    QByteArray with = renderer.buildPDFWithBackDrop(*invoice, true, &error);
    QByteArray without = renderer.buildPDFWithBackDrop(*invoice, false, &error);
    ASSERT_FALSE(with.isEmpty()) << error;
    EXPECT_TRUE(with.contains("/Fx"));
    EXPECT_FALSE(without.contains("/Fx"));

    model::LLInvoice nothing;
    LLInvoiceRenderer empty(*LayoutTemplate::fromJson("{}", ArchiveContext{}));
    EXPECT_TRUE(empty.buildPDFWithBackDrop(nothing, false, &error).isEmpty());
    EXPECT_FALSE(error.empty());
}
