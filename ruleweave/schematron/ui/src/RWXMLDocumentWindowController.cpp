#include "ruleweave-ui/RWXMLDocumentWindowController.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "Localized.h"
#include "platform/FileData.h"
#include "platform/Resources.h"
#include "ruleweave-ui/RWStatusIcon.h"
#include "ruleweave-ui/RWValidationResultWindowController.h"
#include "ruleweave-ui/RWXMLTextView.h"
#include "ruleweave/RWSchematronValidator.h"

namespace fs = std::filesystem;

namespace ruleweave::ui {
namespace {

// Real invoices are far smaller; larger files are refused before they are read.
constexpr std::uintmax_t kInputLimit = std::uintmax_t(256) << 20;

constexpr const char* kSchemaDetection = "Schema Detection";

// The result shown when no rule set could be run: one information finding that says why.
RWValidationResult detectionResult(const QString& reason) {
    RWValidationError finding;
    finding.type = "info";
    finding.role = "information";
    finding.message = reason.toStdString();
    finding.location = "/";
    finding.schemaTitle = kSchemaDetection;
    RWValidationResult result;
    result.warnings.push_back(std::move(finding));
    return result;
}

bool isDetectionResult(const RWValidationResult& result) {
    return result.errors.empty() && result.warnings.size() == 1 &&
           result.warnings.front().schemaTitle == std::optional<std::string>(kSchemaDetection);
}

}  // namespace

QString describeOpenError(RWDocumentOpenError error) {
    switch (error) {
        case RWDocumentOpenError::NoSuchFile:
            return localized("The file does not exist.");
        case RWDocumentOpenError::NotAFile:
            return localized("This is not a regular file.");
        case RWDocumentOpenError::TooLarge:
            return localized("The file is too large to be an invoice.");
        case RWDocumentOpenError::PDF:
            return localized("This is a PDF file, not XML.");
        case RWDocumentOpenError::Unreadable:
            break;
    }
    return localized("The file cannot be read.");
}

RWXMLDocumentWindowController::RWXMLDocumentWindowController(QWidget* parent)
    : QMainWindow(parent) {
    // Each new window stands a little below and right of the one before.
    static int opened = 0;
    const int offset = 40 * (opened++ % 10);
    resize(1200, 820);
    move(60 + offset, 60 + offset);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    auto* placeholder = new QLabel(localized("No preview available"), splitter_);
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setEnabled(false);
    preview_ = placeholder;
    xmlView_ = new RWXMLTextView(splitter_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);

    // The status sits at the trailing end of the bar under the title.
    auto* bar = new QToolBar(this);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->toggleViewAction()->setVisible(false);
    // One widget filling the bar, so the button keeps its whole text beside the stretch.
    auto* strip = new QWidget(bar);
    strip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(6, 0, 4, 0);
    titleLabel_ = new QLabel(strip);
    QFont titleFont = titleLabel_->font();
    titleFont.setWeight(QFont::DemiBold);
    titleLabel_->setFont(titleFont);
    titleLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stripLayout->addWidget(titleLabel_);
    stripLayout->addStretch(1);
    statusButton_ = new QToolButton(strip);
    statusButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    statusButton_->setAutoRaise(true);
    statusButton_->setIconSize(QSize(10, 10));
    statusButton_->setToolTip(localized("Show Validation Results"));
    stripLayout->addWidget(statusButton_);
    bar->addWidget(strip);
    addToolBar(Qt::TopToolBarArea, bar);
    connect(statusButton_, &QToolButton::clicked, this,
            &RWXMLDocumentWindowController::showValidationSheet);
    updateStatusButton(0, false);
}

RWXMLDocumentWindowController::~RWXMLDocumentWindowController() = default;

void RWXMLDocumentWindowController::setPreviewWidget(QWidget* widget) {
    if (!widget || widget == preview_) return;
    QWidget* old = splitter_->replaceWidget(splitter_->indexOf(preview_), widget);
    if (old) old->deleteLater();
    preview_ = widget;
}

void RWXMLDocumentWindowController::setRulesDirectory(fs::path directory) {
    rulesDirectory_ = std::move(directory);
    validator_.reset();
}

RWSchematronValidator& RWXMLDocumentWindowController::ownValidator() {
    if (!validator_) {
        validator_ = std::make_unique<RWSchematronValidator>();
        fs::path rules = rulesDirectory_
                             ? *rulesDirectory_
                             : platform::resourceDirectory().value_or(fs::path()) / "rules";
        std::error_code ec;
        if (fs::is_directory(rules, ec)) validator_->addSchemaDirectory(rules);
    }
    return *validator_;
}

std::optional<RWDocumentOpenError> RWXMLDocumentWindowController::openFile(const QString& path) {
    // The file system's own bytes, whatever the name's characters.
    const fs::path file = QFile::encodeName(path).toStdString();
    std::error_code ec;
    auto status = fs::status(file, ec);
    if (ec || !fs::exists(status)) return RWDocumentOpenError::NoSuchFile;
    // Devices and pipes are never read: they may not end.
    if (!fs::is_regular_file(status)) return RWDocumentOpenError::NotAFile;
    platform::Error error;
    auto bytes = platform::readFileData(file, &error, kInputLimit);
    if (!bytes)
        return error.code == 2 ? RWDocumentOpenError::TooLarge : RWDocumentOpenError::Unreadable;
    if (bytes->substr(0, 1024).find("%PDF-") != std::string::npos) return RWDocumentOpenError::PDF;
    showXML(*bytes, QFileInfo(path).fileName());
    return std::nullopt;
}

void RWXMLDocumentWindowController::showXML(const std::string& xml, const QString& fileName) {
    performValidation(ownValidator(), xml, fileName);
}

void RWXMLDocumentWindowController::performValidation(RWSchematronValidator& validator,
                                                      const std::string& xml,
                                                      const QString& fileName) {
    setWindowTitle(fileName);
    titleLabel_->setText(fileName);
    xmlView_->setXML(xml);

    platform::Error error;
    std::optional<RWValidationResult> result;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result = validator.validateXMLWithAutoDetection(xml, &error);
        QApplication::restoreOverrideCursor();
    }
    if (!result) {
        const bool noRules = error.domain == kRuleweaveErrorDomain && error.code == 404;
        QString reason = noRules || error.localizedDescription.empty()
                             ? localized("No validation schemas found for this document type")
                             : QString::fromStdString(error.localizedDescription);
        result = detectionResult(reason);
    }
    result_ = std::move(result);

