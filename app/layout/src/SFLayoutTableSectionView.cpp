#include "layout/SFLayoutTableSectionView.h"

#include <QPainter>
#include <algorithm>

#include "ArchiveSupport.h"

namespace layout {

void SFLayoutTableSectionView::substituteValues(const SubstitutionDictionary& values) {
    SFLayoutBaseView::substituteValues(values);
    double height = 0;
    for (const auto& subview : subviews())
        height = std::max(height, subview->frame().y() + subview->frame().height() + 2);
    QRectF rect = frame();
    rect.setHeight(height);
    setFrame(rect);
}

double SFLayoutTableSectionView::fixedSizeForLineSize(double size, const DrawContext& context) {
    return context.toScreen ? std::max(size, 0.5) : size;
}

void SFLayoutTableSectionView::drawRect(QPainter& painter, const DrawContext& context) const {
    const QRectF box = bounds();
    if (useBackground) {
        QRectF background(box.x(), box.y() + lineBeforeSize, box.width(),
                          box.height() - lineBeforeSize - lineAfterSize);
        painter.fillRect(background, backgroundColor);
    }
    const double ruleWidth = box.width() - lineInsetLeft - lineInsetRight;
    if (lineBeforeSize > 0) {
        painter.fillRect(QRectF(lineInsetLeft, box.top(), ruleWidth,
                                fixedSizeForLineSize(lineBeforeSize, context)),
                         lineBeforeColor);
    }
    if (lineAfterSize > 0) {
        double size = fixedSizeForLineSize(lineAfterSize, context);
        painter.fillRect(QRectF(lineInsetLeft, box.bottom() - size, ruleWidth, size),
                         lineAfterColor);
    }
}

void SFLayoutTableSectionView::copyFieldsFrom(const LayoutView& view) {
    const auto& source = static_cast<const SFLayoutTableSectionView&>(view);
    // Sizes pass through the archive's 32-bit floats, colours through RGB.
    auto archived = [](double size) { return static_cast<double>(static_cast<float>(size)); };
    lineBeforeSize = archived(source.lineBeforeSize);
    lineBeforeColor = source.lineBeforeColor;
    lineAfterSize = archived(source.lineAfterSize);
    lineAfterColor = source.lineAfterColor;
    spaceAfterSize = archived(source.spaceAfterSize);
    alternate = source.alternate;
    alternateColor = source.alternateColor;
    useBackground = source.useBackground;
    backgroundColor = source.backgroundColor.toRgb();
    pageBreakBefore = source.pageBreakBefore;
    lineInsetLeft = archived(source.lineInsetLeft);
    lineInsetRight = archived(source.lineInsetRight);
}

void SFLayoutTableSectionView::encodeFields(QJsonObject& archive) const {
    using namespace archive;
    writeFloat(archive, "lineBeforeSize", lineBeforeSize);
    writeColor(archive, "lineBeforeColor", lineBeforeColor);
    writeFloat(archive, "lineAfterSize", lineAfterSize);
    writeFloat(archive, "spaceAfterSize", spaceAfterSize);
    writeColor(archive, "alternateColor", alternateColor);
    writeColor(archive, "lineAfterColor", lineAfterColor);
    archive.insert(QStringLiteral("alternate"), alternate);
    writeColor(archive, "backgroundColor", backgroundColor);
    archive.insert(QStringLiteral("useBackground"), useBackground);
    archive.insert(QStringLiteral("pageBreakBefore"), pageBreakBefore);
    writeFloat(archive, "lineInsetLeft", lineInsetLeft);
    writeFloat(archive, "lineInsetRight", lineInsetRight);
}

void SFLayoutTableSectionView::decodeFields(const QJsonObject& archive, const ArchiveContext&) {
    using namespace archive;
    lineBeforeSize = readFloat(archive, "lineBeforeSize", 0);
    lineBeforeColor = readColor(archive, "lineBeforeColor", Qt::black);
    lineAfterSize = readFloat(archive, "lineAfterSize", 0);
    lineAfterColor = readColor(archive, "lineAfterColor", Qt::black);
    spaceAfterSize = readFloat(archive, "spaceAfterSize", 5);
    alternate = readBool(archive, "alternate", false);
    alternateColor = readColor(archive, "alternateColor", Qt::white);
    useBackground = readBool(archive, "useBackground", false);
    backgroundColor =
        readColor(archive, "backgroundColor", QColor::fromRgbF(0.8f, 0.8f, 0.8f, 1.0f));
    pageBreakBefore = readBool(archive, "pageBreakBefore", false);
    lineInsetLeft = readFloat(archive, "lineInsetLeft", 0);
    lineInsetRight = readFloat(archive, "lineInsetRight", 0);
}

}  // namespace layout
