#include "library/LLPathTransformer.h"

#include <filesystem>

namespace library {

std::optional<std::string> LLPathTransformer::transformedValue(
    const std::optional<std::string>& path) const {
    if (!path) return std::nullopt;
    std::string text = *path;
    // "dir/" names "dir", as a path's last component does; "/" stays "/".
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    if (text == "/") return text;
    return std::filesystem::path(text).filename().string();
}

}  // namespace library
