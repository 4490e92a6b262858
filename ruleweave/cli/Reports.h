// What `ruleweave validate` tells about one input, and the report formats it is written in.
#pragma once

#include <optional>
#include <string>

#include "ruleweave/RWValidationResult.h"

namespace ruleweave::cli {

enum class Verdict { Valid, Warnings, Invalid, Unreadable, NoRules };

struct Outcome {
    std::string file;
    Verdict verdict = Verdict::Unreadable;
    std::string reason;                     // why a file is unreadable or has no rules
    std::optional<std::string> attachment;  // the embedded file validated, for a PDF
    std::optional<RWValidationResult> result;
};

// valid, warnings, invalid, unreadable, no-rules
const char* verdictWord(Verdict verdict);
// Valid also with information findings; Warnings when a finding has severity "Warning".
Verdict verdictOf(const RWValidationResult& result);

std::string textReport(const Outcome& outcome);
std::string jsonRecord(const Outcome& outcome);  // one line, no newline
// ISO Schematron SVRL of the Schematron findings; XSD findings go into leading svrl:text.
std::string svrlReport(const Outcome& outcome);
// A self-contained page a person can read: verdict, rule sets, findings grouped by rule.
std::string htmlReport(const Outcome& outcome);

}  // namespace ruleweave::cli
