#include "shell/LLLibraryWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "library/LLExport.h"
#include "library/LLInvoiceList.h"
#include "library/LLManagedObject.h"
#include "library/LLObjectContext.h"
#include "platform/Log.h"
#include "ruleweave/RWSchematronValidator.h"
#include "shell/CVMinimalBusyWindowController.h"
#include "shell/LLContentArrayController.h"
#include "shell/LLContentTableView.h"
#include "shell/LLErrorViewController.h"
#include "shell/LLRecentDocuments.h"
#include "shell/LLSourceListModel.h"
#include "shell/SFLocalize.h"

namespace shell {
namespace {

std::vector<std::filesystem::path> toPaths(const QStringList& paths) {
    std::vector<std::filesystem::path> answer;
    for (const QString& path : paths) answer.emplace_back(path.toStdString());
    return answer;
}

void registerMetaTypes() {
    static const bool done = [] {
        qRegisterMetaType<std::shared_ptr<library::LLDocument>>();
        qRegisterMetaType<std::shared_ptr<library::LLInvoiceRecord>>();
        qRegisterMetaType<std::vector<std::shared_ptr<library::LLInvoiceRecord>>>();
        return true;
    }();
    (void)done;
}

// An alert of the library, with its own buttons, as a window-modal message box.
int runAlert(QWidget* parent, const library::LLAlert& alert) {
    QMessageBox box(parent);
    box.setWindowModality(Qt::WindowModal);
    box.setIcon(alert.style == library::LLAlert::Style::Critical ? QMessageBox::Critical
                                                                 : QMessageBox::Warning);
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    if (alert.buttons.empty()) box.addButton(localizedString("OK"), QMessageBox::AcceptRole);
    for (const auto& title : alert.buttons)
        box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole);
    box.exec();
    return int(box.buttons().indexOf(box.clickedButton()));
}

}  // namespace

