#include "ruleweave-ui/RWValidationItem.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "Localized.h"

namespace ruleweave::ui {
namespace {

QString text(const std::optional<std::string>& value) {
    return value ? QString::fromStdString(*value) : QString();
}

const RWRuleSet* ruleSetNamed(const RWValidationResult& result, const std::string& name) {
    for (const auto& set : result.ruleSets)
        if (set.name == name) return &set;
    return nullptr;
}

RWValidationItem detail(const char* title, const QString& value) {
    RWValidationItem item;
    item.title = localized(title);
    item.value = value;
    return item;
}

RWValidationItem findingItem(const RWValidationResult& result, const RWValidationError& error,
                             bool isError) {
    RWValidationItem item;
    item.error = error;
    item.isError = isError;
    item.status = isError ? 3 : error.severity() == "Warning" ? 2 : 0;
    item.title = titleForMessage(error.message.value_or(error.assertionId.value_or("")));
    for (auto [title, value] :
         {std::pair{"Location", &error.location}, std::pair{"Pattern", &error.pattern},
          std::pair{"Rule", &error.rule}, std::pair{"Assertion", &error.assertion}}) {
        if (value->has_value() && !(*value)->empty())
            item.children.push_back(detail(title, text(*value)));
    }
    // XSD findings name their schema in the title, Schematron findings their rule set.
    std::string setName = error.ruleSet.value_or(error.schemaTitle.value_or(""));
    if (!setName.empty()) {
        const RWRuleSet* set = ruleSetNamed(result, setName);
        item.children.push_back(
            detail("Rule set", set ? ruleSetLabel(*set) : QString::fromStdString(setName)));
    }
    return item;
}

}  // namespace

QString titleForMessage(const std::string& message) {
    static const QRegularExpression bracketed(QStringLiteral("^\\[([^\\]]+)\\]\\s*-?\\s*(.+)$"));
    QString simplified = QString::fromStdString(message).simplified();
    auto match = bracketed.match(simplified);
    if (!match.hasMatch()) return simplified;
    return QStringLiteral("%1 [%2]").arg(match.captured(2), match.captured(1));
}

QString ruleSetLabel(const RWRuleSet& ruleSet) {
    QString label = QString::fromStdString(ruleSet.name);
    const QString version = QString::fromStdString(ruleSet.version);
    // XSD names often carry their version already ("UBL-CreditNote-2.1").
    if (!version.isEmpty() && !label.endsWith(version)) label += QLatin1Char(' ') + version;
    if (ruleSet.isXSD) label += QStringLiteral(" (XSD)");
    return label;
}

std::vector<RWValidationItem> validationItemsForResult(const RWValidationResult& result) {
    std::vector<RWValidationItem> items;
    if (result.errors.empty() && result.warnings.empty()) {
        std::vector<QString> names;
        for (const auto& set : result.ruleSets) names.push_back(ruleSetLabel(set));
        if (names.empty() && result.schemaFiles)
            for (const auto& file : *result.schemaFiles)
                names.push_back(QFileInfo(QString::fromStdString(file)).fileName());
        for (const auto& name : names) {
            RWValidationItem item;
            item.title = localized("Validated with: %1").arg(name);
            item.status = 1;
            items.push_back(std::move(item));
        }
        return items;
    }
    for (const auto& error : result.errors) items.push_back(findingItem(result, error, true));
    for (const auto& warning : result.warnings)
        items.push_back(findingItem(result, warning, false));
    return items;
}

QString copyTextForItem(const RWValidationItem& item) {
    auto line = [](const RWValidationItem& row) {
        return row.value ? QStringLiteral("%1: %2").arg(row.title, *row.value) : row.title;
    };
    QString text = line(item);
    for (const auto& child : item.children) text += QStringLiteral("\n  ") + line(child);
    return text;
}

}  // namespace ruleweave::ui
