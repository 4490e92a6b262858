#include "layout/SFLayoutBaseView.h"

namespace layout {

void SFLayoutBaseView::substituteValues(const SubstitutionDictionary& values) {
    for (const auto& subview : subviews()) subview->substituteValues(values);
}

std::optional<SectionList> SFLayoutBaseView::populateItems(const SectionList&) {
    return SectionList{};
}

}  // namespace layout
