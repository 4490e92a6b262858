#include "preview/LLAttachmentsView.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

#include "PreviewStrings.h"
#include "platform/Log.h"

namespace preview {

LLAttachmentsView::LLAttachmentsView(QWidget* parent)
    : QWidget(parent), opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 4, 12, 8);
    title_ = new QLabel(localized("Attachments"), this);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    layout->addWidget(title_);
    list_ = new QListWidget(this);
    list_->setMaximumHeight(110);
    layout->addWidget(list_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    openButton_ = new QPushButton(localized("Open"), this);
    saveButton_ = new QPushButton(localized("Save…"), this);
    buttons->addWidget(openButton_);
    buttons->addWidget(saveButton_);
    layout->addLayout(buttons);

    connect(openButton_, &QPushButton::clicked, this,
            [this] { openAttachment(list_->currentRow()); });
    connect(saveButton_, &QPushButton::clicked, this, &LLAttachmentsView::saveSelectedAttachment);
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openAttachment(list_->row(item)); });
    connect(list_, &QListWidget::currentRowChanged, this, &LLAttachmentsView::updateButtons);
    setAttachments({});
}

LLAttachmentsView::~LLAttachmentsView() = default;

void LLAttachmentsView::setAttachments(std::vector<LLAttachment> attachments) {
    attachments_ = std::move(attachments);
    list_->clear();
    const QLocale locale;
    for (const LLAttachment& attachment : attachments_) {
        const qint64 size = attachment.data ? qint64(attachment.data->size()) : 0;
        auto* item = new QListWidgetItem(
            QStringLiteral("%1  (%2)")
                .arg(QString::fromStdString(attachment.name), locale.formattedDataSize(size)));
        if (!attachment.description.empty()) {
            item->setToolTip(QString::fromStdString(attachment.description));
        }
        list_->addItem(item);
    }
    if (!attachments_.empty()) list_->setCurrentRow(0);
    setVisible(!attachments_.empty());
    updateButtons();
}

void LLAttachmentsView::updateButtons() {
    const int row = list_->currentRow();
    const bool selected = row >= 0 && size_t(row) < attachments_.size();
    openButton_->setEnabled(selected && mayOpenAttachment(attachments_[size_t(row)].name));
    saveButton_->setEnabled(selected);
}

bool LLAttachmentsView::openAttachment(int row) {
    if (row < 0 || size_t(row) >= attachments_.size()) return false;
    const LLAttachment& attachment = attachments_[size_t(row)];
    if (!mayOpenAttachment(attachment.name)) return false;
    if (!copies_ || !copies_->isValid()) {
        copies_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/ledgerlens-attachments-XXXXXX"));
    }
    platform::Error error;
    auto copy = copies_->isValid()
                    ? writeAttachmentCopy(attachment, copies_->path().toStdString(), &error)
                    : std::nullopt;
    if (!copy) {
        showProblem(localized("The attachment could not be opened."));
        platform::logLine("Attachments: cannot write a copy: " + error.localizedDescription);
        return false;
    }
    return opener_(QUrl::fromLocalFile(QString::fromStdString(copy->string())));
}

bool LLAttachmentsView::saveAttachment(int row, const std::filesystem::path& file) {
    if (row < 0 || size_t(row) >= attachments_.size()) return false;
    platform::Error error;
    if (preview::saveAttachment(attachments_[size_t(row)], file, &error)) return true;
    platform::logLine("Attachments: cannot save " + file.string() + ": " +
                      error.localizedDescription);
    return false;
}

void LLAttachmentsView::saveSelectedAttachment() {
    const int row = list_->currentRow();
    if (row < 0 || size_t(row) >= attachments_.size()) return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name =
        QString::fromStdString(safeAttachmentFileName(attachments_[size_t(row)].name));
    const QString file =
        QFileDialog::getSaveFileName(this, localized("Save Attachment"), folder + "/" + name);
    if (file.isEmpty()) return;
    if (!saveAttachment(row, file.toStdString())) {
        showProblem(localized("The attachment could not be saved."));
    }
}

void LLAttachmentsView::showProblem(const QString& text) {
    QMessageBox box(QMessageBox::Warning, localized("Attachments"), text, QMessageBox::Ok, this);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

}  // namespace preview
