// The application shell: a second start hands its files over, recent libraries, the busy sheet,
// controls that translate themselves, the About box, and the screenshots.
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "ShellTestSupport.h"
#include "library/LLDocument.h"
#include "library/LLManagedObject.h"
#include "platform/Resources.h"
#include "platform/SFLocalizeHelper.h"
#include "shell/CVMinimalBusyWindowController.h"
#include "shell/LLAboutBox.h"
#include "shell/LLAppDelegate.h"
#include "shell/LLContentArrayController.h"
#include "shell/LLContentTableView.h"
#include "shell/LLErrorViewController.h"
#include "shell/LLLibraryWindow.h"
#include "shell/LLRecentDocuments.h"
#include "shell/LLSingleInstance.h"
#include "shell/LLSourceListModel.h"
#include "shell/SFLocalize.h"

using shell::LLLibraryWindow;

namespace {

QMenu* menuTitled(QMenuBar* bar, int index) { return bar->actions().value(index)->menu(); }

}  // namespace

class ShellPartsTest : public QObject {
    Q_OBJECT

  private slots:
    void aSecondStartHandsItsFilesToTheFirst() {
        REQUIRE_CORPUS();
        QTemporaryDir runtime;
        // The program's socket name for a runtime folder of the test's own.
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        const QString name = shell::LLSingleInstance::defaultServerName();
        qunsetenv("XDG_RUNTIME_DIR");
        QVERIFY(name.startsWith(runtime.path()));
        QVERIFY(name.contains(QString::number(::getuid())));

        shell::LLSingleInstance first(name);
        QVERIFY(first.listen());
        shell::LLAppDelegate delegate;
        LLLibraryWindow* window = delegate.newDocument();
        QVERIFY(window);
        connect(&first, &shell::LLSingleInstance::filesReceived, &delegate,
                &shell::LLAppDelegate::openFiles);
        QSignalSpy received(&first, &shell::LLSingleInstance::filesReceived);
        QSignalSpy imported(window, &LLLibraryWindow::importFinished);

        // The real program, started a second time with an invoice.
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        second.setProcessEnvironment(environment);
        const QString invoice = smallCorpusFolder() + "/CII_example4.xml";
        second.start(LEDGERLENS_PROGRAM, {invoice});
        QVERIFY(received.wait(20000));
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(received.at(0).at(0).toStringList(),
                 QStringList{QFileInfo(invoice).absoluteFilePath()});
        // The first instance is still running and imports the file into its library.
        QVERIFY(first.isListening());
        QVERIFY(imported.wait(120000));
        QCOMPARE(window->contentController()->rowCount(), 1);

        answerMessageBox("delete", "unsavedChangesAlert");
        QVERIFY(window->close());
    }

    void aSocketLeftByACrashDoesNotBlockTheStart() {
        QTemporaryDir runtime;
        const QString name = runtime.filePath("ledgerlens-test.socket");
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        shell::LLSingleInstance instance(name);
        QVERIFY(!instance.sendToRunningInstance({}, 500));
        QVERIFY(instance.listen());
        // A second listener on the same name does not take over.
        shell::LLSingleInstance other(name);
        QVERIFY(!other.listen());
    }

    void recentLibrariesNewestFirstAndOnlyLibraries() {
        QTemporaryDir folder;
        shell::LLRecentDocuments recent(folder.filePath("settings.conf"));
        recent.noteDocument(folder.filePath("a.ledgerlens"));
        recent.noteDocument(folder.filePath("invoice.xml"));
        recent.noteDocument(folder.filePath("b.ledgerlens"));
        recent.noteDocument(folder.filePath("a.ledgerlens"));
        QCOMPARE(recent.libraryPaths(),
                 (QStringList{folder.filePath("a.ledgerlens"), folder.filePath("b.ledgerlens")}));
        for (int i = 0; i < 15; ++i) recent.noteDocument(folder.filePath("%1.ledgerlens").arg(i));
        QCOMPARE(recent.paths().size(), shell::LLRecentDocuments::kMaximum);
    }

    void startOpensTheMostRecentLibraryElseANewOne() {
        shell::LLRecentDocuments().clear();
        {
            shell::LLAppDelegate delegate;
            delegate.applicationDidFinishLaunching({});
            QCOMPARE(delegate.windows().size(), 1);
            QVERIFY(!delegate.windows().front()->document()->fileURL());
            delegate.windows().front()->close();
        }
        QTemporaryDir folder;
        const QString path = folder.filePath("Books.ledgerlens");
        QVERIFY(library::LLDocument::open(path.toStdString(), true));
        shell::LLRecentDocuments().noteDocument(folder.filePath("gone.ledgerlens"));
        shell::LLRecentDocuments().noteDocument(path);
        shell::LLAppDelegate delegate;
        delegate.applicationDidFinishLaunching({});
        QCOMPARE(delegate.windows().size(), 1);
        LLLibraryWindow* window = delegate.windows().front();
        QCOMPARE(QString::fromStdString(window->document()->fileURL()->string()), path);
        // Opening it again brings the same window.
        QCOMPARE(delegate.openDocument(path), window);
        // File > Open of an invoice file asks for its own window.
        QSignalSpy invoice(&delegate, &shell::LLAppDelegate::invoiceFileOpenRequested);
        delegate.chooseOpenPaths = [] { return QStringList{"/tmp/some invoice.xml"}; };
        window->action("open")->trigger();
        QCOMPARE(invoice.count(), 1);
        QCOMPARE(invoice.at(0).at(0).toString(), QString("/tmp/some invoice.xml"));
        window->close();
        shell::LLRecentDocuments().clear();
    }

