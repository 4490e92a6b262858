#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QSplitter;
class QStackedWidget;

namespace library {
class LLDocument;
class LLInvoiceRecord;
}  // namespace library
namespace model {
class LLInvoice;
}

namespace preview {

class LLAttachmentsView;
class LLInvoiceDetailsView;
class LLInvoicePreviewSource;
class LLPDFViewController;

// The preview pane of a library window: a placeholder for no invoice, a summary for several,
// and for one invoice its readable view (values clickable, attachments) beside its PDF.
class LLContentViewController : public QWidget {
    Q_OBJECT
  public:
    enum class Pane { NoSelection, MultipleSelection, Invoice };

    explicit LLContentViewController(QWidget* parent = nullptr);
    ~LLContentViewController() override;

    // The rows selected in a library window (main context records); empty: nothing selected.
    void setSelection(std::shared_ptr<library::LLDocument> document,
                      std::vector<std::shared_ptr<library::LLInvoiceRecord>> invoices);

    // Looks for the value in the PDF of the invoice shown; the number of places found.
    int selectValueInPDF(const QString& value);

    Pane pane() const { return pane_; }
    LLPDFViewController* pdfView() const { return pdfView_; }
    LLInvoiceDetailsView* detailsView() const { return detailsView_; }
    LLAttachmentsView* attachmentsView() const { return attachmentsView_; }
    const std::shared_ptr<const model::LLInvoice>& invoice() const { return invoice_; }
    QLabel* summaryLabel() const { return summaryLabel_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void showInvoice(const library::LLInvoiceRecord& record);

    std::shared_ptr<library::LLDocument> document_;
    std::vector<std::shared_ptr<library::LLInvoiceRecord>> invoices_;
    std::string shownRecord_;  // URI of the record shown, so a repeated selection costs nothing
    std::shared_ptr<const model::LLInvoice> invoice_;
    std::unique_ptr<LLInvoicePreviewSource> source_;
    Pane pane_ = Pane::NoSelection;
    bool splitterPlaced_ = false;

    QStackedWidget* stack_;
    QLabel* noSelectionLabel_;
    QLabel* summaryLabel_;
    QSplitter* splitter_;
    LLInvoiceDetailsView* detailsView_;
    LLAttachmentsView* attachmentsView_;
    QLabel* noPDFLabel_;
    LLPDFViewController* pdfView_;
};

}  // namespace preview
