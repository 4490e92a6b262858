#pragma once

#include <optional>
#include <string>

#include "library/SFValueTransformer.h"

namespace library {

// A path → its last component, for showing file names (the paths of import errors).
class LLPathTransformer : public SFValueTransformer {
  public:
    std::string className() const override { return "LLPathTransformer"; }
    std::optional<std::string> transformedValue(const std::optional<std::string>& path) const;
};

}  // namespace library
