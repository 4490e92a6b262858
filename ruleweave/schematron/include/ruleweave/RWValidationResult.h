#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ruleweave/RWExport.h"

namespace RULEWEAVE_EXPORT ruleweave {

// One finding of a Schematron or XSD run.
struct RWValidationError {
    std::optional<std::string> pattern;
    std::optional<std::string> rule;
    std::optional<std::string> assertion;
    std::optional<std::string> assertionId;
    std::optional<std::string> test;
    std::optional<std::string> type;
    std::optional<std::string> role;
    std::optional<std::string> flag;
    std::optional<std::string> message;
    std::optional<std::string> location;
    std::optional<std::string> schemaTitle;

    // "Error", "Warning" or "Info", derived from id, flag, role and type.
    std::string severity() const;
};

struct RWValidationResult {
    bool valid = true;
    std::vector<RWValidationError> errors;
    std::vector<RWValidationError> warnings;
    std::optional<std::vector<std::string>> patterns;
    std::optional<std::vector<std::string>> schemaFiles;

    // 1 valid, 2 warnings only, 3 errors.
    int status() const { return !errors.empty() ? 3 : (!warnings.empty() ? 2 : 1); }
    // The colour of a status as "#rrggbb": gray 0 (not validated), green 1, orange 2, red 3;
    // none for any other value (drawn as a plain white disc).
    static std::optional<std::string> colorForStatus(int status);
};

}  // namespace ruleweave
