#pragma once

#include <string>

#include "library/LLDocument.h"

namespace library {

// The texts of the alerts a library window shows, in one place.
class LLDocumentAlerts {
  public:
    static LLAlert unsavedChanges();
    static LLAlert noXMLData(const std::string& invoiceName);
    static LLAlert invalidXML(const std::string& invoiceName);
    static LLAlert validationError(const std::string& invoiceName, const std::string& reason);
};

}  // namespace library
