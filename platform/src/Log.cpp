#include "platform/Log.h"

#include <unistd.h>

#include <string>

namespace platform {

void logLine(std::string_view line) {
    std::string text = "ledgerlens: ";
    text.append(line);
    if (text.back() != '\n') text.push_back('\n');
    // A single write keeps lines of concurrent threads apart without a lock.
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n <= 0) break;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace platform