LLLibraryWindow::LLLibraryWindow(std::shared_ptr<library::LLDocument> document, QWidget* parent)
    : QMainWindow(parent), document_(std::move(document)) {
    registerMetaTypes();
    setObjectName("LLLibraryWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    buildActions();
    buildMenus();
    buildContent();
    localize(this);
    reloadContent();
    updateTitle();
    resize(1100, 640);

    chooseImportPaths = [this] {
        QFileDialog dialog(this, localizedString("Import"));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilter(localizedString("XML Invoices") + " (*.xml *.XML)");
        dialog.setWindowModality(Qt::WindowModal);
        if (dialog.exec() != QDialog::Accepted) return QStringList();
        return dialog.selectedFiles();
    };
    chooseImportFolder = [this] {
        return QFileDialog::getExistingDirectory(this, localizedString("Import Folder"));
    };
    chooseExportFolder = [this] {
        QFileDialog dialog(this, localizedString("Select Export Folder"));
        dialog.setToolTip(localizedString("Choose a folder to export your data."));
        dialog.setLabelText(QFileDialog::Accept, localizedString("Export"));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        dialog.setWindowModality(Qt::WindowModal);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().front();
    };
    chooseSavePath = [this] {
        QString path = QFileDialog::getSaveFileName(
            this, localizedString("Save As"),
            QDir::home().filePath(QString::fromStdString(document_->displayName()) + ".ledgerlens"),
            localizedString("Ledgerlens Library") + " (*.ledgerlens)");
        if (!path.isEmpty() && QFileInfo(path).suffix() != "ledgerlens") path += ".ledgerlens";
        return path;
    };
}

LLLibraryWindow::~LLLibraryWindow() {
    cancelJobs();
    waitForExport();
}

QAction* LLLibraryWindow::action(const QString& name) const {
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void LLLibraryWindow::buildActions() {
    auto make = [this](const QString& name, const QString& text, QKeySequence shortcut = {}) {
        auto* action = new QAction(text, this);
        action->setObjectName("action." + name);
        if (!shortcut.isEmpty()) action->setShortcut(shortcut);
        actions_[name] = action;
        return action;
    };
    connect(make("new", "New Library", QKeySequence::New), &QAction::triggered, this,
            &LLLibraryWindow::newLibraryRequested);
    connect(make("open", "Open…", QKeySequence::Open), &QAction::triggered, this,
            &LLLibraryWindow::openRequested);
    auto importChosen = [this](const QStringList& paths) {
        QStringList accepted;
        for (const QString& path : paths)
            if (library::LLDocument::acceptsFile(library::LLImportEntryPoint::ImportCommand,
                                                 path.toStdString()))
                accepted << path;
        if (accepted.isEmpty()) return;
        document_->resetErrors();
        importPaths(accepted);
    };
    connect(make("import", "Import…", QKeySequence(Qt::CTRL | Qt::Key_I)), &QAction::triggered,
            this, [this, importChosen] {
                importChosen(chooseImportPaths ? chooseImportPaths() : QStringList());
            });
    // The file chooser takes files or a folder, not both: folders have their own item.
    connect(
        make("importFolder", "Import Folder…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I)),
        &QAction::triggered, this, [this, importChosen] {
            importChosen(chooseImportFolder ? QStringList{chooseImportFolder()} : QStringList());
        });
    connect(make("export", "Export…", QKeySequence(Qt::CTRL | Qt::Key_E)), &QAction::triggered,
            this, [this] {
                const QString folder = chooseExportFolder ? chooseExportFolder() : QString();
                if (!folder.isEmpty()) exportToFolder(folder);
            });
    connect(make("save", "Save", QKeySequence::Save), &QAction::triggered, this,
            &LLLibraryWindow::saveDocument);
    connect(make("saveAs", "Save As…", QKeySequence::SaveAs), &QAction::triggered, this,
            &LLLibraryWindow::saveDocumentAs);
    connect(make("close", "Close", QKeySequence::Close), &QAction::triggered, this,
            &QWidget::close);
    connect(make("quit", "Quit", QKeySequence::Quit), &QAction::triggered, this,
            &LLLibraryWindow::quitRequested);
    connect(make("undo", "Undo", QKeySequence::Undo), &QAction::triggered, this,
            &LLLibraryWindow::undo);
    connect(make("redo", "Redo", QKeySequence::Redo), &QAction::triggered, this,
            &LLLibraryWindow::redo);
    connect(make("copy", "Copy", QKeySequence::Copy), &QAction::triggered, this,
            &LLLibraryWindow::copySelection);
    connect(make("delete", "Delete", QKeySequence::Delete), &QAction::triggered, this,
            &LLLibraryWindow::deleteSelection);
    connect(make("selectAll", "Select All", QKeySequence::SelectAll), &QAction::triggered, this,
            [this] { table_->selectAll(); });
    connect(make("find", "Find", QKeySequence::Find), &QAction::triggered, this, [this] {
        search_->setFocus();
        search_->selectAll();
    });
    connect(make("validate", "Validate", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)),
            &QAction::triggered, this, &LLLibraryWindow::validateSelection);
    connect(make("about", "About Ledgerlens"), &QAction::triggered, this,
            &LLLibraryWindow::aboutRequested);
    // Shortcuts act while the window has focus, also when they are only in a menu.
    for (auto& [name, action] : actions_) action->setShortcutContext(Qt::WindowShortcut);
    // Copy and Delete in the search field belong to the field.
    actions_["copy"]->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    actions_["delete"]->setShortcutContext(Qt::WidgetWithChildrenShortcut);
}

void LLLibraryWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    file->addAction(actions_["new"]);
    file->addAction(actions_["open"]);
    QMenu* recent = file->addMenu("Open Recent");
    recent->setObjectName("menu.openRecent");
    connect(recent, &QMenu::aboutToShow, this, [this, recent] {
        recent->clear();
        const QStringList paths = LLRecentDocuments().libraryPaths();
        for (const QString& path : paths)
            recent
                ->addAction(QFileInfo(path).fileName(), this,
                            [this, path] { emit openPathsRequested({path}); })
                ->setToolTip(path);
        if (paths.isEmpty())
            recent->addAction(localizedString("No Recent Libraries"))->setEnabled(false);
    });
    file->addSeparator();
    file->addAction(actions_["import"]);
    file->addAction(actions_["importFolder"]);
    file->addAction(actions_["export"]);
    file->addSeparator();
    file->addAction(actions_["save"]);
    file->addAction(actions_["saveAs"]);
    file->addAction(actions_["close"]);
    file->addSeparator();
    file->addAction(actions_["quit"]);

    QMenu* edit = menuBar()->addMenu("Edit");
    edit->addAction(actions_["undo"]);
    edit->addAction(actions_["redo"]);
    edit->addSeparator();
    edit->addAction(actions_["copy"]);
    edit->addAction(actions_["delete"]);
    edit->addAction(actions_["selectAll"]);
    edit->addSeparator();
    edit->addAction(actions_["find"]);
    connect(edit, &QMenu::aboutToShow, this, &LLLibraryWindow::updateActions);

    QMenu* invoice = menuBar()->addMenu("Invoice");
    invoice->addAction(actions_["validate"]);

    QMenu* help = menuBar()->addMenu("Help");
    help->addAction(actions_["about"]);
}

void LLLibraryWindow::buildContent() {
    QToolBar* toolbar = addToolBar(localizedString("Toolbar"));
    toolbar->setObjectName("toolbar");
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolbar->addAction(actions_["import"]);
    toolbar->addAction(actions_["export"]);
    toolbar->addAction(actions_["validate"]);
    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    search_ = new QLineEdit(toolbar);
    search_->setObjectName("searchField");
    search_->setPlaceholderText("Search");
    search_->setClearButtonEnabled(true);
    search_->setMaximumWidth(240);
    toolbar->addWidget(search_);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName("splitter");
    sourceView_ = new QTreeView(splitter_);
    sourceView_->setObjectName("sourceList");
    sourceList_ = new LLSourceListModel(this);
    sourceList_->attachView(sourceView_);
    content_ = new LLContentArrayController(this);
    table_ = new LLContentTableView(splitter_);
    table_->setContentController(content_);
    placeholder_ = new QLabel(splitter_);
    placeholder_->setObjectName("previewPlaceholder");
    placeholder_->setAlignment(Qt::AlignCenter);
    placeholder_->setTextFormat(Qt::PlainText);
    placeholder_->setMinimumWidth(240);
    preview_ = placeholder_;
    splitter_->addWidget(sourceView_);
    splitter_->addWidget(table_);
    splitter_->addWidget(placeholder_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 2);
    splitter_->setStretchFactor(2, 1);
    splitter_->setSizes({170, 720, 260});
    setCentralWidget(splitter_);
    statusBar()->setSizeGripEnabled(true);

    connect(sourceList_, &LLSourceListModel::selectionChanged, this,
            [this](const std::vector<std::shared_ptr<library::LLSourceItem>>& selected) {
                content_->setFilterPredicate(library::filterPredicateForSelection(selected));
            });
    connect(search_, &QLineEdit::textChanged, content_, &LLContentArrayController::setSearchString);
    connect(content_, &LLContentArrayController::arrangedObjectsChanged, this, [this] {
        // A list without a selected invoice selects its first one.
        if (table_->selectionModel() && !table_->selectionModel()->hasSelection() &&
            content_->rowCount() > 0)
            table_->selectRow(0);
        tableSelectionChanged();
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LLLibraryWindow::tableSelectionChanged);
    connect(table_, &LLContentTableView::deleteRequested, this, &LLLibraryWindow::deleteSelection);
    connect(table_, &QAbstractItemView::doubleClicked, this, &LLLibraryWindow::validateSelection);
}

void LLLibraryWindow::setPreviewWidget(QWidget* widget) {
    if (!widget || widget == preview_) return;
    const QList<int> sizes = splitter_->sizes();
    QWidget* old = splitter_->replaceWidget(splitter_->indexOf(preview_), widget);
    if (old == placeholder_) {
        // Kept for its pointer only; the window still owns it.
        placeholder_->setParent(this);
        placeholder_->hide();
    } else if (old) {
        old->deleteLater();
    }
    preview_ = widget;
    widget->show();
    // A real preview (readable view and PDF) needs about half the window.
    splitter_->setStretchFactor(2, 2);
    int total = 0;
    for (int size : sizes) total += size;
    if (isVisible() && sizes.size() == 3 && total > 0) {
        const int source = std::max(sizes[0], 170);
        const int previewWidth = total / 2;
        splitter_->setSizes({source, std::max(0, total - source - previewWidth), previewWidth});
    } else {
        splitter_->setSizes({170, 560, 870});
    }
    tableSelectionChanged();
}

void LLLibraryWindow::showPlaceholder(std::size_t selected) {
    if (preview_ != placeholder_) return;
    if (selected == 0)
        placeholder_->setText(localizedString("No Selection"));
    else if (selected == 1)
        placeholder_->setText(localizedString("1 invoice selected"));
    else
        placeholder_->setText(localizedFormat("%1 invoices selected", {QString::number(selected)}));
}

void LLLibraryWindow::tableSelectionChanged() {
    auto records = table_->selectedRecords();
    showPlaceholder(records.size());
    updateActions();
    emit selectionChanged(document_, records);
}

void LLLibraryWindow::updateTitle() {
    setWindowTitle(QString::fromStdString(document_->displayName()) + " – Ledgerlens");
    if (document_->fileURL())
        setWindowFilePath(QString::fromStdString(document_->fileURL()->string()));
}

void LLLibraryWindow::updateActions() {
    if (closed_ || document_->isClosed()) return;
    const bool hasSelection = table_->selectionModel() && table_->selectionModel()->hasSelection();
    const bool writable = !document_->managedObjectContext().isReadOnly();
    actions_["delete"]->setEnabled(hasSelection && writable);
    actions_["copy"]->setEnabled(true);  // with nothing selected the header line is copied
    actions_["validate"]->setEnabled(hasSelection);
    actions_["export"]->setEnabled(content_->rowCount() > 0 && !exportThread_.joinable());
    actions_["import"]->setEnabled(writable);
    auto& undo = document_->undoManager();
    actions_["undo"]->setEnabled(undo.canUndo());
    actions_["redo"]->setEnabled(undo.canRedo());
}

void LLLibraryWindow::reloadContent() {
    if (document_->isClosed()) return;
    std::vector<std::string> selected;
    for (const auto& record : table_->selectedRecords()) selected.push_back(record->uriString());
    auto records = document_->managedObjectContext().fetchInvoices();
    content_->setContent(records);
    sourceList_->setRecords(records);
    if (!selected.empty()) table_->selectURIStrings(selected);
    if (!table_->selectionModel()->hasSelection() && content_->rowCount() > 0) table_->selectRow(0);
    statusBar()->showMessage(localizedFormat("%1 invoices", {QString::number(records.size())}));
    updateActions();
}

// --- import

CVMinimalBusyWindowController* LLLibraryWindow::beginBusySheet(double maxProgress,
                                                               const QString& message) {
    auto* busy = new CVMinimalBusyWindowController(this, 0);
    busy->setMaxProgress(maxProgress);
    busy->setMessage(message);
    busy->beginSheet();
    return busy;
}

void LLLibraryWindow::importPaths(const QStringList& paths) {
    if (paths.isEmpty() || document_->isClosed()) return;
    ++runningJobs_;
    QPointer<CVMinimalBusyWindowController> busy = beginBusySheet(0, localizedString("Importing…"));
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    cancelFlags_.push_back(cancelled);
    connect(busy, &CVMinimalBusyWindowController::cancelRequested, this,
            [cancelled] { *cancelled = true; });
    QPointer<LLLibraryWindow> self(this);

    library::LLImportObserver observer;
    observer.cancelled = [cancelled] { return cancelled->load(); };
    observer.progress = [self, busy](const library::LLImportProgress& progress) {
        const QString name = QFileInfo(QString::fromStdString(progress.path)).fileName();
        const auto handled = progress.filesHandled;
        QMetaObject::invokeMethod(qApp, [self, busy, name, handled] {
            if (!self || !busy) return;
            busy->setMessage(
                localizedFormat("Importing %1 (%2)…", {name, QString::number(handled)}));
        });
    };
    observer.finished = [self, busy, cancelled](std::vector<std::string> uris) {
        QMetaObject::invokeMethod(qApp, [self, busy, cancelled, uris = std::move(uris)] {
            if (busy) busy->endSheet();
            if (!self) return;
            --self->runningJobs_;
            std::erase(self->cancelFlags_, cancelled);
            if (self->closed_ || self->document_->isClosed()) return;
            self->document_->managedObjectContext().processPendingChanges();
            self->reloadContent();
            // The run's records are shown under "All", selected.
            self->sourceList_->selectFirstItem();
            self->table_->selectURIStrings(uris);
            self->showErrors();
            QStringList list;
            for (const auto& uri : uris) list << QString::fromStdString(uri);
            emit self->importFinished(list);
        });
    };
    document_->importPaths(toPaths(paths), std::move(observer));
}

bool LLLibraryWindow::handleDroppedPaths(const QStringList& paths) {
    document_->resetErrors();
    QStringList accepted;
    bool refused = false;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir() &&
            !library::LLDocument::acceptsFile(library::LLImportEntryPoint::Drop,
                                              path.toStdString())) {
            refused = true;
            break;
        }
        accepted << path;
    }
    importPaths(accepted);
    return !refused;
}

