#include "shell/LLSourceListModel.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include "library/LLInvoicesToLLSourceItemTransformer.h"

namespace shell {

using library::LLSourceTreeNode;

LLSourceListModel::LLSourceListModel(QObject* parent) : QAbstractItemModel(parent) {
    controller_.setSelectionObserver(
        [this](const std::vector<std::shared_ptr<library::LLSourceItem>>& selected) {
            emit selectionChanged(selected);
        });
}

void LLSourceListModel::attachView(QTreeView* view) {
    view_ = view;
    view->setModel(this);
    view->setHeaderHidden(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    controller_.setInWindow(true);
    connect(view, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (syncing_) return;
        controller_.expandItem(nodeForIndex(index));
    });
    connect(view, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (syncing_) return;
        controller_.collapseItem(nodeForIndex(index));
    });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { viewSelectionChanged(); });
}

void LLSourceListModel::setRecords(
    const std::vector<std::shared_ptr<library::LLInvoiceRecord>>& records) {
    library::LLInvoicesToLLSourceItemTransformer transformer;
    beginResetModel();
    syncing_ = true;
    controller_.setContent(transformer.transformedValue(records));
    // A window whose saved state expands nothing shows the years of "All" once it has some;
    // a later collapse in this window stays.
    const auto& top = controller_.arrangedObjects().childNodes();
    if (!openedAll_ && !top.empty() && !top.front()->isLeaf()) {
        openedAll_ = true;
        if (controller_.expandedUIDs().empty()) controller_.expandItem(top.front().get());
    }
    syncing_ = false;
    endResetModel();
    showControllerState();
}

void LLSourceListModel::selectFirstItem() {
    controller_.setSelectionIndexPaths({{0}});
    showControllerState();
}

void LLSourceListModel::showControllerState() {
    if (!view_) return;
    syncing_ = true;
    for (const LLSourceTreeNode* node : controller_.visibleRows())
        if (controller_.isItemExpanded(node)) view_->expand(indexForNode(node));
    QItemSelection selection;
    for (const LLSourceTreeNode* node : controller_.selectedNodes()) {
        QModelIndex index = indexForNode(node);
        if (index.isValid()) selection.select(index, index);
    }
    view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selection.isEmpty())
        view_->selectionModel()->setCurrentIndex(selection.indexes().front(),
                                                 QItemSelectionModel::NoUpdate);
    syncing_ = false;
}

void LLSourceListModel::viewSelectionChanged() {
    if (syncing_ || !view_) return;
    std::vector<library::LLIndexPath> paths;
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return nodeForIndex(a)->indexPath() < nodeForIndex(b)->indexPath();
    });
    for (const QModelIndex& index : rows)
        if (const LLSourceTreeNode* node = nodeForIndex(index)) paths.push_back(node->indexPath());
    controller_.setSelectionIndexPaths(paths);
}

const LLSourceTreeNode* LLSourceListModel::nodeForIndex(const QModelIndex& index) const {
    if (!index.isValid()) return &controller_.arrangedObjects();
    return static_cast<const LLSourceTreeNode*>(index.internalPointer());
}

QModelIndex LLSourceListModel::indexForNode(const LLSourceTreeNode* node) const {
    if (!node || !node->parentNode()) return {};
    return createIndex(int(node->indexPath().back()), 0, const_cast<LLSourceTreeNode*>(node));
}

QModelIndex LLSourceListModel::index(int row, int column, const QModelIndex& parent) const {
    const LLSourceTreeNode* node = nodeForIndex(parent);
    if (!node || column != 0 || row < 0 || row >= int(node->count())) return {};
    return createIndex(row, 0, const_cast<LLSourceTreeNode*>(node->childNodes()[row].get()));
}

QModelIndex LLSourceListModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    return indexForNode(nodeForIndex(child)->parentNode());
}

int LLSourceListModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    const LLSourceTreeNode* node = nodeForIndex(parent);
    return node ? int(node->count()) : 0;
}

int LLSourceListModel::columnCount(const QModelIndex&) const { return 1; }

QVariant LLSourceListModel::data(const QModelIndex& index, int role) const {
    const LLSourceTreeNode* node = nodeForIndex(index);
    if (!index.isValid() || !node || !node->representedObject()) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(node->representedObject()->name);
    if (role == Qt::UserRole) return QString::fromStdString(node->representedObject()->uid);
    return {};
}

}  // namespace shell