    void theSourceListKeepsItsStateAcrossWindows() {
        REQUIRE_CORPUS();
        QTemporaryDir folder;
        const QString path = folder.filePath("Books.ledgerlens");
        std::string month;
        {
            auto* window = new LLLibraryWindow(library::LLDocument::open(path.toStdString(), true));
            window->show();
            QSignalSpy imported(window, &LLLibraryWindow::importFinished);
            window->importPaths({smallCorpusFolder()});
            QVERIFY(imported.wait(300000));
            auto* tree = window->sourceList();
            const QModelIndex year = tree->index(0, 0, tree->index(0, 0));
            window->sourceView()->expand(year);
            const QModelIndex first = tree->index(0, 0, year);
            QVERIFY(first.isValid());
            month = first.data(Qt::UserRole).toString().toStdString();
            window->sourceView()->selectionModel()->select(first,
                                                           QItemSelectionModel::ClearAndSelect);
            QVERIFY(window->contentController()->rowCount() <
                    int(window->contentController()->content().size()));
            window->close();
        }
        auto* window = new LLLibraryWindow(library::LLDocument::open(path.toStdString()));
        window->show();
        auto selected = window->sourceList()->controller().selectedUIDs();
        QCOMPARE(selected, std::vector<std::string>{month});
        const QModelIndexList rows = window->sourceView()->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.front().data(Qt::UserRole).toString().toStdString(), month);
        QVERIFY(window->sourceView()->isExpanded(rows.front().parent()));
        window->close();
    }

    void aLibraryAndAnInvoiceOpenedTogether() {
        REQUIRE_CORPUS();
        QTemporaryDir folder;
        const QString path = folder.filePath("Books.ledgerlens");
        QVERIFY(library::LLDocument::open(path.toStdString(), true));
        shell::LLAppDelegate delegate;
        const QString invoice = smallCorpusFolder() + "/CII_example6.xml";
        QSignalSpy created(&delegate, &shell::LLAppDelegate::windowCreated);
        delegate.openFiles({path, invoice});
        // The library opens and the invoice goes into it; the library itself is not imported.
        QCOMPARE(created.count(), 1);
        LLLibraryWindow* window = delegate.windows().value(0);
        QVERIFY(window);
        QCOMPARE(QString::fromStdString(window->document()->fileURL()->string()), path);
        QSignalSpy imported(window, &LLLibraryWindow::importFinished);
        QVERIFY(imported.wait(120000));
        QCOMPARE(window->contentController()->rowCount(), 1);
        QVERIFY(window->document()->errors().empty());
        window->close();
        shell::LLRecentDocuments().clear();
    }

    void busySheetStaysIndeterminateUntilBothValuesAreKnown() {
        QWidget parent;
        shell::CVMinimalBusyWindowController busy(&parent, 0);
        QCOMPARE(busy.width(), 320);
        busy.setCurrentProgress(3);
        QCoreApplication::processEvents();
        QCOMPARE(busy.progressIndicator()->maximum(), 0);  // still busy, no bar
        busy.setMaxProgress(10);
        QCoreApplication::processEvents();
        QCOMPARE(busy.progressIndicator()->maximum(), 10);
        QCOMPARE(busy.progressIndicator()->value(), 3);
        QSignalSpy cancel(&busy, &shell::CVMinimalBusyWindowController::cancelRequested);
        busy.cancelButton()->click();
        QVERIFY(busy.cancelled());
        QCOMPARE(cancel.count(), 1);
    }

    void cancelEndsAnExportWithItsSheet() {
        REQUIRE_CORPUS();
        auto* window = new LLLibraryWindow(library::LLDocument::makeUntitled());
        window->show();
        QSignalSpy imported(window, &LLLibraryWindow::importFinished);
        window->importPaths({smallCorpusFolder()});
        QVERIFY(imported.wait(300000));
        QTemporaryDir folder;
        QSignalSpy finished(window, &LLLibraryWindow::exportFinished);
        window->exportToFolder(folder.path());
        QPointer<shell::CVMinimalBusyWindowController> busy =
            window->findChild<shell::CVMinimalBusyWindowController*>();
        QVERIFY(busy);
        QVERIFY(!window->action("export")->isEnabled());  // one export at a time
        busy->cancelButton()->click();
        QVERIFY(finished.wait(300000));
        // However far it got, the sheet is gone and only whole invoices were written.
        QVERIFY(finished.at(0).at(1).toInt() % 2 == 0);
        QTRY_VERIFY(!busy);
        QVERIFY(!window->isBusy());
        QVERIFY(window->action("export")->isEnabled());
        answerMessageBox("delete", "unsavedChangesAlert");
        window->close();
    }

    void controlsTranslateThemselves() {
        LanguageScope german("de");
        auto* window = new LLLibraryWindow(library::LLDocument::makeUntitled());
        QCOMPARE(window->action("import")->text(), QString("Importieren …"));
        QCOMPARE(menuTitled(window->menuBar(), 0)->title(), QString("Datei"));
        QCOMPARE(window->searchField()->placeholderText(), QString("Suchen"));
        QCOMPARE(window->contentController()->headerData(1, Qt::Horizontal).toString(),
                 QString("Verkäufer"));
        QCOMPARE(window->sourceList()->index(0, 0).data().toString(), QString("Alle"));
        // An icon-only button keeps its empty title but gets its tooltip translated.
        QPushButton button;
        button.setToolTip("Delete");
        shell::localize(&button);
        QCOMPARE(button.text(), QString());
        QCOMPARE(button.toolTip(), QString("Löschen"));
        window->close();
    }

    void everyWindowTextHasATranslation() {
        // Each text the window shows is a key of every table (a missing one would show English).
        auto* window = new LLLibraryWindow(library::LLDocument::makeUntitled());
        QStringList texts;
        for (QAction* action : window->findChildren<QAction*>())
            if (!action->text().isEmpty() && !action->isSeparator()) texts << action->text();
        for (QMenu* menu : window->findChildren<QMenu*>()) texts << menu->title();
        texts << window->searchField()->placeholderText();
        window->close();
        QVERIFY(texts.size() > 20);
        const auto resources = platform::resourceDirectory();
        QVERIFY(resources);
        for (const char* language : {"en", "de", "fr", "it", "es"}) {
            QFile file(QString::fromStdString((*resources / "l10n").string()) + "/" + language +
                       ".json");
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QJsonObject table = QJsonDocument::fromJson(file.readAll()).object();
            for (QString text : texts) {
                if (text.endsWith(QChar(0x2026)) || text.endsWith(':')) text.chop(1);
                QVERIFY2(table.contains(text), qPrintable(QString(language) + ": " + text));
            }
        }
    }

    void aboutBoxNamesTheRuleSets() {
        auto document = library::LLDocument::makeUntitled();
        const QString text = shell::aboutText(document->rulesDirectory());
        QVERIFY(text.contains(LEDGERLENS_VERSION_TEXT));
        if (!document->hasRules()) QSKIP("no rules in the build");
        const auto sets = shell::ruleSetsInUse(document->rulesDirectory());
        QVERIFY(!sets.empty());
        bool en16931 = false;
        for (const auto& [name, version] : sets) {
            QVERIFY(text.contains(name.toHtmlEscaped()));
            if (name.contains("EN16931")) en16931 = !version.isEmpty();
        }
        QVERIFY(en16931);
    }

    // Pictures of the window for people to look at: LEDGERLENS_SCREENSHOT_DIR names the folder.
    void screenshots() {
        const QString folder = qEnvironmentVariable("LEDGERLENS_SCREENSHOT_DIR");
        if (folder.isEmpty()) QSKIP("LEDGERLENS_SCREENSHOT_DIR is not set");
        REQUIRE_CORPUS();
        QDir().mkpath(folder);
        for (const char* language : {"en", "de"}) {
            LanguageScope scope(language);
            auto* window = new LLLibraryWindow(library::LLDocument::makeUntitled());
            window->resize(1200, 640);
            window->show();
            QSignalSpy imported(window, &LLLibraryWindow::importFinished);
            window->importPaths({smallCorpusFolder(), corpusDir() + "/en16931-examples/ubl"});
            QVERIFY(imported.wait(300000));
            window->tableView()->selectRow(1);
            QCoreApplication::processEvents();
            QVERIFY(window->grab().save(folder + QString("/library-window-%1.png").arg(language)));
            auto* busy = new shell::CVMinimalBusyWindowController(window, 0);
            busy->setMessage(
                shell::localizedFormat("Importing %1 (%2)…", {"CII_example5.xml", "4"}));
            busy->setMaxProgress(12);
            busy->setCurrentProgress(4);
            busy->beginSheet();
            QCoreApplication::processEvents();
            QVERIFY(busy->grab().save(folder + QString("/busy-sheet-%1.png").arg(language)));
            busy->endSheet();
            shell::LLErrorViewController errors(
                {{library::kLLErrorNoValidXML, "/home/anna/Invoices/broken.xml", ""},
                 {library::kLLErrorUnreadablePDF, "/home/anna/Invoices/scan.pdf",
                  "the PDF is encrypted"}},
                window);
            errors.show();
            QCoreApplication::processEvents();
            QVERIFY(errors.grab().save(folder + QString("/error-sheet-%1.png").arg(language)));
            answerMessageBox("delete", "unsavedChangesAlert");
            window->close();
        }
    }
};

QObject* makeShellPartsTest() { return new ShellPartsTest; }

#include "ShellPartsTest.moc"