void LLLibraryWindow::showErrors() {
    auto errors = document_->errors();
    if (errors.empty()) return;
    auto* sheet = new LLErrorViewController(std::move(errors), this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

void LLLibraryWindow::dragEnterEvent(QDragEnterEvent* event) {
    // Rows dragged out of this window's own table are not dropped back in.
    if (event->source() == table_) return;
    if (event->mimeData()->hasUrls() && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void LLLibraryWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() == table_) return;
    if (event->mimeData()->hasUrls() && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void LLLibraryWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile()) {
            // Only files on this machine: nothing is fetched because a drop names it, and the
            // drop stops there like at any other item it cannot take.
            paths << QString();
            continue;
        }
        paths << url.toLocalFile();
    }
    if (handleDroppedPaths(paths)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

// --- export

void LLLibraryWindow::exportToFolder(const QString& folder) {
    if (folder.isEmpty() || exportThread_.joinable() || document_->isClosed()) return;
    std::vector<std::string> uris;
    for (const auto& record : content_->arrangedObjects()) uris.push_back(record->uriString());
    runExport(std::move(uris), folder);
}

void LLLibraryWindow::runExport(std::vector<std::string> uris, const QString& folder) {
    ++runningJobs_;
    QPointer<CVMinimalBusyWindowController> busy =
        beginBusySheet(double(uris.size()), localizedString("Exporting…"));
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    cancelFlags_.push_back(cancelled);
    connect(busy, &CVMinimalBusyWindowController::cancelRequested, this,
            [cancelled] { *cancelled = true; });
    QPointer<LLLibraryWindow> self(this);
    exportThread_ =
        std::thread([self, busy, cancelled, document = document_, uris = std::move(uris), folder] {
            library::LLExportSummary summary;
            platform::Error error;
            // The worker reads the records through a connection of its own.
            auto context = document->newPrivateChildContext(&error);
            if (!context) {
                summary.failures = 1;
                summary.problems.push_back(error.localizedDescription);
            } else {
                library::LLExportOptions options;
                options.cancelled = [cancelled] { return cancelled->load(); };
                summary = library::exportURIStrings(
                    *context, uris, folder.toStdString(),
                    [self, busy](std::size_t done, std::size_t) {
                        QMetaObject::invokeMethod(qApp, [self, busy, done] {
                            if (self && busy) busy->setCurrentProgress(double(done));
                        });
                    },
                    options);
            }
            QMetaObject::invokeMethod(qApp, [self, busy, cancelled, summary, folder] {
                if (busy) busy->endSheet();
                if (!self) return;
                self->waitForExport();
                --self->runningJobs_;
                std::erase(self->cancelFlags_, cancelled);
                self->updateActions();
                if (!summary.problems.empty() && !self->closed_) {
                    QMessageBox box(self);
                    box.setWindowModality(Qt::WindowModal);
                    box.setIcon(QMessageBox::Warning);
                    box.setText(localizedString("Some invoices could not be exported."));
                    QString details;
                    for (const auto& problem : summary.problems)
                        details += QString::fromStdString(problem) + "\n";
                    box.setDetailedText(details);
                    box.addButton(localizedString("OK"), QMessageBox::AcceptRole);
                    box.open();
                }
                emit self->exportFinished(folder, int(summary.filesWritten), int(summary.failures));
            });
        });
    updateActions();
}

void LLLibraryWindow::waitForExport() {
    if (exportThread_.joinable() && exportThread_.get_id() != std::this_thread::get_id())
        exportThread_.join();
}

void LLLibraryWindow::cancelJobs() {
    for (const auto& flag : cancelFlags_) *flag = true;
}

// --- commands

void LLLibraryWindow::copySelection() {
    if (search_->hasFocus() && search_->hasSelectedText()) {
        search_->copy();
        return;
    }
    table_->copy();
}

void LLLibraryWindow::deleteSelection() {
    if (search_->hasFocus()) {
        search_->del();
        return;
    }
    auto records = table_->selectedRecords();
    if (records.empty()) return;
    // The row after the deleted ones takes the selection.
    const int next = int(table_->selectedRowNumbers().front());
    auto& context = document_->managedObjectContext();
    auto& undo = document_->undoManager();
    std::vector<std::string> failed;
    undo.beginUndoGrouping();
    for (const auto& record : records) {
        platform::Error error;
        if (!context.deleteObject(record, &error)) failed.push_back(error.localizedDescription);
    }
    undo.endUndoGrouping();
    table_->clearSelection();
    reloadContent();
    if (content_->rowCount() > 0) table_->selectRow(std::min(next, content_->rowCount() - 1));
    if (!failed.empty())
        runAlert(this, {library::LLAlert::Style::Warning,
                        localizedString("The invoices could not be deleted.").toStdString(),
                        failed.front(),
                        {}});
}

void LLLibraryWindow::undo() {
    document_->undoManager().undo();
    reloadContent();
}

void LLLibraryWindow::redo() {
    document_->undoManager().redo();
    reloadContent();
}

void LLLibraryWindow::validateSelection() {
    auto records = table_->selectedRecords();
    if (records.empty()) return;
    auto record = records.front();
    if (!validator_) validator_ = document_->newValidator();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto answer = document_->showValidation(*record, validator_.get());
    QApplication::restoreOverrideCursor();
    // The dot shows the new code.
    const int row = content_->rowForURIString(record->uriString());
    if (row >= 0) emit content_->dataChanged(content_->index(row, 0), content_->index(row, 0));
    if (answer.storeError)
        statusBar()->showMessage(localizedFormat("The new result could not be stored: %1",
                                                 {QString::fromStdString(*answer.storeError)}));
    if (answer.alert) {
        runAlert(this, *answer.alert);
        return;
    }
    emit validationResultReady(document_, record, answer.result);
    emit validationSheetRequested(document_, record);
}

bool LLLibraryWindow::saveDocument() {
    if (!document_->fileURL()) return saveDocumentAs();
    platform::Error error;
    if (document_->save(&error)) return true;
    QMessageBox::warning(this, localizedString("Save"),
                         QString::fromStdString(error.localizedDescription));
    return false;
}

bool LLLibraryWindow::saveDocumentAs() {
    const QString path = chooseSavePath ? chooseSavePath() : QString();
    if (path.isEmpty()) return false;
    platform::Error error;
    if (!document_->saveAs(path.toStdString(), &error)) {
        QMessageBox::warning(this, localizedString("Save As"),
                             QString::fromStdString(error.localizedDescription));
        return false;
    }
    LLRecentDocuments().noteDocument(path);
    updateTitle();
    return true;
}

bool LLLibraryWindow::confirmClose() {
    if (document_->isClosed()) return true;
    using Decision = library::LLDocument::CloseDecision;
    if (document_->saveNewFile() != Decision::AskUnsavedChanges) return true;
    const library::LLAlert alert = library::LLDocument::unsavedChangesAlert();
    QMessageBox box(this);
    box.setObjectName("unsavedChangesAlert");
    box.setWindowModality(Qt::WindowModal);
    box.setIcon(QMessageBox::Warning);
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    QPushButton* keep =
        box.addButton(QString::fromStdString(alert.buttons.at(0)), QMessageBox::AcceptRole);
    QPushButton* discard =
        box.addButton(QString::fromStdString(alert.buttons.at(1)), QMessageBox::DestructiveRole);
    // Escape keeps the window open rather than deleting the invoices.
    QPushButton* cancel = box.addButton(localizedString("Cancel"), QMessageBox::RejectRole);
    keep->setObjectName("keep");
    discard->setObjectName("delete");
    cancel->setObjectName("cancel");
    box.setDefaultButton(keep);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == keep) return saveDocumentAs();
    return box.clickedButton() == discard;
}

void LLLibraryWindow::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    if (!confirmClose()) {
        event->ignore();
        return;
    }
    closed_ = true;
    cancelJobs();
    waitForExport();
    // Running imports end at their next file; closing waits for them.
    document_->close();
    emit documentClosed(this);
    event->accept();
}

}  // namespace shell
