#include "library/LLValidationResultTransformer.h"

namespace library {

int LLValidationResultTransformer::transformedValue(std::optional<long long> code) const {
    if (code && *code >= 2 && *code <= 4) return static_cast<int>(*code - 1);
    return 0;
}

}  // namespace library
