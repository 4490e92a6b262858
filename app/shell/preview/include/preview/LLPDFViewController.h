#pragma once

#include <QByteArray>
#include <QWidget>
#include <memory>
#include <vector>

#include "preview/LLPDFTextSearch.h"

class QLabel;
class QPrinter;
class QScrollArea;
class QToolBar;
class QAction;

namespace Poppler {
class Document;
}
namespace model {
class LLInvoice;
}

namespace preview {

class LLPDFPagesView;
class LLQRView;

// The view of one PDF: its pages one below the other in a scrolling area, zoom in and out,
// fit to the width, print, and highlighted places (the amounts a click looks for). With an
// invoice it shows the payment QR code as a badge in the corner. Pages are drawn when they
// come into view and kept while they stay near it.
class LLPDFViewController : public QWidget {
    Q_OBJECT
  public:
    explicit LLPDFViewController(QWidget* parent = nullptr);
    ~LLPDFViewController() override;

    // Shows a PDF; false (and the view empty) when the bytes are no PDF poppler can open.
    bool setDocumentData(const QByteArray& pdf);
    bool setDocumentFile(const QString& path);
    void clear();
    bool hasDocument() const { return document_ != nullptr; }
    int pageCount() const;
    const QByteArray& documentData() const { return data_; }

    // The invoice the PDF shows: its payment QR code becomes the badge (none: no badge).
    void setInvoice(std::shared_ptr<const model::LLInvoice> invoice);
    LLQRView* qrView() const { return qrView_; }

    // Highlights every place the amount is printed and scrolls to the first; a value that is
    // no number, or one printed nowhere, changes nothing. Answers the number of places.
    int selectValueInPDFDocument(const QString& value);
    void clearHighlights();
    const std::vector<LLValueMatch>& highlights() const { return highlights_; }

    // Zoom: 1.0 shows a point of the page as a point of the screen.
    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    void zoomIn();
    void zoomOut();
    // Fits the widest page into the visible width, also after later resizes, until zoomed.
    void fitWidth();
    bool isFittingWidth() const { return fitWidth_; }
    static constexpr double kMinimumZoom = 0.25;
    static constexpr double kMaximumZoom = 6.0;

    // The page at the middle of the visible area (0-based).
    int currentPage() const;
    void scrollToPage(int page);
    // Where a page rectangle in points lies in the scrolling content, in pixels.
    QRectF contentRectForPageRect(int page, const QRectF& pointRect) const;
    QScrollArea* scrollArea() const { return scrollArea_; }
    // Pages currently drawn and kept (for tests of the lazy drawing).
    int cachedPageCount() const;

    // Shows the print dialog and prints the document.
    void printPDFDocument();
    // Prints to an already set-up printer; false when there is nothing to print.
    bool printToPrinter(QPrinter& printer) const;

  signals:
    void documentChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyZoom(double zoom, bool keepFitting);
    double fitWidthZoom() const;
    void updatePageLabel();
    void updateActions();
    void scrollToMatch(const LLValueMatch& match);

    QByteArray data_;
    std::shared_ptr<Poppler::Document> document_;
    std::unique_ptr<LLPDFTextIndex> textIndex_;
    std::vector<LLValueMatch> highlights_;
    std::shared_ptr<const model::LLInvoice> invoice_;
    double zoom_ = 1.0;
    bool fitWidth_ = true;

    QToolBar* toolBar_;
    QAction* zoomOutAction_;
    QAction* zoomInAction_;
    QAction* fitWidthAction_;
    QAction* printAction_;
    QLabel* pageLabel_;
    QScrollArea* scrollArea_;
    LLPDFPagesView* pagesView_;
    LLQRView* qrView_;
};

}  // namespace preview
