#pragma once

#include <QColor>

#include "layout/SFLayoutBaseView.h"

namespace layout {

// One horizontal band of the table: a line, a total, the column headings.
class SFLayoutTableSectionView : public SFLayoutBaseView {
public:
    explicit SFLayoutTableSectionView(std::string className = "SFLayoutTableSectionView")
        : SFLayoutBaseView(std::move(className)) {}

    double lineBeforeSize = 0;
    QColor lineBeforeColor = Qt::black;
    double lineAfterSize = 0;
    QColor lineAfterColor = Qt::black;
    double spaceAfterSize = 5;
    bool alternate = false;
    QColor alternateColor = Qt::white;
    bool useBackground = false;
    QColor backgroundColor = QColor::fromRgbF(0.8f, 0.8f, 0.8f, 1.0f);
    bool pageBreakBefore = false;
    double lineInsetLeft = 0;
    double lineInsetRight = 0;
    bool showColors = false;  // not archived

    // Fills the subviews, then takes the height they need (bottom-most subview plus 2 points).
    void substituteValues(const SubstitutionDictionary& values) override;
    void drawRect(QPainter& painter, const DrawContext& context) const override;
    // Rules thinner than half a point stay visible on screen; PDFs get the exact size.
    static double fixedSizeForLineSize(double size, const DrawContext& context);
    // A section cut to half the table height must not spill over its neighbours.
    bool clipsSubviews() const override { return true; }

protected:
    void copyFieldsFrom(const LayoutView& source) override;
    void encodeFields(QJsonObject& archive) const override;
    void decodeFields(const QJsonObject& archive, const ArchiveContext& context) override;
};

}  // namespace layout
