#pragma once

#include <QAbstractItemModel>
#include <memory>
#include <vector>

#include "library/LLSourceTreeController.h"

class QTreeView;

namespace library {
class LLInvoiceRecord;
}

namespace shell {

// The source list (All, years, months) as a Qt model over LLSourceTreeController, and the glue
// that keeps a tree view's expansion and selection in step with the controller, which saves
// them by uid in the user's settings.
class LLSourceListModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    explicit LLSourceListModel(QObject* parent = nullptr);

    library::LLSourceTreeController& controller() { return controller_; }
    // Connects the view: user changes go to the controller, the controller's state to the view.
    void attachView(QTreeView* view);
    // Rebuilds the groups from the library's records, restoring expansion and selection.
    void setRecords(const std::vector<std::shared_ptr<library::LLInvoiceRecord>>& records);
    // Selects the first top-level item ("All").
    void selectFirstItem();
    QModelIndex indexForNode(const library::LLSourceTreeNode* node) const;
    const library::LLSourceTreeNode* nodeForIndex(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  signals:
    // The selected groups changed (also after a rebuild).
    void selectionChanged(const std::vector<std::shared_ptr<library::LLSourceItem>>& selected);

  private:
    void showControllerState();
    void viewSelectionChanged();

    library::LLSourceTreeController controller_;
    QTreeView* view_ = nullptr;
    bool syncing_ = false;
    bool openedAll_ = false;
};

}  // namespace shell
