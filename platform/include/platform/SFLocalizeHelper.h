#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// Run-time translation of the English interface texts: string tables per language under
// resources/l10n/<language>.json, an optional substitutes table, and a fallback to English.
class SFLocalizeHelper {
  public:
    // The shared helper over the program's resources in the user's language.
    static SFLocalizeHelper& sharedHelper();

    // A helper over the given resource folder; an empty language follows the user's settings.
    explicit SFLocalizeHelper(std::filesystem::path resourceDirectory, std::string language = {});

    // The lookup of a key: substitute, current language, then English for untranslated keys.
    std::string localizedString(std::string_view key) const;
    bool isSetTo(std::string_view language) const;
    std::string substitute(std::string_view key) const;
    std::string currentLanguage() const;
    // Switches the language (a code such as "de", or a locale name such as "de_DE.UTF-8");
    // a language without a table falls back to English.
    void setCurrentLanguage(std::string_view language);
    // Records a menu title as it is localised (title → title).
    void recordBaseTitle(std::string_view title);
    std::map<std::string, std::string> baseLanguage() const;
    // Writes the recorded titles to the log in strings-file form.
    void save() const;

    // Language codes the user prefers, from LANGUAGE, LC_ALL, LC_MESSAGES and LANG in order.
    static std::vector<std::string> preferredLanguages();
    std::vector<std::string> availableLanguages() const;

  private:
    using Table = std::unordered_map<std::string, std::string>;
    const Table& tableFor(const std::string& language) const;  // caller holds mutex_
    std::string lookup(const std::string& language, const std::string& key) const;

    std::filesystem::path resources_;
    mutable std::mutex mutex_;
    std::string currentLanguage_;
    mutable std::map<std::string, Table> tables_;
    mutable bool substitutesLoaded_ = false;
    mutable Table substitutes_;
    std::map<std::string, std::string> baseLanguage_;
};

// Translation of a text as written in the interface: a trailing ellipsis or colon is translated
// apart and re-attached with the spacing the language wants.
std::string localizedString(std::string_view text,
                            const SFLocalizeHelper& helper = SFLocalizeHelper::sharedHelper());
// The whole dotted text when it has a translation, else each component translated.
std::string localizedKeyPath(std::string_view text,
                             const SFLocalizeHelper& helper = SFLocalizeHelper::sharedHelper());
std::string displayName(std::string_view text);
// A text usable as a file name: each of / \ ? % * | < > : becomes "_", outer white space goes.
std::string stringForFileName(std::string_view text);

}  // namespace platform
