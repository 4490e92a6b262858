#pragma once

#include <string>
#include <string_view>

namespace platform {

// Text safe inside XML element content and double-quoted attribute values, as XML 1.0 can
// hold it: control characters it cannot hold are dropped, bytes that are not UTF-8 become U+FFFD.
std::string escapeXml(std::string_view text);

}  // namespace platform
