// The library window on a real library: import, tree and rows, status dots, copy, export,
// delete with undo and redo, drops, drag-out, search, closing an untitled library.
#include <QApplication>
#include <QClipboard>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <memory>
#include <set>

#include "ShellTestSupport.h"
#include "library/LLDocument.h"
#include "library/LLManagedObject.h"
#include "shell/CVMinimalBusyWindowController.h"
#include "shell/LLContentArrayController.h"
#include "shell/LLContentTableView.h"
#include "shell/LLErrorViewController.h"
#include "shell/LLLibraryWindow.h"
#include "shell/LLSourceListModel.h"
#include "shell/LLStatusDot.h"

using shell::LLContentArrayController;
using shell::LLLibraryWindow;

namespace {

int fileCount(const QString& folder, const QString& pattern) {
    int count = 0;
    QDirIterator it(folder, {pattern}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

QString readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

bool importAndWait(LLLibraryWindow* window, const QStringList& paths) {
    QSignalSpy finished(window, &LLLibraryWindow::importFinished);
    window->document()->resetErrors();
    window->importPaths(paths);
    return finished.wait(300000);
}

QDropEvent* dropEventFor(const QList<QUrl>& urls, QWidget* target, QMimeData* mime) {
    mime->setUrls(urls);
    return new QDropEvent(QPointF(target->width() / 2, target->height() / 2), Qt::CopyAction, mime,
                          Qt::LeftButton, Qt::NoModifier);
}

}  // namespace

class LibraryWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> temp_;
    QPointer<LLLibraryWindow> window_;
    int invoices_ = 0;

    LLContentArrayController* content() { return window_->contentController(); }

  private slots:
    void initTestCase() {
        REQUIRE_CORPUS();
        temp_ = std::make_unique<QTemporaryDir>();
        auto document = library::LLDocument::makeUntitled();
        QVERIFY(document);
        window_ = new LLLibraryWindow(document);
        window_->show();
        QVERIFY(importAndWait(window_, {smallCorpusFolder()}));
        invoices_ = content()->rowCount();
    }

    void importShowsTreeAndSelectsTheImportedRows() {
        // One row per invoice: files holding the same invoice (same seller and number) make one.
        std::set<std::string> keys;
        QDirIterator files(smallCorpusFolder(), {"*.xml"}, QDir::Files);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            if (auto key = library::LLDocument::duplicateKeyForXML(file.readAll().toStdString()))
                keys.insert(*key);
        }
        QVERIFY(window_->document()->errors().empty());
        QCOMPARE(invoices_, int(keys.size()));
        QVERIFY(invoices_ >= 10);
        // Every row of the run is selected, and the source list shows All with years below.
        QCOMPARE(int(window_->tableView()->selectedRecords().size()), invoices_);
        auto* tree = window_->sourceList();
        QCOMPARE(tree->rowCount(), 1);
        const QModelIndex all = tree->index(0, 0);
        QCOMPARE(all.data().toString(), QString("All"));
        QVERIFY(tree->rowCount(all) >= 1);
        QVERIFY(window_->sourceView()->selectionModel()->isSelected(all));
        const QString year = tree->index(0, 0, all).data().toString();
        QCOMPARE(year.size(), 4);
        // Selecting a year narrows the list to that year's invoices.
        window_->sourceView()->selectionModel()->select(tree->index(0, 0, all),
                                                        QItemSelectionModel::ClearAndSelect);
        QVERIFY(content()->rowCount() > 0);
        QVERIFY(content()->rowCount() <= invoices_);
        for (int row = 0; row < content()->rowCount(); ++row)
            QVERIFY(content()->index(row, 3).data().toString().contains(year.right(2)));
        window_->sourceView()->selectionModel()->select(all, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(content()->rowCount(), invoices_);
        // The table has the status column and the seven copy columns.
        QCOMPARE(content()->columnCount(), 8);
        QCOMPARE(content()->headerData(1, Qt::Horizontal).toString(), QString("Seller"));
        QCOMPARE(content()->headerData(7, Qt::Horizontal).toString(), QString("Gross"));
    }

    void statusDotsShowTheStoredValidation() {
        if (!window_->document()->hasRules()) QSKIP("no rules in the build; nothing is validated");
        for (int row = 0; row < content()->rowCount(); ++row) {
            const int status =
                content()->index(row, 0).data(LLContentArrayController::StatusRole).toInt();
            QVERIFY2(status >= 1 && status <= 3, qPrintable(QString::number(status)));
            // The dot drawn for the row has the status colour at its centre.
            QIcon icon = content()->index(row, 0).data(Qt::DecorationRole).value<QIcon>();
            QImage image = icon.pixmap(QSize(10, 10), 1.0).toImage();
            QCOMPARE(image.pixelColor(5, 5).rgb(),
                     shell::statusDotColor(library::LLValidationStatus(status)).rgb());
            QCOMPARE(image.pixelColor(5, 0).rgb(), QColor(Qt::white).rgb());
        }
        // Validate on the first row stores the new code and asks for the sheet.
        window_->tableView()->selectRow(0);
        auto record = content()->recordAtRow(0);
        record->setValidationResult(
            library::LLValidationResult::NotValidated);  // as if never validated
        QCOMPARE(content()->index(0, 0).data(LLContentArrayController::StatusRole).toInt(), 0);
        QSignalSpy sheet(window_, &LLLibraryWindow::validationSheetRequested);
        QSignalSpy result(window_, &LLLibraryWindow::validationResultReady);
        window_->action("validate")->trigger();
        QCOMPARE(sheet.count(), 1);
        QCOMPARE(result.count(), 1);
        QCOMPARE(sheet.at(0).at(1).value<std::shared_ptr<library::LLInvoiceRecord>>(), record);
        QVERIFY(record->validationResult() >= library::LLValidationResult::Valid);
        QVERIFY(content()->index(0, 0).data(LLContentArrayController::StatusRole).toInt() >= 1);
    }

    void copyPutsTheSelectedRowsOnTheClipboard() {
        window_->tableView()->clearSelection();
        window_->tableView()->selectionModel()->select(
            content()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window_->tableView()->selectionModel()->select(
            content()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::clipboard()->clear();
        window_->action("copy")->trigger();
        const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString("Seller\tNumber\tIssued\tDue\tCurrency\tNet\tGross"));
        const QString number = content()->index(2, 2).data().toString();
        QVERIFY(lines[2].split('\t').value(1) == number);
        QCOMPARE(lines[1].split('\t').size(), 7);
    }

    void searchFiltersSellersIgnoringCaseAndAccents() {
        const QString seller = content()->index(0, 1).data().toString();
        QVERIFY(!seller.isEmpty());
        QTest::keyClicks(window_->searchField(), seller.left(4).toUpper());
        QVERIFY(content()->rowCount() >= 1);
        for (int row = 0; row < content()->rowCount(); ++row)
            QVERIFY(content()->index(row, 1).data().toString().startsWith(seller.left(4),
                                                                          Qt::CaseInsensitive));
        window_->searchField()->setText("zzzz-no-such-seller");
        QCOMPARE(content()->rowCount(), 0);
        window_->searchField()->clear();
        QCOMPARE(content()->rowCount(), invoices_);
    }

    void sortingByGrossOrdersTheRows() {
        window_->tableView()->sortByColumn(7, Qt::DescendingOrder);
        auto rows = content()->arrangedObjects();
        for (std::size_t i = 1; i < rows.size(); ++i)
            if (rows[i - 1]->taxInclusiveAmount() && rows[i]->taxInclusiveAmount())
                QVERIFY(!(*rows[i - 1]->taxInclusiveAmount() < *rows[i]->taxInclusiveAmount()));
        window_->tableView()->sortByColumn(1, Qt::AscendingOrder);
    }

    void exportWritesEveryListedInvoice() {
        QTemporaryDir folder;
        window_->chooseExportFolder = [&] { return folder.path() + "/out"; };
        QSignalSpy finished(window_, &LLLibraryWindow::exportFinished);
        window_->action("export")->trigger();
        // The busy sheet is up while the export runs.
        QVERIFY(window_->findChild<shell::CVMinimalBusyWindowController*>());
        QVERIFY(finished.wait(300000));
        QCOMPARE(finished.at(0).at(2).toInt(), 0);  // no failures
        QCOMPARE(fileCount(folder.path() + "/out", "*.xml"), invoices_);
        QCOMPARE(fileCount(folder.path() + "/out", "*.pdf"), invoices_);
        QVERIFY(!window_->isBusy());
    }

    void dragOutCreatesTheInvoiceFiles() {
        auto record = content()->recordAtRow(1);
        std::unique_ptr<QMimeData> mime(content()->mimeData({content()->index(1, 1)}));
        QVERIFY(mime);
        const QList<QUrl> urls = mime->urls();
        QCOMPARE(urls.size(), 2);
        QString xml, pdf;
        for (const QUrl& url : urls)
            (url.toLocalFile().endsWith(".xml") ? xml : pdf) = url.toLocalFile();
        QVERIFY(pdf.endsWith(".pdf"));
        QFile xmlFile(xml), pdfFile(pdf);
        QVERIFY(xmlFile.open(QIODevice::ReadOnly));
        QCOMPARE(xmlFile.readAll().toStdString(), record->xmlReceived().value());
        QVERIFY(pdfFile.open(QIODevice::ReadOnly));
        QVERIFY(pdfFile.read(5) == "%PDF-");
        QVERIFY(!readFile(xml).contains("Content for row"));
    }

    void deleteUndoRedo() {
        const int before = content()->rowCount();
        window_->tableView()->clearSelection();
        window_->tableView()->selectionModel()->select(
            content()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window_->tableView()->selectionModel()->select(
            content()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const std::string first = content()->recordAtRow(0)->uriString();
        window_->action("delete")->trigger();
        QCOMPARE(content()->rowCount(), before - 2);
        QCOMPARE(content()->rowForURIString(first), -1);
        QVERIFY(window_->action("undo")->isEnabled());
        // One undo brings both back, under their old identity.
        window_->action("undo")->trigger();
        QCOMPARE(content()->rowCount(), before);
        QVERIFY(content()->rowForURIString(first) >= 0);
        QVERIFY(window_->action("redo")->isEnabled());
        window_->action("redo")->trigger();
        QCOMPARE(content()->rowCount(), before - 2);
        window_->action("undo")->trigger();
        QCOMPARE(content()->rowCount(), before);
        // The Delete key in the table does the same.
        window_->tableView()->setFocus();
        window_->tableView()->selectRow(0);
        QTest::keyClick(window_->tableView(), Qt::Key_Delete);
        QCOMPARE(content()->rowCount(), before - 1);
        window_->action("undo")->trigger();
        QCOMPARE(content()->rowCount(), before);
    }

    void dropOfAFolderIsAcceptedAndATextFileRefused() {
        QTemporaryDir folder;
        QVERIFY(
            QFile::copy(smallCorpusFolder() + "/CII_example2.xml", folder.filePath("again.xml")));
        QFile text(folder.filePath("notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not an invoice");
        text.close();

        // A text file: refused, nothing imported.
        {
            QSignalSpy finished(window_, &LLLibraryWindow::importFinished);
            QMimeData mime;
            std::unique_ptr<QDropEvent> drop(
                dropEventFor({QUrl::fromLocalFile(text.fileName())}, window_, &mime));
            QDragEnterEvent enter(drop->position().toPoint(), Qt::CopyAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(window_, &enter);
            QVERIFY(enter.isAccepted());  // files are welcome until they are looked at
            QApplication::sendEvent(window_, drop.get());
            QVERIFY(!drop->isAccepted());
            QVERIFY(!finished.wait(500));
        }
        // A folder: accepted and imported (the invoice is there already: still one record).
        {
            QSignalSpy finished(window_, &LLLibraryWindow::importFinished);
            QMimeData mime;
            std::unique_ptr<QDropEvent> drop(
                dropEventFor({QUrl::fromLocalFile(folder.path())}, window_, &mime));
            QDragEnterEvent enter(drop->position().toPoint(), Qt::CopyAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(window_, &enter);
            QVERIFY(enter.isAccepted());
            QApplication::sendEvent(window_, drop.get());
            QVERIFY(drop->isAccepted());
            QVERIFY(finished.wait(120000));
            QCOMPARE(finished.at(0).at(0).toStringList().size(), 1);
            QCOMPARE(content()->rowCount(), invoices_);
        }
    }

    void theImportCommandTakesXMLFilesAndFoldersButNoPDFs() {
        QTemporaryDir folder;
        QVERIFY(QFile::copy(smallCorpusFolder() + "/CII_example5.xml", folder.filePath("a.xml")));
        const QString pdf = corpusDir() + "/zugferd/XML-Rechnung/FX/EN16931_Elektron.pdf";
        window_->chooseImportPaths = [&] { return QStringList{pdf, folder.filePath("a.xml")}; };
        QSignalSpy finished(window_, &LLLibraryWindow::importFinished);
        window_->action("import")->trigger();
        QVERIFY(finished.wait(120000));
        // Only the XML file was handed to the import: its one record, no problem for the PDF.
        QCOMPARE(finished.at(0).at(0).toStringList().size(), 1);
        QVERIFY(window_->document()->errors().empty());
        window_->chooseImportFolder = [&] { return folder.path(); };
        window_->action("importFolder")->trigger();
        QVERIFY(finished.wait(120000));
        QCOMPARE(finished.at(1).at(0).toStringList().size(), 1);
    }

    void importProblemsAreListedInTheErrorSheet() {
        QTemporaryDir folder;
        QFile broken(folder.filePath("broken.xml"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("<Invoice><unclosed></Invoice>");
        broken.close();
        QVERIFY(importAndWait(window_, {broken.fileName()}));
        auto* sheet = window_->findChild<shell::LLErrorViewController*>();
        QVERIFY(sheet);
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->errorList()->topLevelItemCount(), 1);
        const QString description = sheet->errorList()->topLevelItem(0)->text(0);
        QVERIFY2(!description.startsWith("LLError"), qPrintable(description));
        QCOMPARE(sheet->errorList()->topLevelItem(0)->text(1), broken.fileName());
        sheet->close();
    }

    void closingAnUntitledLibraryAsks() {
        // Cancel keeps the window and the invoices.
        answerMessageBox("cancel", "unsavedChangesAlert");
        QVERIFY(!window_->close());
        QVERIFY(window_->isVisible());
        QVERIFY(!window_->document()->isClosed());
        // Delete closes without saving; the untitled store goes with it.
        auto document = window_->document();
        const auto store = document->managedObjectContext().storePath();
        QString asked;
        answerMessageBox("delete", "unsavedChangesAlert", &asked);
        QVERIFY(window_->close());
        QVERIFY(asked.contains("Unsaved Changes"));
        QVERIFY(document->isClosed());
        QVERIFY(!QFile::exists(QString::fromStdString(store.string())));
    }

    void closingAnEmptyUntitledLibraryDoesNotAsk() {
        auto* window = new LLLibraryWindow(library::LLDocument::makeUntitled());
        window->show();
        QVERIFY(window->close());
    }

    void keepSavesTheLibraryWhereTheUserSays() {
        REQUIRE_CORPUS();
        QTemporaryDir folder;
        auto* window = new LLLibraryWindow(library::LLDocument::makeUntitled());
        window->show();
        QVERIFY(importAndWait(window, {smallCorpusFolder() + "/CII_example3.xml"}));
        QCOMPARE(window->contentController()->rowCount(), 1);
        const QString target = folder.filePath("Books.ledgerlens");
        window->chooseSavePath = [&] { return target; };
        auto document = window->document();
        answerMessageBox("keep", "unsavedChangesAlert");
        QVERIFY(window->close());
        QVERIFY(QFile::exists(target));
        auto reopened = library::LLDocument::open(target.toStdString());
        QVERIFY(reopened);
        QCOMPARE(reopened->managedObjectContext().countInvoices().value_or(0), 1);
    }

    void cleanupTestCase() {
        if (window_) {
            answerMessageBox("delete", "unsavedChangesAlert");
            window_->close();
        }
    }
};

QObject* makeLibraryWindowTest() { return new LibraryWindowTest; }

#include "LibraryWindowTest.moc"
