#include "layout/LayoutTemplate.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include "layout/SFLayoutPageView.h"
#include "layout/SFLayoutTableSectionView.h"
#include "platform/FileData.h"
#include "platform/Resources.h"
#include "platform/SFLocalizeHelper.h"

namespace layout {
namespace {

constexpr std::uintmax_t kMaxArchiveBytes = 16 * 1024 * 1024;

void fail(std::string* error, const std::string& message) {
    if (error) *error = message;
}

std::vector<LayoutTemplate::Entry> readEntries(const QJsonArray& array, const char* nameKey,
                                               const ArchiveContext& context) {
    std::vector<LayoutTemplate::Entry> entries;
    for (const QJsonValue& value : array) {
        QJsonObject entry = value.toObject();
        LayoutTemplate::Entry decoded;
        decoded.name = entry.value(QLatin1String(nameKey)).toString().toStdString();
        if (entry.value(QStringLiteral("view")).isObject())
            decoded.view =
                LayoutView::decode(entry.value(QStringLiteral("view")).toObject(), context);
        entries.push_back(std::move(decoded));
    }
    return entries;
}

template <class T>
std::shared_ptr<T> cloneOfFirst(const std::vector<LayoutTemplate::Entry>& entries,
                                const std::string& name) {
    for (const auto& entry : entries) {
        if (entry.name != name) continue;
        if (!entry.view) return nullptr;
        return std::dynamic_pointer_cast<T>(entry.view->cloneView());
    }
    return nullptr;
}

}  // namespace

std::optional<LayoutTemplate> LayoutTemplate::fromJson(const QByteArray& json,
                                                       const ArchiveContext& context,
                                                       std::string* error) {
    QJsonParseError parseError;
    QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull() || !document.isObject()) {
        fail(error, "the template archive is not a JSON object: " +
                        parseError.errorString().toStdString());
        return std::nullopt;
    }
    QJsonObject root = document.object();
    LayoutTemplate result;
    result.tableSections_ =
        readEntries(root.value(QStringLiteral("tableSections")).toArray(), "identifier", context);
    result.pages_ = readEntries(root.value(QStringLiteral("pages")).toArray(), "name", context);
    return result;
}

std::optional<LayoutTemplate> LayoutTemplate::load(const QString& packageDirectory,
                                                   std::function<QString(const QString&)> translate,
                                                   std::string* error) {
    const QString path = QDir(packageDirectory).filePath(QStringLiteral("Data.json"));
    platform::Error readError;
    auto bytes = platform::readFileData(path.toStdString(), &readError, kMaxArchiveBytes);
    if (!bytes) {
        fail(error, platform::fileDataError(readError) == platform::FileDataError::TooLarge
                        ? "the layout template archive is too large"
                        : "cannot read the layout template " + readError.localizedDescription);
        return std::nullopt;
    }
    return fromJson(QByteArray::fromStdString(*bytes),
                    ArchiveContext{packageDirectory, std::move(translate)}, error);
}

std::optional<LayoutTemplate> LayoutTemplate::named(const std::string& name, std::string* error) {
    auto resources = platform::resourceDirectory();
    if (!resources) {
        fail(error, "the program's resources were not found");
        return std::nullopt;
    }
    QString package =
        QString::fromStdString((*resources / "layout" / (name + ".corvina")).string());
    return load(
        package,
        [](const QString& key) {
            return QString::fromStdString(platform::localizedString(key.toStdString()));
        },
        error);
}

std::shared_ptr<SFLayoutTableSectionView> LayoutTemplate::tableSectionWithIdentifier(
    const std::string& id) const {
    return cloneOfFirst<SFLayoutTableSectionView>(tableSections_, id);
}

std::shared_ptr<SFLayoutPageView> LayoutTemplate::tablePageWithIdentifier(
    const std::string& name) const {
    return cloneOfFirst<SFLayoutPageView>(pages_, name);
}

QByteArray LayoutTemplate::toJson() const {
    auto write = [](const std::vector<Entry>& entries, const char* nameKey) {
        QJsonArray array;
        for (const auto& entry : entries) {
            QJsonObject object{{QLatin1String(nameKey), QString::fromStdString(entry.name)}};
            if (entry.view) object.insert(QStringLiteral("view"), entry.view->encode());
            array.append(object);
        }
        return array;
    };
    QJsonObject root{{QStringLiteral("tableSections"), write(tableSections_, "identifier")},
                     {QStringLiteral("pages"), write(pages_, "name")}};
    return QJsonDocument(root).toJson();
}

}  // namespace layout
