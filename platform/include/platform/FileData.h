#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"

namespace platform {

// The whole file as bytes; none (and an error naming the file) when it cannot be read or is
// larger than `limit`.
std::optional<std::string> readFileData(const std::filesystem::path& file, Error* error = nullptr,
                                        std::uintmax_t limit = std::uintmax_t(1) << 30);

// Writes `bytes` to `file` through a temporary file beside it and a rename (QSaveFile): a
// reader, or a crash, never sees half a file, and an existing file is replaced whole.
bool writeFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                         Error* error = nullptr);

}  // namespace platform
