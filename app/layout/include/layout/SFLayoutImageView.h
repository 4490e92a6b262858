#pragma once

#include <QByteArray>
#include <QImage>

#include "layout/SFLayoutBaseView.h"

namespace layout {

// A picture (a logo), drawn aspect-fit and centred in the frame.
class SFLayoutImageView : public SFLayoutBaseView {
public:
    explicit SFLayoutImageView(std::string className = "SFLayoutImageView")
        : SFLayoutBaseView(std::move(className)) {}

    QByteArray data;  // image file data, archived
    QImage image;     // made from data

    void setData(const QByteArray& bytes);
    // Where the image lands in the bounds: full width or full height, centred.
    QRectF imageRect() const;
    void drawRect(QPainter& painter, const DrawContext& context) const override;

protected:
    void copyFieldsFrom(const LayoutView& source) override;
    void encodeFields(QJsonObject& archive) const override;
    void decodeFields(const QJsonObject& archive, const ArchiveContext& context) override;
};

}  // namespace layout
