#include "preview/LLPDFTextSearch.h"

#include <poppler-qt6.h>

#include <algorithm>

#include "PopplerTimeLimit.h"
#include "preview/LLValueNotations.h"

namespace preview {
namespace {

// Blanks that number formatters put between digit groups read as plain blanks.
QChar normalizedChar(QChar c) {
    switch (c.unicode()) {
        case 0x00A0:  // no-break space
        case 0x2007:  // figure space
        case 0x2009:  // thin space
        case 0x202F:  // narrow no-break space
            return QLatin1Char(' ');
        default:
            return c;
    }
}

bool isGroupMark(QChar c) {
    return c == QLatin1Char('.') || c == QLatin1Char(',') || c == QLatin1Char('\'') ||
           c == QChar(0x2019);
}

// True when the match [from, to) is only part of a longer number printed around it.
bool isInsideLongerNumber(const QString& text, qsizetype from, qsizetype to) {
    if (from > 0) {
        const QChar before = text[from - 1];
        if (before.isDigit()) return true;
        if (isGroupMark(before) && from > 1 && text[from - 2].isDigit()) return true;
    }
    if (to < text.size()) {
        const QChar after = text[to];
        if (after.isDigit()) return true;
        if (isGroupMark(after) && to + 1 < text.size() && text[to + 1].isDigit()) return true;
    }
    return false;
}

bool readingOrder(const QRectF& a, const QRectF& b) {
    // Boxes on one line share most of their height; compare their centres coarsely.
    const double lineA = a.center().y(), lineB = b.center().y();
    if (std::abs(lineA - lineB) > std::min(a.height(), b.height()) / 2) return lineA < lineB;
    return a.left() < b.left();
}

}  // namespace

LLPageText LLPageText::fromPage(const Poppler::Page& page) {
    LLPageText result;
    const auto words =
        page.textList(Poppler::Page::Rotate0, deadlinePassed, deadlineAfter(kPageTextLimit));
    for (const auto& word : words) {
        const QString text = word->text();
        std::vector<QRectF> charBoxes;
        charBoxes.reserve(size_t(text.size()));
        for (qsizetype i = 0; i < text.size(); ++i) {
            charBoxes.push_back(word->charBoundingBox(int(i)));
        }
        result.appendWord(text, word->boundingBox(), charBoxes, word->hasSpaceAfter(),
                          word->nextWord() == nullptr);
    }
    return result;
}

void LLPageText::appendWord(const QString& word, const QRectF& wordBox,
                            const std::vector<QRectF>& charBoxes, bool spaceAfter, bool lineEnds) {
    for (qsizetype i = 0; i < word.size(); ++i) {
        text_.append(normalizedChar(word[i]));
        const QRectF box = size_t(i) < charBoxes.size() ? charBoxes[size_t(i)] : QRectF();
        boxes_.push_back(box.isValid() ? box : wordBox);
    }
    if (lineEnds) {
        text_.append(QLatin1Char('\n'));
        boxes_.emplace_back();
    } else if (spaceAfter) {
        text_.append(QLatin1Char(' '));
        boxes_.emplace_back();
    }
}

QRectF LLPageText::boxOfRange(qsizetype from, qsizetype to) const {
    QRectF united;
    for (qsizetype i = std::max<qsizetype>(from, 0); i < to && size_t(i) < boxes_.size(); ++i) {
        const QRectF& box = boxes_[size_t(i)];
        if (box.isValid()) united = united.isValid() ? united.united(box) : box;
    }
    return united;
}

std::vector<QRectF> mergeOverlappingRects(std::vector<QRectF> rects) {
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < rects.size() && !merged; ++i) {
            for (size_t j = i + 1; j < rects.size(); ++j) {
                if (rects[i].intersects(rects[j])) {
                    rects[i] = rects[i].united(rects[j]);
                    rects.erase(rects.begin() + std::ptrdiff_t(j));
                    merged = true;
                    break;
                }
            }
        }
    }
    std::sort(rects.begin(), rects.end(), readingOrder);
    return rects;
}

std::vector<QRectF> findNotationsInPage(const LLPageText& page,
                                        const std::vector<std::string>& notations) {
    std::vector<QRectF> found;
    const QString& text = page.text();
    for (const std::string& notation : notations) {
        const QString needle = QString::fromStdString(notation);
        if (needle.isEmpty()) continue;
        for (qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(needle, at + 1, Qt::CaseInsensitive)) {
            const qsizetype end = at + needle.size();
            if (isInsideLongerNumber(text, at, end)) continue;
            const QRectF box = page.boxOfRange(at, end);
            if (box.isValid()) found.push_back(box);
        }
    }
    return mergeOverlappingRects(std::move(found));
}

LLPDFTextIndex::LLPDFTextIndex(std::shared_ptr<Poppler::Document> document)
    : document_(std::move(document)) {
    if (document_) pages_.resize(size_t(std::max(document_->numPages(), 0)));
}

LLPDFTextIndex::~LLPDFTextIndex() = default;

const LLPageText& LLPDFTextIndex::pageText(int index) {
    auto& slot = pages_[size_t(index)];
    if (!slot) {
        std::unique_ptr<Poppler::Page> page(document_->page(index));
        slot = page ? LLPageText::fromPage(*page) : LLPageText();
    }
    return *slot;
}

std::vector<LLValueMatch> LLPDFTextIndex::selectionsForNumber(const platform::Decimal& number) {
    std::vector<LLValueMatch> matches;
    if (!document_) return matches;
    const std::vector<std::string> notations = generatePossibleStringsForNumber(number);
    for (int index = 0; index < int(pages_.size()); ++index) {
        for (const QRectF& rect : findNotationsInPage(pageText(index), notations)) {
            matches.push_back({index, rect});
        }
    }
    return matches;
}

std::vector<LLValueMatch> LLPDFTextIndex::selectionsForValue(const std::string& value) {
    auto number = platform::Decimal::parse(value);
    if (!number) return {};
    return selectionsForNumber(*number);
}

}  // namespace preview
