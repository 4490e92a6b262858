// The preview of invoice files that are not in a library.
#include <poppler-qt6.h>

#include <QPlainTextEdit>
#include <QTest>

#include "PreviewTestSupport.h"
#include "platform/SFLocalizeHelper.h"
#include "preview/LLInvoicePreview.h"
#include "preview/LLPDFViewController.h"
#include "preview/PreviewViewController.h"

using namespace preview;
using Shows = PreviewViewController::Shows;

TEST(FilePreview, ShowsPDFsAsTheyAreAndRendersXMLInvoices) {
    SKIP_WITHOUT_CORPUS();
    PreviewViewController preview;
    preview.resize(800, 600);
    preview.preparePreviewOfFile(QString::fromStdString((corpusDir() / kFacturXPDF).string()));
    ASSERT_EQ(preview.shows(), Shows::PDF);
    EXPECT_EQ(preview.pdfView()->documentData().toStdString(), readCorpusFile(kFacturXPDF));
    EXPECT_TRUE(preview.invoice()) << "the invoice the PDF carries";

    preview.preparePreviewOfFile(QString::fromStdString((corpusDir() / kRenderedCII).string()));
    ASSERT_EQ(preview.shows(), Shows::PDF);
    EXPECT_TRUE(preview.pdfView()->documentData().startsWith("%PDF-"));
    EXPECT_GE(preview.pdfView()->pageCount(), 1);
    EXPECT_GT(preview.pdfView()->selectValueInPDFDocument("288.79"), 0);
}

TEST(FilePreview, OtherFilesShowAsText) {
    TemporaryFolder folder;
    writeFile(folder / "other.xml", "<?xml version=\"1.0\"?><note><to>Tove</to></note>");
    writeFile(folder / "broken.xml", "<note><to>Tove</note>");
    writeFile(folder / "broken.pdf", "%PDF-1.7\nthis is no PDF");
    PreviewViewController preview;
    preview.preparePreviewOfFile(QString::fromStdString((folder / "other.xml").string()));
    ASSERT_EQ(preview.shows(), Shows::Text);
    EXPECT_TRUE(preview.textView()->toPlainText().contains("  <to>Tove</to>"))
        << preview.textView()->toPlainText().toStdString();
    EXPECT_FALSE(preview.pdfView()->hasDocument());

    preview.preparePreviewOfFile(QString::fromStdString((folder / "broken.xml").string()));
    ASSERT_EQ(preview.shows(), Shows::Text);
    EXPECT_TRUE(preview.textView()->toPlainText().contains("<to>Tove</note>"));

    preview.preparePreviewOfFile(QString::fromStdString((folder / "broken.pdf").string()));
    EXPECT_EQ(preview.shows(), Shows::Text);

    preview.preparePreviewOfFile(QString::fromStdString((folder / "missing.xml").string()));
    ASSERT_EQ(preview.shows(), Shows::Text);
    EXPECT_TRUE(preview.textView()->toPlainText().isEmpty());
}

TEST(FilePreview, RenderingsFollowTheInterfaceLanguage) {
    SKIP_WITHOUT_CORPUS();
    LLInvoicePreviewSource source;
    auto& helper = platform::SFLocalizeHelper::sharedHelper();
    auto firstPageText = [&](const std::string& language) {
        helper.setCurrentLanguage(language);
        LLInvoicePreview preview = source.previewForXML(readCorpusFile(kRenderedCII), false);
        helper.setCurrentLanguage("en");
        auto document = Poppler::Document::loadFromData(preview.pdf);
        if (!document || document->numPages() < 1) return QString();
        return document->page(0)->text(QRectF());
    };
    // The second rendering of the same invoice comes from the cache: only in the same language.
    EXPECT_TRUE(firstPageText("en").contains("Amount Due"));
    EXPECT_TRUE(firstPageText("de").contains("Zahlbetrag"));
    EXPECT_TRUE(firstPageText("en").contains("Amount Due"));
}
