// The PDF view on its own: pages, highlights where poppler's pdftotext puts the amount, zoom,
// printing, the QR badge and PDFs it cannot show.
#include <poppler-qt6.h>

#include <QElapsedTimer>
#include <QEnterEvent>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "PreviewTestSupport.h"
#include "model/LLInvoice.h"
#include "preview/LLInvoicePreview.h"
#include "preview/LLPDFViewController.h"
#include "preview/LLQRView.h"
#include "preview/LLValueNotations.h"

using namespace preview;

namespace {

constexpr const char* kThreePages =
    "zugferd/ZUGFeRDv2/correct/intarsys/EN16931/zugferd_2p0_EN16931_RechnungsUebertragung.pdf";

class PDFView : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(corpusDir())) GTEST_SKIP() << "no corpus";
        rendered = source.previewForXML(readCorpusFile(kRenderedCII), false);
        ASSERT_FALSE(rendered.pdf.isEmpty()) << rendered.detail;
        view.resize(900, 700);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // Every place the amount is printed according to pdftotext, as words of their own.
    std::vector<PdfWord> wordsOfAmount(const char* value) {
        auto words = pdftotextWords(view.documentData());
        if (!words) return {};
        const auto notations = generatePossibleStringsForNumber(*platform::Decimal::parse(value));
        std::vector<PdfWord> found;
        for (const PdfWord& word : *words) {
            if (std::find(notations.begin(), notations.end(), word.text.toStdString()) !=
                notations.end())
                found.push_back(word);
        }
        return found;
    }

    LLInvoicePreviewSource source;
    LLInvoicePreview rendered;
    LLPDFViewController view;
};

TEST_F(PDFView, ShowsThePagesOfARenderedInvoice) {
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    EXPECT_EQ(view.pageCount(), 1);
    const QImage shot = view.grab().toImage();
    // The page is drawn (dark text on white), not only its white sheet.
    int dark = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            if (qGray(shot.pixel(x, y)) < 80) ++dark;
    EXPECT_GT(dark, 200);
    EXPECT_EQ(view.cachedPageCount(), 1);
}

TEST_F(PDFView, HighlightsEveryPlaceWherePdftotextPutsTheAmount) {
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    if (!pdftotextWords(rendered.pdf)) GTEST_SKIP() << "pdftotext (poppler-utils) missing";
    for (const char* value : {"288.79", "336.9", "22.04", "314.86"}) {
        const auto expected = wordsOfAmount(value);
        ASSERT_FALSE(expected.empty()) << value << " is printed on the page";
        EXPECT_EQ(view.selectValueInPDFDocument(value), int(expected.size())) << value;
        ASSERT_EQ(view.highlights().size(), expected.size()) << value;
        for (const PdfWord& word : expected) {
            const bool covered = std::any_of(
                view.highlights().begin(), view.highlights().end(), [&](const LLValueMatch& m) {
                    return m.page == word.page && nearlyEqual(m.rect, word.box, 1.0);
                });
            EXPECT_TRUE(covered) << value << " at " << word.box.x() << "," << word.box.y();
        }
    }
    // The line amount and the unit price: one click highlights both.
    EXPECT_EQ(view.selectValueInPDFDocument("288.79"), 2);
}

TEST_F(PDFView, ANonNumberOrAnAmountPrintedNowhereChangesNothing) {
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    ASSERT_GT(view.selectValueInPDFDocument("336.9"), 0);
    const auto before = view.highlights();
    EXPECT_EQ(view.selectValueInPDFDocument("DE79000000001234567890"), 0);
    EXPECT_EQ(view.selectValueInPDFDocument("98765.43"), 0);
    EXPECT_EQ(view.selectValueInPDFDocument(""), 0);
    ASSERT_EQ(view.highlights().size(), before.size());
    EXPECT_EQ(view.highlights().front().rect, before.front().rect);
    // A new document starts without highlights.
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    EXPECT_TRUE(view.highlights().empty());
}

