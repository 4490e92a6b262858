#include "platform/SFLocalizeHelper.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdlib>
#include <sstream>

#include "platform/FileData.h"
#include "platform/Log.h"
#include "platform/Resources.h"

namespace platform {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // U+2026

std::string languageCode(std::string_view localeName) {
    std::string code(localeName);
    for (char stop : {'_', '-', '.', '@'}) {
        auto pos = code.find(stop);
        if (pos != std::string::npos) code.erase(pos);
    }
    if (code == "C" || code == "POSIX") return "en";
    return code;
}

std::unordered_map<std::string, std::string> readTable(const std::filesystem::path& file) {
    std::unordered_map<std::string, std::string> table;
    auto text = readFileData(file, nullptr, std::uintmax_t(16) << 20);
    if (!text) return table;
    std::istringstream in(std::move(*text));
    namespace pt = boost::property_tree;
    pt::ptree tree;
    try {
        pt::json_parser::read_json(in, tree);
    } catch (const pt::json_parser_error& e) {
        logLine("string table " + file.string() + " is unreadable: " + e.what());
        return table;
    }
    // Iterate children directly: keys hold dots, which ptree paths would split.
    for (const auto& [key, value] : tree) table.emplace(key, value.data());
    return table;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

SFLocalizeHelper& SFLocalizeHelper::sharedHelper() {
    // Function-local static: created once, thread-safe.
    static SFLocalizeHelper helper(resourceDirectory().value_or(std::filesystem::path()));
    return helper;
}

SFLocalizeHelper::SFLocalizeHelper(std::filesystem::path resourceDirectory, std::string language)
    : resources_(std::move(resourceDirectory)) {
    if (!language.empty()) {
        setCurrentLanguage(language);
        return;
    }
    auto available = availableLanguages();
    currentLanguage_ = "en";
    for (const auto& preferred : preferredLanguages()) {
        if (std::find(available.begin(), available.end(), preferred) != available.end()) {
            currentLanguage_ = preferred;
            break;
        }
    }
}

std::vector<std::string> SFLocalizeHelper::preferredLanguages() {
    std::vector<std::string> result;
    auto add = [&result](std::string_view name) {
        std::string code = languageCode(name);
        if (!code.empty() && std::find(result.begin(), result.end(), code) == result.end())
            result.push_back(code);
    };
    if (const char* list = std::getenv("LANGUAGE"); list && *list) {
        std::string_view rest(list);
        while (!rest.empty()) {
            auto colon = rest.find(':');
            add(rest.substr(0, colon));
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(variable); value && *value) add(value);
    }
    return result;
}

std::vector<std::string> SFLocalizeHelper::availableLanguages() const {
    std::vector<std::string> result;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(resources_ / "l10n", ec)) {
        if (entry.path().extension() == ".json") result.push_back(entry.path().stem().string());
    }
    std::sort(result.begin(), result.end());
    return result;
}

void SFLocalizeHelper::setCurrentLanguage(std::string_view language) {
    std::string code = languageCode(language);
    auto available = availableLanguages();
    if (std::find(available.begin(), available.end(), code) == available.end()) code = "en";
    std::lock_guard lock(mutex_);
    currentLanguage_ = code;
}

std::string SFLocalizeHelper::currentLanguage() const {
    std::lock_guard lock(mutex_);
    return currentLanguage_;
}

bool SFLocalizeHelper::isSetTo(std::string_view language) const {
    std::lock_guard lock(mutex_);
    return currentLanguage_ == language;
}

const SFLocalizeHelper::Table& SFLocalizeHelper::tableFor(const std::string& language) const {
    auto it = tables_.find(language);
    if (it == tables_.end())
        it = tables_.emplace(language, readTable(resources_ / "l10n" / (language + ".json"))).first;
    return it->second;
}

std::string SFLocalizeHelper::lookup(const std::string& language, const std::string& key) const {
    const Table& table = tableFor(language);
    auto it = table.find(key);
    return it == table.end() ? key : it->second;
}

std::string SFLocalizeHelper::substitute(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (!substitutesLoaded_) {
        substitutes_ = readTable(resources_ / "LocalizeSubstitutes.json");
        substitutesLoaded_ = true;
    }
    auto it = substitutes_.find(std::string(key));
    return it == substitutes_.end() ? std::string(key) : it->second;
}

std::string SFLocalizeHelper::localizedString(std::string_view rawKey) const {
    std::string key = substitute(rawKey);
    std::lock_guard lock(mutex_);
    std::string result = lookup(currentLanguage_, key);
    if (currentLanguage_ == "en" || result != key) return result;
    return lookup("en", key);
}

void SFLocalizeHelper::recordBaseTitle(std::string_view title) {
    std::lock_guard lock(mutex_);
    baseLanguage_[std::string(title)] = std::string(title);
}

std::map<std::string, std::string> SFLocalizeHelper::baseLanguage() const {
    std::lock_guard lock(mutex_);
    return baseLanguage_;
}

void SFLocalizeHelper::save() const {
    std::string text;
    for (const auto& [key, value] : baseLanguage()) {
        auto escape = [](const std::string& s) {
            std::string out;
            for (char c : s) {
                if (c == '"' || c == '\\') out.push_back('\\');
                out.push_back(c);
            }
            return out;
        };
        text += "\"" + escape(key) + "\" = \"" + escape(value) + "\";\n";
    }
    logLine(text);
}

std::string localizedString(std::string_view text, const SFLocalizeHelper& helper) {
    if (text.empty()) return std::string();
    std::string_view mark;
    if (endsWith(text, kEllipsis))
        mark = kEllipsis;
    else if (text.back() == ':')
        mark = ":";
    else
        return helper.localizedString(text);
    std::string_view rest = text.substr(0, text.size() - mark.size());
    bool wantsBlank =
        (mark == kEllipsis && helper.isSetTo("de")) || (mark == ":" && helper.isSetTo("fr"));
    std::string blankMark = " " + std::string(mark);
    if (text.find(blankMark) != std::string_view::npos) wantsBlank = false;
    return helper.localizedString(rest) + (wantsBlank ? " " : "") + std::string(mark);
}

std::string localizedKeyPath(std::string_view text, const SFLocalizeHelper& helper) {
    std::string whole = localizedString(text, helper);
    if (whole != text) return whole;
    std::string result;
    size_t start = 0;
    for (;;) {
        size_t dot = text.find('.', start);
        std::string_view component = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        result += localizedString(component, helper);
        if (dot == std::string_view::npos) break;
        result.push_back('.');
        start = dot + 1;
    }
    return result;
}

std::string displayName(std::string_view text) { return std::string(text); }

std::string stringForFileName(std::string_view text) {
    std::string replaced(text);
    for (char& c : replaced) {
        if (std::string_view("/\\?%*|<>:").find(c) != std::string_view::npos) c = '_';
    }
    // Trim Unicode white space and line breaks at both ends.
    auto isSpaceAt = [&replaced](int32_t index, int32_t& next, bool forward) {
        UChar32 c;
        const auto* s = reinterpret_cast<const uint8_t*>(replaced.data());
        int32_t length = static_cast<int32_t>(replaced.size());
        int32_t i = index;
        if (forward) {
            U8_NEXT(s, i, length, c);
        } else {
            U8_PREV(s, 0, i, c);
        }
        next = i;
        return c >= 0 && (u_isUWhiteSpace(c) || c == 0x85);
    };
    int32_t begin = 0, end = static_cast<int32_t>(replaced.size());
    while (begin < end) {
        int32_t next;
        if (!isSpaceAt(begin, next, true)) break;
        begin = next;
    }
    while (end > begin) {
        int32_t previous;
        if (!isSpaceAt(end, previous, false)) break;
        end = previous;
    }
    return replaced.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

}  // namespace platform
