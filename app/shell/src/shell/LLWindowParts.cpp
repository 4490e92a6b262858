#include "shell/LLWindowParts.h"

#include <QFileInfo>
#include <QMessageBox>

#include "library/LLDocument.h"
#include "library/LLImportErrorList.h"
#include "library/LLManagedObject.h"
#include "preview/LLContentViewController.h"
#include "preview/PreviewViewController.h"
#include "ruleweave-ui/RWValidationResultWindowController.h"
#include "ruleweave-ui/RWXMLDocumentWindowController.h"
#include "shell/LLAppDelegate.h"
#include "shell/LLLibraryWindow.h"
#include "shell/SFLocalize.h"

namespace shell {

void addWindowParts(LLLibraryWindow* window) {
    auto* pane = new preview::LLContentViewController;
    QObject::connect(window, &LLLibraryWindow::selectionChanged, pane,
                     &preview::LLContentViewController::setSelection);
    // Validate has the result already: the sheet shows it without validating again.
    QObject::connect(window, &LLLibraryWindow::validationResultReady, window,
                     [window](std::shared_ptr<library::LLDocument>,
                              std::shared_ptr<library::LLInvoiceRecord> record,
                              std::shared_ptr<ruleweave::RWValidationResult> result) {
                         if (!record || !result) return;
                         const QString name = record->name()
                                                  ? QString::fromStdString(*record->name())
                                                  : localizedString("Invoice");
                         ruleweave::ui::RWValidationResultWindowController::openSheet(
                             *result, record->xml().value_or(std::string()), name, window);
                     });
    // Last, so the pane receives the selection the window has now.
    window->setPreviewWidget(pane);
}

void connectWindowParts(LLAppDelegate& delegate) {
    QObject::connect(&delegate, &LLAppDelegate::windowCreated, &delegate, &addWindowParts);
    QObject::connect(
        &delegate, &LLAppDelegate::invoiceFileOpenRequested, &delegate,
        [&delegate](const QString& path) { openInvoiceFileWindow(path, delegate.frontWindow()); });
}

QWidget* openInvoiceFileWindow(const QString& path, QWidget* parent) {
    auto* preview = new preview::PreviewViewController;
    preview->preparePreviewOfFile(path);
    auto* window = new ruleweave::ui::RWXMLDocumentWindowController;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setPreviewWidget(preview);
    QString problem;
    if (preview->shows() == preview::PreviewViewController::Shows::PDF) {
        // A PDF: its invoice is the XML it carries.
        if (preview->invoiceXML().empty())
            problem = localizedString(library::kLLErrorNoXMLInPDF);
        else
            window->showXML(preview->invoiceXML(), QFileInfo(path).fileName());
    } else if (auto error = window->openFile(path)) {
        problem = ruleweave::ui::describeOpenError(*error);
    }
    if (!problem.isEmpty()) {
        QMessageBox::warning(parent, QFileInfo(path).fileName(), problem);
        delete window;
        return nullptr;
    }
    window->show();
    return window;
}

}  // namespace shell
