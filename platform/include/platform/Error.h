#pragma once

#include <map>
#include <string>

namespace platform {

// The error record every fallible operation fills: a domain, a code and a text the user can read.
struct Error {
    std::string domain;
    int code = 0;
    std::string localizedDescription;
    std::map<std::string, std::string> userInfo;
};

// Fills `slot` when the caller asked for details; answers false so callers can `return fail(...)`.
inline bool setError(Error* slot, std::string domain, int code, std::string description) {
    if (slot) {
        slot->domain = std::move(domain);
        slot->code = code;
        slot->localizedDescription = std::move(description);
        slot->userInfo.clear();
    }
    return false;
}

}  // namespace platform
