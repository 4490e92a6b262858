#pragma once

#include <memory>

#include "pagewright/PagewrightExport.h"
#include "pagewright/PagewrightPageView.h"

namespace PAGEWRIGHT_EXPORT pagewright {

class PagewrightPDFDocument;

// One page of a document, by position.
class PagewrightPDFPage {
  public:
    PagewrightPDFPage(std::shared_ptr<PagewrightPDFDocument> document, int index)
        : document_(std::move(document)), index_(index) {}

    const std::shared_ptr<PagewrightPDFDocument>& document() const { return document_; }
    int index() const { return index_; }
    PagewrightRect mediaBox() const;
    // The page's /Rotate in degrees, a multiple of 90 from 0 to 270.
    int rotation() const;

    // This page when `target` has no page, scaling is not allowed or the media boxes agree;
    // otherwise the first page of a new one-page document the size of the target's first page
    // with this page drawn into it by PagewrightPageView.
    PagewrightPDFPage bringToSizeOfDocument(PagewrightPDFDocument& target, bool allowRotation,
                                            bool allowScaling) const;
    PagewrightPDFPage bringToSizeOfDocument(PagewrightPDFDocument& target) const {
        return bringToSizeOfDocument(target, true, true);
    }

  private:
    std::shared_ptr<PagewrightPDFDocument> document_;
    int index_;
};

}  // namespace pagewright
