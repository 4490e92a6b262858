#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>

#include "LayoutTestSupport.h"
#include "layout/CVLayoutSEPAQRCodeView.h"
#include "layout/LayoutTemplate.h"
#include "layout/SFLayoutImageView.h"
#include "layout/SFLayoutPageView.h"
#include "layout/SFLayoutTablePreviewView.h"
#include "layout/SFLayoutTableSectionView.h"

using namespace layout;

namespace {

QJsonObject text(const QString& html, QRectF frame, const char* cls = "SFLayoutTextView") {
    return {{"class", cls},
            {"frame", QJsonArray{frame.x(), frame.y(), frame.width(), frame.height()}},
            {"html", html}};
}

LayoutTemplate sampleTemplate() {
    QJsonObject first{{"class", "CVLayoutTableSectionView"},
                      {"frame", QJsonArray{0, 0, 400, 20}},
                      {"lineAfterSize", 0.2},
                      {"subviews", QJsonArray{text("first &lt;a/&gt;", {0, 0, 400, 12})}}};
    QJsonObject second{{"class", "SFLayoutTableSectionView"},
                       {"frame", QJsonArray{0, 0, 400, 20}},
                       {"spaceAfterSize", 8},
                       {"backgroundColor", "#ff0000"},
                       {"subviews", QJsonArray{text("second", {0, 0, 400, 12})}}};
    QJsonObject page{{"class", "CVLayoutPageView"},
                     {"frame", QJsonArray{0, 0, 595, 842}},
                     {"subviews", QJsonArray{text("{{Invoice}} &lt;n/&gt;", {50, 50, 200, 20}),
                                             QJsonObject{{"class", "NoSuchView"}},
                                             QJsonObject{{"class", "CVLayoutTablePreviewView"},
                                                         {"frame", QJsonArray{50, 300, 400, 400}}},
                                             QJsonObject{{"class", "SFLayoutTablePreviewView"},
                                                         {"frame", QJsonArray{0, 0, 1, 1}}}}}};
    QJsonObject root{
        {"tableSections", QJsonArray{QJsonObject{{"identifier", "item"}, {"view", first}},
                                     QJsonObject{{"identifier", "item"}, {"view", second}},
                                     QJsonObject{{"identifier", "empty"}}}},
        {"pages", QJsonArray{QJsonObject{{"name", "firstpage"}, {"view", page}}}}};
    ArchiveContext context;
    context.translate = [](const QString& key) { return key == "Invoice" ? "Rechnung" : key; };
    auto result = LayoutTemplate::fromJson(QJsonDocument(root).toJson(), context);
    EXPECT_TRUE(result);
    return *result;
}

}  // namespace

TEST(LayoutTemplate, LookupDefaultsAliasesAndLabels) {
    LayoutTemplate layout = sampleTemplate();
    auto item = layout.tableSectionWithIdentifier("item");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->className(), "CVLayoutTableSectionView");  // the first entry wins
    EXPECT_EQ(item->spaceAfterSize, 5);
    EXPECT_EQ(item->backgroundColor, QColor::fromRgbF(0.8f, 0.8f, 0.8f));
    EXPECT_EQ(item->lineBeforeColor, QColor(Qt::black));
    EXPECT_FLOAT_EQ(item->lineAfterSize, 0.2f);
    EXPECT_FALSE(layout.tableSectionWithIdentifier("Item"));  // exact, case-sensitive
    EXPECT_FALSE(layout.tableSectionWithIdentifier("empty"));
    EXPECT_FALSE(layout.tablePageWithIdentifier("middlepage"));

    auto page = layout.tablePageWithIdentifier("firstpage");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->subviews().size(), 3u);  // the unknown class is skipped
    auto label = std::dynamic_pointer_cast<SFLayoutTextView>(page->subviews()[0]);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->plainText(), "Rechnung <n/>");
    ASSERT_TRUE(page->tableView());
    EXPECT_EQ(page->tableView()->frame(), QRectF(50, 300, 400, 400));  // the first table area
    EXPECT_EQ(page->tableView()->className(), "CVLayoutTablePreviewView");

    auto missing = LayoutTemplate::load("/nonexistent/Light.corvina");
    EXPECT_FALSE(missing);
    EXPECT_FALSE(LayoutTemplate::fromJson("[1,2", ArchiveContext{}));
}

TEST(LayoutTemplate, ClonesAreIndependentAndKeepEveryField) {
    LayoutTemplate layout = sampleTemplate();
    auto changed = layout.tableSectionWithIdentifier("item");
    changed->substituteValues(dict({{"a", std::string("changed")}}));
    changed->setFrame(QRectF(1, 2, 3, 4));
    changed->lineBeforeSize = 7;
    changed->showColors = true;
    auto again = layout.tableSectionWithIdentifier("item");
    EXPECT_EQ(again->frame(), QRectF(0, 0, 400, 20));
    EXPECT_EQ(again->lineBeforeSize, 0);
    auto text = std::dynamic_pointer_cast<SFLayoutTextView>(again->subviews()[0]);
    EXPECT_EQ(text->plainText(), "first <a/>");

    auto copy = layout::clone<SFLayoutTableSectionView>(*changed);
    EXPECT_EQ(copy->frame(), QRectF(1, 2, 3, 4));
    EXPECT_EQ(copy->lineBeforeSize, 7);
    EXPECT_FALSE(copy->showColors);  // not archived
    EXPECT_EQ(std::dynamic_pointer_cast<SFLayoutTextView>(copy->subviews()[0])->plainText(),
              "first changed");

    auto page = layout.tablePageWithIdentifier("firstpage");
    page->drawBackdrop = true;
    page->pdfData = "not a pdf";
    page->updateBackdrop();
    EXPECT_TRUE(page->image.isEmpty());
    EXPECT_FALSE(layout::clone<SFLayoutPageView>(*page)->drawBackdrop);
}

