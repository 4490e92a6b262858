#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"

namespace platform {

// The user's settings: one INI file shared with the desktop program, read and written by
// QSettings itself, so both sides agree on quoting, escapes and lists. Values are read from disk
// on every call so a change by another process is seen at once. Keys without a slash live in
// [General]; "Group/Key" lives in [Group].
class Settings {
  public:
    explicit Settings(std::filesystem::path file = defaultPath());
    // $XDG_CONFIG_HOME/Ledgerlens/Ledgerlens.conf (~/.config when the variable is unset).
    static std::filesystem::path defaultPath();

    const std::filesystem::path& path() const { return file_; }
    std::optional<std::string> value(std::string_view key) const;
    // A list value (QStringList in the desktop program); a plain value is a list of one.
    std::optional<std::vector<std::string>> stringListValue(std::string_view key) const;
    // "true"/"1"/"yes" are true, "false"/"0"/"no" false; anything else gives the fallback.
    bool boolValue(std::string_view key, bool fallback = false) const;
    // QSettings writes through a temporary file and a rename, so a crash never leaves half a
    // file.
    bool setValue(std::string_view key, std::string_view value, Error* error = nullptr);
    bool setStringListValue(std::string_view key, const std::vector<std::string>& items,
                            Error* error = nullptr);
    bool remove(std::string_view key, Error* error = nullptr);

  private:
    std::filesystem::path file_;
};

}  // namespace platform
