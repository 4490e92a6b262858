#pragma once

#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "ruleweave/RWValidationResult.h"

class QLabel;
class QSplitter;
class QToolButton;

namespace ruleweave {
class RWSchematronValidator;
}

namespace ruleweave::ui {

class RWValidationResultWindowController;
class RWXMLTextView;

// Why an invoice file could not be shown.
enum class RWDocumentOpenError { NoSuchFile, NotAFile, TooLarge, Unreadable, PDF };
// The reason as the person reading it needs it, localised.
QString describeOpenError(RWDocumentOpenError error);

// The window of an invoice file opened on its own (not imported into a library): the rendered
// invoice, its XML and, at the top, a status button with the validation dot that opens the
// validation sheet. The window validates the XML itself; a result with errors or warnings opens
// the sheet at once.
class RWXMLDocumentWindowController : public QMainWindow {
    Q_OBJECT

  public:
    explicit RWXMLDocumentWindowController(QWidget* parent = nullptr);
    ~RWXMLDocumentWindowController() override;

    // The rendered invoice beside the XML; the window takes ownership and replaces what was
    // shown there before (at first a placeholder).
    void setPreviewWidget(QWidget* widget);
    QWidget* previewWidget() const { return preview_; }

    // The folder of the XSD and Schematron sets used by openFile() and showXML(); default: the
    // program's resources' "rules" folder.
    void setRulesDirectory(std::filesystem::path directory);

    // Reads an XML invoice file, shows it and validates it. A PDF is refused with
    // RWDocumentOpenError::PDF: the caller extracts its invoice and calls showXML().
    std::optional<RWDocumentOpenError> openFile(const QString& path);
    // Shows and validates XML text; `fileName` names the window and the sheet.
    void showXML(const std::string& xml, const QString& fileName);
    // The same with a validator of the caller's (kept by the caller; used on this thread).
    void performValidation(RWSchematronValidator& validator, const std::string& xml,
                           const QString& fileName);

    // 0 not validated (no rule set fits, or the text is not XML), 1 valid, 2 warnings, 3 errors.
    int status() const { return status_; }
    const std::optional<RWValidationResult>& validationResult() const { return result_; }
    RWValidationResultWindowController* validationResultWindowController() const { return sheet_; }
    QToolButton* statusButton() const { return statusButton_; }
    RWXMLTextView* resultsTextView() const { return xmlView_; }

  public slots:
    // Shows the validation sheet over this window (nothing before a validation); before the
    // window is shown, the sheet follows when it is.
    void showValidationSheet();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void updateStatusButton(int status, bool enabled);
    RWSchematronValidator& ownValidator();

    QSplitter* splitter_ = nullptr;
    QWidget* preview_ = nullptr;
    RWXMLTextView* xmlView_ = nullptr;
    QToolButton* statusButton_ = nullptr;
    QLabel* titleLabel_ = nullptr;
    QPointer<RWValidationResultWindowController> sheet_;
    std::optional<RWValidationResult> result_;
    int status_ = 0;
    bool sheetPending_ = false;  // asked for before the window was shown
    std::optional<std::filesystem::path> rulesDirectory_;
    std::unique_ptr<RWSchematronValidator> validator_;
};

}  // namespace ruleweave::ui
