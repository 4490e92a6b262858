#pragma once

#include <string>
#include <vector>

// The library commands of ledgerlens-cli; each answers the process exit status.
int importCommand(const std::vector<std::string>& args);
int listCommand(const std::vector<std::string>& args);
int validateCommand(const std::vector<std::string>& args);
int exportCommand(const std::vector<std::string>& args);
