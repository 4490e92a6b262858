#include "preview/LLAttachmentFiles.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "pagewright/PagewrightPDFDocument.h"
#include "platform/FileData.h"
#include "platform/SFLocalizeHelper.h"

namespace preview {
namespace {

std::string lowerExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

}  // namespace

std::vector<LLAttachment> attachmentsOfPDF(const QByteArray& pdf) {
    std::vector<LLAttachment> list;
    if (pdf.isEmpty()) return list;
    auto document = pagewright::PagewrightPDFDocument::initWithData(pdf.toStdString());
    if (!document) return list;
    for (const auto& attachment : document->attachments()) {
        if (!attachment) continue;
        list.push_back({attachment->name, attachment->mimeType.value_or(""),
                        attachment->fileDescription(),
                        std::make_shared<const std::string>(attachment->data)});
    }
    return list;
}

std::string safeAttachmentFileName(const std::string& name) {
    std::string safe = platform::stringForFileName(name);
    // Control characters (line breaks, NUL) have no place in a file name.
    for (char& c : safe) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    }
    // A name of dots alone would climb out of the folder or hide the file.
    if (safe.find_first_not_of('.') == std::string::npos) return "attachment";
    if (safe.front() == '.') safe.insert(safe.begin(), '_');
    return safe;
}

bool mayOpenAttachment(const std::string& name) {
    static constexpr std::array<const char*, 20> kViewable = {
        "pdf", "xml",  "txt", "csv", "png", "jpg", "jpeg", "gif", "tif",  "tiff",
        "bmp", "webp", "odt", "ods", "odp", "doc", "docx", "xls", "xlsx", "pptx"};
    const std::string extension = lowerExtension(safeAttachmentFileName(name));
    return std::find(kViewable.begin(), kViewable.end(), extension) != kViewable.end();
}

std::optional<std::filesystem::path> writeAttachmentCopy(const LLAttachment& attachment,
                                                         const std::filesystem::path& folder,
                                                         platform::Error* error) {
    const std::filesystem::path file = folder / safeAttachmentFileName(attachment.name);
    if (!saveAttachment(attachment, file, error)) return std::nullopt;
    return file;
}

bool saveAttachment(const LLAttachment& attachment, const std::filesystem::path& file,
                    platform::Error* error) {
    const std::string_view bytes = attachment.data ? std::string_view(*attachment.data) : "";
    return platform::writeFileAtomically(file, bytes, error);
}

}  // namespace preview
