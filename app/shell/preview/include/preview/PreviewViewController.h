#pragma once

#include <QWidget>
#include <memory>
#include <string>

class QPlainTextEdit;

namespace model {
class LLInvoice;
}

namespace preview {

class LLInvoicePreviewSource;
class LLPDFViewController;

// The preview of an invoice file that is not in a library: a PDF as it is, an XML invoice
// rendered with the template's letterhead, any other file as text (empty when unreadable).
class PreviewViewController : public QWidget {
    Q_OBJECT
  public:
    enum class Shows { Nothing, PDF, Text };

    explicit PreviewViewController(QWidget* parent = nullptr);
    ~PreviewViewController() override;

    // Always completes: what cannot be shown as PDF is shown as text.
    void preparePreviewOfFile(const QString& path);

    Shows shows() const { return shows_; }
    LLPDFViewController* pdfView() const { return pdfView_; }
    QPlainTextEdit* textView() const { return textView_; }
    const std::shared_ptr<const model::LLInvoice>& invoice() const { return invoice_; }
    // The XML the invoice shown was read from (a PDF's attachment); empty without an invoice.
    const std::string& invoiceXML() const { return invoiceXML_; }

  private:
    void showText(const QString& text);

    std::unique_ptr<LLInvoicePreviewSource> source_;
    std::shared_ptr<const model::LLInvoice> invoice_;
    std::string invoiceXML_;
    Shows shows_ = Shows::Nothing;
    LLPDFViewController* pdfView_;
    QPlainTextEdit* textView_;
};

}  // namespace preview
