#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"

namespace platform {

inline constexpr const char* kFileDataErrorDomain = "platform.file";

// The codes of file errors (domain kFileDataErrorDomain).
enum class FileDataError : int {
    Unreadable = 1,  // opening or reading failed; the reason is the system's
    TooLarge = 2,    // more than the caller's limit
    NotWritten = 3,  // writeFileAtomically() failed
    NoSuchFile = 4,  // also a dangling link
    IsFolder = 5,
    NotRegularFile = 6,  // a device, pipe or socket: never read, since it may never end
};
inline constexpr const char* kFileDataReasonKey = "reason";

// The whole file as bytes; none when it cannot be read, is no regular file or holds more than
// `limit` bytes (checked before reading and while reading, so a file that grows stays bounded).
// The error's description names the file, its userInfo[kFileDataReasonKey] holds the reason alone
// ("no such file", "Permission denied", ...), its code is a FileDataError.
std::optional<std::string> readFileData(const std::filesystem::path& file, Error* error = nullptr,
                                        std::uintmax_t limit = std::uintmax_t(1) << 30);
// The FileDataError and the reason alone of an error readFileData() filled.
FileDataError fileDataError(const Error& error);
std::string fileDataReason(const Error& error);

// Writes `bytes` to `file` through a temporary file beside it and a rename (QSaveFile): a
// reader, or a crash, never sees half a file, and an existing file is replaced whole.
bool writeFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                         Error* error = nullptr);

}  // namespace platform
