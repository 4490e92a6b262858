#pragma once

#include <optional>

#include "library/SFValueTransformer.h"

namespace library {

// Stored validation result code → status of the status icon: 2, 3, 4 (valid, warnings, errors)
// become 1, 2, 3; every other code, and no code, the neutral 0. Forward only.
class LLValidationResultTransformer : public SFValueTransformer {
  public:
    std::string className() const override { return "LLValidationResultTransformer"; }
    int transformedValue(std::optional<long long> code) const;
};

}  // namespace library
