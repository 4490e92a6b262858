#pragma once

#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "library/LLDocument.h"

class QAction;
class QLabel;
class QLineEdit;
class QSplitter;
class QTreeView;

namespace ruleweave {
class RWSchematronValidator;
struct RWValidationResult;
}  // namespace ruleweave

namespace shell {

class CVMinimalBusyWindowController;
class LLContentArrayController;
class LLContentTableView;
class LLSourceListModel;

using LLInvoiceRecordList = std::vector<std::shared_ptr<library::LLInvoiceRecord>>;

// The window of one open library: the source list of years and months, the invoice table with
// its search field, and a right-hand area for the preview. Its commands (import, export,
// validate, copy, delete, undo) drive the library; nothing of the library's logic lives here.
class LLLibraryWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit LLLibraryWindow(std::shared_ptr<library::LLDocument> document,
                             QWidget* parent = nullptr);
    ~LLLibraryWindow() override;

    const std::shared_ptr<library::LLDocument>& document() const { return document_; }
    // The preview of the selected invoices; replaces the placeholder (the window owns it).
    void setPreviewWidget(QWidget* widget);
    QWidget* previewWidget() const { return preview_; }

    LLContentTableView* tableView() const { return table_; }
    LLContentArrayController* contentController() const { return content_; }
    QTreeView* sourceView() const { return sourceView_; }
    LLSourceListModel* sourceList() const { return sourceList_; }
    QLineEdit* searchField() const { return search_; }
    // The window's commands by name: "import", "importFolder", "export", "validate", "copy",
    // "delete", "undo", "redo", "save", "saveAs", "close", "new", "open", "about", "selectAll",
    // "find", "quit".
    QAction* action(const QString& name) const;

    // Where the file choosers' answers come from; tests answer without a dialog.
    std::function<QStringList()> chooseImportPaths;
    std::function<QString()> chooseImportFolder;
    std::function<QString()> chooseExportFolder;
    std::function<QString()> chooseSavePath;

    // --- commands (also behind the menu items)
    // One import run with the busy sheet; when it is done the imported records are selected
    // and problems are shown in the error sheet. The caller resets the error list first.
    void importPaths(const QStringList& paths);
    // Dropped files and folders: stops at the first item that is neither a folder nor a PDF
    // or XML file and answers false (the items before it are imported).
    bool handleDroppedPaths(const QStringList& paths);
    void exportToFolder(const QString& folder);
    void validateSelection();
    void deleteSelection();
    void copySelection();
    void undo();
    void redo();
    bool saveDocument();
    bool saveDocumentAs();
    // Reads the records again (after an import, undo, or a change by another window).
    void reloadContent();
    bool isBusy() const { return runningJobs_ > 0; }

  signals:
    // The table's selection changed: the records selected (empty: nothing selected).
    void selectionChanged(std::shared_ptr<library::LLDocument> document,
                          std::vector<std::shared_ptr<library::LLInvoiceRecord>> invoices);
    // Validate found a result to show for this record (its new code is stored).
    void validationSheetRequested(std::shared_ptr<library::LLDocument> document,
                                  std::shared_ptr<library::LLInvoiceRecord> invoice);
    // The same with the result itself, so the sheet need not validate again.
    void validationResultReady(std::shared_ptr<library::LLDocument> document,
                               std::shared_ptr<library::LLInvoiceRecord> invoice,
                               std::shared_ptr<ruleweave::RWValidationResult> result);
    void importFinished(const QStringList& uriStrings);
    void exportFinished(const QString& folder, int filesWritten, int failures);
    // Application-level commands, answered by the application delegate.
    void newLibraryRequested();
    void openRequested();
    void openPathsRequested(const QStringList& paths);
    void aboutRequested();
    void quitRequested();
    // The window has closed and let go of its library.
    void documentClosed(LLLibraryWindow* window);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildActions();
    void buildMenus();
    void buildContent();
    void updateTitle();
    void updateActions();
    void showErrors();
    void tableSelectionChanged();
    void showPlaceholder(std::size_t selected);
    void runExport(std::vector<std::string> uris, const QString& folder);
    bool confirmClose();
    void cancelJobs();
    void waitForExport();
    CVMinimalBusyWindowController* beginBusySheet(double maxProgress, const QString& message);

    std::shared_ptr<library::LLDocument> document_;
    LLContentArrayController* content_ = nullptr;
    LLContentTableView* table_ = nullptr;
    LLSourceListModel* sourceList_ = nullptr;
    QTreeView* sourceView_ = nullptr;
    QLineEdit* search_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QWidget* preview_ = nullptr;
    QLabel* placeholder_ = nullptr;
    std::map<QString, QAction*> actions_;
    std::unique_ptr<ruleweave::RWSchematronValidator> validator_;  // kept across validations
    int runningJobs_ = 0;
    std::vector<std::shared_ptr<std::atomic<bool>>> cancelFlags_;
    std::thread exportThread_;
    bool closed_ = false;
};

}  // namespace shell

Q_DECLARE_METATYPE(std::shared_ptr<library::LLDocument>)
Q_DECLARE_METATYPE(std::shared_ptr<library::LLInvoiceRecord>)
Q_DECLARE_METATYPE(std::vector<std::shared_ptr<library::LLInvoiceRecord>>)
