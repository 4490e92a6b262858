#pragma once

#include <cstdint>

namespace library {

// What validating a stored invoice gave. The library file stores the enumerator's value, so the
// values never change; records convert only where they are read from and written to the store
// (a code this version does not know passes through unchanged).
enum class LLValidationResult : int {
    NotValidated = 0,  // not yet, or without rules
    NoRules = 1,       // no rule set fits the invoice
    Valid = 2,         // information findings alone leave an invoice valid
    Warnings = 3,
    Invalid = 4,
    NotUTF8 = 5,
    Failed = 6,  // the validation itself failed
};

// The status dot of a result: valid, warnings or errors; None for every other result.
enum class LLValidationStatus : int { None = 0, Valid = 1, Warnings = 2, Errors = 3 };

LLValidationStatus validationStatusOf(LLValidationResult result);
// The words the command line and JSON lists use ("valid", "valid with warnings", ...).
const char* validationResultWord(LLValidationResult result);

// The storage boundary: the column's integer and back.
inline LLValidationResult validationResultFromStoredCode(std::int64_t code) {
    return static_cast<LLValidationResult>(code);
}
inline std::int64_t storedCode(LLValidationResult result) {
    return static_cast<std::int64_t>(result);
}

}  // namespace library
