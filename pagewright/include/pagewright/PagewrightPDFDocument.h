#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pagewright/PagewrightExport.h"
#include "pagewright/PagewrightFont.h"
#include "pagewright/PagewrightPDFDocumentAttachment.h"
#include "pagewright/PagewrightPDFPage.h"
#include "platform/Error.h"

class QPDF;

namespace PAGEWRIGHT_EXPORT pagewright {

class PagewrightEngine;
class PagewrightIdentity;

// The error domain of the document's fallible operations.
inline constexpr const char* PagewrightErrorDomain = "PagewrightErrorDomain";
enum PagewrightErrorCode {
    PagewrightErrorUnreadableFile = 1,
    PagewrightErrorNotAPDF = 2,
    PagewrightErrorEncrypted = 3,
    PagewrightErrorWriteFailed = 4,
    PagewrightErrorConversionFailed = 5,
    PagewrightErrorSigningFailed = 6,
};

// A parsed PDF (qpdf underneath) that lists and adds embedded files and hands itself out as an
// archival PDF/A-3 e-invoice through dataRepresentation().
class PagewrightPDFDocument : public std::enable_shared_from_this<PagewrightPDFDocument> {
  public:
    using AttachmentList = std::vector<std::shared_ptr<PagewrightPDFDocumentAttachment>>;

    // An attachment larger than this once decoded is skipped, so a stream that inflates to
    // gigabytes cannot exhaust memory.
    static constexpr size_t kMaximumAttachmentSize = size_t(128) << 20;

    // An empty document (no pages) with the default switches.
    static std::shared_ptr<PagewrightPDFDocument> init();
    // None when the bytes are not a PDF qpdf can open (or need a password).
    static std::shared_ptr<PagewrightPDFDocument> initWithData(std::string bytes,
                                                               platform::Error* error = nullptr);
    static std::shared_ptr<PagewrightPDFDocument> initWithURL(const std::filesystem::path& file,
                                                              platform::Error* error = nullptr);
    ~PagewrightPDFDocument();
    PagewrightPDFDocument(const PagewrightPDFDocument&) = delete;
    PagewrightPDFDocument& operator=(const PagewrightPDFDocument&) = delete;

    // Switches. optimize() and variant() consult the user defaults on every read.
    bool optimize() const;
    void setOptimize(bool value) { optimize_ = value; }
    bool allowVariantDowngrade() const { return allowVariantDowngrade_; }
    void setAllowVariantDowngrade(bool value) { allowVariantDowngrade_ = value; }
    bool convertTextToOutlines() const { return convertTextToOutlines_; }
    void setConvertTextToOutlines(bool value) { convertTextToOutlines_ = value; }
    bool needsOptimize() const { return needsOptimize_; }
    void setNeedsOptimize(bool value) { needsOptimize_ = value; }
    bool scaleImages() const { return scaleImages_; }
    void setScaleImages(bool value) { scaleImages_ = value; }
    bool removeKeywords() const { return removeKeywords_; }
    void setRemoveKeywords(bool value) { removeKeywords_ = value; }
    int variant() const;
    void setVariant(int value) { variant_ = value; }

    // The embedded files: read from the whole embedded-files name tree on first use, then kept
    // and extended by addAttachment().
    AttachmentList& attachments();
    void setAttachments(AttachmentList list) { attachments_ = std::move(list); }
    // Keys "type", "mimeType", "data", "name"; a key is missing when its field is absent.
    std::vector<std::map<std::string, std::string>> attachmentDictionaries();
    // Case-insensitive substring test over the attachment names.
    bool hasAttachmentNamed(std::string_view text);
    // Refused (false) when hasAttachmentNamed() holds for the new name.
    bool addAttachment(std::shared_ptr<PagewrightPDFDocumentAttachment> attachment);

    // Lines about the last operations: repairs, skipped attachments, conformance limits.
    const std::optional<std::vector<std::string>>& transcript() const { return transcript_; }
    void addToTranscript(std::string line);

    // Fonts named in a list file (one per line, the name before the first comma, quotes
    // stripped; read as ISO Latin 1), those installed, at 10 points.
    const std::optional<std::vector<PagewrightFont>>& fonts() const { return fonts_; }
    void loadFontList(const std::filesystem::path& file);
    static std::string getFontPathOfFont(const PagewrightFont& font) { return font.filePath(); }

