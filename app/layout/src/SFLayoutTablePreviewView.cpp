#include "layout/SFLayoutTablePreviewView.h"

#include <algorithm>

#include "layout/SFLayoutTableSectionView.h"

namespace layout {

std::optional<SectionList> SFLayoutTablePreviewView::populateItems(const SectionList& sections) {
    const double tableHeight = frame().height();
    double y = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        const auto& section = sections[i];
        // No section may take more than half the table, so every page holds the header and
        // at least one section and pagination always ends.
        double height = std::min(section->frame().height(), tableHeight * 0.5);
        if (y + height > tableHeight)
            return SectionList(sections.begin() + long(i), sections.end());
        section->setFrame(QRectF(0, y, section->frame().width(), height));
        addSubview(section);
        y += height;
    }
    return SectionList{};
}

}  // namespace layout
