#include "LLDocumentAlerts.h"

#include <vector>

#include "platform/SFLocalizeHelper.h"

namespace library {
namespace {

// The pattern is translated first; the values are put in as they are.
std::string format(const char* englishPattern, const std::vector<std::string>& values) {
    std::string pattern = platform::localizedString(englishPattern);
    size_t from = 0;
    for (const auto& value : values) {
        size_t at = pattern.find("%@", from);
        if (at == std::string::npos) break;
        pattern.replace(at, 2, value);
        from = at + value.size();
    }
    return pattern;
}

}  // namespace

LLAlert LLDocumentAlerts::unsavedChanges() {
    LLAlert alert;
    alert.style = LLAlert::Style::Warning;
    alert.messageText = platform::localizedString("Unsaved Changes");
    alert.informativeText =
        platform::localizedString("Do you want to keep the unsaved changes or delete the file?");
    alert.buttons = {platform::localizedString("Keep"), platform::localizedString("Delete")};
    return alert;
}

LLAlert LLDocumentAlerts::noXMLData(const std::string& invoiceName) {
    return {LLAlert::Style::Warning,
            platform::localizedString("No XML Data"),
            format("Invoice '%@' has no XML data.", {invoiceName}),
            {}};
}

LLAlert LLDocumentAlerts::invalidXML(const std::string& invoiceName) {
    return {LLAlert::Style::Warning,
            platform::localizedString("Invalid XML"),
            format("Invoice '%@' contains invalid XML data.", {invoiceName}),
            {}};
}

LLAlert LLDocumentAlerts::validationError(const std::string& invoiceName,
                                          const std::string& reason) {
    return {LLAlert::Style::Critical,
            platform::localizedString("Validation Error"),
            format("Failed to validate '%@': %@", {invoiceName, reason}),
            {}};
}

}  // namespace library
