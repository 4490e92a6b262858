// The preview pane of a library window, driven as the window drives it: selections of stored
// records, clicks on the readable view's amounts, attachments of PDF invoices.
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QUrl>

#include "PreviewTestSupport.h"
#include "preview/LLAttachmentsView.h"
#include "preview/LLContentViewController.h"
#include "preview/LLInvoiceDetailsView.h"
#include "preview/LLPDFViewController.h"
#include "preview/LLValueTextField.h"

using namespace preview;
using Pane = LLContentViewController::Pane;

namespace {

class ContentView : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(corpusDir())) GTEST_SKIP() << "no corpus";
        pane.resize(1200, 800);
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    }

    LLValueTextField* fieldWithValue(const QString& value) {
        for (LLValueTextField* field : pane.detailsView()->fields())
            if (field->value() == value) return field;
        return nullptr;
    }

    TestLibrary library;
    LLContentViewController pane;
};

TEST_F(ContentView, NoneOrSeveralInvoicesShowTheirPlaceholders) {
    EXPECT_EQ(pane.pane(), Pane::NoSelection);
    auto a = library.import(kRenderedCII);
    auto b = library.import("en16931-examples/cii/CII_example2.xml");
    auto c = library.import(kFacturXPDF);
    ASSERT_TRUE(a && b && c);
    pane.setSelection(library.document, {a, b, c});
    EXPECT_EQ(pane.pane(), Pane::MultipleSelection);
    EXPECT_EQ(pane.summaryLabel()->text(), "3 invoices selected");
    pane.setSelection(library.document, {a});
    EXPECT_EQ(pane.pane(), Pane::Invoice);
    pane.setSelection(library.document, {});
    EXPECT_EQ(pane.pane(), Pane::NoSelection);
    // A null entry (a row whose record went away) does not count.
    pane.setSelection(library.document, {a, nullptr});
    EXPECT_EQ(pane.pane(), Pane::Invoice);
    // The rows of a library that was closed meanwhile are not read.
    library.document->close();
    pane.setSelection(library.document, {a});
    EXPECT_EQ(pane.pane(), Pane::NoSelection);
}

TEST_F(ContentView, AClickOnAnAmountHighlightsItWherePdftotextPutsIt) {
    auto record = library.import(kRenderedCII);
    ASSERT_TRUE(record);
    ASSERT_FALSE(record->pdf());  // an XML invoice: the pane renders it
    pane.setSelection(library.document, {record});
    ASSERT_EQ(pane.pane(), Pane::Invoice);
    LLPDFViewController* pdf = pane.pdfView();
    ASSERT_TRUE(pdf->isVisible());
    ASSERT_EQ(pdf->pageCount(), 1);
    ASSERT_FALSE(pane.detailsView()->fields().empty());

    LLValueTextField* gross = fieldWithValue("336.9");
    ASSERT_TRUE(gross) << "the gross amount is in the readable view";
    QTest::mouseClick(gross, Qt::LeftButton);
    ASSERT_FALSE(pdf->highlights().empty());

    auto words = pdftotextWords(pdf->documentData());
    if (!words) GTEST_SKIP() << "pdftotext (poppler-utils) missing";
    size_t printed = 0;
    for (const PdfWord& word : *words) {
        if (word.text != "336.90" && word.text != "336,90") continue;
        ++printed;
        EXPECT_TRUE(std::any_of(pdf->highlights().begin(), pdf->highlights().end(),
                                [&](const LLValueMatch& match) {
                                    return match.page == word.page &&
                                           nearlyEqual(match.rect, word.box);
                                }))
            << "no highlight at " << word.box.x() << "," << word.box.y();
    }
    EXPECT_GT(printed, 0u);
    EXPECT_EQ(pdf->highlights().size(), printed);

    // Texts that are no amount (the number, the IBAN) search nothing.
    for (LLValueTextField* field : pane.detailsView()->fields()) {
        if (field->text() == "DE79000000001234567890") {
            EXPECT_TRUE(field->value().isEmpty());
        }
    }
}

