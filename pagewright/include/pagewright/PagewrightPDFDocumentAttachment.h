#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "pagewright/PagewrightExport.h"

namespace PAGEWRIGHT_EXPORT pagewright {

// One embedded file of a PDF: its bytes and the name under which it is embedded.
class PagewrightPDFDocumentAttachment {
  public:
    static std::shared_ptr<PagewrightPDFDocumentAttachment> attachmentWithDataNameMimeType(
        std::string data, std::string name, std::string mimeType);
    // The MIME type is "application/octet-stream".
    static std::shared_ptr<PagewrightPDFDocumentAttachment> attachmentWithDataName(
        std::string data, std::string name);
    static std::shared_ptr<PagewrightPDFDocumentAttachment> attachmentWithDataAndName(
        std::string data, std::string name);

    std::string data;
    std::string name;
    std::optional<std::string> mimeType;
    std::optional<std::string> type;

    // "" when absent.
    std::string fileDescription() const { return fileDescription_.value_or(""); }
    bool hasFileDescription() const { return fileDescription_.has_value(); }
    void setFileDescription(std::optional<std::string> text) { fileDescription_ = std::move(text); }

    // "name: NAME length: N"
    std::string description() const;

  private:
    std::optional<std::string> fileDescription_;
};

}  // namespace pagewright
