#include "platform/Settings.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <cstdlib>

namespace platform {
namespace {

QString qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A fresh QSettings per use: it reads the file again when another process changed it.
std::unique_ptr<QSettings> open(const std::filesystem::path& file) {
    auto settings =
        std::make_unique<QSettings>(QString::fromStdString(file.string()), QSettings::IniFormat);
    settings->sync();
    return settings;
}

bool finish(QSettings& settings, const std::filesystem::path& file, Error* error) {
    settings.sync();
    if (settings.status() == QSettings::FormatError) {
        // QSettings keeps a file it cannot read; an unreadable file holds no settings worth
        // keeping, so it is started afresh.
        QVariantMap values;
        for (const auto& key : settings.allKeys()) values.insert(key, settings.value(key));
        std::error_code ec;
        std::filesystem::remove(file, ec);
        auto fresh = open(file);
        for (auto it = values.begin(); it != values.end(); ++it)
            fresh->setValue(it.key(), it.value());
        fresh->sync();
        if (fresh->status() == QSettings::NoError) return true;
    }
    if (settings.status() == QSettings::NoError) return true;
    return setError(error, "platform.settings", 1,
                    "The settings could not be saved to " + file.string());
}

}  // namespace

Settings::Settings(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path Settings::defaultPath() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = ".config";
    return base / "Ledgerlens" / "Ledgerlens.conf";
}

std::optional<std::string> Settings::value(std::string_view key) const {
    auto settings = open(file_);
    QVariant value = settings->value(qstring(key));
    if (!value.isValid()) return std::nullopt;
    // A list written by the desktop program reads as its items joined, as QSettings shows it.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(", ").toStdString();
    return value.toString().toStdString();
}

std::optional<std::vector<std::string>> Settings::stringListValue(std::string_view key) const {
    auto settings = open(file_);
    QVariant value = settings->value(qstring(key));
    if (!value.isValid()) return std::nullopt;
    std::vector<std::string> items;
    for (const auto& item : value.toStringList()) items.push_back(item.toStdString());
    return items;
}

bool Settings::boolValue(std::string_view key, bool fallback) const {
    auto text = value(key);
    if (!text) return fallback;
    if (*text == "true" || *text == "1" || *text == "yes") return true;
    if (*text == "false" || *text == "0" || *text == "no") return false;
    return fallback;
}

bool Settings::setValue(std::string_view key, std::string_view value, Error* error) {
    auto settings = open(file_);
    settings->setValue(qstring(key), qstring(value));
    return finish(*settings, file_, error);
}

bool Settings::setStringListValue(std::string_view key, const std::vector<std::string>& items,
                                  Error* error) {
    auto settings = open(file_);
    QStringList list;
    for (const auto& item : items) list << qstring(item);
    settings->setValue(qstring(key), list);
    return finish(*settings, file_, error);
}

bool Settings::remove(std::string_view key, Error* error) {
    auto settings = open(file_);
    settings->remove(qstring(key));
    return finish(*settings, file_, error);
}

}  // namespace platform
