#include "layout/QREncoder.h"

#include <qrencode.h>

#include <QPainter>
#include <memory>

namespace layout {

std::optional<QRSymbol> QREncoder::symbolFromString(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    QByteArray utf8 = text.toUtf8();
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(utf8.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code || code->width <= 0) return std::nullopt;
    QRSymbol symbol;
    symbol.width = code->width;
    symbol.dark.resize(size_t(code->width) * size_t(code->width));
    for (size_t i = 0; i < symbol.dark.size(); ++i) symbol.dark[i] = code->data[i] & 1;
    return symbol;
}

QImage QREncoder::QRCodeFromStringWithPixelSize(const QString& text, int pixelSize) {
    auto symbol = symbolFromString(text);
    if (!symbol || pixelSize <= 0) return {};
    const int side = symbol->width * pixelSize;
    QImage image(side, side, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int row = 0; row < symbol->width; ++row)
        for (int column = 0; column < symbol->width; ++column)
            if (symbol->isDark(column, row))
                painter.fillRect(column * pixelSize, row * pixelSize, pixelSize, pixelSize,
                                 Qt::black);
    return image;
}

QImage QREncoder::imageWithStringAsQRCode(const QString& text, int pixelSize,
                                          const QImage& centerImage) {
    QImage code = QRCodeFromStringWithPixelSize(text, pixelSize);
    if (code.isNull()) return {};
    if (!centerImage.isNull()) {
        QPainter painter(&code);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        QRect target((code.width() - centerImage.width()) / 2,
                     (code.height() - centerImage.height()) / 2, centerImage.width(),
                     centerImage.height());
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(target.topLeft(), centerImage);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(target);
    }
    return oneBitImage(code);
}

QImage QREncoder::imageWithStringAsQRCodeCenterImage(const QString& text,
                                                     const QImage& centerImage) {
    QImage code = imageWithStringAsQRCode(text, 1, centerImage);
    if (code.isNull()) return {};
    QImage large = code.scaled(code.width() * 4, code.height() * 4, Qt::IgnoreAspectRatio,
                               Qt::FastTransformation);
    return convertToGrayscale(large);
}

QImage QREncoder::oneBitImage(const QImage& image) {
    if (image.isNull()) return {};
    QImage source = image.convertToFormat(QImage::Format_ARGB32);
    QImage result(source.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uchar* out = result.scanLine(y);
        for (int x = 0; x < source.width(); ++x) {
            double luminance =
                (0.299 * qRed(in[x]) + 0.587 * qGreen(in[x]) + 0.114 * qBlue(in[x])) / 255.0;
            out[x] = luminance < 0.5 ? 0 : 255;
        }
    }
    return result;
}

QImage QREncoder::convertToGrayscale(const QImage& image) {
    if (image.isNull()) return {};
    return image.convertToFormat(QImage::Format_Grayscale8);
}

}  // namespace layout
