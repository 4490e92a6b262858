#pragma once

#include <string>

namespace platform {

// A random (version 4) UUID in upper-case text, "8-4-4-4-12" hex digits: the one way ids are made.
std::string newUUID();

}  // namespace platform
