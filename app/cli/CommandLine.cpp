#include "CommandLine.h"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "platform/SFLocalizeHelper.h"

namespace {

QString qstring(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

int usageError(const std::string& message, const std::string& command) {
    std::cerr << "ledgerlens-cli: " << message << "\n"
              << "Try 'ledgerlens-cli " << (command.empty() ? "" : command + " ") << "--help'.\n";
    return kExitUsage;
}

CommandLine::CommandLine(std::string command, std::string usage)
    : command_(std::move(command)), usage_(std::move(usage)) {
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    addFlag({"h", "help"});
}

void CommandLine::addFlag(const QStringList& names) {
    parser_.addOption(QCommandLineOption(names));
}

void CommandLine::addValue(const QStringList& names, const QString& valueName) {
    parser_.addOption(QCommandLineOption(names, QString(), valueName));
}

bool CommandLine::parse(const std::vector<std::string>& args) {
    QStringList list{qstring("ledgerlens-cli " + command_)};
    for (const auto& arg : args) list << qstring(arg);
    if (!parser_.parse(list)) {
        exitCode_ = fail(parser_.errorText().toStdString());
        return false;
    }
    if (parser_.isSet("help")) {
        std::cout << usage_;
        exitCode_ = 0;
        return false;
    }
    return true;
}

int CommandLine::fail(const std::string& message) {
    exitCode_ = usageError(message, command_);
    return exitCode_;
}

std::optional<std::string> CommandLine::value(const QString& name) const {
    if (!parser_.isSet(name)) return std::nullopt;
    return parser_.value(name).toStdString();
}

std::vector<std::string> CommandLine::values(const QString& name) const {
    std::vector<std::string> result;
    for (const auto& value : parser_.values(name)) result.push_back(value.toStdString());
    return result;
}

std::vector<std::string> CommandLine::positional() const {
    std::vector<std::string> result;
    for (const auto& arg : parser_.positionalArguments()) result.push_back(arg.toStdString());
    return result;
}

std::optional<long> CommandLine::number(const QString& name, long low, long high) {
    bool ok = false;
    long value = parser_.value(name).toLong(&ok);
    if (!ok || value < low || value > high) {
        fail("--" + name.toStdString() + " needs a whole number from " + std::to_string(low) +
             " to " + std::to_string(high) + ", not \"" + parser_.value(name).toStdString() + "\"");
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> CommandLine::locale(const QString& name) {
    std::string text = parser_.value(name).toStdString();
    std::string language = text.substr(0, text.find_first_of("_-."));
    std::string country = language.size() < text.size() ? text.substr(language.size() + 1) : "";
    auto available = platform::SFLocalizeHelper::sharedHelper().availableLanguages();
    bool known = std::find(available.begin(), available.end(), language) != available.end();
    bool countryOK = country.empty() ||
                     (country.size() == 2 && std::isupper(static_cast<unsigned char>(country[0])) &&
                      std::isupper(static_cast<unsigned char>(country[1])));
    if (!known || !countryOK) {
        std::string list;
        for (const auto& entry : available) list += (list.empty() ? "" : ", ") + entry;
        fail("unknown locale \"" + text + "\" for --" + name.toStdString() +
             " (languages: " + list + "; a country may follow, as in de_DE)");
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> CommandLine::choice(const QString& name,
                                               const std::vector<std::string>& choices,
                                               const std::string& fallback) {
    if (!parser_.isSet(name)) return fallback;
    std::string text = parser_.value(name).toStdString();
    if (std::find(choices.begin(), choices.end(), text) != choices.end()) return text;
    std::string list;
    for (const auto& entry : choices) list += (list.empty() ? "" : "|") + entry;
    fail("--" + name.toStdString() + " needs " + list + ", not \"" + text + "\"");
    return std::nullopt;
}
