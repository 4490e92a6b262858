#include "model/SubstitutionDictionary.h"

namespace model {

std::string substitutionText(const SubstitutionValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return std::get<platform::Decimal>(value).toString();
}

void setSubstitutionValue(SubstitutionDictionary& dictionary, const std::string& key,
                          std::optional<SubstitutionValue> value) {
    if (value)
        dictionary.insert_or_assign(key, std::move(*value));
    else
        dictionary.erase(key);
}

void addEntriesFromDictionaryWithPrefix(SubstitutionDictionary& dictionary,
                                        const std::optional<SubstitutionDictionary>& source,
                                        std::string_view prefix) {
    if (!source) return;
    for (const auto& [key, value] : *source)
        dictionary.insert_or_assign(std::string(prefix) + "." + key, value);
}

std::optional<std::string> substitutionString(const SubstitutionDictionary& dictionary,
                                              const std::string& key) {
    auto found = dictionary.find(key);
    if (found == dictionary.end()) return std::nullopt;
    return substitutionText(found->second);
}

}  // namespace model
