#pragma once

#include <QRectF>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Decimal.h"

namespace Poppler {
class Document;
class Page;
}  // namespace Poppler

namespace preview {

// The text layer of one page: its characters in reading order, each with its box in points
// (origin at the top left of the page). Blanks between words and line ends are inserted as
// characters with an empty box.
class LLPageText {
  public:
    static LLPageText fromPage(const Poppler::Page& page);

    // Adds a word; `charBoxes` may be shorter than the word (the word's box stands in).
    void appendWord(const QString& word, const QRectF& wordBox,
                    const std::vector<QRectF>& charBoxes, bool spaceAfter, bool lineEnds);

    const QString& text() const { return text_; }
    // The union of the boxes of the characters [from, to).
    QRectF boxOfRange(qsizetype from, qsizetype to) const;

  private:
    QString text_;
    std::vector<QRectF> boxes_;
};

// Where the notations stand on a page as numbers of their own: "19,00" is not found inside
// "119,00", "19,000" or "1.119,00". Overlapping places are merged; top to bottom, then left to
// right.
std::vector<QRectF> findNotationsInPage(const LLPageText& page,
                                        const std::vector<std::string>& notations);

// Joins rectangles that overlap into their union until none overlap.
std::vector<QRectF> mergeOverlappingRects(std::vector<QRectF> rects);

struct LLValueMatch {
    int page = 0;  // 0-based
    QRectF rect;   // points, top-left origin
};

// The value search over one PDF: every place where one of the usual notations of an amount is
// printed, page by page. Page texts are read on first use and kept.
class LLPDFTextIndex {
  public:
    explicit LLPDFTextIndex(std::shared_ptr<Poppler::Document> document);
    ~LLPDFTextIndex();

    std::vector<LLValueMatch> selectionsForNumber(const platform::Decimal& number);
    // Also accepts a value text; anything that is not a number finds nothing.
    std::vector<LLValueMatch> selectionsForValue(const std::string& value);

  private:
    const LLPageText& pageText(int index);

    std::shared_ptr<Poppler::Document> document_;
    std::vector<std::optional<LLPageText>> pages_;
};

}  // namespace preview
