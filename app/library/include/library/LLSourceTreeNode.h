#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/LLSourceItem.h"

namespace library {

using LLIndexPath = std::vector<std::size_t>;

// A node of the source tree as a tree controller arranges it: the item it represents, its
// parent and its position. The root represents nothing and has the empty index path.
// Searches are depth-first, the node before its children, first match wins.
class LLSourceTreeNode {
  public:
    // The root over the top-level items, with a node for every item below them ("items").
    static std::unique_ptr<LLSourceTreeNode> makeTree(
        const std::vector<std::shared_ptr<LLSourceItem>>& content);

    const std::shared_ptr<LLSourceItem>& representedObject() const { return object_; }
    const LLSourceTreeNode* parentNode() const { return parent_; }
    const LLIndexPath& indexPath() const { return indexPath_; }
    const std::vector<std::unique_ptr<LLSourceTreeNode>>& childNodes() const { return children_; }
    std::size_t count() const { return children_.size(); }
    bool isLeaf() const { return children_.empty(); }

    const LLSourceTreeNode* nodeAtPath(const LLIndexPath& path) const;
    // By identity of the represented object.
    const LLSourceTreeNode* nodeForObject(const LLSourceItem* object) const;
    // None finds nothing.
    const LLSourceTreeNode* nodeForUID(const std::optional<std::string>& uid) const;
    // The node whose item's value for `key` ("name", "uid") equals `value`.
    const LLSourceTreeNode* nodeForValueInKey(std::string_view value, std::string_view key) const;
    // True when `node` is among this node's ancestors.
    bool isDecendantOfNode(const LLSourceTreeNode* node) const;

  private:
    LLSourceTreeNode() = default;
    template <class Match>
    const LLSourceTreeNode* find(const Match& match) const;
    void addChildren(const std::vector<std::shared_ptr<LLSourceItem>>& items);

    std::shared_ptr<LLSourceItem> object_;
    const LLSourceTreeNode* parent_ = nullptr;
    LLIndexPath indexPath_;
    std::vector<std::unique_ptr<LLSourceTreeNode>> children_;
};

}  // namespace library
