#include "ArchiveSupport.h"

#include <QDir>

#include "platform/FileData.h"
#include "platform/Log.h"

namespace layout::archive {
namespace {

constexpr std::uintmax_t kMaxAssetBytes = 32 * 1024 * 1024;

}  // namespace

double readFloat(const QJsonObject& archive, const char* key, double absent) {
    QJsonValue value = archive.value(QLatin1String(key));
    if (!value.isDouble()) return absent;
    return static_cast<double>(static_cast<float>(value.toDouble()));
}

void writeFloat(QJsonObject& archive, const char* key, double value) {
    archive.insert(QLatin1String(key), static_cast<double>(static_cast<float>(value)));
}

bool readBool(const QJsonObject& archive, const char* key, bool absent) {
    QJsonValue value = archive.value(QLatin1String(key));
    return value.isBool() ? value.toBool() : absent;
}

QColor readColor(const QJsonObject& archive, const char* key, const QColor& absent) {
    QJsonValue value = archive.value(QLatin1String(key));
    if (!value.isString()) return absent;
    QColor color = QColor::fromString(value.toString());
    return color.isValid() ? color.toRgb() : absent;
}

void writeColor(QJsonObject& archive, const char* key, const QColor& color) {
    archive.insert(QLatin1String(key),
                   color.name(color.alpha() == 255 ? QColor::HexRgb : QColor::HexArgb));
}

QByteArray readData(const QJsonObject& archive, const char* key, const ArchiveContext& context) {
    QJsonObject entry = archive.value(QLatin1String(key)).toObject();
    if (entry.contains(QLatin1String("base64")))
        return QByteArray::fromBase64(entry.value(QLatin1String("base64")).toString().toLatin1());
    QString asset = entry.value(QLatin1String("asset")).toString();
    if (asset.isEmpty()) return {};
    // Assets are plain file names inside the package; nothing outside it is ever read.
    if (asset.contains(QLatin1Char('/')) || asset.contains(QLatin1Char('\\')) ||
        asset.startsWith(QLatin1Char('.')) || context.packageDirectory.isEmpty()) {
        platform::logLine("Layout template: asset name refused: " + asset.toStdString());
        return {};
    }
    platform::Error error;
    auto bytes = platform::readFileData(
        QDir(context.packageDirectory).filePath(asset).toStdString(), &error, kMaxAssetBytes);
    if (!bytes) {
        platform::logLine("Layout template: cannot read asset " + asset.toStdString() + ": " +
                          platform::fileDataReason(error));
        return {};
    }
    return QByteArray::fromStdString(*bytes);
}

void writeData(QJsonObject& archive, const char* key, const QByteArray& data) {
    if (data.isEmpty()) return;
    archive.insert(QLatin1String(key),
                   QJsonObject{{QStringLiteral("base64"), QString::fromLatin1(data.toBase64())}});
}

}  // namespace layout::archive
