#pragma once

#include <string_view>

namespace platform {

// One line to the system log (standard error; journald collects it for desktop sessions).
void logLine(std::string_view line);

}  // namespace platform
