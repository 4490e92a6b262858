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

// A predictor row longer than this is refused before decoding: qpdf allocates whole rows up front,
// so /Columns 2147483648 in a 1 KB file would cost gigabytes.
inline constexpr size_t kMaximumPredictorRow = size_t(16) << 20;

// The decoded data of a stream, or none when it cannot be decoded or grows beyond `limit`.
std::optional<std::string> decodeStreamBounded(
    QPDFObjectHandle stream, size_t limit, std::string* problem,
    qpdf_stream_decode_level_e level = qpdf_dl_specialized);

// What qpdf may decode while writing a document, all streams together.
inline constexpr size_t kMaximumDecodedForWriting = size_t(512) << 20;
// Whether writing `pdf` with compressed streams stays within kMaximumDecodedForWriting: qpdf
// decodes and recompresses every stream with a filter chain, so a 7 KB nested-Flate bomb would
// cost gigabytes. False with the reason when it would not.
bool streamsFitForWriting(QPDF& pdf, std::string* problem);

// The file's bytes, at most kMaximumPDFFileSize of them; none with the reason when it cannot be
// read.
std::optional<std::string> readFileBounded(const std::filesystem::path& file, std::string* problem);

// Everything qpdf writes into memory, as bytes. Streams are copied as they are, never decoded:
// rewriting a nested-Flate bomb would inflate gigabytes.
std::string writePDF(QPDF& pdf, bool deterministicID = false);

}  // namespace pagewright
