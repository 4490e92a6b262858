#include "preview/LLValueTextField.h"

#include <QMouseEvent>

namespace preview {

LLValueTextField::LLValueTextField(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setFrame(false);
    // On the view's background like a label (a palette: style sheets cost time per field).
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
}

void LLValueTextField::setValue(const QString& text, const QString& value) {
    setText(text);
    setCursorPosition(0);
    value_ = value;
    setCursor(value_.isEmpty() ? Qt::IBeamCursor : Qt::PointingHandCursor);
    if (!value_.isEmpty()) setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void LLValueTextField::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && !value_.isEmpty()) emit valueClicked(value_);
}

}  // namespace preview
