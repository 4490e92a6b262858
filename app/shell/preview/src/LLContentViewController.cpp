#include "preview/LLContentViewController.h"

#include <QLabel>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <functional>

#include "PreviewStrings.h"
#include "library/LLDocument.h"
#include "library/LLManagedObject.h"
#include "model/LLInvoice.h"
#include "preview/LLAttachmentsView.h"
#include "preview/LLInvoiceDetailsView.h"
#include "preview/LLInvoicePreview.h"
#include "preview/LLPDFViewController.h"

namespace preview {
namespace {

QLabel* placeholderLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    label->setFont(font);
    return label;
}

}  // namespace

LLContentViewController::LLContentViewController(QWidget* parent)
    : QWidget(parent), source_(std::make_unique<LLInvoicePreviewSource>()) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    layout->addWidget(stack_);

    noSelectionLabel_ = placeholderLabel(stack_);
    noSelectionLabel_->setText(localized("No Invoice Selected"));
    stack_->addWidget(noSelectionLabel_);

    summaryLabel_ = placeholderLabel(stack_);
    stack_->addWidget(summaryLabel_);

    splitter_ = new QSplitter(Qt::Horizontal, stack_);
    auto* left = new QWidget(splitter_);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    detailsView_ = new LLInvoiceDetailsView(left);
    attachmentsView_ = new LLAttachmentsView(left);
    leftLayout->addWidget(detailsView_, 1);
    leftLayout->addWidget(attachmentsView_);
    auto* right = new QWidget(splitter_);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    noPDFLabel_ = placeholderLabel(right);
    noPDFLabel_->setText(localized("No PDF to show"));
    pdfView_ = new LLPDFViewController(right);
    rightLayout->addWidget(noPDFLabel_);
    rightLayout->addWidget(pdfView_);
    splitter_->addWidget(left);
    splitter_->addWidget(right);
    splitter_->setStretchFactor(0, 2);
    splitter_->setStretchFactor(1, 3);
    splitter_->setChildrenCollapsible(false);
    left->setMinimumWidth(260);
    stack_->addWidget(splitter_);

    connect(detailsView_, &LLInvoiceDetailsView::valueClicked, this,
            &LLContentViewController::selectValueInPDF);
    setSelection(nullptr, {});
}

LLContentViewController::~LLContentViewController() = default;

void LLContentViewController::setSelection(
    std::shared_ptr<library::LLDocument> document,
    std::vector<std::shared_ptr<library::LLInvoiceRecord>> invoices) {
    // Deleted records (undo, another window) are no longer there to show, and the records of a
    // closed library cannot be read any more.
    if (document && document->isClosed()) invoices.clear();
    std::erase_if(invoices, [](const auto& record) { return !record || record->isDeleted(); });
    document_ = std::move(document);
    invoices_ = std::move(invoices);
    if (invoices_.empty()) {
        pane_ = Pane::NoSelection;
        shownRecord_.clear();
        stack_->setCurrentWidget(noSelectionLabel_);
        return;
    }
    if (invoices_.size() > 1) {
        pane_ = Pane::MultipleSelection;
        shownRecord_.clear();
        summaryLabel_->setText(localized("%1 invoices selected").arg(invoices_.size()));
        stack_->setCurrentWidget(summaryLabel_);
        return;
    }
    pane_ = Pane::Invoice;
    stack_->setCurrentWidget(splitter_);
    // The record and its content: an import may have replaced the invoice behind the same row.
    const auto& record = *invoices_.front();
    const std::string shown = record.uriString() + "#" +
                              std::to_string(std::hash<std::string>{}(record.xml().value_or("")));
    if (shown == shownRecord_) return;
    showInvoice(record);
    shownRecord_ = shown;
}

void LLContentViewController::showInvoice(const library::LLInvoiceRecord& record) {
    LLInvoicePreview preview = source_->previewForRecord(record);
    invoice_ = preview.invoice;
    detailsView_->setInvoice(invoice_.get());
    const bool shown = !preview.pdf.isEmpty() && pdfView_->setDocumentData(preview.pdf);
    if (!shown) pdfView_->clear();
    pdfView_->setInvoice(shown ? invoice_ : nullptr);
    pdfView_->setVisible(shown);
    noPDFLabel_->setVisible(!shown);
    attachmentsView_->setAttachments(preview.origin == LLInvoicePreview::Origin::Stored
                                         ? attachmentsOfPDF(preview.pdf)
                                         : std::vector<LLAttachment>());
}

void LLContentViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (splitterPlaced_ || width() <= 0) return;
    // The readable view takes a third; the PDF the rest.
    splitter_->setSizes({width() / 3, width() - width() / 3});
    splitterPlaced_ = true;
}

int LLContentViewController::selectValueInPDF(const QString& value) {
    if (pane_ != Pane::Invoice) return 0;
    return pdfView_->selectValueInPDFDocument(value);
}

}  // namespace preview
