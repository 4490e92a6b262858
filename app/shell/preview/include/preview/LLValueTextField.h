#pragma once

#include <QLineEdit>

namespace preview {

// A read-only value of the readable invoice view. A click on an amount (after the usual
// click handling: focus, caret) reports the amount, so the view can look for it in the PDF.
class LLValueTextField : public QLineEdit {
    Q_OBJECT
  public:
    explicit LLValueTextField(QWidget* parent = nullptr);

    // The value the field shows: `text` as written for the reader, `value` the plain number
    // behind it ("1234.5"), empty for texts that are no amount.
    void setValue(const QString& text, const QString& value);
    const QString& value() const { return value_; }

  signals:
    void valueClicked(const QString& value);

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QString value_;
};

}  // namespace preview
