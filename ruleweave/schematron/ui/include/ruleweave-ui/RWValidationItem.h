#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "ruleweave/RWValidationResult.h"

namespace ruleweave::ui {

// One row of the findings outline: a finding (or, for a result without findings, a rule set that
// was run) with its detail rows as children.
struct RWValidationItem {
    QString title;
    std::optional<QString> value;  // detail rows only
    std::vector<RWValidationItem> children;
    bool isError = false;
    std::optional<RWValidationError> error;  // finding rows
    // Status of the row's dot: 3 error, 2 warning, 0 information, 1 a rule set that passed;
    // none for detail rows.
    std::optional<int> status;
};

// The rows of a result: "Validated with" rows when there are no errors and no warnings, else
// one row per error, then one per warning or information finding, each with its details.
std::vector<RWValidationItem> validationItemsForResult(const RWValidationResult& result);
// A finding row's title: a message that starts with a bracketed rule code ("[BR-01]-Text")
// reads "Text [BR-01]"; other messages keep their text. White space is collapsed.
QString titleForMessage(const std::string& message);
// A rule set as people name it: "EN16931-UBL 1.3.16", an XSD with " (XSD)".
QString ruleSetLabel(const RWRuleSet& ruleSet);
// The text copied for a row: a finding row with its details on indented lines, a detail row
// as "Title: value".
QString copyTextForItem(const RWValidationItem& item);

}  // namespace ruleweave::ui
