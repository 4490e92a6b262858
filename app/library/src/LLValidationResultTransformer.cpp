#include "library/LLValidationResultTransformer.h"

namespace library {

LLValidationStatus LLValidationResultTransformer::transformedValue(
    std::optional<long long> code) const {
    return code ? validationStatusOf(validationResultFromStoredCode(*code))
                : LLValidationStatus::None;
}

}  // namespace library
