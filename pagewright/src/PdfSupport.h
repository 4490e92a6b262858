#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <string>

namespace pagewright {

// All attachments of one document together stay below this once decoded.
inline constexpr size_t kMaximumTotalAttachmentSize = size_t(512) << 20;
// Page content larger than this once decoded is not rewritten.
inline constexpr size_t kMaximumPageContent = size_t(64) << 20;
// Larger files are refused rather than read into memory.
inline constexpr size_t kMaximumPDFFileSize = size_t(1) << 30;

// Opens PDF bytes with qpdf; the QPDF keeps `bytes` alive. None with a reason and an error code
// (PagewrightErrorNotAPDF or PagewrightErrorEncrypted) when qpdf cannot open them.
std::shared_ptr<QPDF> openPDF(std::shared_ptr<const std::string> bytes,
                              const std::string& description, std::string* problem, int* code);

// The decoded data of a stream, or none when it cannot be decoded or grows beyond `limit`.
std::optional<std::string> decodeStreamBounded(QPDFObjectHandle stream, size_t limit,
                                               std::string* problem);

std::optional<std::string> readFileBounded(const std::filesystem::path& file, std::string* problem);
bool writeFileAtomically(const std::filesystem::path& file, const std::string& bytes,
                         std::string* problem);

// Everything qpdf writes into memory, as bytes.
std::string writePDF(QPDF& pdf, bool deterministicID = false);

}  // namespace pagewright
