#include "shell/LLAboutBox.h"

#include <QMessageBox>
#include <set>

#include "ruleweave/RWSchematronValidator.h"
#include "shell/SFLocalize.h"

namespace shell {

std::vector<std::pair<QString, QString>> ruleSetsInUse(
    const std::filesystem::path& rulesDirectory) {
    // Cataloguing reads the folders the library validates with, the same way it does.
    ruleweave::RWSchematronValidator validator;
    validator.addSchemaDirectory(rulesDirectory);
    validator.addSchemaDirectory(rulesDirectory / "Schematron");
    std::set<std::pair<std::string, std::string>> sets;
    for (const auto& [path, entry] : validator.schemaCatalog()) {
        if (entry.ruleSet.name.empty()) continue;
        sets.insert({entry.ruleSet.name + (entry.isXSD ? " (XSD)" : ""), entry.ruleSet.version});
    }
    std::vector<std::pair<QString, QString>> answer;
    for (const auto& [name, version] : sets)
        answer.emplace_back(QString::fromStdString(name), QString::fromStdString(version));
    return answer;
}

QString aboutText(const std::filesystem::path& rulesDirectory) {
    QString text =
        "<h3>Ledgerlens</h3><p>" +
        localizedFormat("Version %1", {QString(LEDGERLENS_VERSION)}).toHtmlEscaped() + "</p><p>" +
        localizedString("A viewer and validator for electronic invoices.").toHtmlEscaped() + "</p>";
    auto sets = ruleSetsInUse(rulesDirectory);
    if (sets.empty()) {
        text += "<p>" +
                localizedString("No validation rules are installed; invoices are not validated.")
                    .toHtmlEscaped() +
                "</p>";
        return text;
    }
    text += "<p><b>" + localizedString("Rule sets in use:").toHtmlEscaped() + "</b></p><ul>";
    for (const auto& [name, version] : sets)
        text += "<li>" + name.toHtmlEscaped() +
                (version.isEmpty() ? QString() : " " + version.toHtmlEscaped()) + "</li>";
    return text + "</ul>";
}

void showAboutBox(QWidget* parent, const std::filesystem::path& rulesDirectory) {
    QMessageBox box(parent);
    box.setObjectName("LLAboutBox");
    box.setWindowTitle(localizedString("About Ledgerlens"));
    box.setTextFormat(Qt::RichText);
    box.setText(aboutText(rulesDirectory));
    box.setStandardButtons(QMessageBox::NoButton);
    box.addButton(localizedString("OK"), QMessageBox::AcceptRole);
    box.exec();
}

}  // namespace shell
