#pragma once

#include <QByteArray>
#include <QColor>
#include <QJsonObject>
#include <QJsonValue>

#include "layout/LayoutView.h"

namespace layout::archive {

// Sizes are archived as 32-bit floats.
double readFloat(const QJsonObject& archive, const char* key, double absent);
void writeFloat(QJsonObject& archive, const char* key, double value);
bool readBool(const QJsonObject& archive, const char* key, bool absent);
// Colours are "#RRGGBB" or "#AARRGGBB".
QColor readColor(const QJsonObject& archive, const char* key, const QColor& absent);
void writeColor(QJsonObject& archive, const char* key, const QColor& color);
// Binary data: {"base64": "…"} inline, or {"asset": "file"} beside Data.json in the package.
QByteArray readData(const QJsonObject& archive, const char* key, const ArchiveContext& context);
void writeData(QJsonObject& archive, const char* key, const QByteArray& data);

}  // namespace layout::archive
