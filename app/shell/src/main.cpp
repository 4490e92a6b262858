#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include "platform/SFLocalizeHelper.h"
#include "shell/LLAppDelegate.h"
#include "shell/LLLibraryWindow.h"
#include "shell/LLSingleInstance.h"
#include "shell/LLWindowParts.h"
#include "shell/SFLocalize.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ledgerlens");
    QApplication::setApplicationVersion(LEDGERLENS_VERSION);
    QApplication::setDesktopFileName("ledgerlens");
    QApplication::setWindowIcon(QIcon::fromTheme("ledgerlens"));

    QCommandLineParser parser;
    parser.setApplicationDescription("Ledgerlens: a viewer and validator for electronic invoices.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        "files", "Libraries (.ledgerlens) to open; invoice files and folders to import.",
        "[FILE...]");
    parser.process(app);
    const QStringList files = parser.positionalArguments();

    // A second start hands its files to the running program and ends; it never stops that one.
    shell::LLSingleInstance instance;
    if (instance.sendToRunningInstance(files)) return 0;
    instance.listen();

    shell::LLAppDelegate delegate;
    // Before the first window opens, so it gets its preview and sheets too.
    shell::connectWindowParts(delegate);
    QObject::connect(&instance, &shell::LLSingleInstance::filesReceived, &delegate,
                     [&delegate](const QStringList& received) { delegate.openFiles(received); });
    delegate.applicationDidFinishLaunching(files);
    return app.exec();
}
