// The catalog of a rules folder stored under the user's cache folder, valid while no file of
// the folder changed (same names, sizes and modification times).
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ruleweave/RWSchematronValidator.h"

namespace ruleweave {

struct CatalogSnapshot {
    std::filesystem::path root;  // canonical
    std::string fingerprint;     // folderFingerprint(root)
    std::map<std::string, RWSchematronValidator::CatalogEntry> entries;
    std::vector<std::string> xmlCatalogs;  // catalog.xml files of the folder
};

// $XDG_CACHE_HOME/ledgerlens, else ~/.cache/ledgerlens; none without either.
std::optional<std::filesystem::path> defaultCatalogCacheDirectory();
// Every regular file below `root` with its size and modification time; empty when the folder
// cannot be listed completely.
std::string folderFingerprint(const std::filesystem::path& root);
std::filesystem::path catalogCacheFile(const std::filesystem::path& cacheDirectory,
                                       const std::filesystem::path& root);
std::string writeCatalogCache(const CatalogSnapshot& snapshot);
// None for a damaged or foreign file, or one made before a file of the folder changed.
std::optional<CatalogSnapshot> readCatalogCache(const std::string& text,
                                                const std::filesystem::path& root,
                                                const std::string& fingerprint);
// Removes the catalogs of folders that are gone (test folders, old checkouts), so the cache
// folder does not grow with every folder ever cataloged.
void pruneCatalogCache(const std::filesystem::path& cacheDirectory);

}  // namespace ruleweave
