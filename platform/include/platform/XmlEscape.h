#pragma once

#include <string>
#include <string_view>

namespace platform {

// Text safe inside XML element content and double-quoted attribute values.
std::string escapeXml(std::string_view text);

}  // namespace platform
