#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace library {

// A problem with one file of an import run: one of the identifiers below, the file's path and,
// where the system gave one, its reason ("Permission denied", "the PDF is encrypted", ...).
struct LLImportError {
    std::string description;
    std::string path;
    std::string reason;
    bool operator==(const LLImportError&) const = default;
};
inline constexpr const char* kLLErrorNoXMLInPDF = "LLErrorNoXMLInPDF";
inline constexpr const char* kLLErrorNoValidXML = "LLErrorNoValidXML";
inline constexpr const char* kLLErrorNoSuchFile = "LLErrorNoSuchFile";
inline constexpr const char* kLLErrorUnreadableFile = "LLErrorUnreadableFile";
inline constexpr const char* kLLErrorUnreadablePDF = "LLErrorUnreadablePDF";
inline constexpr const char* kLLErrorNotStored = "LLErrorNotStored";
// Not a failure to store: the invoice and the PDF as it arrived are stored, but no archival
// rebuild of the PDF could be made (the reason says why).
inline constexpr const char* kLLErrorNoArchivalRebuild = "LLErrorNoArchivalRebuild";

// A stored invoice that an import replaced with the one of `path`.
struct LLImportReplacement {
    std::string path;
    std::string number;
    std::string seller;
    bool operator==(const LLImportReplacement&) const = default;
};

// What import runs report beside their records: the problems since the last reset and the
// stored invoices they replaced. Runs append from the import thread while a window reads, so
// every access holds the list's own lock.
class LLImportErrorList {
  public:
    void reset();
    void add(LLImportError error);
    std::vector<LLImportError> errors() const;
    void addReplacement(LLImportReplacement replacement);
    // The replacements since the last call.
    std::vector<LLImportReplacement> takeReplacements();

  private:
    mutable std::mutex mutex_;
    std::vector<LLImportError> errors_;
    std::vector<LLImportReplacement> replacements_;
};

}  // namespace library
