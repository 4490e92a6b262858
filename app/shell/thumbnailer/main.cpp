// ledgerlens-thumbnailer: the freedesktop thumbnailer of invoice files.
#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>
#include <cstdio>
#include <filesystem>

#include "InvoiceThumbnail.h"
#include "platform/FileData.h"

namespace {

enum Exit { kDone = 0, kFailed = 1, kUsage = 2 };

// Larger inputs are refused before they are read; real invoices are far smaller.
constexpr std::uintmax_t kInputLimit = std::uintmax_t(256) << 20;
constexpr int kLargestSize = 4096;

int fail(const QString& path, const std::string& reason) {
    std::fprintf(stderr, "ledgerlens-thumbnailer: %s: %s\n", qPrintable(path), reason.c_str());
    return kFailed;
}

// File managers run thumbnailers without a display, often in a sandbox.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || message.startsWith(QLatin1String("QStandardPaths:"))) return;
    std::fprintf(stderr, "ledgerlens-thumbnailer: %s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietQtMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName("ledgerlens-thumbnailer");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Writes the first page of an invoice file as a PNG thumbnail: a PDF's first page, or\n"
        "the first page rendered from invoice XML (CII, UBL, FatturaPA, Facturae).\n"
        "Exit status 0 written, 1 not an invoice or unreadable, 2 usage error.");
    parser.addHelpOption();
    QCommandLineOption sizeOption({"s", "size"}, "The longer side of the thumbnail in pixels.",
                                  "SIZE", "256");
    parser.addOption(sizeOption);
    parser.addPositionalArgument("INPUT", "The invoice file (PDF or XML).");
    parser.addPositionalArgument("OUTPUT", "The PNG file to write.");
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "ledgerlens-thumbnailer: %s\n", qPrintable(parser.errorText()));
        return kUsage;
    }
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return kDone;
    }
    const QStringList files = parser.positionalArguments();
    bool isNumber = false;
    const int size = parser.value(sizeOption).toInt(&isNumber);
    if (files.size() != 2 || !isNumber || size < 1 || size > kLargestSize) {
        std::fputs(
            "Usage: ledgerlens-thumbnailer -s SIZE INPUT OUTPUT.png "
            "(SIZE from 1 to 4096)\n",
            stderr);
        return kUsage;
    }

    const QString input = files[0], output = files[1];
    // The file system's own bytes, whatever the name's characters.
    const std::filesystem::path inputPath = QFile::encodeName(input).toStdString();
    std::error_code ec;
    // Devices and pipes are never read: they may not end.
    if (!std::filesystem::is_regular_file(inputPath, ec)) return fail(input, "not a regular file");
    platform::Error error;
    auto bytes = platform::readFileData(inputPath, &error, kInputLimit);
    if (!bytes) return fail(input, error.localizedDescription);
    thumbnailer::Thumbnail thumbnail = thumbnailer::thumbnailForInvoice(*bytes, size);
    if (thumbnail.image.isNull()) return fail(input, thumbnail.reason);

    QSaveFile out(output);
    QImageWriter writer(&out, "png");
    if (!out.open(QIODevice::WriteOnly) || !writer.write(thumbnail.image) || !out.commit())
        return fail(output, "cannot be written");
    return kDone;
}
