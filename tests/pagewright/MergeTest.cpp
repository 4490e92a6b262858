#include "PagewrightTestSupport.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "pagewright/PagewrightPageView.h"

using pagewright::PagewrightPageView;
using pagewright::PagewrightPDFDocument;
using pagewright::PagewrightPDFDocumentAttachment;
using pagewright::PagewrightRect;

namespace {

struct Point {
    double x, y;
};

Point map(const PagewrightPageView::Matrix& m, Point p) {
    return {p.x * m[0] + p.y * m[2] + m[4], p.x * m[1] + p.y * m[3] + m[5]};
}

void expectPoint(Point actual, Point expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-6);
    EXPECT_NEAR(actual.y, expected.y, 1e-6);
}

std::shared_ptr<PagewrightPDFDocument> pageDocument(const std::string& text, double width,
                                                    double height, int rotate = 0) {
    QPDF pdf;
    pdf.emptyPDF();
    auto page = addTextPage(pdf, text, width, height);
    if (rotate) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
    return PagewrightPDFDocument::initWithData(writeToBytes(pdf));
}

std::string pageText(PagewrightPDFDocument& document) {
    auto dir = scratchDir("merge-text");
    writeFile(dir / "m.pdf", *document.rawData());
    return run("pdftotext -q " + shellQuote(dir / "m.pdf") + " -").output;
}

}  // namespace

TEST(PageView, ScalesAndCentresWithinTheSameOrientation) {
    // A5 portrait into an A4 portrait frame.
    PagewrightPageView view({0, 0, 595, 842}, {0, 0, 420, 595}, 0, true, true);
    auto m = view.transformation();
    const double s = std::min(595.0 / 420, 842.0 / 595);
    EXPECT_NEAR(m[0], s, 1e-9);
    EXPECT_NEAR(m[3], s, 1e-9);
    expectPoint(map(m, {0, 0}), {(595 - 420 * s) / 2, (842 - 595 * s) / 2});
    // Without scaling the page stays its size, centred.
    PagewrightPageView fixed({0, 0, 595, 842}, {0, 0, 420, 595}, 0, true, false);
    expectPoint(map(fixed.transformation(), {0, 0}), {87.5, 123.5});
    expectPoint(map(fixed.transformation(), {420, 595}), {507.5, 718.5});
}

TEST(PageView, TurnsAPortraitPageIntoALandscapeFrameWhenAllowed) {
    PagewrightPageView view({0, 0, 842, 595}, {0, 0, 595, 842}, 0, true, true);
    auto m = view.transformation();
    // Turned counter-clockwise by 90 degrees, filling the frame exactly.
    expectPoint(map(m, {0, 0}), {842, 0});
    expectPoint(map(m, {595, 842}), {0, 595});
    expectPoint(map(m, {0, 842}), {0, 0});
    // Without rotation it is scaled down into the landscape frame instead.
    PagewrightPageView upright({0, 0, 842, 595}, {0, 0, 595, 842}, 0, false, true);
    auto u = upright.transformation();
    EXPECT_NEAR(u[0], 595.0 / 842, 1e-9);
    EXPECT_NEAR(u[1], 0, 1e-9);
}

TEST(PageView, HonoursThePagesOwnRotationAndMediaBoxOrigin) {
    // A landscape media box shown as portrait by /Rotate 90 fits a portrait frame unscaled;
    // the media box's lower left corner appears at the top left, as in viewers.
    PagewrightPageView view({0, 0, 595, 842}, {0, 0, 842, 595}, 90, true, true);
    auto m = view.transformation();
    expectPoint(map(m, {0, 0}), {0, 842});
    expectPoint(map(m, {842, 595}), {595, 0});
    PagewrightPageView shifted({0, 0, 595, 842}, {100, 200, 595, 842}, 0, true, true);
    expectPoint(map(shifted.transformation(), {100, 200}), {0, 0});
    EXPECT_EQ(shifted.drawRect("Fm0"), "q 1 0 0 1 -100 -200 cm /Fm0 Do Q\n");
}

TEST(Merge, EmptyListGivesNone) {
    EXPECT_FALSE(PagewrightPDFDocument::documentWithDocuments({}));
    EXPECT_FALSE(PagewrightPDFDocument::documentWithDocumentsUsingEngine({}));
}

TEST(Merge, LaterPagesAreFittedToTheFirstAsVectors) {
    if (!haveTool("pdftotext")) GTEST_SKIP() << "pdftotext not installed";
    auto portrait = pageDocument("First portrait", 595, 842);
    auto landscape = pageDocument("Second landscape", 842, 595);
    auto small = pageDocument("Third small", 298, 420);
    auto merged = PagewrightPDFDocument::documentWithDocuments({portrait, landscape, small});
    ASSERT_TRUE(merged);
    ASSERT_EQ(merged->pageCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(merged->pageAtIndex(i)->mediaBox(), (PagewrightRect{0, 0, 595, 842})) << i;
    auto text = pageText(*merged);
    EXPECT_NE(text.find("First portrait"), std::string::npos) << text;
    EXPECT_NE(text.find("Second landscape"), std::string::npos) << text;
    EXPECT_NE(text.find("Third small"), std::string::npos) << text;
    // The fitted landscape page is its original drawn as a form XObject, not an image.
    auto page = QPDFPageDocumentHelper(merged->qpdf()).getAllPages().at(1);
    auto form = page.getObjectHandle().getKey("/Resources").getKey("/XObject").getKey("/Fm0");
    ASSERT_TRUE(form.isStream());
    EXPECT_EQ(form.getDict().getKey("/Subtype").getName(), "/Form");
    // The result survives its sources and converts to a checked PDF.
    portrait.reset();
    landscape.reset();
    small.reset();
    auto bytes = merged->dataRepresentation();
    ASSERT_TRUE(bytes);
    auto reopened = PagewrightPDFDocument::initWithData(*bytes);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->pageCount(), 3);
}

