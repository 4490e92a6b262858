#pragma once

#include <string>
#include <vector>

#include "platform/Decimal.h"

namespace preview {

// The ways an amount is usually printed on an invoice: thousands separator "", ",", ".", "'",
// " " or "’" before the last three integer digits, "." or "," before the fraction, and the
// fraction as the value has it or padded with one or two zeros. A whole number always gets a
// fraction ("19" gives "19,00" but never "19" on its own: a bare integer is everywhere on a
// page). Distinct strings; their order is not significant.
std::vector<std::string> generatePossibleStringsForNumber(const platform::Decimal& number);

}  // namespace preview
