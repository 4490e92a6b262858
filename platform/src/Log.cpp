#include "platform/Log.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace platform {

void logLine(std::string_view line) {
    // Each tool speaks under its own name; a line that already names the program's component
    // ("Pagewright: ..." in pagewright) does not say it twice.
    std::string name = program_invocation_short_name;
    if (name.empty()) name = "ledgerlens";
    if (line.size() > name.size() + 1 && line.substr(name.size(), 2) == ": " &&
        std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        }))
        line.remove_prefix(name.size() + 2);
    std::string text = name + ": ";
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