TEST_F(PDFView, ScrollsTheFirstPlaceIntoView) {
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    view.setZoom(4.0);
    QScrollBar* vertical = view.scrollArea()->verticalScrollBar();
    ASSERT_GT(vertical->maximum(), 0);
    vertical->setValue(vertical->maximum());  // the foot of the page
    ASSERT_GT(view.selectValueInPDFDocument("288.79"), 0);
    const LLValueMatch& first = view.highlights().front();
    const QRectF content = view.contentRectForPageRect(first.page, first.rect);
    const QRect visible(view.scrollArea()->horizontalScrollBar()->value(), vertical->value(),
                        view.scrollArea()->viewport()->width(),
                        view.scrollArea()->viewport()->height());
    EXPECT_TRUE(visible.contains(content.toRect())) << content.y() << " not in " << visible.y();
}

TEST_F(PDFView, ZoomsInStepsAndFitsTheWidth) {
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    EXPECT_TRUE(view.isFittingWidth());
    const QRectF page = view.contentRectForPageRect(0, QRectF(0, 0, 595, 842));
    EXPECT_LE(page.right(), view.scrollArea()->viewport()->width());
    EXPECT_GT(page.width(), view.scrollArea()->viewport()->width() * 0.8);
    QTest::qWait(20);
    EXPECT_EQ(view.scrollArea()->horizontalScrollBar()->maximum(), 0) << "no sideways scrolling";
    const double fitted = view.zoom();
    view.zoomIn();
    EXPECT_FALSE(view.isFittingWidth());
    EXPECT_NEAR(view.zoom(), fitted * 1.25, 1e-9);
    view.zoomOut();
    view.zoomOut();
    EXPECT_NEAR(view.zoom(), fitted / 1.25, 1e-9);
    for (int i = 0; i < 30; ++i) view.zoomIn();
    EXPECT_EQ(view.zoom(), LLPDFViewController::kMaximumZoom);
    // Fitting follows the window's width until the next zoom.
    view.fitWidth();
    const double wide = view.zoom();
    view.resize(600, 700);
    QTest::qWait(20);
    EXPECT_LT(view.zoom(), wide);
    EXPECT_TRUE(view.isFittingWidth());
    EXPECT_EQ(view.scrollArea()->horizontalScrollBar()->maximum(), 0);
}

TEST_F(PDFView, DrawsOnlyThePagesInView) {
    ASSERT_TRUE(view.setDocumentData(QByteArray::fromStdString(readCorpusFile(kThreePages))));
    ASSERT_EQ(view.pageCount(), 3);
    view.setZoom(2.0);
    view.grab();
    const int drawn = view.cachedPageCount();
    EXPECT_GE(drawn, 1);
    EXPECT_LT(drawn, 3);
    view.scrollToPage(2);
    EXPECT_EQ(view.currentPage(), 2);
    view.grab();
    EXPECT_GT(view.cachedPageCount(), drawn - 1);
}

TEST_F(PDFView, DocumentsShownInTurnEachShowTheirOwnPages) {
    const QByteArray other = QByteArray::fromStdString(readCorpusFile(kThreePages));
    LLPDFViewController fresh;
    fresh.resize(view.size());
    fresh.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
    for (const QByteArray& pdf : {rendered.pdf, other}) {
        ASSERT_TRUE(fresh.setDocumentData(pdf));
        const QImage expected = fresh.grab().toImage();
        // Going back and forth reuses drawn pages of the document shown before.
        for (const QByteArray& shown : {rendered.pdf, other, rendered.pdf, other, pdf}) {
            ASSERT_TRUE(view.setDocumentData(shown));
            view.grab();
        }
        EXPECT_EQ(view.grab().toImage(), expected);
    }
}

TEST_F(PDFView, PrintsEveryPage) {
    ASSERT_TRUE(view.setDocumentData(QByteArray::fromStdString(readCorpusFile(kThreePages))));
    TemporaryFolder folder;
    const QString out = QString::fromStdString((folder / "printed.pdf").string());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out);
    printer.setResolution(100);
    ASSERT_TRUE(view.printToPrinter(printer));
    auto printed = Poppler::Document::load(out);
    ASSERT_TRUE(printed);
    EXPECT_EQ(printed->numPages(), 3);
    // A page range prints only those pages.
    printer.setFromTo(2, 2);
    ASSERT_TRUE(view.printToPrinter(printer));
    EXPECT_EQ(Poppler::Document::load(out)->numPages(), 1);
    LLPDFViewController empty;
    EXPECT_FALSE(empty.printToPrinter(printer));
}

