#pragma once

#include <QString>
#include <filesystem>
#include <utility>
#include <vector>

class QWidget;

namespace shell {

// The rule sets the program validates with, as "name version" pairs (sorted, each once), read
// from the rules folder's catalog.
std::vector<std::pair<QString, QString>> ruleSetsInUse(const std::filesystem::path& rulesDirectory);
// The About box text: program, version and the rule sets.
QString aboutText(const std::filesystem::path& rulesDirectory);
void showAboutBox(QWidget* parent, const std::filesystem::path& rulesDirectory);

}  // namespace shell
