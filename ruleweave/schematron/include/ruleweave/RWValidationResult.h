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
    // For reports: the rule's context, the rule set's name and the finding's place in its run
    // (errors and warnings are kept apart, so this restores the run's order).
    std::optional<std::string> context;
    std::optional<std::string> ruleSet;
    size_t order = 0;

    // "Error", "Warning" or "Info", derived from id, flag, role and type.
    std::string severity() const;
};

// A rule set that took part in a result: a Schematron file or an XSD.
struct RWRuleSet {
    std::string name;     // e.g. "EN16931-CII", "FACTUR-X_MINIMUM", "CrossIndustryInvoice_100pD16B"
    std::string version;  // as the files state it; empty when they state none
    std::string path;
    bool isXSD = false;
};

// Expressions of a rule set that the engine could not evaluate; their assertions neither fired
// nor passed, so the verdict of that rule set is not complete.
struct RWEngineProblem {
    std::string ruleSet;
    std::string firstMessage;
    size_t count = 0;
};

struct RWValidationResult {
    bool valid = true;
    std::vector<RWValidationError> errors;
    std::vector<RWValidationError> warnings;
    std::optional<std::vector<std::string>> patterns;
    std::optional<std::vector<std::string>> schemaFiles;
    std::vector<RWRuleSet> ruleSets;
    std::vector<RWEngineProblem> engineProblems;
    // Factur-X/ZUGFeRD profile whose rules ran ("MINIMUM", ..., "ZUGFeRD1"), and how it was
    // chosen: "exact" guideline ID, "legacy" fallback, or "unknown" (no profile rules ran).
    std::optional<std::string> profile;
    std::optional<std::string> profileMatch;

    // 1 valid (information findings allowed), 2 warnings, 3 errors: the verdict that the
    // ruleweave tool, the library's stored code and the status dot all show.
    int status() const;
    // Findings by severity: the warnings list also holds information findings.
    size_t warningCount() const;
    size_t informationCount() const { return warnings.size() - warningCount(); }
    // The colour of a status as "#rrggbb": gray 0 (not validated), green 1, orange 2, red 3;
    // none for any other value (drawn as a plain white disc).
    static std::optional<std::string> colorForStatus(int status);
};

}  // namespace ruleweave
