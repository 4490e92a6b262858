#pragma once

#include <optional>

#include "layout/LayoutView.h"

namespace layout {

// Base of the template's views: passes values on to its subviews.
class SFLayoutBaseView : public LayoutView {
public:
    explicit SFLayoutBaseView(std::string className = "SFLayoutBaseView")
        : LayoutView(std::move(className)) {}

    // Passes the dictionary to every direct subview, in order.
    void substituteValues(const SubstitutionDictionary& values) override;
    // Places sections and answers those that did not fit; a plain view places none and answers
    // an empty list, a page without table area answers none.
    virtual std::optional<SectionList> populateItems(const SectionList& sections);
};

}  // namespace layout
