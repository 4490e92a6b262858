#include <cstdio>
#include <filesystem>

#include "EInvoiceMetadata.h"
#include "PdfSupport.h"
#include "pagewright/PagewrightEngine.h"
#include "pagewright/PagewrightIdentity.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/FileData.h"
#include "platform/Log.h"
#include "platform/Resources.h"
#include "platform/Settings.h"

namespace pagewright {
namespace {

// The ICC profile for "sRGB" or "CMYK": a copy in the resources wins, else the Debian profiles
// (icc-profiles-free for sRGB, Ghostscript's SWOP profile from libgs-common for CMYK).
std::optional<std::filesystem::path> iccProfile(const std::string& name) {
    std::vector<std::filesystem::path> candidates;
    if (auto resources = platform::resourceDirectory())
        candidates.push_back(*resources / "icc" / (name + ".icc"));
    if (name == "sRGB") {
        candidates.push_back("/usr/share/color/icc/sRGB.icc");
        candidates.push_back("/usr/share/color/icc/ghostscript/srgb.icc");
        candidates.push_back("/usr/share/color/icc/colord/sRGB.icc");
    } else {
        candidates.push_back("/usr/share/color/icc/ghostscript/default_cmyk.icc");
        candidates.push_back("/usr/share/color/icc/ghostscript/ps_cmyk.icc");
    }
    std::error_code ec;
    for (auto& candidate : candidates)
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    return std::nullopt;
}

void chooseOutputIntent(PagewrightEngine& engine, PagewrightPDFDocument& document) {
    int conformance = engine.checkConformance();
    const char* profileName = nullptr;
    if (conformance == PagewrightEngine::ConformanceRGB ||
        conformance == PagewrightEngine::ConformanceRGBAndCMYK)
        profileName = "sRGB";
    else if (conformance == PagewrightEngine::ConformanceCMYK)
        profileName = "CMYK";
    if (!profileName) return;
    auto profile = iccProfile(profileName);
    if (!profile) {
        document.addToTranscript(std::string("No ") + profileName + " ICC profile found");
        return;
    }
    engine.addOutputIntent(*profile);
}

}  // namespace

std::optional<std::string> PagewrightPDFDocument::dataRepresentation(platform::Error* error) {
    if (platform::Settings().boolValue("PagewrightDisableAll", false)) return rawData();
    return convertedData(platformDataRepresentation(), error);
}

std::optional<std::string> PagewrightPDFDocument::convertedData(
    const std::optional<std::string>& bytes, platform::Error* error) {
    if (!bytes || bytes->empty()) {
        platform::setError(error, PagewrightErrorDomain, PagewrightErrorConversionFailed,
                           "There is no PDF to convert");
        return std::nullopt;
    }
    PagewrightEngine engine;
    prepareConversion(engine, *bytes);
    engine.writeOutput();
    takeTranscript(engine);
    if (engine.output().empty()) {
        platform::setError(
            error, PagewrightErrorDomain, PagewrightErrorConversionFailed,
            "The PDF could not be rebuilt" +
                (engine.transcript().empty() ? std::string() : ": " + engine.transcript().back()));
        return std::nullopt;
    }
    return engine.output();
}

bool PagewrightPDFDocument::prepareConversion(PagewrightEngine& engine, const std::string& bytes) {
    auto& files = attachments();
    auto source = std::make_shared<const std::string>(bytes);
    engine.createOutputDocument();
    engine.setImportFlags(PagewrightEngine::kImportFlagsConversion);
    engine.setImportFlags2(20);
    if (engine.openSource(source)) engine.importPages(1, 1.0, 1.0);
    if (engine.hasOutputDocument()) buildFormFields(engine);
    // The colour check runs whether or not the page has fields: without an output intent
    // device colours are not PDF/A.
    if (engine.hasOutputDocument()) chooseOutputIntent(engine, *this);
    if (!engine.hasOutputDocument()) {
        // The strict import failed: again, page by page, dropping what cannot be read.
        engine.createOutputDocument();
        engine.setImportFlags(PagewrightEngine::kImportFlagsConversionRetry);
        if (engine.openSource(source)) engine.importPages(1, 1.0, 1.0);
        if (engine.hasOutputDocument()) {
            buildFormFields(engine);
            chooseOutputIntent(engine, *this);
        }
    }
    for (const auto& attachment : files) {
        const std::string mime =
            attachment->mimeType && *attachment->mimeType != "application/octet-stream"
                ? *attachment->mimeType
                : "";
        int handle = engine.embedFile(attachment->data, attachment->name,
                                      attachment->fileDescription(), true, mime);
        if (handle >= 0)
            engine.associateFile(1, -1, PagewrightEngine::RelationshipEInvoice, handle);
    }
    if (scaleImages()) {
        PagewrightEngine::OptimizeParameters parameters;
        engine.optimize(PagewrightEngine::kOptimizeScaleImages, &parameters);
    }
    if (convertTextToOutlines())
        engine.optimize(PagewrightEngine::kOptimizeTextToOutlines, nullptr);
    uint32_t version = PagewrightEngine::kVersionPDFA3;
    if (hasAttachmentNamed("zugferd"))
        version = PagewrightEngine::kVersionZUGFeRD;
    else if (hasAttachmentNamed("xrechnung"))
        version = PagewrightEngine::kVersionXRechnung;
    else if (hasAttachmentNamed("factur"))
        version = PagewrightEngine::kVersionFacturX;
    engine.setOutputVariant(version);
    engine.setInfoEntry(PagewrightEngine::DocInfoProducer, std::nullopt);
    if (removeKeywords()) engine.setInfoEntry(PagewrightEngine::DocInfoKeywords, std::nullopt);
    return engine.hasOutputDocument();
}

void PagewrightPDFDocument::takeTranscript(const PagewrightEngine& engine) {
    for (const auto& line : engine.transcript()) {
        platform::logLine("Pagewright: " + line);
        addToTranscript(line);
    }
}

std::shared_ptr<PagewrightIdentity> PagewrightPDFDocument::findPDFIdentity(
    const std::string& summary) {
    return PagewrightIdentity::findPDFIdentity(summary);
}

bool PagewrightPDFDocument::signPDFWithEngineUsingIdentity(PagewrightEngine& engine,
                                                           const PagewrightIdentity& identity) {
    PagewrightEngine::SignatureParameters parameters;
    parameters.signerName = identity.subjectSummary();
    if (!engine.writeOutputForSigning(parameters)) {
        platform::logLine("pdfCloseAndSignFileExt failed");
        return false;
    }
    std::string problem;
    auto signature = identity.detachedSignature(parameters.bytesToSign, &problem);
    if (!signature) {
        platform::logLine("Signature failed: " + problem);
        return false;
    }
    if (!engine.insertSignature(*signature)) {
        platform::logLine("FinishSignature failed");
        return false;
    }
    return true;
}

std::optional<std::string> PagewrightPDFDocument::signedDataRepresentation(
    const PagewrightIdentity& identity, platform::Error* error) {
    if (platform::Settings().boolValue("PagewrightDisableAll", false)) {
        platform::setError(
            error, PagewrightErrorDomain, PagewrightErrorSigningFailed,
            "Signing needs the archival rebuild, which PagewrightDisableAll turns off");
        return std::nullopt;
    }
    auto bytes = platformDataRepresentation();
    if (!bytes || bytes->empty()) {
        platform::setError(error, PagewrightErrorDomain, PagewrightErrorSigningFailed,
                           "There is no PDF to sign");
        return std::nullopt;
    }
    PagewrightEngine engine;
    prepareConversion(engine, *bytes);
    const bool signedOK = signPDFWithEngineUsingIdentity(engine, identity);
    takeTranscript(engine);
    if (!signedOK) {
        platform::setError(
            error, PagewrightErrorDomain, PagewrightErrorSigningFailed,
            "The PDF could not be signed" +
                (engine.transcript().empty() ? std::string() : ": " + engine.transcript().back()));
        return std::nullopt;
    }
    return engine.output();
}

bool PagewrightPDFDocument::buildFormFields(PagewrightEngine& engine) {
    bool hasFields = false;
    const int pages = engine.pageCount();
    for (int page = 1; page <= pages; ++page) {
        if (engine.beginEditingPage(page) <= 0) continue;
        for (int i = engine.fieldCount() - 1; i >= 0; --i)
            if (engine.hasField(i)) hasFields = true;
        engine.requestFieldAppearances(true);
        for (int i = engine.annotationCount() - 1; i >= 0; --i) {
            auto annotation = engine.annotation(i);
            if (!annotation || annotation->page != page ||
                annotation->type != PagewrightEngine::kAnnotationText || annotation->text.empty())
                continue;
            const double x = annotation->x1, y = annotation->y1;
            const double width = annotation->x2 - annotation->x1;
            const double height = annotation->y2 - annotation->y1;
            char name[64];
            if (annotation->text == "Checkbox") {
                engine.deleteAnnotation(i);
                engine.setFieldBorderColor(0);
                std::snprintf(name, sizeof name, "Checkbox_%d", i);
                int field = engine.createCheckBox(name, "Off", false, -1, x, y, width, height);
                engine.setFieldBorderWidth(field, 0.25);
            } else if (annotation->text == "Signature") {
                engine.deleteAnnotation(i);
                engine.setFieldBorderColor(PagewrightEngine::kNoColor);
                std::snprintf(name, sizeof name, "Signature_%d", i);
                engine.createSignatureField(name, -1, x, y, width, height);
            } else if (annotation->text == "TextField") {
                engine.deleteAnnotation(i);
                engine.setFieldBorderColor(PagewrightEngine::kNoColor);
                std::snprintf(name, sizeof name, "TextField_%d", i);
                engine.createTextField(name, -1, false, 0, x, y, width, height);
            } else {
                continue;
            }
            hasFields = true;
        }
        engine.endEditingPage();
    }
    return hasFields;
}

bool PagewrightPDFDocument::writeToURL(const std::filesystem::path& file, platform::Error* error) {
    auto bytes = dataRepresentation(error);
    if (!bytes || bytes->empty()) {
        if (error && error->localizedDescription.empty())
            platform::setError(error, PagewrightErrorDomain, PagewrightErrorWriteFailed,
                               "There is no PDF to write to " + file.string());
        return false;
    }
    platform::Error written;
    if (!platform::writeFileAtomically(file, *bytes, &written))
        return platform::setError(error, PagewrightErrorDomain, PagewrightErrorWriteFailed,
                                  written.localizedDescription);
    return true;
}

}  // namespace pagewright
