#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "library/SFValueTransformer.h"
#include "platform/Date.h"
#include "platform/Formatting.h"

namespace library {

// Dates for display. The base class has no formatter and answers none; subclasses choose the
// style in setupFormatter().
class SFDateTransformer : public SFValueTransformer {
  public:
    std::string className() const override { return "SFDateTransformer"; }

    std::optional<std::string> transformedValue(const std::optional<platform::Date>& value) const;

    // An empty locale follows the user's current locale on every use.
    void setLocale(std::string_view locale);
    std::string locale() const;

  protected:
    // The date style of this transformer's formatter; none makes no formatter.
    virtual std::optional<platform::DateStyle> setupFormatter() const { return std::nullopt; }

  private:
    mutable std::mutex mutex_;
    std::string locale_;
};

// Medium date style, no time: "8 Dec 2026", "08.12.2026".
class SFMediumDateTransformer : public SFDateTransformer {
  public:
    std::string className() const override { return "SFMediumDateTransformer"; }

  protected:
    std::optional<platform::DateStyle> setupFormatter() const override {
        return platform::DateStyle::Medium;
    }
};

}  // namespace library
