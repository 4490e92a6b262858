#include "LLPDFPagesView.h"

#include <poppler-qt6.h>

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "PopplerTimeLimit.h"
#include "platform/Log.h"

namespace preview {

LLPDFPagesView::LLPDFPagesView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void LLPDFPagesView::setDocument(std::shared_ptr<Poppler::Document> document, QString key) {
    if (!key_.isEmpty()) {
        for (auto& [page, image] : images_) {
            if (!image.isNull()) recent_.push_front({key_, page, scale_, std::move(image)});
        }
        while (recent_.size() > kRecentPages) recent_.pop_back();
    }
    document_ = std::move(document);
    key_ = document_ ? std::move(key) : QString();
    images_.clear();
    pageSizes_.clear();
    if (document_) {
        for (int i = 0; i < document_->numPages(); ++i) {
            std::unique_ptr<Poppler::Page> page = document_->page(i);
            pageSizes_.push_back(page ? page->pageSizeF() : QSizeF(595, 842));
        }
    }
    layoutPages();
}

void LLPDFPagesView::setScale(double scale) {
    if (std::abs(scale - scale_) < 1e-9) return;
    scale_ = scale;
    images_.clear();
    layoutPages();
}

void LLPDFPagesView::setHighlights(const std::vector<LLValueMatch>* highlights) {
    highlights_ = highlights;
    update();
}

double LLPDFPagesView::widestPageInPoints() const {
    double widest = 0;
    for (const QSizeF& size : pageSizes_) widest = std::max(widest, size.width());
    return widest;
}

void LLPDFPagesView::layoutPages() {
    pageTops_.clear();
    double y = kGap;
    double width = 0;
    for (const QSizeF& size : pageSizes_) {
        pageTops_.push_back(y);
        y += std::ceil(size.height() * scale_) + kGap;
        width = std::max(width, std::ceil(size.width() * scale_));
    }
    contentSize_ = pageSizes_.empty() ? QSize(0, 0) : QSize(int(width) + 2 * kGap, int(y));
    // The scroll area stretches the view over its viewport but never below the pages' size.
    setMinimumSize(contentSize_);
    updateGeometry();
    update();
}

QSize LLPDFPagesView::sizeHint() const { return contentSize_; }

QRectF LLPDFPagesView::pageRect(int page) const {
    const QSizeF size = pageSizes_[size_t(page)] * scale_;
    // Narrower pages stand centred under the widest.
    const double left = std::max<double>(kGap, (width() - std::ceil(size.width())) / 2.0);
    return QRectF(std::floor(left), pageTops_[size_t(page)], std::ceil(size.width()),
                  std::ceil(size.height()));
}

int LLPDFPagesView::pageAt(double y) const {
    if (pageTops_.empty()) return -1;
    auto above = std::upper_bound(pageTops_.begin(), pageTops_.end(), y);
    return std::max(0, int(above - pageTops_.begin()) - 1);
}

const QImage& LLPDFPagesView::imageForPage(int page) {
    auto found = images_.find(page);
    if (found != images_.end()) return found->second;
    QImage image;
    for (auto it = recent_.begin(); it != recent_.end(); ++it) {
        if (it->key == key_ && it->page == page && it->scale == scale_ && !key_.isEmpty()) {
            image = std::move(it->image);
            recent_.erase(it);
            return images_.emplace(page, std::move(image)).first->second;
        }
    }
    if (std::unique_ptr<Poppler::Page> popplerPage = document_->page(page)) {
        const double dpi = 72.0 * scale_ * devicePixelRatioF();
        const QVariant deadline = deadlineAfter(kPageDrawingLimit);
        image = popplerPage->renderToImage(dpi, dpi, -1, -1, -1, -1, Poppler::Page::Rotate0,
                                           nullptr, nullptr, deadlinePassed, deadline);
        if (deadlinePassed(deadline)) {
            // Given up: the page stays empty (and is not tried again at this size).
            image = QImage();
            platform::logLine("PDF view: page " + std::to_string(page + 1) +
                              " takes too long to draw; left empty");
        }
        image.setDevicePixelRatio(devicePixelRatioF());
    }
    return images_.emplace(page, std::move(image)).first->second;
}

void LLPDFPagesView::forgetDistantPages(int firstVisible, int lastVisible) {
    while (int(images_.size()) > kKeptPages) {
        // Drop the page farthest from the visible ones.
        auto farthest = images_.begin();
        int distance = -1;
        for (auto it = images_.begin(); it != images_.end(); ++it) {
            const int d = it->first < firstVisible ? firstVisible - it->first
                                                   : std::max(0, it->first - lastVisible);
            if (d > distance) {
                distance = d;
                farthest = it;
            }
        }
        if (distance <= 0) break;
        images_.erase(farthest);
    }
}

void LLPDFPagesView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Mid));
    if (!document_ || pageSizes_.empty()) return;
    const int first = pageAt(event->rect().top());
    const int last = pageAt(event->rect().bottom());
    for (int page = first; page <= last && page < pageCount(); ++page) {
        const QRectF target = pageRect(page);
        if (!target.intersects(event->rect())) continue;
        painter.fillRect(target.translated(1, 2), QColor(0, 0, 0, 40));
        painter.fillRect(target, Qt::white);
        const QImage& image = imageForPage(page);
        if (!image.isNull()) painter.drawImage(target, image);
        if (!highlights_) continue;
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(230, 170, 0), 1));
        painter.setBrush(QColor(255, 225, 0, 110));
        for (const LLValueMatch& match : *highlights_) {
            if (match.page != page) continue;
            const QRectF& r = match.rect;
            const QRectF onScreen(target.left() + r.left() * scale_,
                                  target.top() + r.top() * scale_, r.width() * scale_,
                                  r.height() * scale_);
            painter.drawRoundedRect(onScreen.adjusted(-2, -1, 2, 1), 2, 2);
        }
        painter.restore();
    }
    forgetDistantPages(first, last);
}

}  // namespace preview
