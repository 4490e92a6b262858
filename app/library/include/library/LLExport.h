#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace library {

class LLInvoiceRecord;
class LLObjectContext;

// What an export run did.
struct LLExportSummary {
    std::size_t records = 0;       // records handled
    std::size_t filesWritten = 0;  // XML and PDF files
    std::size_t failures = 0;
    std::vector<std::string> problems;  // one line per failure, naming the file or record
    std::vector<std::string> notes;     // files written, but not quite as asked
};

// What an export writes: by default the XML and the PDF as they arrived.
struct LLExportOptions {
    bool prettyXML = false;   // the stored XML pretty-printed instead
    bool rebuiltPDF = false;  // the archival rebuild of an imported PDF instead
    // Asked before each record; true stops the run (the files written so far stay whole).
    std::function<bool()> cancelled;
};

// Called after each record with the records done and the total.
using LLExportProgress = std::function<void(std::size_t done, std::size_t total)>;

// Writes each record below `folder` as <seller>/<number>/<number>.xml (the XML as it arrived;
// pretty-printed for records from before the received bytes were kept) and <number>.pdf (the PDF
// as it arrived, else the stored PDF, else one rendered from the XML), every file through a
// temporary file and a rename. A number met twice for one seller in a run gets a
// second folder "<number> 2" (files named alike) instead of overwriting the first. Failures are
// counted and skipped; the run goes on. Use the records from the thread that owns their context (a
// worker fetches or resolves them in its own private child context). Rendering needs a
// QGuiApplication in the process.
LLExportSummary exportRecords(const std::vector<std::shared_ptr<LLInvoiceRecord>>& records,
                              const std::filesystem::path& folder,
                              const LLExportProgress& progress = {},
                              const LLExportOptions& options = {});
// The same for records handed over as URI strings, resolved in `context` (strings that name no
// record are counted as failures).
LLExportSummary exportURIStrings(LLObjectContext& context, const std::vector<std::string>& uris,
                                 const std::filesystem::path& folder,
                                 const LLExportProgress& progress = {},
                                 const LLExportOptions& options = {});

// The folder names: the text made safe for a file name; a seller without a usable name goes to
// "Unknown Seller", an invoice without one to "Invoice" (both in the interface language).
std::string exportSellerFolderName(const std::optional<std::string>& sellerName);
std::string exportInvoiceFolderName(const std::optional<std::string>& invoiceName);

}  // namespace library
