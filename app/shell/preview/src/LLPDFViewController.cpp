#include "preview/LLPDFViewController.h"

#include <poppler-qt6.h>

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "LLPDFPagesView.h"
#include "PopplerTimeLimit.h"
#include "PreviewStrings.h"
#include "layout/CVLayoutSEPAQRCodeView.h"
#include "model/LLInvoice.h"
#include "platform/Log.h"
#include "preview/LLQRView.h"

namespace preview {
namespace {

constexpr double kZoomStep = 1.25;
// Print resolution cap: sharp on paper without pages of hundreds of megabytes.
constexpr double kMaximumPrintDPI = 300;

// The payment QR code of an invoice, as the badge shows it; null when none may be made.
QImage paymentCodeImage(const model::LLInvoice& invoice) {
    layout::CVLayoutSEPAQRCodeView view;
    view.setFrame(QRectF(0, 0, LLQRView::kLargeSide, LLQRView::kLargeSide));
    if (auto values = invoice.substitutionDictionary()) view.substituteValues(*values);
    return view.QRImage();
}

}  // namespace

LLPDFViewController::LLPDFViewController(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolBar_ = new QToolBar(this);
    toolBar_->setIconSize(QSize(16, 16));
    zoomOutAction_ =
        toolBar_->addAction(localized("Zoom Out"), this, &LLPDFViewController::zoomOut);
    zoomOutAction_->setShortcut(QKeySequence::ZoomOut);
    zoomInAction_ = toolBar_->addAction(localized("Zoom In"), this, &LLPDFViewController::zoomIn);
    zoomInAction_->setShortcut(QKeySequence::ZoomIn);
    fitWidthAction_ =
        toolBar_->addAction(localized("Fit Width"), this, &LLPDFViewController::fitWidth);
    fitWidthAction_->setCheckable(true);
    toolBar_->addSeparator();
    printAction_ =
        toolBar_->addAction(localized("Print…"), this, &LLPDFViewController::printPDFDocument);
    printAction_->setShortcut(QKeySequence::Print);
    auto* spacer = new QWidget(toolBar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar_->addWidget(spacer);
    pageLabel_ = new QLabel(toolBar_);
    pageLabel_->setContentsMargins(6, 0, 6, 0);
    toolBar_->addWidget(pageLabel_);
    layout->addWidget(toolBar_);

    scrollArea_ = new QScrollArea(this);
    scrollArea_->setWidgetResizable(true);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    pagesView_ = new LLPDFPagesView;
    pagesView_->setHighlights(&highlights_);
    scrollArea_->setWidget(pagesView_);
    scrollArea_->viewport()->installEventFilter(this);
    layout->addWidget(scrollArea_, 1);
    connect(scrollArea_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &LLPDFViewController::updatePageLabel);

    qrView_ = new LLQRView(scrollArea_->viewport());
    qrView_->hide();

    // The shortcuts act in this view only: a window may hold several.
    for (QAction* action : {zoomOutAction_, zoomInAction_, printAction_})
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    updateActions();
}

LLPDFViewController::~LLPDFViewController() {
    // The pages view refers to the highlights: let it go first.
    pagesView_->setHighlights(nullptr);
}

int LLPDFViewController::pageCount() const { return pagesView_->pageCount(); }

int LLPDFViewController::cachedPageCount() const { return pagesView_->cachedPageCount(); }

bool LLPDFViewController::setDocumentData(const QByteArray& pdf) {
    std::shared_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
    if (!document || document->isLocked()) {
        if (!pdf.isEmpty()) platform::logLine("PDF view: the PDF cannot be opened");
        clear();
        return false;
    }
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    data_ = pdf;
    document_ = std::move(document);
    textIndex_ = std::make_unique<LLPDFTextIndex>(document_);
    highlights_.clear();
    pagesView_->setDocument(
        document_, QString::number(qHash(pdf)) + QLatin1Char(':') + QString::number(pdf.size()));
    applyZoom(fitWidth_ ? fitWidthZoom() : zoom_, fitWidth_);
    scrollArea_->verticalScrollBar()->setValue(0);
    scrollArea_->horizontalScrollBar()->setValue(0);
    updateActions();
    emit documentChanged();
    return true;
}

bool LLPDFViewController::setDocumentFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        clear();
        return false;
    }
    return setDocumentData(file.readAll());
}

void LLPDFViewController::clear() {
    const bool had = document_ != nullptr;
    highlights_.clear();
    textIndex_.reset();
    pagesView_->setDocument(nullptr);
    document_.reset();
    data_.clear();
    setInvoice(nullptr);
    updateActions();
    if (had) emit documentChanged();
}

void LLPDFViewController::setInvoice(std::shared_ptr<const model::LLInvoice> invoice) {
    invoice_ = std::move(invoice);
    QImage image = invoice_ ? paymentCodeImage(*invoice_) : QImage();
    qrView_->setImage(image);
    qrView_->setVisible(!image.isNull());
    qrView_->updatePlacement();
    qrView_->raise();
}

int LLPDFViewController::selectValueInPDFDocument(const QString& value) {
    if (!document_ || !textIndex_) return 0;
    std::vector<LLValueMatch> found = textIndex_->selectionsForValue(value.trimmed().toStdString());
    if (found.empty()) return 0;
    highlights_ = std::move(found);
    pagesView_->update();
    scrollToMatch(highlights_.front());
    return int(highlights_.size());
}

void LLPDFViewController::clearHighlights() {
    highlights_.clear();
    pagesView_->update();
}