TEST(LayoutTemplate, RulesAndImagesDrawing) {
    DrawContext screen{true};
    DrawContext pdf{false};
    EXPECT_EQ(SFLayoutTableSectionView::fixedSizeForLineSize(0.2, screen), 0.5);
    EXPECT_EQ(SFLayoutTableSectionView::fixedSizeForLineSize(0.2, pdf), 0.2);
    EXPECT_EQ(SFLayoutTableSectionView::fixedSizeForLineSize(2, screen), 2);

    QImage wide(200, 100, QImage::Format_RGB32);
    wide.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    wide.save(&buffer, "PNG");
    SFLayoutImageView image;
    image.setFrame(QRectF(0, 0, 100, 100));
    image.setData(png);
    EXPECT_EQ(image.imageRect(), QRectF(0, 25, 100, 50));
    image.setFrame(QRectF(0, 0, 300, 50));
    EXPECT_EQ(image.imageRect(), QRectF(100, 0, 100, 50));

    // Drawn: the image's band is red, above it stays white.
    QImage canvas(100, 100, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    image.setFrame(QRectF(0, 0, 100, 100));
    QPainter painter(&canvas);
    image.display(painter, pdf);
    painter.end();
    EXPECT_EQ(canvas.pixelColor(50, 10), QColor(Qt::white));
    EXPECT_EQ(canvas.pixelColor(50, 50), QColor(Qt::red));
}

TEST(LayoutTemplate, TabStopsAlignLabelAndValueColumns) {
    QJsonObject archive =
        text("[Net<span style=\"white-space:pre\">\t</span>&lt;v/&gt;]", {0, 0, 300, 12});
    archive.insert("tabStops", QJsonArray{QJsonObject{{"position", 299}, {"alignment", "right"}}});
    auto view =
        std::dynamic_pointer_cast<SFLayoutTextView>(LayoutView::decode(archive, ArchiveContext{}));
    ASSERT_TRUE(view);
    auto copy = layout::clone<SFLayoutTextView>(*view);
    ASSERT_EQ(copy->tabStops.size(), 1);
    copy->substituteValues(dict({{"v", std::string("1,00")}}));
    EXPECT_EQ(copy->plainText(), "Net\t1,00");
    copy->usedHeight();
    QTextLine line = copy->document().begin().layout()->lineAt(0);
    EXPECT_NEAR(line.cursorToX(8), 299, 0.5);  // the value ends at its stop
    EXPECT_GT(line.cursorToX(4), 250);
    view->substituteValues({});
    EXPECT_EQ(view->plainText(), "");  // no value: the whole row goes
}

TEST(LayoutTemplate, DirectCloneMatchesTheArchiveRoundTrip) {
    LayoutTemplate layout = sampleTemplate();
    for (const auto& entry : layout.tableSections()) {
        if (!entry.view) continue;
        QJsonObject viaArchive =
            LayoutView::decode(entry.view->encode(), ArchiveContext{})->encode();
        EXPECT_EQ(entry.view->cloneView()->encode(), viaArchive) << entry.name;
    }
    auto page = layout.pages()[0].view;
    EXPECT_EQ(page->cloneView()->encode(),
              LayoutView::decode(page->encode(), ArchiveContext{})->encode());
}

TEST(LayoutTemplate, AssetsComeOnlyFromInsideThePackage) {
    QTemporaryDir package;
    ASSERT_TRUE(package.isValid());
    QImage square(4, 4, QImage::Format_RGB32);
    square.fill(Qt::blue);
    ASSERT_TRUE(square.save(package.filePath("logo.png")));
    auto image = [](const QString& asset) {
        return QJsonObject{{"class", "CVLayoutImageView"},
                           {"frame", QJsonArray{0, 0, 10, 10}},
                           {"data", QJsonObject{{"asset", asset}}}};
    };
    QJsonObject root{{"tableSections",
                      QJsonArray{QJsonObject{{"identifier", "logo"}, {"view", image("logo.png")}},
                                 QJsonObject{{"identifier", "up"}, {"view", image("../logo.png")}},
                                 QJsonObject{{"identifier", "absolute"},
                                             {"view", image(package.filePath("logo.png"))}}}}};
    QFile data(package.filePath("Data.json"));
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    data.write(QJsonDocument(root).toJson());
    data.close();

    auto loaded = LayoutTemplate::load(package.path());
    ASSERT_TRUE(loaded);
    auto logo = std::dynamic_pointer_cast<SFLayoutImageView>(loaded->tableSections()[0].view);
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->image.size(), QSize(4, 4));
    // The archive keeps the bytes, so a clone needs no package.
    EXPECT_EQ(layout::clone<SFLayoutImageView>(*logo)->image.size(), QSize(4, 4));
    for (size_t i : {1u, 2u}) {
        auto refused =
            std::dynamic_pointer_cast<SFLayoutImageView>(loaded->tableSections()[i].view);
        ASSERT_TRUE(refused);
        EXPECT_TRUE(refused->data.isEmpty()) << loaded->tableSections()[i].name;
    }
}
