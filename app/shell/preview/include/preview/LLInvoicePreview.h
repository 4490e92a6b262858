#pragma once

#include <QByteArray>
#include <filesystem>
#include <list>
#include <memory>
#include <optional>
#include <string>

namespace model {
class LLInvoice;
}
namespace library {
class LLInvoiceRecord;
}
namespace layout {
class LayoutTemplate;
}

namespace preview {

// Why a preview lacks its PDF or its invoice.
enum class LLPreviewProblem {
    None,
    UnreadableFile,   // the file could not be read
    UnreadableXML,    // the stored or given XML is not well-formed
    NotAnInvoice,     // XML of no invoice syntax the model reads
    NoLayout,         // the layout template is missing
    RenderingFailed,  // the template could not lay out the invoice
};

// What the preview of one invoice shows: its PDF and the invoice model read from its XML.
struct LLInvoicePreview {
    enum class Origin { None, Stored, Rendered, File };
    std::shared_ptr<model::LLInvoice> invoice;  // none when the XML cannot be read
    QByteArray pdf;                             // empty when there is none
    Origin origin = Origin::None;
    LLPreviewProblem problem = LLPreviewProblem::None;
    std::string detail;  // the reader's or renderer's own words, for the log
    // An XML file that is no invoice: its text, pretty-printed.
    std::optional<std::string> xmlText;
    // The XML the invoice was read from (for a PDF: the attachment that carries it).
    std::string invoiceXML;
};

// Builds previews: the PDF a record came with, else the invoice rendered from its XML with
// the layout template "Light". Rendered PDFs of the last few invoices are kept, so going back
// and forth in a list does not render again.
class LLInvoicePreviewSource {
  public:
    LLInvoicePreviewSource();
    ~LLInvoicePreviewSource();
    LLInvoicePreviewSource(const LLInvoicePreviewSource&) = delete;
    LLInvoicePreviewSource& operator=(const LLInvoicePreviewSource&) = delete;

    LLInvoicePreview previewForRecord(const library::LLInvoiceRecord& record);
    // An XML invoice rendered (with the template's letterhead backdrop when asked).
    LLInvoicePreview previewForXML(const std::string& xml, bool drawBackdrop);
    // A file that was not imported: a PDF as it is (with the invoice it carries, when it
    // carries one), an XML invoice rendered with backdrop, other XML as text.
    LLInvoicePreview previewForFile(const std::filesystem::path& file);

    // The cache holds at most this many rendered PDFs.
    static constexpr size_t kCachedRenderings = 8;

  private:
    QByteArray rendered(const model::LLInvoice& invoice, const std::string& xml, bool drawBackdrop,
                        LLInvoicePreview& preview);

    struct CacheEntry {
        std::string key;
        QByteArray pdf;
    };
    std::list<CacheEntry> cache_;  // most recent first
    std::unique_ptr<layout::LayoutTemplate> template_;
    std::string templateLanguage_;
};

// The invoice read from XML text; none when the text is no invoice.
std::shared_ptr<model::LLInvoice> invoiceFromXML(const std::string& xml,
                                                 LLPreviewProblem* problem = nullptr,
                                                 std::string* detail = nullptr);

}  // namespace preview
