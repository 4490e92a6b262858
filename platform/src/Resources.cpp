#include "platform/Resources.h"

#include <cstdlib>

namespace platform {
namespace {

bool looksLikeResources(const std::filesystem::path& dir) {
    std::error_code ec;
    return std::filesystem::is_regular_file(dir / "l10n" / "en.json", ec);
}

}  // namespace

std::optional<std::filesystem::path> resourceDirectory() {
    if (const char* env = std::getenv("LEDGERLENS_RESOURCES"); env && *env) {
        return std::filesystem::path(env);
    }
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    // Build tree: build/app/cli/program → build/resources. Installed: bin/program → share/….
    std::filesystem::path dir = exe.parent_path();
    for (int depth = 0; depth < 5 && !dir.empty(); ++depth) {
        if (looksLikeResources(dir / "resources")) return dir / "resources";
        if (looksLikeResources(dir / "share" / "ledgerlens" / "resources"))
            return dir / "share" / "ledgerlens" / "resources";
        if (dir == dir.parent_path()) break;
        dir = dir.parent_path();
    }
    return std::nullopt;
}

}  // namespace platform
