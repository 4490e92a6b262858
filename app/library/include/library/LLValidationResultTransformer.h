#pragma once

#include <optional>

#include "library/LLValidationStatus.h"
#include "library/SFValueTransformer.h"

namespace library {

// Stored validation result code → status of the status icon: valid, warnings, errors; every
// other code, and no code, None. Forward only.
class LLValidationResultTransformer : public SFValueTransformer {
  public:
    std::string className() const override { return "LLValidationResultTransformer"; }
    LLValidationStatus transformedValue(std::optional<long long> code) const;
};

}  // namespace library
