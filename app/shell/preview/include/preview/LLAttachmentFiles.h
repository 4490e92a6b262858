#pragma once

#include <QByteArray>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"

namespace preview {

// One embedded file of an invoice PDF, as the attachment list shows it.
struct LLAttachment {
    std::string name;  // as embedded (may be anything the PDF says)
    std::string mimeType;
    std::string description;
    std::shared_ptr<const std::string> data;
};

// The embedded files of a PDF, read with Pagewright; empty for a PDF without any or no PDF.
std::vector<LLAttachment> attachmentsOfPDF(const QByteArray& pdf);

// The name under which an attachment is written: a file name of its own, never a path (no
// separators, not "." or ".."), "attachment" when nothing is left.
std::string safeAttachmentFileName(const std::string& name);

// Whether opening an attachment in the desktop's viewer is harmless: documents and pictures
// only; launchers (.desktop), scripts and programs are only offered for saving.
bool mayOpenAttachment(const std::string& name);

// Writes the attachment into `folder` under its safe name (through a temporary file and a
// rename); the path written, or none with `error` set.
std::optional<std::filesystem::path> writeAttachmentCopy(const LLAttachment& attachment,
                                                         const std::filesystem::path& folder,
                                                         platform::Error* error = nullptr);
// Writes the attachment to `file` whole or not at all.
bool saveAttachment(const LLAttachment& attachment, const std::filesystem::path& file,
                    platform::Error* error = nullptr);

}  // namespace preview
