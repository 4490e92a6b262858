#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/Error.h"

namespace platform {

// The whole file as bytes; none (and an error naming the file) when it cannot be read or is
// larger than `limit`.
std::optional<std::string> readFileData(const std::filesystem::path& file, Error* error = nullptr,
                                        std::uintmax_t limit = std::uintmax_t(1) << 30);

}  // namespace platform
