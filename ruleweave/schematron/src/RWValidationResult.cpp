#include "ruleweave/RWValidationResult.h"

#include <algorithm>

namespace ruleweave {

std::string RWValidationError::severity() const {
    if (assertionId && assertionId->rfind("PEPPOL-", 0) == 0) return "Info";
    if (flag) {
        std::string f = *flag;
        std::transform(f.begin(), f.end(), f.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (f == "warning" || f == "warn") return "Warning";
        if (f == "information" || f == "info") return "Info";
        if (f == "fatal" || f == "error") return "Error";
    }
    if (role) {
        if (role->find("warning") != std::string::npos || role->find("warn") != std::string::npos)
            return "Warning";
        if (role->find("error") != std::string::npos) return "Error";
    }
    return type == std::optional<std::string>("assert") ? "Error" : "Info";
}

int RWValidationResult::status() const {
    if (!errors.empty()) return 3;
    // Information findings do not make a warning.
    return warningCount() > 0 ? 2 : 1;
}

size_t RWValidationResult::warningCount() const {
    return static_cast<size_t>(std::count_if(
        warnings.begin(), warnings.end(), [](const auto& w) { return w.severity() == "Warning"; }));
}

std::optional<std::string> RWValidationResult::colorForStatus(int status) {
    switch (status) {
        case 0:
            return "#8e8e93";
        case 1:
            return "#34c759";
        case 2:
            return "#ff9500";
        case 3:
            return "#ff3b30";
        default:
            return std::nullopt;
    }
}

}  // namespace ruleweave