TEST_F(PDFView, ThePaymentCodeBadgeGrowsWhileTheMouseIsOverIt) {
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    view.setInvoice(rendered.invoice);
    LLQRView* badge = view.qrView();
    ASSERT_TRUE(badge->isVisible());
    ASSERT_FALSE(badge->image().isNull());
    QTest::qWait(20);  // the layout settles (scroll bars)
    const QSize container = badge->parentWidget()->size();
    EXPECT_EQ(badge->geometry(), QRect(container.width() - 52, container.height() - 52, 32, 32));

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), badge->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(badge, &enter);
    QTest::qWait(LLQRView::kAnimationMilliseconds + 150);
    EXPECT_EQ(badge->geometry(),
              QRect(container.width() - 148, container.height() - 148, 128, 128));
    EXPECT_EQ(badge->cursor().shape(), Qt::BlankCursor);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(badge, &leave);
    QTest::qWait(LLQRView::kAnimationMilliseconds + 150);
    EXPECT_EQ(badge->geometry().size(), QSize(32, 32));
    EXPECT_NE(badge->cursor().shape(), Qt::BlankCursor);

    // The badge stays in its corner when the view is resized.
    view.resize(700, 500);
    QTest::qWait(20);
    const QSize smaller = badge->parentWidget()->size();
    EXPECT_EQ(badge->geometry().bottomRight(), QPoint(smaller.width() - 21, smaller.height() - 21));
}

TEST_F(PDFView, NoBadgeWithoutAnAccountToPayTo) {
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    auto invoice = std::make_shared<model::LLInvoice>(*rendered.invoice);
    invoice->creditTransferIBAN.reset();
    invoice->paymentAccounts.clear();
    view.setInvoice(invoice);
    EXPECT_FALSE(view.qrView()->isVisible());
    view.setInvoice(rendered.invoice);
    EXPECT_TRUE(view.qrView()->isVisible());
    view.clear();
    EXPECT_FALSE(view.qrView()->isVisible());
}

TEST_F(PDFView, RefusesWhatIsNoPDF) {
    ASSERT_TRUE(view.setDocumentData(rendered.pdf));
    EXPECT_FALSE(view.setDocumentData("not a PDF at all"));
    EXPECT_FALSE(view.hasDocument());
    EXPECT_EQ(view.pageCount(), 0);
    EXPECT_EQ(view.selectValueInPDFDocument("336.9"), 0);
    EXPECT_FALSE(view.setDocumentData(QByteArray()));
    EXPECT_FALSE(view.setDocumentFile("/nonexistent/file.pdf"));
    // Cut in half: poppler may repair it or refuse it; either way the view holds together.
    const bool shown = view.setDocumentData(rendered.pdf.left(rendered.pdf.size() / 2));
    EXPECT_EQ(view.hasDocument(), shown);
    view.grab();
}

}  // namespace

namespace {

// A page whose contents name one 16 MiB stream 128 times: minutes of drawing when read naively.
TEST(PDFViewHostile, APageThatTakesMinutesToDrawIsGivenUp) {
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty()) GTEST_SKIP() << "python3 missing";
    TemporaryFolder folder;
    QProcess make;
    make.start(python, {QStringLiteral(LEDGERLENS_HOSTILE_PDF_SCRIPT),
                        QString::fromStdString(folder.path().string())});
    ASSERT_TRUE(make.waitForFinished(60000) && make.exitCode() == 0);
    LLPDFViewController view;
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(
        view.setDocumentFile(QString::fromStdString((folder / "content-bomb.pdf").string())));
    QElapsedTimer timer;
    timer.start();
    view.grab();
    std::cout << "the hostile page was given up after " << timer.elapsed() << " ms\n";
    EXPECT_EQ(view.cachedPageCount(), 1);  // kept as empty, not drawn again
    view.grab();
    EXPECT_EQ(view.selectValueInPDFDocument("19"), 0);
}

}  // namespace
