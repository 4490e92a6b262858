#pragma once

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <memory>
#include <vector>

#include "LibraryTestSupport.h"
#include "library/LLDocument.h"
#include "library/LLManagedObject.h"

// Corpus invoices the preview tests show.
inline constexpr const char* kRenderedCII =  // IBAN, 336.90 due, 288.79 printed twice
    "xrechnung/testsuite/business-cases/standard/01.01a-INVOICE_uncefact.xml";
inline constexpr const char* kFacturXPDF =  // three embedded files beside the invoice
    "zugferd/XML-Rechnung/FX/EN16931_Elektron.pdf";

// A fresh untitled library without rules (invoices are stored unchecked, quickly).
struct TestLibrary {
    TemporaryFolder noRules;
    std::shared_ptr<library::LLDocument> document = library::LLDocument::makeUntitled();

    TestLibrary() { document->setRulesDirectory(noRules.path()); }
    std::shared_ptr<library::LLInvoiceRecord> import(const std::string& corpusFile) {
        auto records =
            document->importFile(corpusDir() / corpusFile, document->managedObjectContext());
        EXPECT_EQ(records.size(), 1u) << corpusFile;
        return records.empty() ? nullptr : records.front();
    }
};

// A word of a PDF where poppler's `pdftotext -bbox` puts it (points, top-left origin).
struct PdfWord {
    int page = 0;
    QRectF box;
    QString text;
};

// None when pdftotext is not installed.
inline std::optional<std::vector<PdfWord>> pdftotextWords(const QByteArray& pdf) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) return std::nullopt;
    QTemporaryFile file;
    if (!file.open()) return std::nullopt;
    file.write(pdf);
    file.flush();
    QProcess process;
    process.start("pdftotext", {"-bbox", file.fileName(), "-"});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return std::nullopt;
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression element(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::vector<PdfWord> words;
    int page = -1;
    for (auto it = element.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(0).startsWith("<page")) {
            ++page;
            continue;
        }
        const double x0 = match.captured(1).toDouble(), y0 = match.captured(2).toDouble();
        const double x1 = match.captured(3).toDouble(), y1 = match.captured(4).toDouble();
        words.push_back({page, QRectF(QPointF(x0, y0), QPointF(x1, y1)), match.captured(5)});
    }
    return words;
}

inline bool nearlyEqual(const QRectF& a, const QRectF& b, double tolerance = 1.0) {
    return std::abs(a.left() - b.left()) <= tolerance && std::abs(a.top() - b.top()) <= tolerance &&
           std::abs(a.right() - b.right()) <= tolerance &&
           std::abs(a.bottom() - b.bottom()) <= tolerance;
}