TEST_F(ContentView, APDFInvoiceShowsTheStoredPDFAndItsAttachments) {
    auto record = library.import(kFacturXPDF);
    ASSERT_TRUE(record);
    pane.setSelection(library.document, {record});
    ASSERT_EQ(pane.pane(), Pane::Invoice);
    // The PDF as it arrived, not the archival rebuild.
    EXPECT_EQ(pane.pdfView()->documentData().toStdString(), readCorpusFile(kFacturXPDF));

    LLAttachmentsView* attachments = pane.attachmentsView();
    EXPECT_TRUE(attachments->isVisible());
    std::vector<std::string> names;
    for (const auto& attachment : attachments->attachments()) names.push_back(attachment.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"EN16931_Elektron_Aufmass.png",
                                        "EN16931_Elektron_ElektronRapport.pdf", "factur-x.xml"}));
    EXPECT_EQ(attachments->listWidget()->count(), 3);

    TemporaryFolder folder;
    ASSERT_TRUE(attachments->saveAttachment(2, folder / "saved.xml"));
    const std::string saved = readFile(folder / "saved.xml");
    EXPECT_NE(saved.find("CrossIndustryInvoice"), std::string::npos);
    EXPECT_EQ(saved, *attachments->attachments()[2].data);

    std::vector<QUrl> opened;
    attachments->setOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    ASSERT_TRUE(attachments->openAttachment(0));
    ASSERT_EQ(opened.size(), 1u);
    ASSERT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(opened[0].toLocalFile().endsWith("/EN16931_Elektron_Aufmass.png"));
    EXPECT_EQ(readFile(opened[0].toLocalFile().toStdString()), *attachments->attachments()[0].data);
    EXPECT_FALSE(attachments->openAttachment(7));

    // An XML invoice has no attachments to list.
    auto xmlRecord = library.import(kRenderedCII);
    pane.setSelection(library.document, {xmlRecord});
    EXPECT_TRUE(attachments->attachments().empty());
    EXPECT_FALSE(attachments->isVisible());
}

TEST_F(ContentView, SelectingTheSameInvoiceAgainKeepsItsView) {
    auto record = library.import(kRenderedCII);
    pane.setSelection(library.document, {record});
    ASSERT_GT(pane.selectValueInPDF("288.79"), 0);
    pane.setSelection(library.document, {record});
    EXPECT_FALSE(pane.pdfView()->highlights().empty());
    // Another invoice and back: shown anew.
    auto other = library.import("en16931-examples/cii/CII_example2.xml");
    pane.setSelection(library.document, {other});
    pane.setSelection(library.document, {record});
    EXPECT_TRUE(pane.pdfView()->highlights().empty());
    EXPECT_EQ(pane.pdfView()->pageCount(), 1);
}

TEST_F(ContentView, UnreadableXMLShowsTheStoredPDFAndAnEmptyReadableView) {
    auto pdfRecord = library.import(kFacturXPDF);
    pdfRecord->setXml(std::string("<broken"));
    pane.setSelection(library.document, {pdfRecord});
    EXPECT_TRUE(pane.detailsView()->fields().empty());
    EXPECT_TRUE(pane.pdfView()->isVisible());
    EXPECT_GT(pane.pdfView()->pageCount(), 0);

    // Without a PDF there is nothing to show but a note.
    auto xmlRecord = library.import(kRenderedCII);
    xmlRecord->setXml(std::string("<Invoice>not closed"));
    pane.setSelection(library.document, {xmlRecord});
    EXPECT_EQ(pane.pane(), Pane::Invoice);
    EXPECT_FALSE(pane.pdfView()->isVisible());
    EXPECT_FALSE(pane.pdfView()->hasDocument());
    EXPECT_EQ(pane.selectValueInPDF("336.9"), 0);
}

}  // namespace
