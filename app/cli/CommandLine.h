#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <optional>
#include <string>
#include <vector>

// Exit status for a command line that cannot be used (unknown option, bad value, missing
// argument); distinct from the verdicts 0 valid, 1 warnings, 2 errors, 3 not validated.
inline constexpr int kExitUsage = 4;

// The options of one command, parsed by QCommandLineParser. Every command knows --help.
class CommandLine {
  public:
    // `usage` is printed for --help; problems name `command` and point at its --help.
    CommandLine(std::string command, std::string usage);
    void addFlag(const QStringList& names);
    void addValue(const QStringList& names, const QString& valueName);
    // False when the caller should stop with exitCode(): --help was printed or the line is
    // unusable.
    bool parse(const std::vector<std::string>& args);
    int exitCode() const { return exitCode_; }

    bool isSet(const QString& name) const { return parser_.isSet(name); }
    std::optional<std::string> value(const QString& name) const;
    std::vector<std::string> values(const QString& name) const;
    std::vector<std::string> positional() const;

    // Prints "ledgerlens-cli: MESSAGE" and the hint; answers kExitUsage.
    int fail(const std::string& message);
    // A whole number in [low, high] for an option, or a failure.
    std::optional<long> number(const QString& name, long low, long high);
    // A language (de) or locale (de_DE) that the labels exist for, or a failure.
    std::optional<std::string> locale(const QString& name);
    // One of `choices`, or a failure; `fallback` when the option is not given.
    std::optional<std::string> choice(const QString& name, const std::vector<std::string>& choices,
                                      const std::string& fallback);

  private:
    std::string command_;
    std::string usage_;
    QCommandLineParser parser_;
    int exitCode_ = 0;
};

// "ledgerlens-cli: MESSAGE" and the hint to --help; kExitUsage.
int usageError(const std::string& message, const std::string& command = {});
