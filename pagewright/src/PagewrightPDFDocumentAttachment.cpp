#include "pagewright/PagewrightPDFDocumentAttachment.h"

namespace pagewright {

std::shared_ptr<PagewrightPDFDocumentAttachment>
PagewrightPDFDocumentAttachment::attachmentWithDataNameMimeType(std::string data, std::string name,
                                                                std::string mimeType) {
    auto attachment = std::make_shared<PagewrightPDFDocumentAttachment>();
    attachment->data = std::move(data);
    attachment->name = std::move(name);
    attachment->mimeType = std::move(mimeType);
    return attachment;
}

std::shared_ptr<PagewrightPDFDocumentAttachment>
PagewrightPDFDocumentAttachment::attachmentWithDataName(std::string data, std::string name) {
    return attachmentWithDataNameMimeType(std::move(data), std::move(name),
                                          "application/octet-stream");
}

std::shared_ptr<PagewrightPDFDocumentAttachment>
PagewrightPDFDocumentAttachment::attachmentWithDataAndName(std::string data, std::string name) {
    return attachmentWithDataName(std::move(data), std::move(name));
}

std::string PagewrightPDFDocumentAttachment::description() const {
    return "name: " + name + " length: " + std::to_string(data.size());
}

}  // namespace pagewright
