#include "library/SFDateTransformer.h"

namespace library {

void SFDateTransformer::setLocale(std::string_view locale) {
    std::lock_guard lock(mutex_);
    locale_ = std::string(locale);
}

std::string SFDateTransformer::locale() const {
    std::lock_guard lock(mutex_);
    return locale_;
}

std::optional<std::string> SFDateTransformer::transformedValue(
    const std::optional<platform::Date>& value) const {
    if (!value) return std::nullopt;
    std::optional<platform::DateStyle> style = setupFormatter();
    if (!style) return std::nullopt;
    return platform::Formatting::formatDate(*value, *style, locale());
}

}  // namespace library
