#include "shell/CVMinimalBusyWindowController.h"

#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/SFLocalize.h"

namespace shell {

CVMinimalBusyWindowController::CVMinimalBusyWindowController(QWidget* parent, int style)
    : QDialog(parent, Qt::Sheet), style_(style) {
    setObjectName("CVMinimalBusyWindowController");
    setWindowModality(Qt::WindowModal);
    setWindowTitle("Working…");
    auto* layout = new QVBoxLayout(this);
    message_ = new QLabel(this);
    message_->setObjectName("busyMessage");
    message_->setTextFormat(Qt::PlainText);
    message_->setMinimumWidth(280);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0);  // indeterminate until both values are known
    progress_->setTextVisible(false);
    if (style_ != 0) progress_->setFixedSize(32, 32);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("busyCancel");
    connect(cancelButton_, &QPushButton::clicked, this, &CVMinimalBusyWindowController::cancel);
    layout->addWidget(message_);
    layout->addWidget(progress_, 0, style_ == 0 ? Qt::Alignment() : Qt::AlignHCenter);
    layout->addWidget(cancelButton_, 0, Qt::AlignRight);
    if (style_ == 0) setFixedWidth(320);
    localize(this);
}

void CVMinimalBusyWindowController::setCurrentProgress(double value) {
    currentProgress_ = value;
    updateIndicator();
}

void CVMinimalBusyWindowController::setMaxProgress(double value) {
    maxProgress_ = value;
    updateIndicator();
}

void CVMinimalBusyWindowController::updateIndicator() {
    if (currentProgress_ <= 0 || maxProgress_ <= 0) return;
    QPointer<CVMinimalBusyWindowController> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (!self) return;
            const int maximum = int(self->maxProgress_);
            self->progress_->setRange(0, maximum);
            self->progress_->setValue(std::min(maximum, int(self->currentProgress_)));
        },
        Qt::AutoConnection);
}

void CVMinimalBusyWindowController::setMessage(const QString& text) {
    QPointer<CVMinimalBusyWindowController> self(this);
    QMetaObject::invokeMethod(this, [self, text] {
        if (self) self->message_->setText(text);
    });
}

void CVMinimalBusyWindowController::cancel() {
    if (cancelled_.exchange(true)) return;
    cancelButton_->setEnabled(false);
    message_->setText(localizedString("Cancelling…"));
    emit cancelRequested();
}

void CVMinimalBusyWindowController::reject() { cancel(); }

void CVMinimalBusyWindowController::beginSheet() {
    if (QWidget* window = parentWidget() ? parentWidget()->window() : nullptr) {
        adjustSize();
        const QRect frame = window->geometry();
        move(frame.center() - rect().center());
    }
    open();
}

void CVMinimalBusyWindowController::endSheet() {
    hide();
    deleteLater();
}

}  // namespace shell
