#pragma once

#include <array>
#include <string>

#include "pagewright/PagewrightExport.h"

namespace PAGEWRIGHT_EXPORT pagewright {

struct PagewrightRect {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PagewrightRect&) const = default;
};

// Draws one PDF page into a frame of another size: turned by 90 degrees when allowed and the
// orientations differ, scaled to fit when allowed, centred. The drawing is a transformation of
// the page's form XObject, so text and vector graphics stay vectors.
class PagewrightPageView {
  public:
    // An affine matrix [a b c d e f] in PDF's row-vector convention.
    using Matrix = std::array<double, 6>;

    PagewrightPageView(PagewrightRect frame, PagewrightRect pageMediaBox, int pageRotation,
                       bool allowRotation, bool allowScaling);

    // Maps the page's default user space into the frame's (0, 0, W, H) space.
    Matrix transformation() const;
    // Content stream text that draws the form XObject named `formName` (without slash).
    std::string drawRect(const std::string& formName) const;

    const PagewrightRect& bounds() const { return frame_; }
    bool allowRotation() const { return allowRotation_; }
    bool allowScaling() const { return allowScaling_; }

  private:
    PagewrightRect frame_;
    PagewrightRect mediaBox_;
    int rotation_;
    bool allowRotation_;
    bool allowScaling_;
};

}  // namespace pagewright
