// The value search on PDFs of many producers: for each total of the invoice a PDF carries,
// every word pdftotext reads as a notation of the amount is highlighted, and every highlight
// lies on a word that holds the amount.
#include <poppler-qt6.h>

#include <QDirIterator>

#include "PreviewTestSupport.h"
#include "model/LLInvoice.h"
#include "preview/LLInvoicePreview.h"
#include "preview/LLPDFTextSearch.h"
#include "preview/LLValueNotations.h"

using namespace preview;

TEST(CorpusHighlight, HighlightsAgreeWithPdftotextOnEveryCorpusPDF) {
    SKIP_WITHOUT_CORPUS();
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) GTEST_SKIP() << "no pdftotext";
    LLInvoicePreviewSource source;
    int checkedValues = 0, printedWords = 0, highlights = 0;
    QDirIterator files(QString::fromStdString((corpusDir() / "zugferd").string()), {"*.pdf"},
                       QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        LLInvoicePreview preview = source.previewForFile(path.toStdString());
        if (!preview.invoice || preview.pdf.isEmpty()) continue;
        auto words = pdftotextWords(preview.pdf);
        ASSERT_TRUE(words) << path.toStdString();
        std::shared_ptr<Poppler::Document> document = Poppler::Document::loadFromData(preview.pdf);
        ASSERT_TRUE(document) << path.toStdString();
        LLPDFTextIndex index(document);
        const auto& invoice = *preview.invoice;
        for (const auto& value :
             {invoice.netAmount, invoice.taxAmount, invoice.grossAmount, invoice.finalAmount}) {
            if (!value) continue;
            const auto notations = generatePossibleStringsForNumber(*value);
            const auto found = index.selectionsForNumber(*value);
            ++checkedValues;
            for (const PdfWord& word : *words) {
                if (std::find(notations.begin(), notations.end(), word.text.toStdString()) ==
                    notations.end())
                    continue;
                ++printedWords;
                EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                        [&](const LLValueMatch& m) {
                                            return m.page == word.page &&
                                                   nearlyEqual(m.rect, word.box, 1.0);
                                        }))
                    << path.toStdString() << ": " << word.text.toStdString() << " on page "
                    << word.page + 1 << " not highlighted";
            }
            highlights += int(found.size());
            for (const LLValueMatch& match : found) {
                EXPECT_TRUE(
                    std::any_of(words->begin(), words->end(),
                                [&](const PdfWord& word) {
                                    return word.page == match.page &&
                                           word.box.adjusted(-1, -1, 1, 1).contains(match.rect);
                                }))
                    << path.toStdString() << ": highlight of " << value->toString() << " at "
                    << match.rect.x() << "," << match.rect.y() << " on page " << match.page + 1
                    << " lies on no word";
            }
        }
    }
    EXPECT_GT(checkedValues, 40);
    // Most totals are printed as words of their own; the rest stand beside a currency sign.
    EXPECT_GT(printedWords, checkedValues);
    EXPECT_GE(highlights, printedWords);
    std::cout << checkedValues << " totals, " << printedWords << " printed as words, " << highlights
              << " highlights\n";
}
