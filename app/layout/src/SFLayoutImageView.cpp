#include "layout/SFLayoutImageView.h"

#include <QPainter>

#include "ArchiveSupport.h"

namespace layout {

void SFLayoutImageView::setData(const QByteArray& bytes) {
    data = bytes;
    image = data.isEmpty() ? QImage() : QImage::fromData(data);
}

QRectF SFLayoutImageView::imageRect() const {
    const QRectF box = bounds();
    if (image.isNull() || image.height() == 0 || box.isEmpty()) return {};
    const double ratio = double(image.width()) / image.height();
    if (box.height() >= box.width() / ratio) {
        double height = box.width() / ratio;
        return QRectF(0, (box.height() - height) / 2, box.width(), height);
    }
    double width = box.height() * ratio;
    return QRectF((box.width() - width) / 2, 0, width, box.height());
}

void SFLayoutImageView::drawRect(QPainter& painter, const DrawContext&) const {
    if (image.isNull()) return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), image);
    painter.restore();
}

void SFLayoutImageView::copyFieldsFrom(const LayoutView& view) {
    const auto& source = static_cast<const SFLayoutImageView&>(view);
    data = source.data;
    image = source.image;
}

void SFLayoutImageView::encodeFields(QJsonObject& archive) const {
    archive::writeData(archive, "data", data);
}

void SFLayoutImageView::decodeFields(const QJsonObject& archive, const ArchiveContext& context) {
    setData(archive::readData(archive, "data", context));
}

}  // namespace layout
