#pragma once

#include "layout/SFLayoutBaseView.h"

namespace layout {

// The table area of a page: stacks sections top to bottom while they fit.
class SFLayoutTablePreviewView : public SFLayoutBaseView {
public:
    explicit SFLayoutTablePreviewView(std::string className = "SFLayoutTablePreviewView")
        : SFLayoutBaseView(std::move(className)) {}

    std::optional<SectionList> populateItems(const SectionList& sections) override;
};

}  // namespace layout
