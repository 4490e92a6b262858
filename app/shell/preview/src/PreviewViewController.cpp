#include "preview/PreviewViewController.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "model/LLInvoice.h"
#include "preview/LLInvoicePreview.h"
#include "preview/LLPDFViewController.h"

namespace preview {

PreviewViewController::PreviewViewController(QWidget* parent)
    : QWidget(parent), source_(std::make_unique<LLInvoicePreviewSource>()) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pdfView_ = new LLPDFViewController(this);
    textView_ = new QPlainTextEdit(this);
    textView_->setReadOnly(true);
    textView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(12);
    mono.setWeight(QFont::Normal);
    textView_->setFont(mono);
    layout->addWidget(pdfView_);
    layout->addWidget(textView_);
    pdfView_->hide();
    textView_->hide();
}

PreviewViewController::~PreviewViewController() = default;

void PreviewViewController::preparePreviewOfFile(const QString& path) {
    LLInvoicePreview preview = source_->previewForFile(path.toStdString());
    invoice_ = preview.invoice;
    invoiceXML_ = std::move(preview.invoiceXML);
    if (!preview.pdf.isEmpty() && pdfView_->setDocumentData(preview.pdf)) {
        pdfView_->setInvoice(invoice_);
        textView_->hide();
        textView_->clear();
        pdfView_->show();
        shows_ = Shows::PDF;
        return;
    }
    pdfView_->clear();
    showText(QString::fromStdString(preview.xmlText.value_or("")));
}

void PreviewViewController::showText(const QString& text) {
    pdfView_->hide();
    textView_->setPlainText(text);
    textView_->show();
    shows_ = Shows::Text;
}

}  // namespace preview