    if (!sheet_) sheet_ = new RWValidationResultWindowController(this);
    sheet_->setXML(xml);
    sheet_->displayResult(*result_, fileName);

    sheetPending_ = false;
    if (isDetectionResult(*result_)) {
        status_ = 0;
        updateStatusButton(0, true);
        return;
    }
    status_ = result_->status();
    updateStatusButton(status_, true);
    // Information findings alone do not interrupt; errors and warnings are shown at once.
    if (status_ >= 2) showValidationSheet();
}

void RWXMLDocumentWindowController::updateStatusButton(int status, bool enabled) {
    statusButton_->setIcon(statusIconForStatus(status));
    QString text;
    if (status == 1)
        text = localized("Valid");
    else if (status >= 2 && result_)
        text = localized("%1 error(s), %2 warning(s)")
                   .arg(result_->errors.size())
                   .arg(result_->warningCount());
    else
        text = localized("Not validated");
    statusButton_->setText(text);
    statusButton_->setEnabled(enabled);
}

void RWXMLDocumentWindowController::showValidationSheet() {
    if (!sheet_) return;
    // A sheet belongs over its window: before the window is shown it waits for it.
    if (!isVisible()) {
        sheetPending_ = true;
        return;
    }
    sheetPending_ = false;
    sheet_->showSheet();
}

void RWXMLDocumentWindowController::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (sheetPending_)
        QTimer::singleShot(0, this, &RWXMLDocumentWindowController::showValidationSheet);
}

}  // namespace ruleweave::ui
