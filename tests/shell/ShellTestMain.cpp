// Runs one QTest suite named on the command line (all without a name) in one QApplication.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/SFLocalizeHelper.h"

QObject* makeLibraryWindowTest();
QObject* makeShellPartsTest();
QObject* makeWindowPartsTest();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings (source list state, recent libraries) go to a folder of the test's own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("LANGUAGE", "en");
    QApplication app(argc, argv);
    platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage("en");

    QStringList args = app.arguments();
    QString only;
    if (args.size() > 1 && !args[1].startsWith('-')) only = args.takeAt(1);
    int status = 0;
    if (only.isEmpty() || only == "LibraryWindowTest") {
        std::unique_ptr<QObject> test(makeLibraryWindowTest());
        status |= QTest::qExec(test.get(), args);
    }
    if (only.isEmpty() || only == "ShellPartsTest") {
        std::unique_ptr<QObject> test(makeShellPartsTest());
        status |= QTest::qExec(test.get(), args);
    }
    if (only.isEmpty() || only == "WindowPartsTest") {
        std::unique_ptr<QObject> test(makeWindowPartsTest());
        status |= QTest::qExec(test.get(), args);
    }
    return status;
}
