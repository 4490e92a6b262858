#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "library/SFValueTransformer.h"
#include "platform/Decimal.h"

namespace library {

// Numbers for display: decimal style of the locale, 2 to 5 fraction digits. Reads typed numbers
// back, including hours:minutes ("1:30" = 1.5) and foreign separators ("1.234,56", "1'234.56").
class SFNumberTransformer : public SFValueTransformer {
  public:
    static constexpr int minFractionDigits = 2;
    static constexpr int maxFractionDigits = 5;

    std::string className() const override { return "SFNumberTransformer"; }

    std::optional<std::string> transformedValue(
        const std::optional<platform::Decimal>& value) const;
    platform::Decimal reverseTransformedValue(const std::optional<std::string>& text) const;

    // An empty locale follows the user's current locale on every use.
    void setLocale(std::string_view locale);
    std::string locale() const;

  protected:
    // Settings a subclass wants on top of the defaults; called once for each formatter made.
    struct FormatterSettings {
        int minFractionDigits = SFNumberTransformer::minFractionDigits;
        int maxFractionDigits = SFNumberTransformer::maxFractionDigits;
        bool grouping = true;
    };
    virtual void setupFormatter(FormatterSettings&) const {}

  private:
    std::string effectiveLocale() const;

    mutable std::mutex mutex_;
    std::string locale_;
};

}  // namespace library
