// The program's window parts joined: a library window's selection reaches its preview pane,
// Validate opens the sheet with the result, and File > Open shows an invoice file on its own.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

#include "ShellTestSupport.h"
#include "library/LLDocument.h"
#include "preview/LLContentViewController.h"
#include "preview/LLPDFViewController.h"
#include "preview/PreviewViewController.h"
#include "ruleweave-ui/RWValidationResultWindowController.h"
#include "ruleweave-ui/RWXMLDocumentWindowController.h"
#include "shell/LLAppDelegate.h"
#include "shell/LLContentArrayController.h"
#include "shell/LLContentTableView.h"
#include "shell/LLLibraryWindow.h"
#include "shell/LLWindowParts.h"

using shell::LLLibraryWindow;

class WindowPartsTest : public QObject {
    Q_OBJECT
    QPointer<LLLibraryWindow> window_;

    preview::LLContentViewController* pane() {
        return window_->findChild<preview::LLContentViewController*>();
    }

  private slots:
    void initTestCase() {
        REQUIRE_CORPUS();
        auto document = library::LLDocument::makeUntitled();
        QVERIFY(document);
        window_ = new LLLibraryWindow(document);
        shell::addWindowParts(window_);
        window_->resize(1200, 800);
        window_->show();
        QSignalSpy finished(window_.data(), &LLLibraryWindow::importFinished);
        window_->importPaths({smallCorpusFolder()});
        QVERIFY(finished.wait(300000));
        QVERIFY(window_->contentController()->rowCount() >= 2);
    }

    void cleanupTestCase() {
        if (window_) window_->document()->close();
        delete window_;
    }

    void selectionReachesThePreviewPane() {
        QVERIFY(pane());
        // The pane takes the placeholder's place with room to show a page, not a column of
        // width 0 beside it.
        QVERIFY(pane()->isVisible());
        QVERIFY2(pane()->width() >= window_->width() / 3,
                 qPrintable(QString::number(pane()->width())));
        window_->tableView()->selectRow(0);
        QCOMPARE(pane()->pane(), preview::LLContentViewController::Pane::Invoice);
        QVERIFY(pane()->pdfView()->hasDocument());
        QVERIFY(pane()->invoice());
        window_->tableView()->selectAll();
        QCOMPARE(pane()->pane(), preview::LLContentViewController::Pane::MultipleSelection);
        window_->tableView()->clearSelection();
        QCOMPARE(pane()->pane(), preview::LLContentViewController::Pane::NoSelection);
    }

    void validateOpensTheSheetWithTheResult() {
        if (!window_->document()->hasRules()) QSKIP("no rules in the build");
        window_->tableView()->selectRow(0);
        window_->validateSelection();
        auto* sheet = window_->findChild<ruleweave::ui::RWValidationResultWindowController*>();
        QVERIFY(sheet);
        QVERIFY(sheet->isVisible());
        QVERIFY(!sheet->validationResult().schemaFiles->empty());
        QVERIFY(!sheet->summaryLabel()->text().isEmpty());
        sheet->close();
    }

    void aPDFOpenedOnItsOwnShowsItsPagesAndItsXML() {
        const QString pdf = corpusDir() + "/zugferd/XML-Rechnung/FX/EN16931_Einfach.pdf";
        if (!QFile::exists(pdf)) QSKIP("corpus PDF missing");
        auto* window = qobject_cast<ruleweave::ui::RWXMLDocumentWindowController*>(
            shell::openInvoiceFileWindow(pdf));
        QVERIFY(window);
        auto* preview = qobject_cast<preview::PreviewViewController*>(window->previewWidget());
        QVERIFY(preview);
        QCOMPARE(preview->shows(), preview::PreviewViewController::Shows::PDF);
        QVERIFY(preview->invoiceXML().find("CrossIndustryInvoice") != std::string::npos);
        if (window_->document()->hasRules()) QVERIFY(window->status() >= 1);
        window->close();
    }

    void aPDFWithoutInvoiceDataIsRefusedWithAMessage() {
        const QString plainPDF =
            corpusDir() + "/zugferd/unstructured/RE-E-974-Hetzner_2016-01-19_R0005532486.pdf";
        if (!QFile::exists(plainPDF)) QSKIP("corpus PDF missing");
        QString seen;
        answerMessageBox({}, {}, &seen);
        QVERIFY(!shell::openInvoiceFileWindow(plainPDF));
        QVERIFY2(seen.contains("no embedded invoice data"), qPrintable(seen));
    }

    // The program's window (library, preview with a highlighted amount) and the validation
    // sheet over it, in English and German.
    void screenshots() {
        const QString folder = qEnvironmentVariable("LEDGERLENS_SCREENSHOT_DIR");
        if (folder.isEmpty()) QSKIP("LEDGERLENS_SCREENSHOT_DIR is not set");
        QDir().mkpath(folder);
        for (const char* language : {"en", "de"}) {
            LanguageScope scope(language);
            auto document = library::LLDocument::makeUntitled();
            auto* window = new LLLibraryWindow(document);
            shell::addWindowParts(window);
            window->resize(1600, 900);
            window->show();
            QSignalSpy finished(window, &LLLibraryWindow::importFinished);
            window->importPaths({smallCorpusFolder()});
            QVERIFY(finished.wait(300000));
            window->tableView()->selectRow(1);
            auto record = window->contentController()->recordAtRow(1);
            auto* pane = window->findChild<preview::LLContentViewController*>();
            QVERIFY(record && pane);
            if (record->payableAmount())
                QVERIFY(pane->selectValueInPDF(
                            QString::fromStdString(record->payableAmount()->toString())) > 0);
            QTest::qWait(200);
            QVERIFY(window->grab().save(folder + QString("/program-window-%1.png").arg(language)));
            if (document->hasRules()) {
                window->validateSelection();
                auto* sheet =
                    window->findChild<ruleweave::ui::RWValidationResultWindowController*>();
                QVERIFY(sheet);
                QTest::qWait(100);
                QVERIFY(sheet->grab().save(
                    folder + QString("/program-validation-sheet-%1.png").arg(language)));
                sheet->close();
            }
            document->close();
            delete window;
        }
    }
};

QObject* makeWindowPartsTest() { return new WindowPartsTest; }

#include "WindowPartsTest.moc"
