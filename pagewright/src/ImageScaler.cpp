#include "ImageScaler.h"

#include <algorithm>
#include <cmath>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_DCT.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <set>

#include "PdfSupport.h"

namespace pagewright {
namespace {

using OH = QPDFObjectHandle;

bool isTrue(OH value) { return value.isBool() && value.getBoolValue(); }

class Quality : public Pl_DCT::CompressConfig {
  public:
    explicit Quality(int quality) : quality_(quality) {}
    void apply(jpeg_compress_struct* cinfo) override { jpeg_set_quality(cinfo, quality_, TRUE); }

  private:
    int quality_;
};

int componentsOf(OH cs) {
    if (cs.isNameAndEquals("/DeviceRGB")) return 3;
    if (cs.isNameAndEquals("/DeviceGray")) return 1;
    if (cs.isArray() && cs.getArrayNItems() == 2 &&
        cs.getArrayItem(0).isNameAndEquals("/ICCBased")) {
        OH n = cs.getArrayItem(1).isStream() ? cs.getArrayItem(1).getDict().getKey("/N") : OH();
        if (n.isInteger() && (n.getIntValue() == 1 || n.getIntValue() == 3))
            return static_cast<int>(n.getIntValue());
    }
    return 0;
}

// Box filter from w×h to nw×nh pixels of `c` components.
std::string shrink(const std::string& pixels, int w, int h, int c, int nw, int nh) {
    std::string out(static_cast<size_t>(nw) * nh * c, '\0');
    for (int y = 0; y < nh; ++y) {
        int y0 = static_cast<int>(static_cast<long>(y) * h / nh);
        int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long>(y + 1) * h / nh));
        for (int x = 0; x < nw; ++x) {
            int x0 = static_cast<int>(static_cast<long>(x) * w / nw);
            int x1 = std::max(x0 + 1, static_cast<int>(static_cast<long>(x + 1) * w / nw));
            for (int k = 0; k < c; ++k) {
                unsigned long sum = 0;
                for (int yy = y0; yy < y1; ++yy)
                    for (int xx = x0; xx < x1; ++xx)
                        sum += static_cast<unsigned char>(
                            pixels[(static_cast<size_t>(yy) * w + xx) * c + k]);
                out[(static_cast<size_t>(y) * nw + x) * c + k] =
                    static_cast<char>(sum / (static_cast<unsigned long>(y1 - y0) * (x1 - x0)));
            }
        }
    }
    return out;
}

bool scaleImage(OH image, double pageWidthInches, double pageHeightInches,
                const PagewrightEngine::OptimizeParameters& parameters) {
    OH dict = image.getDict();
    if (isTrue(dict.getKey("/ImageMask")) || dict.hasKey("/SMask") || dict.hasKey("/Mask") ||
        dict.hasKey("/Decode") || dict.hasKey("/SMaskInData"))
        return false;
    OH bpc = dict.getKey("/BitsPerComponent");
    if (!bpc.isInteger() || bpc.getIntValue() != 8) return false;
    const int c = componentsOf(dict.getKey("/ColorSpace"));
    OH wObj = dict.getKey("/Width"), hObj = dict.getKey("/Height");
    if (!c || !wObj.isInteger() || !hObj.isInteger()) return false;
    const long w = wObj.getIntValue(), h = hObj.getIntValue();
    if (w < 2 || h < 2 || w > 30000 || h > 30000) return false;
    const double ppi = std::max(w / pageWidthInches, h / pageHeightInches);
    if (ppi <= parameters.resolutionThreshold() || parameters.targetResolution() == 0) return false;
    const double factor = parameters.targetResolution() / ppi;
    const int nw = std::max(1, static_cast<int>(std::lround(w * factor)));
    const int nh = std::max(1, static_cast<int>(std::lround(h * factor)));
    const size_t expected = static_cast<size_t>(w) * h * c;
    std::string problem;
    OH filter = dict.getKey("/Filter");
    const bool wasJpeg = filter.isNameAndEquals("/DCTDecode") ||
                         (filter.isArray() && filter.getArrayNItems() == 1 &&
                          filter.getArrayItem(0).isNameAndEquals("/DCTDecode"));
    // Decoding JPEG needs the full decode level; the pixels the dictionary promises bound it.
    if (expected > (size_t(512) << 20)) return false;
    auto decoded = decodeStreamBounded(image, expected, &problem, qpdf_dl_all);
    if (!decoded || decoded->size() != expected) return false;
    std::string pixels = std::move(*decoded);
    std::string small = shrink(pixels, static_cast<int>(w), static_cast<int>(h), c, nw, nh);
    if (wasJpeg) {
        Pl_Buffer jpeg("jpeg");
        Quality quality(static_cast<int>(std::clamp<uint32_t>(parameters.jpegQuality(), 1, 100)));
        Pl_DCT dct("dct", &jpeg, static_cast<JDIMENSION>(nw), static_cast<JDIMENSION>(nh), c,
                   c == 3 ? JCS_RGB : JCS_GRAYSCALE, &quality);
        dct.write(reinterpret_cast<const unsigned char*>(small.data()), small.size());
        dct.finish();
        auto buffer = jpeg.getBufferSharedPointer();
        image.replaceStreamData(
            std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()),
            OH::newName("/DCTDecode"), OH::newNull());
    } else {
        // Compressed with Flate when written.
        image.replaceStreamData(small, OH::newNull(), OH::newNull());
    }
    dict.replaceKey("/Width", OH::newInteger(nw));
    dict.replaceKey("/Height", OH::newInteger(nh));
    dict.removeKey("/DecodeParms");
    return true;
}

void scanResources(OH resources, double wIn, double hIn,
                   const PagewrightEngine::OptimizeParameters& parameters,
                   std::set<QPDFObjGen>& seen, int& scaled, int depth,
                   const std::function<void(const std::string&)>& note) {
    if (!resources.isDictionary() || depth > 8) return;
    OH xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary()) return;
    for (auto& key : xobjects.getKeys()) {
        OH x = xobjects.getKey(key);
        if (!x.isStream() || (x.isIndirect() && !seen.insert(x.getObjGen()).second)) continue;
        OH subtype = x.getDict().getKey("/Subtype");
        try {
            if (subtype.isNameAndEquals("/Image") && scaleImage(x, wIn, hIn, parameters)) ++scaled;
        } catch (const std::exception& e) {
            note("An image could not be downsampled: " + std::string(e.what()));
        }
        if (subtype.isNameAndEquals("/Form"))
            scanResources(x.getDict().getKey("/Resources"), wIn, hIn, parameters, seen, scaled,
                          depth + 1, note);
    }
}

}  // namespace

int scaleImages(QPDF& pdf, const PagewrightEngine::OptimizeParameters& parameters,
                const std::function<void(const std::string&)>& note) {
    int scaled = 0;
    std::set<QPDFObjGen> seen;
    for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        auto box = page.getMediaBox().getArrayAsRectangle();
        double wIn = std::abs(box.urx - box.llx) / 72.0, hIn = std::abs(box.ury - box.lly) / 72.0;
        if (wIn <= 0 || hIn <= 0) continue;
        scanResources(page.getAttribute("/Resources", false), wIn, hIn, parameters, seen, scaled, 0,
                      note);
    }
    return scaled;
}

}  // namespace pagewright
