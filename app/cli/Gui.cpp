#include "Gui.h"

#include <iostream>

namespace {

// Qt's own notes go to standard error, except the one about a missing runtime folder that every
// headless start would print.
void qtMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
    std::cerr << "ledgerlens-cli: " << message.toStdString() << "\n";
}

}  // namespace

std::unique_ptr<QGuiApplication> startGui() {
    qInstallMessageHandler(qtMessage);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ledgerlens-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}
