#include "library/LLSourceTreeNode.h"

#include <algorithm>

namespace library {

std::unique_ptr<LLSourceTreeNode> LLSourceTreeNode::makeTree(
    const std::vector<std::shared_ptr<LLSourceItem>>& content) {
    std::unique_ptr<LLSourceTreeNode> root(new LLSourceTreeNode);
    root->addChildren(content);
    return root;
}

void LLSourceTreeNode::addChildren(const std::vector<std::shared_ptr<LLSourceItem>>& items) {
    children_.reserve(items.size());
    for (const auto& item : items) {
        if (!item) continue;
        std::unique_ptr<LLSourceTreeNode> child(new LLSourceTreeNode);
        child->object_ = item;
        child->parent_ = this;
        child->indexPath_ = indexPath_;
        child->indexPath_.push_back(children_.size());
        child->addChildren(item->items);
        children_.push_back(std::move(child));
    }
}

template <class Match>
const LLSourceTreeNode* LLSourceTreeNode::find(const Match& match) const {
    if (match(*this)) return this;
    for (const auto& child : children_)
        if (const LLSourceTreeNode* found = child->find(match)) return found;
    return nullptr;
}

const LLSourceTreeNode* LLSourceTreeNode::nodeAtPath(const LLIndexPath& path) const {
    // Only this node's subtree can hold the path, and each index picks one child.
    if (path.size() < indexPath_.size() ||
        !std::equal(indexPath_.begin(), indexPath_.end(), path.begin()))
        return nullptr;
    const LLSourceTreeNode* node = this;
    for (std::size_t i = indexPath_.size(); i < path.size(); ++i) {
        if (path[i] >= node->children_.size()) return nullptr;
        node = node->children_[path[i]].get();
    }
    return node;
}

const LLSourceTreeNode* LLSourceTreeNode::nodeForObject(const LLSourceItem* object) const {
    if (!object) return nullptr;
    return find([object](const LLSourceTreeNode& node) { return node.object_.get() == object; });
}

const LLSourceTreeNode* LLSourceTreeNode::nodeForUID(const std::optional<std::string>& uid) const {
    if (!uid) return nullptr;
    return find(
        [&uid](const LLSourceTreeNode& node) { return node.object_ && node.object_->uid == *uid; });
}

const LLSourceTreeNode* LLSourceTreeNode::nodeForValueInKey(std::string_view value,
                                                            std::string_view key) const {
    return find([&](const LLSourceTreeNode& node) {
        if (!node.object_) return false;
        std::optional<std::string> own = node.object_->valueForKey(key);
        return own && *own == value;
    });
}

bool LLSourceTreeNode::isDecendantOfNode(const LLSourceTreeNode* node) const {
    if (!node) return false;
    for (const LLSourceTreeNode* up = parent_; up; up = up->parent_)
        if (up == node) return true;
    return false;
}

}  // namespace library
