// Any bytes as a PDF: opened, its embedded files read with their names and data.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pagewright/PagewrightPDFDocument.h"
#include "pagewright/PagewrightPDFDocumentAttachment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (size_t(8) << 20)) return 0;
    auto document = pagewright::PagewrightPDFDocument::initWithData(
        std::string(reinterpret_cast<const char*>(data), size));
    if (!document) return 0;
    document->attachments();
    document->attachmentDictionaries();
    document->hasAttachmentNamed("xml");
    document->pageCount();
    return 0;
}
