// The catalog of a rules folder kept between processes: cataloging reads every rule file
// (megabytes of XML), while checking that none changed only needs their sizes and times.
#include "CatalogCache.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "platform/FileData.h"

namespace ruleweave {
namespace fs = std::filesystem;
namespace {

constexpr const char* kMagic = "ledgerlens-rules-catalog 1";

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string hex(std::uint64_t value) {
    static const char* digits = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4) out[size_t(i)] = digits[value & 15];
    return out;
}

// Fields are separated by tabs, records by newlines; both (and the backslash) are escaped.
std::string escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out.push_back(c);
    }
    return out;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            out.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char n = line[++i];
            out.back().push_back(n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n);
        } else {
            out.back().push_back(c);
        }
    }
    return out;
}

std::string record(std::initializer_list<std::string_view> values) {
    std::string line;
    for (auto v : values) line += (line.empty() ? "" : "\t") + escape(v);
    return line + "\n";
}

bool isWithinRoot(const std::string& file, const fs::path& root) {
    const fs::path path(file);
    auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    if (r != root.end()) return false;
    return std::none_of(p, path.end(), [](const fs::path& part) { return part == ".."; });
}

}  // namespace

std::optional<fs::path> defaultCatalogCacheDirectory() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "ledgerlens";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".cache" / "ledgerlens";
    return std::nullopt;
}

std::string folderFingerprint(const fs::path& root) {
    std::vector<std::string> lines;
    std::error_code ec;
    for (fs::recursive_directory_iterator
             it(root, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        auto size = it->file_size(ec);
        auto time = it->last_write_time(ec);
        if (ec) return {};
        lines.push_back(record({it->path().lexically_relative(root).string(), std::to_string(size),
                                std::to_string(time.time_since_epoch().count())}));
    }
    if (ec) return {};
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& line : lines) out += line;
    return out;
}

fs::path catalogCacheFile(const fs::path& cacheDirectory, const fs::path& root) {
    return cacheDirectory / ("rules-catalog-" + hex(fnv1a(root.string())) + ".txt");
}

std::string writeCatalogCache(const CatalogSnapshot& snapshot) {
    std::string text = record({kMagic}) + record({"root", snapshot.root.string()}) +
                       record({"fingerprint", hex(fnv1a(snapshot.fingerprint))});
    for (const auto& file : snapshot.xmlCatalogs) text += record({"xmlcatalog", file});
    for (const auto& [path, e] : snapshot.entries) {
        text +=
            record({"entry", path, e.isXSD ? "xsd" : "sch", e.title, e.customizationID ? "1" : "0",
                    e.customizationID.value_or(""), e.profile, e.ruleSet.name, e.ruleSet.version,
                    e.ruleSet.path, e.ruleSet.isXSD ? "1" : "0"});
        for (const auto& [prefix, uri] : e.namespaces) text += record({"ns", prefix, uri});
        for (const auto& element : e.globalElements) text += record({"element", element});
        for (const auto& id : e.profileIDs) text += record({"profileid", id});
    }
    return text + record({"end", hex(fnv1a(text))});
}

std::optional<CatalogSnapshot> readCatalogCache(const std::string& text, const fs::path& root,
                                                const std::string& fingerprint) {
    // Whole and unchanged: the last line is the checksum of everything before it.
    size_t last = text.rfind("end\t");
    if (last == std::string::npos || (last > 0 && text[last - 1] != '\n')) return std::nullopt;
    auto endFields = fields(text.substr(last, text.find('\n', last) - last));
    if (endFields.size() != 2 || endFields[1] != hex(fnv1a(std::string_view(text).substr(0, last))))
        return std::nullopt;
    CatalogSnapshot snapshot;
    snapshot.root = root;
    snapshot.fingerprint = fingerprint;
    std::istringstream lines(text.substr(0, last));
    std::string line;
    if (!std::getline(lines, line) || line != kMagic) return std::nullopt;
    RWSchematronValidator::CatalogEntry* entry = nullptr;
    bool rootSeen = false, fingerprintSeen = false;
    while (std::getline(lines, line)) {
        auto f = fields(line);
        const std::string& kind = f[0];
        if (kind == "root" && f.size() == 2) {
            if (f[1] != root.string()) return std::nullopt;  // another folder's catalog
            rootSeen = true;
        } else if (kind == "fingerprint" && f.size() == 2) {
            if (f[1] != hex(fnv1a(fingerprint))) return std::nullopt;  // a rule file changed
            fingerprintSeen = true;
        } else if ((kind == "xmlcatalog" || kind == "entry") && f.size() >= 2 &&
                   !isWithinRoot(f[1], root)) {
            return std::nullopt;  // written from another path to the folder
        } else if (kind == "xmlcatalog" && f.size() == 2) {
            snapshot.xmlCatalogs.push_back(f[1]);
        } else if (kind == "entry" && f.size() == 11) {
            entry = &snapshot.entries[f[1]];
            entry->isXSD = f[2] == "xsd";
            entry->title = f[3];
            if (f[4] == "1") entry->customizationID = f[5];
            entry->profile = f[6];
            entry->ruleSet.name = f[7];
            entry->ruleSet.version = f[8];
            entry->ruleSet.path = f[9];
            entry->ruleSet.isXSD = f[10] == "1";
        } else if (kind == "ns" && f.size() == 3 && entry) {
            entry->namespaces[f[1]] = f[2];
        } else if (kind == "element" && f.size() == 2 && entry) {
            entry->globalElements.insert(f[1]);
        } else if (kind == "profileid" && f.size() == 2 && entry) {
            entry->profileIDs.push_back(f[1]);
        } else {
            return std::nullopt;
        }
    }
    if (!rootSeen || !fingerprintSeen) return std::nullopt;
    return snapshot;
}

void pruneCatalogCache(const fs::path& cacheDirectory) {
    std::error_code ec;
    for (fs::directory_iterator it(cacheDirectory, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("rules-catalog-", 0) != 0 || it->path().extension() != ".txt") continue;
        // The folder is named on the second line; the head of the file is enough.
        auto head = platform::readFileData(it->path(), nullptr, 64 << 20);
        if (!head) continue;
        std::istringstream lines(*head);
        std::string magic, rootLine;
        if (!std::getline(lines, magic) || magic != kMagic || !std::getline(lines, rootLine))
            continue;  // not ours to judge
        auto f = fields(rootLine);
        std::error_code missing;
        if (f.size() == 2 && f[0] == "root" && fs::path(f[1]).is_absolute() &&
            !fs::exists(f[1], missing) && !missing)
            fs::remove(it->path(), missing);
    }
}

}  // namespace ruleweave
