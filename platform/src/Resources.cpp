#include "platform/Resources.h"

#include <algorithm>
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

namespace {
std::vector<std::filesystem::path> sortedTree(const std::filesystem::path& base) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(base, ec), end; !ec && it != end;
         it.increment(ec))
        if (it->is_regular_file(ec)) files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}
}  // namespace

std::optional<std::filesystem::path> pathForResource(const std::string& name,
                                                     const std::string& type,
                                                     const std::string& directory) {
    auto base = resourceDirectory();
    if (!base) return std::nullopt;
    std::filesystem::path root = directory.empty() ? *base : *base / directory;
    std::string target = type.empty() ? name : name + "." + type;
    for (const auto& file : sortedTree(root))
        if (file.filename() == target) return file;
    return std::nullopt;
}

std::vector<std::filesystem::path> pathsForResources(const std::string& type,
                                                     const std::string& directory) {
    std::vector<std::filesystem::path> result;
    auto base = resourceDirectory();
    if (!base) return result;
    for (const auto& file : sortedTree(directory.empty() ? *base : *base / directory))
        if (file.extension() == "." + type) result.push_back(file);
    return result;
}

}  // namespace platform
