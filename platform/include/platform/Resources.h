#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The folder holding the program's resources: $LEDGERLENS_RESOURCES, else a "resources" folder
// beside the running program or one of its parents (the build tree), else the installed
// share/ledgerlens/resources. None when no candidate exists.
std::optional<std::filesystem::path> resourceDirectory();

// The first file below the resource folder (or its `directory` subfolder) named "name.type"
// ("name" when the type is empty), searched recursively; none when nothing matches.
std::optional<std::filesystem::path> pathForResource(const std::string& name,
                                                     const std::string& type,
                                                     const std::string& directory = {});
// Every file below the resource folder (or its `directory` subfolder) with extension `type`.
std::vector<std::filesystem::path> pathsForResources(const std::string& type,
                                                     const std::string& directory = {});

}  // namespace platform
