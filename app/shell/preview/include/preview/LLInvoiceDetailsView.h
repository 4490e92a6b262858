#pragma once

#include <QScrollArea>
#include <vector>

namespace model {
class LLInvoice;
}

namespace preview {

class LLValueTextField;

// The readable view of an invoice: its values under section titles, amounts clickable.
class LLInvoiceDetailsView : public QScrollArea {
    Q_OBJECT
  public:
    explicit LLInvoiceDetailsView(QWidget* parent = nullptr);

    // None: the view is empty (an invoice whose XML cannot be read).
    void setInvoice(const model::LLInvoice* invoice);
    // The value fields in the order shown.
    const std::vector<LLValueTextField*>& fields() const { return fields_; }

  signals:
    void valueClicked(const QString& value);

  private:
    std::vector<LLValueTextField*> fields_;
};

}  // namespace preview
