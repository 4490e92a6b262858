#pragma once

#include <QImage>
#include <QString>
#include <optional>
#include <vector>

namespace layout {

// A QR symbol: width × width modules, row 0 at the top.
struct QRSymbol {
    int width = 0;
    std::vector<bool> dark;  // row-major
    bool isDark(int column, int row) const {
        return dark[size_t(row) * size_t(width) + size_t(column)];
    }
};

// QR codes through libqrencode: smallest version, error correction M, 8-bit mode.
class QREncoder {
public:
    // None for an empty text or one that does not fit into any version.
    static std::optional<QRSymbol> symbolFromString(const QString& text);
    // White image with black pixelSize × pixelSize modules, no quiet zone; null on failure.
    static QImage QRCodeFromStringWithPixelSize(const QString& text, int pixelSize);
    static QImage QRCodeFromString(const QString& text) {
        return QRCodeFromStringWithPixelSize(text, 4);
    }

    // One-bit symbol image with an optional picture in the centre.
    static QImage imageWithStringAsQRCode(const QString& text, int pixelSize,
                                          const QImage& centerImage = QImage());
    // The symbol at one pixel per module, enlarged four times with sharp edges, in grey.
    static QImage imageWithStringAsQRCodeCenterImage(const QString& text,
                                                     const QImage& centerImage = QImage());
    // Black where the luminance is below one half, white elsewhere.
    static QImage oneBitImage(const QImage& image);
    static QImage convertToGrayscale(const QImage& image);
};

}  // namespace layout