QRectF LLPDFViewController::contentRectForPageRect(int page, const QRectF& r) const {
    if (page < 0 || page >= pageCount()) return {};
    const QRectF target = pagesView_->pageRect(page);
    const double scale = pagesView_->scale();
    return QRectF(target.left() + r.left() * scale, target.top() + r.top() * scale,
                  r.width() * scale, r.height() * scale);
}

void LLPDFViewController::scrollToMatch(const LLValueMatch& match) {
    const QRectF r = contentRectForPageRect(match.page, match.rect);
    const QSize viewport = scrollArea_->viewport()->size();
    // Some room around the place, so the reader sees its line and label.
    scrollArea_->ensureVisible(int(r.center().x()), int(r.center().y()),
                               std::max(20, viewport.width() / 4),
                               std::max(20, viewport.height() / 4));
}

void LLPDFViewController::setZoom(double zoom) { applyZoom(zoom, false); }

void LLPDFViewController::zoomIn() { applyZoom(zoom_ * kZoomStep, false); }

void LLPDFViewController::zoomOut() { applyZoom(zoom_ / kZoomStep, false); }

void LLPDFViewController::fitWidth() { applyZoom(fitWidthZoom(), true); }

double LLPDFViewController::fitWidthZoom() const {
    const double widest = pagesView_->widestPageInPoints();
    if (widest <= 0) return zoom_;
    // Measured without scroll bars and always leaving room for the vertical one: the zoom must
    // not depend on whether the bar shows, or fitting would switch it on and off in turn.
    const int scrollBar = std::max(scrollArea_->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                                   scrollArea_->verticalScrollBar()->sizeHint().width());
    // Two pixels for the rounding of the page's size up to whole pixels.
    const double available =
        scrollArea_->maximumViewportSize().width() - 2.0 * LLPDFPagesView::kGap - scrollBar - 2;
    const double pixelsPerPoint = logicalDpiX() / 72.0;
    return available / (widest * pixelsPerPoint);
}

void LLPDFViewController::applyZoom(double zoom, bool keepFitting) {
    zoom = std::clamp(zoom, kMinimumZoom, kMaximumZoom);
    fitWidth_ = keepFitting;
    // Keep the place at the top of the view where it was.
    QScrollBar* vertical = scrollArea_->verticalScrollBar();
    const double fraction =
        vertical->maximum() > 0 ? double(vertical->value()) / vertical->maximum() : 0.0;
    zoom_ = zoom;
    pagesView_->setScale(zoom_ * logicalDpiX() / 72.0);
    scrollArea_->widget()->adjustSize();
    if (vertical->maximum() > 0)
        vertical->setValue(int(std::lround(fraction * vertical->maximum())));
    updateActions();
}

int LLPDFViewController::currentPage() const {
    if (pageCount() == 0) return -1;
    const QScrollBar* vertical = scrollArea_->verticalScrollBar();
    return pagesView_->pageAt(vertical->value() + scrollArea_->viewport()->height() / 2.0);
}

void LLPDFViewController::scrollToPage(int page) {
    if (page < 0 || page >= pageCount()) return;
    scrollArea_->verticalScrollBar()->setValue(int(pagesView_->pageRect(page).top()) -
                                               LLPDFPagesView::kGap);
}

void LLPDFViewController::updatePageLabel() {
    const int count = pageCount();
    if (count == 0) {
        pageLabel_->clear();
        return;
    }
    pageLabel_->setText(localized("Page %1 of %2").arg(currentPage() + 1).arg(count));
}

void LLPDFViewController::updateActions() {
    const bool shown = document_ != nullptr;
    zoomOutAction_->setEnabled(shown && zoom_ > kMinimumZoom + 1e-9);
    zoomInAction_->setEnabled(shown && zoom_ < kMaximumZoom - 1e-9);
    fitWidthAction_->setEnabled(shown);
    fitWidthAction_->setChecked(fitWidth_);
    printAction_->setEnabled(shown);
    updatePageLabel();
}

bool LLPDFViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scrollArea_->viewport() && event->type() == QEvent::Resize) {
        qrView_->updatePlacement();
        if (fitWidth_ && document_) applyZoom(fitWidthZoom(), true);
    }
    return QWidget::eventFilter(watched, event);
}

void LLPDFViewController::printPDFDocument() {
    if (!document_) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setFromTo(1, pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(localized("Print"));
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!printToPrinter(printer)) platform::logLine("PDF view: printing failed");
}

bool LLPDFViewController::printToPrinter(QPrinter& printer) const {
    if (!document_ || pageCount() == 0) return false;
    int from = printer.fromPage() > 0 ? printer.fromPage() : 1;
    int to = printer.toPage() > 0 ? printer.toPage() : pageCount();
    from = std::clamp(from, 1, pageCount());
    to = std::clamp(to, from, pageCount());
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const double dpi = std::min<double>(printer.resolution(), kMaximumPrintDPI);
    for (int index = from - 1; index < to; ++index) {
        if (index > from - 1 && !printer.newPage()) return false;
        std::unique_ptr<Poppler::Page> page = document_->page(index);
        if (!page) continue;
        const QVariant deadline = deadlineAfter(kPagePrintingLimit);
        const QImage image = page->renderToImage(dpi, dpi, -1, -1, -1, -1, Poppler::Page::Rotate0,
                                                 nullptr, nullptr, deadlinePassed, deadline);
        if (deadlinePassed(deadline)) return false;
        if (image.isNull()) continue;
        // Fitted into the printable area, proportions kept, centred.
        const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
        QSizeF size = image.size();
        size.scale(area.size(), Qt::KeepAspectRatio);
        const QRectF target(
            QPointF((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
        painter.drawImage(target, image);
    }
    return painter.end();
}

}  // namespace preview
