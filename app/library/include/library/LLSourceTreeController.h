#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "library/LLSourceItem.h"
#include "library/LLSourceTreeNode.h"
#include "platform/Settings.h"

namespace library {

// The source list's tree state without the view: the arranged nodes, which of them are
// expanded and selected, and the "SourceViewState" entry in the user's settings that carries
// expansion and selection across rebuilds of the tree and across launches (by uid).
//
// The view drives it: expandItem()/collapseItem()/setSelectionIndexPaths() for user actions,
// visibleRows() to draw. Every change of expansion or selection saves the state, except while
// content is replaced or state restored. Use it from the thread that made it; setContent()
// from any other thread is ignored.
class LLSourceTreeController {
  public:
    // The settings group and its two keys, each an INI string list ("all, 2024, 2024-7") as
    // QSettings writes a QStringList.
    static constexpr const char* kStateKey = "SourceViewState";
    static constexpr const char* kSelectedKey = "SourceViewState/selected";
    static constexpr const char* kExpandedKey = "SourceViewState/expanded";

    explicit LLSourceTreeController(platform::Settings settings = platform::Settings());

    // --- content
    // Replaces the tree, restores the saved state and selects the first top-level item ("All")
    // when nothing ends up selected.
    void setContent(std::vector<std::shared_ptr<LLSourceItem>> content);
    const std::vector<std::shared_ptr<LLSourceItem>>& content() const { return content_; }
    // The root node over the content.
    const LLSourceTreeNode& arrangedObjects() const { return *root_; }
    // The represented object at `path`; none when there is no node there.
    std::shared_ptr<LLSourceItem> objectAtPath(const LLIndexPath& path) const;
    bool restoring() const { return restoring_; }

    // The view is in a window; state is saved only then.
    bool isInWindow() const { return inWindow_; }
    void setInWindow(bool value) { inWindow_ = value; }

    // --- saved state
    void saveState();
    void restoreState();
    const platform::Settings& settings() const { return settings_; }

    // --- selection
    // Selected nodes in row order.
    std::vector<const LLSourceTreeNode*> selectedNodes() const;
    std::vector<std::shared_ptr<LLSourceItem>> selectedObjects() const;
    std::vector<LLIndexPath> selectionIndexPaths() const;
    // Selects the nodes at the paths that exist (a user's click or a program's choice).
    void setSelectionIndexPaths(const std::vector<LLIndexPath>& paths);
    void setSelectedObjects(const std::vector<std::shared_ptr<LLSourceItem>>& objects);
    // Leaves the selection unchanged when no uid has a node.
    void setSelectedObjectsWithUIDs(const std::vector<std::string>& uids);
    std::vector<std::string> selectedUIDs() const;
    // Selects exactly the nodes of the uids found (none found: nothing selected).
    void setSelectedUIDs(const std::vector<std::string>& uids);
    // Called with the selected items after every change of the selection (once at the end of
    // setContent()), so the invoice list can filter.
    void setSelectionObserver(
        std::function<void(const std::vector<std::shared_ptr<LLSourceItem>>&)> observer) {
        selectionObserver_ = std::move(observer);
    }

    // --- expansion
    bool isItemExpanded(const LLSourceTreeNode* node) const;
    // Only nodes with children expand.
    void expandItem(const LLSourceTreeNode* node);
    void collapseItem(const LLSourceTreeNode* node);
    // Rows from top to bottom: depth-first, a node shows when all its ancestors are expanded.
    std::vector<const LLSourceTreeNode*> visibleRows() const;
    // The uids of the expanded rows, in row order.
    std::vector<std::string> expandedUIDs() const;
    // Expands the node of each uid in list order.
    void setExpandedUIDs(const std::vector<std::string>& uids);

    // --- the view's notifications
    void outlineViewSelectionDidChange();
    void outlineViewItemDidExpand();
    void outlineViewItemDidCollapse();

  private:
    bool onOwnerThread() const { return std::this_thread::get_id() == owner_; }
    void selectNodes(std::vector<const LLSourceTreeNode*> nodes);

    platform::Settings settings_;
    std::thread::id owner_;
    std::vector<std::shared_ptr<LLSourceItem>> content_;
    std::unique_ptr<LLSourceTreeNode> root_;
    std::vector<const LLSourceTreeNode*> selection_;  // row order
    std::set<const LLSourceTreeNode*> expanded_;
    bool restoring_ = false;
    bool inWindow_ = false;
    std::function<void(const std::vector<std::shared_ptr<LLSourceItem>>&)> selectionObserver_;
};

// The settings' list form: QSettings' INI string list ("a, b, c"; an item with a comma or
// quote is quoted; the empty list is "@Invalid()"). Reading also takes an empty value as the
// empty list.
std::string iniStringList(const std::vector<std::string>& items);
std::vector<std::string> parseIniStringList(std::string_view text);

}  // namespace library
