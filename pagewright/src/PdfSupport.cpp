#include "PdfSupport.h"

#include <qpdf/BufferInputSource.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "pagewright/PagewrightPDFDocument.h"
#include "platform/FileData.h"

namespace pagewright {
namespace {

struct LimitExceeded : std::runtime_error {
    LimitExceeded() : std::runtime_error("decoded data exceeds the limit") {}
};

// Collects decoded bytes and stops the decoder once the limit is passed.
class BoundedPipeline : public Pipeline {
  public:
    BoundedPipeline(std::string* out, size_t limit)
        : Pipeline("bounded", nullptr), out_(out), limit_(limit) {}
    void write(unsigned char const* data, size_t length) override {
        if (exceeded_ || size_ + length > limit_) {
            exceeded_ = true;
            throw LimitExceeded();
        }
        size_ += length;
        if (out_) out_->append(reinterpret_cast<const char*>(data), length);
    }
    void finish() override {}
    bool exceeded() const { return exceeded_; }
    size_t size() const { return size_; }

  private:
    std::string* out_;  // none: only counted
    size_t limit_;
    size_t size_ = 0;
    bool exceeded_ = false;
};

// Keeps the source bytes alive as long as qpdf reads from them.
class OwnedBufferSource : public BufferInputSource {
  public:
    OwnedBufferSource(std::shared_ptr<const std::string> bytes, const std::string& description)
        : BufferInputSource(
              description,
              new Buffer(reinterpret_cast<unsigned char*>(const_cast<char*>(bytes->data())),
                         bytes->size()),
              true),
          bytes_(std::move(bytes)) {}

  private:
    std::shared_ptr<const std::string> bytes_;
};

// Whether every predictor of the stream's filters keeps its rows within `limit` bytes.
bool predictorRowsFit(QPDFObjectHandle stream, size_t limit, std::string* problem) {
    QPDFObjectHandle parms = stream.getDict().getKey("/DecodeParms");
    std::vector<QPDFObjectHandle> all;
    if (parms.isDictionary()) all.push_back(parms);
    if (parms.isArray())
        for (int i = 0; i < parms.getArrayNItems(); ++i) all.push_back(parms.getArrayItem(i));
    for (auto& p : all) {
        if (!p.isDictionary()) continue;
        auto integer = [&p](const char* key, long long fallback) {
            QPDFObjectHandle v = p.getKey(key);
            return v.isInteger() ? v.getIntValue() : fallback;
        };
        if (integer("/Predictor", 1) < 2) continue;
        // In bits, as long double: the factors may each be near 2^63.
        long double bits = static_cast<long double>(integer("/Columns", 1)) *
                           static_cast<long double>(integer("/Colors", 1)) *
                           static_cast<long double>(integer("/BitsPerComponent", 8));
        if (bits / 8 > static_cast<long double>(std::min(limit, kMaximumPredictorRow))) {
            *problem = "its predictor rows are larger than " +
                       std::to_string(std::min(limit, kMaximumPredictorRow) >> 10) + " KiB";
            return false;
        }
    }
    return true;
}

}  // namespace

std::shared_ptr<QPDF> openPDF(std::shared_ptr<const std::string> bytes,
                              const std::string& description, std::string* problem, int* code) {
    *code = PagewrightErrorNotAPDF;
    if (!bytes || bytes->empty()) {
        *problem = "the data is empty";
        return nullptr;
    }
    if (bytes->find("%PDF-") == std::string::npos) {
        *problem = "the data is not a PDF";
        return nullptr;
    }
    try {
        auto pdf = std::make_shared<QPDF>();
        pdf->setSuppressWarnings(true);
        pdf->processInputSource(std::make_shared<OwnedBufferSource>(bytes, description));
        if (!pdf->getRoot().isDictionary()) {
            *problem = "the PDF has no document catalog";
            return nullptr;
        }
        // Touch the page tree now so a broken one is reported here, not on first use.
        QPDFPageDocumentHelper(*pdf).getAllPages();
        return pdf;
    } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password) {
            *code = PagewrightErrorEncrypted;
            *problem = "the PDF is encrypted and needs a password";
        } else {
            *problem = "the PDF is damaged: " + e.getMessageDetail();
        }
    } catch (const std::exception& e) {
        *problem = std::string("the PDF is damaged: ") + e.what();
    }
    return nullptr;
}

std::optional<std::string> decodeStreamBounded(QPDFObjectHandle stream, size_t limit,
                                               std::string* problem,
                                               qpdf_stream_decode_level_e level) {
    try {
        if (!predictorRowsFit(stream, limit, problem)) return std::nullopt;
    } catch (const std::exception& e) {
        *problem = std::string("its data cannot be decoded: ") + e.what();
        return std::nullopt;
    }
    std::string out;
    BoundedPipeline pipeline(&out, limit);
    bool ok = false;
    try {
        ok = stream.pipeStreamData(&pipeline, 0, level, true);
    } catch (const LimitExceeded&) {
        ok = false;
    } catch (const std::exception& e) {
        if (!pipeline.exceeded()) {
            *problem = std::string("its data cannot be decoded: ") + e.what();
            return std::nullopt;
        }
    }
    if (pipeline.exceeded()) {
        *problem = "it is larger than " + std::to_string(limit >> 20) + " MiB once decoded";
        return std::nullopt;
    }
    if (!ok) {
        *problem = "its data cannot be decoded";
        return std::nullopt;
    }
    return out;
}

bool streamsFitForWriting(QPDF& pdf, std::string* problem) {
    size_t total = 0;
    for (auto& object : pdf.getAllObjects()) {
        if (!object.isStream()) continue;
        // qpdf copies a stream with one plain Flate filter as it is; others it decodes.
        QPDFObjectHandle filter = object.getDict().getKey("/Filter");
        if (filter.isNull() || filter.isNameAndEquals("/FlateDecode") ||
            filter.isNameAndEquals("/Fl"))
            continue;
        std::string why;
        if (!predictorRowsFit(object, kMaximumDecodedForWriting, &why)) {
            *problem = "a stream cannot be rewritten: " + why;
            return false;
        }
        BoundedPipeline counter(nullptr, kMaximumDecodedForWriting - total);
        try {
            object.pipeStreamData(&counter, 0, qpdf_dl_generalized, true);
        } catch (const std::exception&) {
            // Past the budget, or damaged data that qpdf copies as it is.
        }
        if (counter.exceeded()) {
            *problem = "its streams are larger than " +
                       std::to_string(kMaximumDecodedForWriting >> 20) + " MiB once decoded";
            return false;
        }
        total += counter.size();
    }
    return true;
}

std::optional<std::string> readFileBounded(const std::filesystem::path& file,
                                           std::string* problem) {
    platform::Error error;
    auto bytes = platform::readFileData(file, &error, kMaximumPDFFileSize);
    if (!bytes) *problem = platform::fileDataReason(error);
    return bytes;
}

std::string writePDF(QPDF& pdf, bool deterministicID) {
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.setPreserveEncryption(false);
    // qpdf decodes filter chains to recompress them even at decode level none.
    writer.setCompressStreams(false);
    writer.setDecodeLevel(qpdf_dl_none);
    if (deterministicID) writer.setDeterministicID(true);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

}  // namespace pagewright