TEST(Merge, WithoutScalingPagesKeepTheirSize) {
    auto merged = PagewrightPDFDocument::documentWithDocumentsAllowRotationAllowScaling(
        {pageDocument("A", 595, 842), pageDocument("B", 842, 595)}, true, false);
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->pageAtIndex(1)->mediaBox(), (PagewrightRect{0, 0, 842, 595}));
    // Equal boxes: the page itself is used.
    auto a = pageDocument("A", 595, 842), b = pageDocument("B", 595, 842);
    auto page = b->pageAtIndex(0)->bringToSizeOfDocument(*a);
    EXPECT_EQ(page.document(), b);
}

TEST(Merge, AttachmentsOfAllInputsAreCollectedWithDuplicates) {
    auto a = pageDocument("A", 595, 842), b = pageDocument("B", 595, 842);
    a->addAttachment(
        PagewrightPDFDocumentAttachment::attachmentWithDataName("<a/>", "factur-x.xml"));
    b->addAttachment(
        PagewrightPDFDocumentAttachment::attachmentWithDataName("<b/>", "factur-x.xml"));
    b->addAttachment(PagewrightPDFDocumentAttachment::attachmentWithDataName("png", "scan.png"));
    auto merged = PagewrightPDFDocument::documentWithDocuments({a, b});
    ASSERT_EQ(merged->attachments().size(), 3u);
    EXPECT_EQ(merged->attachments()[1]->data, "<b/>");
    // Both same-named files survive the rebuild.
    ScopedSettings settings;
    auto bytes = merged->dataRepresentation();
    ASSERT_TRUE(bytes);
    auto reopened = PagewrightPDFDocument::initWithData(*bytes);
    ASSERT_EQ(reopened->attachments().size(), 3u);
}

TEST(Merge, EngineMergeImportsEveryPageOfEveryConvertedInput) {
    SKIP_WITHOUT_CORPUS();
    ScopedSettings settings;
    auto a = PagewrightPDFDocument::initWithURL(corpusDir() /
                                                "zugferd/XML-Rechnung/FX/EN16931_Einfach.pdf");
    auto b = PagewrightPDFDocument::initWithURL(
        corpusDir() / "zugferd/ZUGFeRDv2/correct/intarsys/EN16931/zugferd_2p0_EN16931_Miete.pdf");
    ASSERT_TRUE(a && b);
    auto merged = PagewrightPDFDocument::documentWithDocumentsUsingEngine({a, b});
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->pageCount(), a->pageCount() + b->pageCount());
    EXPECT_EQ(merged->attachments().size(), 2u);
    OpenedPDF pdf(*merged->rawData());
    EXPECT_NE(pdf.xmp().find("<pdfaid:part>3</pdfaid:part>"), std::string::npos);
}

TEST(Merge, FittedPagesShowTheirPrintableAnnotations) {
    if (!haveTool("pdftotext")) GTEST_SKIP() << "pdftotext not installed";
    QPDF source;
    source.emptyPDF();
    auto page = addTextPage(source, "Landscape with stamp", 842, 595);
    auto font = page.getKey("/Resources").getKey("/Font");
    auto stamp = [&](const std::string& text, int flags) {
        auto appearance =
            QPDFObjectHandle::newStream(&source, "BT /F1 10 Tf 5 5 Td (" + text + ") Tj ET");
        appearance.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        appearance.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        appearance.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 200 20]"));
        auto resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/Font", font);
        appearance.getDict().replaceKey("/Resources", resources);
        auto annotation = source.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Stamp /Rect [100 100 300 120] /F " +
                                    std::to_string(flags) + " >>"));
        auto ap = QPDFObjectHandle::newDictionary();
        ap.replaceKey("/N", appearance);
        annotation.replaceKey("/AP", ap);
        return annotation;
    };
    auto annots = QPDFObjectHandle::newArray();
    annots.appendItem(stamp("Approved", 4));
    annots.appendItem(stamp("Hidden remark", 2));
    page.replaceKey("/Annots", annots);
    auto landscape = PagewrightPDFDocument::initWithData(writeToBytes(source));
    auto merged = PagewrightPDFDocument::documentWithDocuments(
        {pageDocument("Portrait", 595, 842), landscape});
    ASSERT_TRUE(merged);
    auto text = pageText(*merged);
    EXPECT_NE(text.find("Landscape with stamp"), std::string::npos) << text;
    EXPECT_NE(text.find("Approved"), std::string::npos) << text;
    EXPECT_EQ(text.find("Hidden remark"), std::string::npos) << text;
}