    std::optional<std::string> internalKeywords;

    // The creation bytes, or the document as currently held when there are none.
    std::optional<std::string> rawData();
    // The document as currently held, written by qpdf without conversion.
    std::optional<std::string> platformDataRepresentation();
    // The archival rebuild (or the raw bytes when "PagewrightDisableAll" is set).
    std::optional<std::string> dataRepresentation(platform::Error* error = nullptr);
    // Writes dataRepresentation() through a temporary file and a rename.
    bool writeToURL(const std::filesystem::path& file, platform::Error* error = nullptr);

    // The rebuild of `bytes` as PDF/A-3b carrying this document's attachments.
    std::optional<std::string> convertedData(const std::optional<std::string>& bytes,
                                             platform::Error* error = nullptr);
    // Turns placeholder annotations into form fields; true when the document has fields.
    bool buildFormFields(PagewrightEngine& engine);
    // Kept for callers of the optimisation step: the bytes unchanged.
    std::string optimizedData(std::string bytes) const { return bytes; }

    // The identity whose certificate's subject summary is exactly `summary`, or none.
    static std::shared_ptr<PagewrightIdentity> findPDFIdentity(const std::string& summary);
    // Closes the engine's output with a detached CMS signature (SHA-256) of `identity`.
    bool signPDFWithEngineUsingIdentity(PagewrightEngine& engine,
                                        const PagewrightIdentity& identity);
    // The archival rebuild, signed by `identity` in an incremental update.
    std::optional<std::string> signedDataRepresentation(const PagewrightIdentity& identity,
                                                        platform::Error* error = nullptr);

    int pageCount() const;
    std::optional<PagewrightPDFPage> pageAtIndex(int index);
    // Copies the page (from any document) to the end of this one.
    bool appendPage(const PagewrightPDFPage& page);

    // A new document with every page of `documents` in order, each fitted to the first page,
    // and all their attachments (duplicates kept). None for an empty list.
    static std::shared_ptr<PagewrightPDFDocument> documentWithDocuments(
        const std::vector<std::shared_ptr<PagewrightPDFDocument>>& documents);
    static std::shared_ptr<PagewrightPDFDocument> documentWithDocumentsAllowRotationAllowScaling(
        const std::vector<std::shared_ptr<PagewrightPDFDocument>>& documents, bool allowRotation,
        bool allowScaling);
    // The engine's merge: every input's dataRepresentation() imported page after page.
    static std::shared_ptr<PagewrightPDFDocument> documentWithDocumentsUsingEngine(
        const std::vector<std::shared_ptr<PagewrightPDFDocument>>& documents);
    // True when the text of the pages (poppler), trimmed of white space, is not empty.
    bool hasText();

    // A PDF text string (PDFDocEncoding or UTF-16BE with byte-order mark) as UTF-8.
    static std::string convertPDFString(std::string_view pdfString);
    static std::string uniqueString();

    // The qpdf document underneath.
    QPDF& qpdf() { return *pdf_; }
    std::shared_ptr<QPDF> qpdfPointer() { return pdf_; }
    // Keeps `source` open as long as this document, for objects copied from it.
    void retainSource(std::shared_ptr<QPDF> source) { sources_.push_back(std::move(source)); }

  private:
    PagewrightPDFDocument();
    // Steps of the rebuild up to closing: import, fields, output intent, attachments, options.
    bool prepareConversion(PagewrightEngine& engine, const std::string& bytes);
    void takeTranscript(const PagewrightEngine& engine);

    std::shared_ptr<QPDF> pdf_;
    // Documents whose pages were copied here: qpdf reads their stream data when writing.
    std::vector<std::shared_ptr<QPDF>> sources_;
    bool optimize_ = true;
    bool allowVariantDowngrade_ = true;
    bool convertTextToOutlines_ = false;
    bool needsOptimize_ = false;
    bool scaleImages_ = false;
    bool removeKeywords_ = false;
    int variant_ = 3;
    std::optional<AttachmentList> attachments_;
    std::optional<std::vector<std::string>> transcript_;
    std::optional<std::vector<PagewrightFont>> fonts_;
    std::shared_ptr<const std::string> rawData_;
};

}  // namespace pagewright
