#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "preview/LLPDFTextSearch.h"

namespace Poppler {
class Document;
}

namespace preview {

// The scrolling content of the PDF view: the pages stacked with a gap, each drawn when it is
// painted for the first time at the current scale, and the highlights over them.
class LLPDFPagesView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kGap = 12;  // around and between pages, in pixels
    static constexpr int kKeptPages = 8;
    static constexpr size_t kRecentPages = 8;  // of documents shown before

    explicit LLPDFPagesView(QWidget* parent = nullptr);

    // `key` names the document's content: pages of recently shown documents are drawn again
    // from their kept images when the same content comes back (going up and down a list).
    void setDocument(std::shared_ptr<Poppler::Document> document, QString key = {});
    // Pixels per point.
    void setScale(double scale);
    double scale() const { return scale_; }
    void setHighlights(const std::vector<LLValueMatch>* highlights);

    int pageCount() const { return int(pageSizes_.size()); }
    QSizeF pageSizeInPoints(int page) const { return pageSizes_[size_t(page)]; }
    double widestPageInPoints() const;
    // The page's rectangle in this widget, in pixels.
    QRectF pageRect(int page) const;
    int pageAt(double y) const;
    int cachedPageCount() const { return int(images_.size()); }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void layoutPages();
    const QImage& imageForPage(int page);
    void forgetDistantPages(int firstVisible, int lastVisible);

    std::shared_ptr<Poppler::Document> document_;
    std::vector<QSizeF> pageSizes_;
    std::vector<double> pageTops_;
    double scale_ = 1.0;
    QSize contentSize_;
    std::map<int, QImage> images_;
    QString key_;
    struct RecentPage {
        QString key;
        int page;
        double scale;
        QImage image;
    };
    std::deque<RecentPage> recent_;  // most recent first
    const std::vector<LLValueMatch>* highlights_ = nullptr;
};

}  // namespace preview
