#pragma once

#include <filesystem>
#include <optional>

namespace platform {

// The folder holding the program's resources: $LEDGERLENS_RESOURCES, else a "resources" folder
// beside the running program or one of its parents (the build tree), else the installed
// share/ledgerlens/resources. None when no candidate exists.
std::optional<std::filesystem::path> resourceDirectory();

}  // namespace platform
