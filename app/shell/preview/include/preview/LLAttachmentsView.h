#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "preview/LLAttachmentFiles.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTemporaryDir;
class QUrl;

namespace preview {

// The files embedded in an invoice PDF: listed, opened in the desktop's viewer (from a copy in
// a temporary folder) and saved where the user says.
class LLAttachmentsView : public QWidget {
    Q_OBJECT
  public:
    explicit LLAttachmentsView(QWidget* parent = nullptr);
    ~LLAttachmentsView() override;

    void setAttachments(std::vector<LLAttachment> attachments);
    const std::vector<LLAttachment>& attachments() const { return attachments_; }
    QListWidget* listWidget() const { return list_; }

    // Opens the attachment at `row` in the desktop's viewer; false when it may not be opened
    // or its copy could not be written.
    bool openAttachment(int row);
    // Writes the attachment at `row` to `file` (whole or not at all).
    bool saveAttachment(int row, const std::filesystem::path& file);
    // Asks for a file name and saves the selected attachment.
    void saveSelectedAttachment();

    // How files are handed to the desktop (tests replace it); QDesktopServices by default.
    void setOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

  private:
    void updateButtons();
    void showProblem(const QString& text);

    std::vector<LLAttachment> attachments_;
    QLabel* title_;
    QListWidget* list_;
    QPushButton* openButton_;
    QPushButton* saveButton_;
    std::unique_ptr<QTemporaryDir> copies_;
    std::function<bool(const QUrl&)> opener_;
};

}  // namespace preview
