#include "platform/Settings.h"

#include <unistd.h>

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdlib>
#include <fstream>

namespace platform {
namespace {

namespace pt = boost::property_tree;

std::pair<std::string, std::string> splitKey(std::string_view key) {
    auto slash = key.find('/');
    if (slash == std::string_view::npos) return {"General", std::string(key)};
    return {std::string(key.substr(0, slash)), std::string(key.substr(slash + 1))};
}

pt::ptree readTree(const std::filesystem::path& file) {
    pt::ptree tree;
    std::ifstream in(file);
    if (!in) return tree;
    try {
        pt::ini_parser::read_ini(in, tree);
    } catch (const pt::ini_parser_error&) {
        return pt::ptree();  // an unreadable file counts as no settings
    }
    return tree;
}

bool writeTree(const std::filesystem::path& file, const pt::ptree& tree, Error* error) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::filesystem::path temp = file;
    temp += ".tmp" + std::to_string(::getpid());
    try {
        std::ofstream out(temp, std::ios::trunc);
        if (!out) throw pt::ini_parser_error("cannot write", temp.string(), 0);
        pt::ini_parser::write_ini(out, tree);
        out.close();
        if (!out) throw pt::ini_parser_error("cannot write", temp.string(), 0);
    } catch (const pt::ptree_error& e) {
        std::filesystem::remove(temp, ec);
        return setError(error, "platform.settings", 1,
                        "The settings could not be saved to " + file.string() + ": " + e.what());
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return setError(error, "platform.settings", 1,
                        "The settings could not be saved to " + file.string());
    }
    return true;
}

}  // namespace

Settings::Settings(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path Settings::defaultPath() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = ".config";
    return base / "Ledgerlens" / "Ledgerlens.conf";
}

std::optional<std::string> Settings::value(std::string_view key) const {
    auto [group, name] = splitKey(key);
    pt::ptree tree = readTree(file_);
    auto section = tree.find(group);
    if (section == tree.not_found()) return std::nullopt;
    auto entry = section->second.find(name);
    if (entry == section->second.not_found()) return std::nullopt;
    return entry->second.data();
}

bool Settings::boolValue(std::string_view key, bool fallback) const {
    auto text = value(key);
    if (!text) return fallback;
    if (*text == "true" || *text == "1" || *text == "yes") return true;
    if (*text == "false" || *text == "0" || *text == "no") return false;
    return fallback;
}

bool Settings::setValue(std::string_view key, std::string_view value, Error* error) {
    auto [group, name] = splitKey(key);
    pt::ptree tree = readTree(file_);
    auto found = tree.find(group);
    pt::ptree& section =
        found == tree.not_found() ? tree.push_back({group, pt::ptree()})->second : found->second;
    auto entry = section.find(name);
    if (entry == section.not_found())
        section.push_back({name, pt::ptree(std::string(value))});
    else
        entry->second.put_value(std::string(value));
    return writeTree(file_, tree, error);
}

bool Settings::remove(std::string_view key, Error* error) {
    auto [group, name] = splitKey(key);
    pt::ptree tree = readTree(file_);
    auto section = tree.find(group);
    if (section == tree.not_found()) return true;
    section->second.erase(name);
    return writeTree(file_, tree, error);
}

}  // namespace platform
