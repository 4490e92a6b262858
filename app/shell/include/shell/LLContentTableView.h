#pragma once

#include <QTableView>
#include <memory>
#include <vector>

namespace library {
class LLInvoiceRecord;
}

namespace shell {

class LLContentArrayController;

// The invoice table: copies its selected rows as tab-separated text, asks for deletion with the
// Delete and Backspace keys, and starts drags only on horizontal mouse motion (vertical motion
// extends the selection).
class LLContentTableView : public QTableView {
    Q_OBJECT
  public:
    explicit LLContentTableView(QWidget* parent = nullptr);

    void setContentController(LLContentArrayController* controller);
    LLContentArrayController* contentController() const { return controller_; }
    // Selected rows in ascending order, and their records.
    std::vector<std::size_t> selectedRowNumbers() const;
    std::vector<std::shared_ptr<library::LLInvoiceRecord>> selectedRecords() const;
    // Selects the rows of these records (by URI) and shows the first.
    void selectURIStrings(const std::vector<std::string>& uris);

  public slots:
    // The header line and the selected rows, on the clipboard as plain text.
    void copy();

  signals:
    void deleteRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    LLContentArrayController* controller_ = nullptr;
    QPoint pressPosition_;
};

}  // namespace shell
