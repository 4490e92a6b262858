#include "shell/LLContentTableView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "library/LLCopyColumn.h"
#include "library/LLManagedObject.h"
#include "shell/LLContentArrayController.h"

namespace shell {

LLContentTableView::LLContentTableView(QWidget* parent) : QTableView(parent) {
    setObjectName("LLContentTableView");
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(true);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setAlternatingRowColors(true);
    setShowGrid(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(22);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSortIndicatorShown(true);
}

void LLContentTableView::setContentController(LLContentArrayController* controller) {
    controller_ = controller;
    setModel(controller);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    horizontalHeader()->resizeSection(0, 24);
    // Seller, number, issued, due, currency, net, gross: wide enough for their usual texts.
    const int widths[] = {220, 120, 100, 100, 70, 100, 100};
    for (int column = 1; column < controller->columnCount() && column <= 7; ++column)
        horizontalHeader()->resizeSection(column, widths[column - 1]);
    horizontalHeader()->setStretchLastSection(true);
    // Nothing sorted until the user asks: the library's order.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

std::vector<std::size_t> LLContentTableView::selectedRowNumbers() const {
    std::vector<std::size_t> rows;
    if (!selectionModel()) return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::shared_ptr<library::LLInvoiceRecord>> LLContentTableView::selectedRecords() const {
    std::vector<std::shared_ptr<library::LLInvoiceRecord>> records;
    if (!controller_) return records;
    for (std::size_t row : selectedRowNumbers())
        if (auto record = controller_->recordAtRow(int(row))) records.push_back(record);
    return records;
}

void LLContentTableView::selectURIStrings(const std::vector<std::string>& uris) {
    if (!controller_ || !selectionModel()) return;
    std::vector<int> rows;
    for (const auto& uri : uris)
        if (const int row = controller_->rowForURIString(uri); row >= 0) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // One range per run of rows: selecting a whole library stays one range.
    QItemSelection selection;
    const int lastColumn = controller_->columnCount() - 1;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1) ++end;
        selection.select(controller_->index(rows[i], 0), controller_->index(rows[end], lastColumn));
        i = end + 1;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty()) {
        selectionModel()->setCurrentIndex(controller_->index(rows.front(), 1),
                                          QItemSelectionModel::NoUpdate);
        scrollTo(controller_->index(rows.front(), 1));
    }
}

void LLContentTableView::copy() {
    if (!controller_) return;
    const std::string text = library::copyTextUsingInstructions(
        controller_->arrangedObjects(), selectedRowNumbers(), controller_->copyInstructions());
    QApplication::clipboard()->setText(QString::fromStdString(text));
}

void LLContentTableView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        emit deleteRequested();
        return;
    }
    QTableView::keyPressEvent(event);
}

void LLContentTableView::mousePressEvent(QMouseEvent* event) {
    pressPosition_ = event->position().toPoint();
    QTableView::mousePressEvent(event);
}

void LLContentTableView::mouseMoveEvent(QMouseEvent* event) {
    // Dragging down a column selects rows; only a sideways pull takes the rows out.
    const QPoint delta = event->position().toPoint() - pressPosition_;
    const bool vertical = std::abs(delta.y()) > std::abs(delta.x());
    if (vertical && dragEnabled()) {
        setDragEnabled(false);
        QTableView::mouseMoveEvent(event);
        setDragEnabled(true);
        return;
    }
    QTableView::mouseMoveEvent(event);
}

}  // namespace shell
