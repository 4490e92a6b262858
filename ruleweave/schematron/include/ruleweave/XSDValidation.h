#pragma once

#include <libxml/xmlschemas.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Error.h"
#include "platform/XmlDocument.h"
#include "ruleweave/RWExport.h"

namespace RULEWEAVE_EXPORT ruleweave {

inline constexpr const char* kXSDErrorDomain = "NSXMLDocumentValidation";

// Compiled XML Schemas, shared between threads (a compiled schema is read-only).
class XSDSchemaCache {
  public:
    std::shared_ptr<xmlSchema> schemaFor(const std::filesystem::path& xsd,
                                         std::vector<std::string>* messages = nullptr);
    // Whether the schema was compiled already (or found not to compile).
    bool contains(const std::filesystem::path& xsd);

  private:
    std::mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<xmlSchema>> schemas_;
};

// Maps the remote locations an XSD imports to local copies, from an OASIS XML catalog file
// (the <uri> and <system> entries). Unmapped remote locations are never fetched.
void registerXMLCatalog(const std::filesystem::path& catalogFile);

// Validates against one XSD. Answers the schema's name (file name without extension) whenever the
// document is readable; a failed validation is reported in `error` only (code = libxml2's
// result, "XML is invalid.", userInfo "ValidationErrors" and "ValidationErrorsLength").
std::optional<std::string> validateWithXSD(const platform::XmlDocument& document,
                                           const std::filesystem::path& xsd,
                                           platform::Error* error = nullptr,
                                           XSDSchemaCache* cache = nullptr);
// The first schema's name for a readable document (error slot cleared); none otherwise.
std::optional<std::string> validateWithXSDs(const platform::XmlDocument& document,
                                            const std::vector<std::filesystem::path>& xsds,
                                            platform::Error* error = nullptr,
                                            XSDSchemaCache* cache = nullptr);

}  // namespace ruleweave
