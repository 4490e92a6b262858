#include "ruleweave-ui/RWValidationResultWindowController.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "Localized.h"
#include "ruleweave-ui/RWStatusIcon.h"
#include "ruleweave-ui/RWXMLTextView.h"

namespace ruleweave::ui {
namespace {

constexpr int kTopRole = Qt::UserRole + 1;    // index of the finding row in items()
constexpr int kChildRole = Qt::UserRole + 2;  // index of the detail row, -1 for a finding row

QString summaryText(const RWValidationResult& result) {
    const size_t errors = result.errors.size(), warnings = result.warningCount();
    QString text = errors == 0 && warnings == 0
                       ? localized("Document is valid - No issues found")
                       : localized("Found %1 error(s) and %2 warning(s)").arg(errors).arg(warnings);
    if (size_t infos = result.informationCount())
        text += QStringLiteral(" · ") + localized("%1 information finding(s)").arg(infos);
    return text;
}

QString ruleSetsText(const RWValidationResult& result) {
    QStringList names;
    for (const auto& set : result.ruleSets) names << ruleSetLabel(set);
    if (names.isEmpty() && result.schemaFiles)
        for (const auto& file : *result.schemaFiles)
            names << QString::fromStdString(std::filesystem::path(file).filename().string());
    QString text = names.isEmpty()
                       ? QString()
                       : localized("Rule sets: %1").arg(names.join(QStringLiteral(", ")));
    if (result.profile && result.profileMatch != std::optional<std::string>("unknown"))
        text += QStringLiteral(" · ") +
                localized("Profile: %1").arg(QString::fromStdString(*result.profile));
    return text;
}

// Rule sets whose expressions the engine could not evaluate: their verdict is not complete,
// and the person reading the sheet must know it.
QString notesText(const RWValidationResult& result) {
    QStringList lines;
    for (const auto& problem : result.engineProblems)
        lines << localized(
                     "%1: %2 expression(s) could not be evaluated; the verdict of this rule "
                     "set is incomplete.")
                     .arg(QString::fromStdString(problem.ruleSet))
                     .arg(problem.count);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

RWValidationResultWindowController::RWValidationResultWindowController(QWidget* parent)
    : QDialog(parent) {
    resize(900, 720);
    auto* layout = new QVBoxLayout(this);

    summary_ = new QLabel(this);
    QFont summaryFont = summary_->font();
    summaryFont.setPointSizeF(summaryFont.pointSizeF() * 1.15);
    summaryFont.setWeight(QFont::DemiBold);
    summary_->setFont(summaryFont);
    schemas_ = new QLabel(this);
    schemas_->setWordWrap(true);
    schemas_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notes_ = new QLabel(this);
    notes_->setWordWrap(true);
    notes_->setStyleSheet(QStringLiteral("color: #c93400;"));
    notes_->hide();
    layout->addWidget(summary_);
    layout->addWidget(schemas_);
    layout->addWidget(notes_);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    outline_ = new QTreeWidget(splitter);
    outline_->setHeaderHidden(true);
    outline_->setColumnCount(1);
    outline_->setAlternatingRowColors(true);
    outline_->setIndentation(20);
    outline_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    outline_->setWordWrap(true);
    outline_->setUniformRowHeights(false);
    outline_->setTextElideMode(Qt::ElideMiddle);
    outline_->setIconSize(QSize(10, 10));
    outline_->header()->setSectionResizeMode(QHeaderView::Stretch);

    xmlPane_ = new QWidget(splitter);
    auto* xmlLayout = new QVBoxLayout(xmlPane_);
    xmlLayout->setContentsMargins(0, 0, 0, 0);
    lineLabel_ = new QLabel(xmlPane_);
    xmlView_ = new RWXMLTextView(xmlPane_);
    xmlLayout->addWidget(lineLabel_);
    xmlLayout->addWidget(xmlView_);
    xmlPane_->hide();
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    auto* buttons = new QHBoxLayout;
    copyButton_ = new QPushButton(localized("Copy"), this);
    copyButton_->setEnabled(false);
    closeButton_ = new QPushButton(localized("Close"), this);
    closeButton_->setDefault(true);
    buttons->addWidget(copyButton_);
    buttons->addStretch(1);
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);

    auto* copyAction = new QAction(localized("Copy"), outline_);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    outline_->addAction(copyAction);
    outline_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copyAction, &QAction::triggered, this, [this] { copySelection(); });
    connect(copyButton_, &QPushButton::clicked, this, [this] { copySelection(); });
    connect(closeButton_, &QPushButton::clicked, this, [this] { done(1); });
    connect(outline_, &QTreeWidget::itemSelectionChanged, this, [this, copyAction] {
        const bool any = !outline_->selectedItems().isEmpty();
        copyButton_->setEnabled(any);
        copyAction->setEnabled(any);
        selectionChanged();
    });
    copyAction->setEnabled(false);
    outline_->setFocus();
}

RWValidationResultWindowController::RWValidationResultWindowController(
    const RWValidationResult& result, const std::string& xml, const QString& fileName,
    QWidget* parent)
    : RWValidationResultWindowController(parent) {
    setXML(xml);
    displayResult(result, fileName);
}

RWValidationResultWindowController::~RWValidationResultWindowController() = default;

RWValidationResultWindowController* RWValidationResultWindowController::openSheet(
    const RWValidationResult& result, const std::string& xml, const QString& fileName,
    QWidget* parent) {
    auto* sheet = new RWValidationResultWindowController(result, xml, fileName, parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->showSheet();
    return sheet;
}

void RWValidationResultWindowController::displayResult(const RWValidationResult& result,
                                                       const QString& fileName) {
    result_ = result;
    setWindowTitle(localized("Validation Results: %1").arg(fileName));
    summary_->setText(summaryText(result_));
    schemas_->setText(ruleSetsText(result_));
    schemas_->setVisible(!schemas_->text().isEmpty());
    notes_->setText(notesText(result_));
    notes_->setVisible(!notes_->text().isEmpty());
    items_ = validationItemsForResult(result_);
    buildOutline();
}

void RWValidationResultWindowController::setXML(const std::string& xml) {
    xmlView_->setXML(xml);
    xmlPane_->setVisible(xmlView_->hasXML());
    lineLabel_->clear();
}

void RWValidationResultWindowController::showSheet() {
    setWindowModality(parentWidget() ? Qt::WindowModal : Qt::NonModal);
    show();
    raise();
    activateWindow();
}

void RWValidationResultWindowController::buildOutline() {
    outline_->clear();
    QFont titleFont = outline_->font();
    titleFont.setWeight(QFont::Medium);
    QFont detailFont = outline_->font();
    detailFont.setPointSizeF(detailFont.pointSizeF() * 11.0 / 13.0);
    const QColor secondary = outline_->palette().color(QPalette::PlaceholderText);
    for (size_t i = 0; i < items_.size(); ++i) {
        const RWValidationItem& item = items_[i];
        auto* row = new QTreeWidgetItem(outline_, QStringList{item.title});
        row->setData(0, kTopRole, int(i));
        row->setData(0, kChildRole, -1);
        row->setFont(0, titleFont);
        row->setToolTip(0, item.title);
        if (item.status) row->setIcon(0, statusIconForStatus(*item.status));
        for (size_t c = 0; c < item.children.size(); ++c) {
            const RWValidationItem& child = item.children[c];
            QString text =
                child.value ? QStringLiteral("%1: %2").arg(child.title, *child.value) : child.title;
            auto* detail = new QTreeWidgetItem(row, QStringList{text});
            detail->setData(0, kTopRole, int(i));
            detail->setData(0, kChildRole, int(c));
            detail->setFont(0, detailFont);
            detail->setForeground(0, secondary);
            detail->setToolTip(0, text);
        }
    }
    copyButton_->setEnabled(false);
}

const RWValidationItem* RWValidationResultWindowController::itemFor(
    const QTreeWidgetItem* row) const {
    if (!row) return nullptr;
    int top = row->data(0, kTopRole).toInt(), child = row->data(0, kChildRole).toInt();
    if (top < 0 || size_t(top) >= items_.size()) return nullptr;
    const RWValidationItem& item = items_[size_t(top)];
    if (child < 0) return &item;
    return size_t(child) < item.children.size() ? &item.children[size_t(child)] : nullptr;
}

void RWValidationResultWindowController::selectionChanged() {
    QTreeWidgetItem* row = outline_->currentItem();
    // Only finding rows point into the document; a detail row leaves the mark where it is.
    if (!row || !row->isSelected() || row->parent()) return;
    const RWValidationItem* item = itemFor(row);
    if (!item || !item->error) return;
    if (xmlView_->highlightFinding(*item->error))
        lineLabel_->setText(localized("Line %1").arg(xmlView_->highlightedSpan()->line));
    else
        lineLabel_->clear();
}

bool RWValidationResultWindowController::copySelection() {
    QStringList parts;
    for (int i = 0; i < outline_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = outline_->topLevelItem(i);
        if (row->isSelected())
            if (const RWValidationItem* item = itemFor(row)) parts << copyTextForItem(*item);
        for (int c = 0; c < row->childCount(); ++c)
            if (row->child(c)->isSelected())
                if (const RWValidationItem* item = itemFor(row->child(c)))
                    parts << copyTextForItem(*item);
    }
    if (parts.isEmpty()) return false;
    QGuiApplication::clipboard()->setText(parts.join(QLatin1Char('\n')));
    return true;
}

}  // namespace ruleweave::ui
