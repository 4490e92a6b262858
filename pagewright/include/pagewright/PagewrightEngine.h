#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pagewright/PagewrightExport.h"

namespace PAGEWRIGHT_EXPORT pagewright {

// The small PDF engine under the archival rebuild, on qpdf: pages of import sources go into a
// new output document, which is edited (form fields, annotations, attachments, output intent)
// and closed into PDF/A-3b bytes. One engine is used by one thread at a time.
class PagewrightEngine {
  public:
    // Import flags. A bit set keeps that part of the source; kImportTolerant copies page by
    // page and drops what cannot be read.
    static constexpr uint32_t kImportAnnotations = 1u << 1;
    static constexpr uint32_t kImportFormFields = 1u << 2;
    static constexpr uint32_t kImportOutlines = 1u << 3;
    static constexpr uint32_t kImportDocInfo = 1u << 4;
    static constexpr uint32_t kImportStructure = 1u << 5;
    static constexpr uint32_t kImportPageLabels = 1u << 6;
    static constexpr uint32_t kImportTolerant = 1u << 31;
    // Flags of the rebuild (bits 1 to 28), of its retry (plus bit 31) and of merging.
    static constexpr uint32_t kImportFlagsConversion = 536870910u;
    static constexpr uint32_t kImportFlagsConversionRetry = 2684354558u;
    static constexpr uint32_t kImportFlagsMerge = 266338302u;

    // Annotation type codes: the order of kAnnotationSubtypes; a sticky note (/Text) is 13.
    static constexpr int kAnnotationText = 13;

    // Conformance check results: which output intent the content asks for.
    enum Conformance {
        ConformanceNone = 0,
        ConformanceRGB = 1,
        ConformanceCMYK = 2,
        ConformanceRGBAndCMYK = 3
    };

    // Version codes of the output: plain PDF/A-3b and the three e-invoice flavours.
    static constexpr uint32_t kVersionPDFA3 = 0x16;
    static constexpr uint32_t kVersionZUGFeRD = 0x10016;
    static constexpr uint32_t kVersionFacturX = 0x100016;
    static constexpr uint32_t kVersionXRechnung = 0x2000016;

    // Relationship of an associated file; kRelationshipEInvoice picks what the e-invoice
    // standards ask for: Alternative (Data for MINIMUM and BASIC WL) for the invoice XML,
    // Supplement for everything else.
    enum Relationship {
        RelationshipSource = 0,
        RelationshipData = 1,
        RelationshipAlternative = 2,
        RelationshipSupplement = 3,
        RelationshipEInvoice = 4,
        RelationshipUnspecified = 5
    };

    // Document information entries for setInfoEntry().
    enum DocInfo {
        DocInfoAuthor = 0,
        DocInfoCreator = 1,
        DocInfoKeywords = 2,
        DocInfoProducer = 3,
        DocInfoSubject = 4,
        DocInfoTitle = 5
    };

    // Optimisation requests.
    static constexpr uint32_t kOptimizeScaleImages = 0x689;
    static constexpr uint32_t kOptimizeTextToOutlines = 0x400000;

    struct Annotation {
        int page = 0;  // from 1
        int type = -1;
        std::string text;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    };

    // Image downsampling parameters, twenty 32-bit values: record size, then thresholds and
    // targets in pixels per inch (colour, grey, bitonal), then the JPEG quality.
    struct OptimizeParameters {
        uint32_t values[20] = {80, 300, 300, 200, 300, 300, 300, 0, 0, 7, 100, 100};
        uint32_t resolutionThreshold() const { return values[1]; }
        uint32_t targetResolution() const { return values[3]; }
        uint32_t jpegQuality() const { return values[10]; }
    };

    PagewrightEngine();
    ~PagewrightEngine();
    PagewrightEngine(const PagewrightEngine&) = delete;
    PagewrightEngine& operator=(const PagewrightEngine&) = delete;

    // A new, empty in-memory PDF/A output document (replacing any open one).
    bool createOutputDocument();
    bool hasOutputDocument() const;
    void setImportFlags(uint32_t flags);
    void setImportFlags2(uint32_t flags);

    bool openSource(std::shared_ptr<const std::string> bytes);
    // Imports every page of the open source before `destinationPage` (from 1; past the end
    // appends). A source that cannot be imported closes the output document. Pages imported.
    int importPages(int destinationPage, double scaleX = 1.0, double scaleY = 1.0);
    void closeSource();
    int pageCount() const;

    // Pages open for editing by number from 1; a result above 0 means the page is open.
    int beginEditingPage(int page);
    void endEditingPage();

    int fieldCount() const;
    bool hasField(int index) const;
    void requestFieldAppearances(bool value);

    int annotationCount() const;
    std::optional<Annotation> annotation(int index) const;
    bool deleteAnnotation(int index);

    // Field creation on the page open for editing; each returns a field index or -1.
    void setFieldBorderColor(uint32_t color);  // 0xRRGGBB, or kNoColor
    static constexpr uint32_t kNoColor = 4294967281u;
    int createCheckBox(const std::string& name, const std::string& exportValue, bool checked,
                       int parent, double x, double y, double width, double height);
    void setFieldBorderWidth(int field, double width);
    int createSignatureField(const std::string& name, int parent, double x, double y, double width,
                             double height);
    int createTextField(const std::string& name, int parent, bool multiline, int maxLength,
                        double x, double y, double width, double height);

    // Looks at the colour spaces the pages use; also records in the transcript what keeps
    // the output from conforming (fonts not embedded, forbidden actions, ...).
    int checkConformance();
    // Adds the PDF/A output intent with the ICC profile at `profile`.
    bool addOutputIntent(const std::filesystem::path& profile);

    // Embeds a file; returns its handle or -1.
    int embedFile(const std::string& data, const std::string& name, const std::string& description,
                  bool compress, const std::string& mimeType = "");
    // Associates an embedded file with the document (destination 1, handle -1).
    bool associateFile(int destinationType, int destinationHandle, int relationship,
                       int fileHandle);

    bool optimize(uint32_t flags, const OptimizeParameters* parameters);
    void setOutputVariant(uint32_t code);
    // Sets or (with no value) clears an entry of the document information.
    void setInfoEntry(DocInfo entry, const std::optional<std::string>& value);

    // Writes the output: PDF/A-3b with XMP metadata, file identifier, no encryption.
    bool writeOutput();
    // The bytes of the last closed output.
    const std::string& output() const;

    // Signing: the output is closed and a signature is prepared as an incremental update with
    // a signature field (the first empty one, else a new invisible one) whose /Contents is
    // reserved. The bytes to sign (the byte range) come back in the parameters.
    struct SignatureParameters {
        uint32_t recordSize = 168;
        uint32_t reservedLength = 8192;  // bytes for the DER signature
        int hashType = 1;
        std::string contactInfo = "signer@example.invalid";
        std::string location = "Linux";
        std::string reason = "Signed via Ledgerlens";
        std::string signerName;
        std::string bytesToSign;  // filled by writeOutputForSigning()
    };
    bool writeOutputForSigning(SignatureParameters& parameters);
    // Puts the DER signature into the reserved space; false when it does not fit.
    bool insertSignature(const std::string& signature);

    // What the engine noticed: conformance problems, steps it could not do.
    const std::vector<std::string>& transcript() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace pagewright
