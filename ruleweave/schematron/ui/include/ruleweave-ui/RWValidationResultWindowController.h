#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "ruleweave-ui/RWValidationItem.h"
#include "ruleweave/RWValidationResult.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace ruleweave::ui {

class RWXMLTextView;

// The validation sheet: a summary, the rule sets that were run (with their versions), an
// outline with one row per finding and its details, and the validated XML, in which the
// element of the selected finding is marked. Selected rows can be copied as text.
//
// From a window that shows a stored invoice:
//     RWValidationResultWindowController::openSheet(result, xml, name, window);
class RWValidationResultWindowController : public QDialog {
    Q_OBJECT

  public:
    explicit RWValidationResultWindowController(QWidget* parent = nullptr);
    // A sheet for `result` of the document `xml` (empty: no XML pane), titled with `fileName`.
    RWValidationResultWindowController(const RWValidationResult& result, const std::string& xml,
                                       const QString& fileName, QWidget* parent = nullptr);
    ~RWValidationResultWindowController() override;

    // A sheet over `parent`'s window that deletes itself when closed.
    static RWValidationResultWindowController* openSheet(const RWValidationResult& result,
                                                         const std::string& xml,
                                                         const QString& fileName, QWidget* parent);

    // Fills the window: title, summary, rule sets and the outline.
    void displayResult(const RWValidationResult& result, const QString& fileName);
    // The document the findings point into; empty text hides the XML pane.
    void setXML(const std::string& xml);
    // Shows the window modal to its parent window only (a sheet), or as a window without parent.
    void showSheet();

    const RWValidationResult& validationResult() const { return result_; }
    const std::vector<RWValidationItem>& items() const { return items_; }

    // Copies the selected rows, in outline order, as plain text; false when none is selected.
    bool copySelection();

    QTreeWidget* outlineView() const { return outline_; }
    QLabel* summaryLabel() const { return summary_; }
    QLabel* schemasLabel() const { return schemas_; }
    QLabel* notesLabel() const { return notes_; }
    QPushButton* closeButton() const { return closeButton_; }
    QPushButton* copyButton() const { return copyButton_; }
    RWXMLTextView* xmlTextView() const { return xmlView_; }
    QLabel* lineLabel() const { return lineLabel_; }

  private:
    void buildOutline();
    void selectionChanged();
    const RWValidationItem* itemFor(const QTreeWidgetItem* row) const;

    RWValidationResult result_;
    std::vector<RWValidationItem> items_;
    QLabel* summary_ = nullptr;
    QLabel* schemas_ = nullptr;
    QLabel* notes_ = nullptr;
    QTreeWidget* outline_ = nullptr;
    QWidget* xmlPane_ = nullptr;
    QLabel* lineLabel_ = nullptr;
    RWXMLTextView* xmlView_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

}  // namespace ruleweave::ui
