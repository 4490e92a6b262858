#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/Decimal.h"

namespace model {

// A display value: text, or an exact decimal kept as is until it is substituted.
using SubstitutionValue = std::variant<std::string, platform::Decimal>;

// Flat map from key ("document.number", "sender.iban") to display value; a missing value is a
// missing key. This is the contract between the invoice model, layout templates and QR code.
using SubstitutionDictionary = std::map<std::string, SubstitutionValue>;

// The value's text: a string as is, a decimal in its plain shortest form ("19", "0.5").
std::string substitutionText(const SubstitutionValue& value);

// Stores `value` under `key`; none removes the key.
void setSubstitutionValue(SubstitutionDictionary& dictionary, const std::string& key,
                          std::optional<SubstitutionValue> value);

// Stores every entry of `source` under "prefix.key", replacing existing entries.
void addEntriesFromDictionaryWithPrefix(SubstitutionDictionary& dictionary,
                                        const std::optional<SubstitutionDictionary>& source,
                                        std::string_view prefix);

// The value under `key` as text, or none when the key is missing.
std::optional<std::string> substitutionString(const SubstitutionDictionary& dictionary,
                                              const std::string& key);

}  // namespace model
