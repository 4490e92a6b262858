#include "library/LLSourceTreeController.h"

#include <algorithm>

namespace library {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

bool needsQuotes(std::string_view item) {
    if (item.empty()) return false;
    if (isSpace(item.front()) || isSpace(item.back())) return true;
    for (char c : item)
        if (c == ',' || c == ';' || c == '=' || c == '"' || c == '\\' ||
            static_cast<unsigned char>(c) < 0x20)
            return true;
    return false;
}

std::string escapedItem(std::string_view item) {
    std::string out;
    // QSettings keeps a leading "@" for its type markers and doubles one that is text.
    if (!item.empty() && item.front() == '@') out += '@';
    if (!needsQuotes(item)) return out.append(item);
    out += '"';
    for (char c : item) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    out += '"';
    return out;
}

void appendEscape(char c, std::string& out) {
    switch (c) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        default:
            out += c;
    }
}

// The nodes in row order: a node's index path orders it among the rows.
bool rowOrder(const LLSourceTreeNode* a, const LLSourceTreeNode* b) {
    return a->indexPath() < b->indexPath();
}

}  // namespace

std::string iniStringList(const std::vector<std::string>& items) {
    if (items.empty()) return "@Invalid()";
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ", ";
        out += escapedItem(items[i]);
    }
    return out;
}

std::vector<std::string> parseIniStringList(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    if (text.empty() || text == "@Invalid()") return {};

    std::vector<std::string> items;
    std::string current;
    bool quoted = false;
    std::size_t keep = 0;  // length of `current` that trailing-space trimming must not cut
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            appendEscape(text[++i], current);
            keep = current.size();
        } else if (c == '"') {
            quoted = !quoted;
            keep = current.size();
        } else if (c == ',' && !quoted) {
            while (current.size() > keep && isSpace(current.back())) current.pop_back();
            items.push_back(std::move(current));
            current.clear();
            keep = 0;
            while (i + 1 < text.size() && isSpace(text[i + 1])) ++i;
        } else {
            current += c;
            if (quoted) keep = current.size();
        }
    }
    while (current.size() > keep && isSpace(current.back())) current.pop_back();
    items.push_back(std::move(current));
    for (std::string& item : items)
        if (item.starts_with("@@")) item.erase(0, 1);
    return items;
}

LLSourceTreeController::LLSourceTreeController(platform::Settings settings)
    : settings_(std::move(settings)),
      owner_(std::this_thread::get_id()),
      root_(LLSourceTreeNode::makeTree({})) {}

void LLSourceTreeController::setContent(std::vector<std::shared_ptr<LLSourceItem>> content) {
    if (!onOwnerThread()) return;
    bool wasRestoring = restoring_;
    restoring_ = true;
    // The old nodes go with the old tree: nothing stays selected or expanded.
    selection_.clear();
    expanded_.clear();
    content_ = std::move(content);
    root_ = LLSourceTreeNode::makeTree(content_);
    restoring_ = wasRestoring;

    auto observer = std::move(selectionObserver_);  // one notification for the whole change
    selectionObserver_ = nullptr;
    restoreState();
    if (selection_.empty() && !root_->childNodes().empty())
        setSelectionIndexPaths({root_->childNodes().front()->indexPath()});
    selectionObserver_ = std::move(observer);
    if (selectionObserver_) selectionObserver_(selectedObjects());
}

std::shared_ptr<LLSourceItem> LLSourceTreeController::objectAtPath(const LLIndexPath& path) const {
    const LLSourceTreeNode* node = root_->nodeAtPath(path);
    return node ? node->representedObject() : nullptr;
}

void LLSourceTreeController::saveState() {
    if (restoring_ || content_.empty() || !inWindow_) return;
    // Lists as QSettings writes them, so the desktop program reads the same items.
    settings_.setStringListValue(kSelectedKey, selectedUIDs());
    settings_.setStringListValue(kExpandedKey, expandedUIDs());
}

void LLSourceTreeController::restoreState() {
    bool wasRestoring = restoring_;
    restoring_ = true;
    std::vector<std::string> expanded =
        settings_.stringListValue(kExpandedKey).value_or(std::vector<std::string>{});
    std::vector<std::string> selected =
        settings_.stringListValue(kSelectedKey).value_or(std::vector<std::string>{});
    setExpandedUIDs(expanded);
    setSelectedUIDs(selected);
    restoring_ = wasRestoring;
}

std::vector<const LLSourceTreeNode*> LLSourceTreeController::selectedNodes() const {
    return selection_;
}

std::vector<std::shared_ptr<LLSourceItem>> LLSourceTreeController::selectedObjects() const {
    std::vector<std::shared_ptr<LLSourceItem>> objects;
    for (const LLSourceTreeNode* node : selection_) objects.push_back(node->representedObject());
    return objects;
}

std::vector<LLIndexPath> LLSourceTreeController::selectionIndexPaths() const {
    std::vector<LLIndexPath> paths;
    for (const LLSourceTreeNode* node : selection_) paths.push_back(node->indexPath());
    return paths;
}

void LLSourceTreeController::selectNodes(std::vector<const LLSourceTreeNode*> nodes) {
    std::sort(nodes.begin(), nodes.end(), rowOrder);
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    if (nodes == selection_) return;
    selection_ = std::move(nodes);
    outlineViewSelectionDidChange();
}

void LLSourceTreeController::setSelectionIndexPaths(const std::vector<LLIndexPath>& paths) {
    std::vector<const LLSourceTreeNode*> nodes;
    for (const LLIndexPath& path : paths)
        if (const LLSourceTreeNode* node = root_->nodeAtPath(path); node && node != root_.get())
            nodes.push_back(node);
    selectNodes(std::move(nodes));
}

void LLSourceTreeController::setSelectedObjects(
    const std::vector<std::shared_ptr<LLSourceItem>>& objects) {
    std::vector<const LLSourceTreeNode*> nodes;
    for (const auto& object : objects)
        if (const LLSourceTreeNode* node = root_->nodeForObject(object.get()))
            nodes.push_back(node);
    selectNodes(std::move(nodes));
}

void LLSourceTreeController::setSelectedObjectsWithUIDs(const std::vector<std::string>& uids) {
    std::vector<const LLSourceTreeNode*> nodes;
    for (const std::string& uid : uids)
        if (const LLSourceTreeNode* node = root_->nodeForUID(uid)) nodes.push_back(node);
    if (!nodes.empty()) selectNodes(std::move(nodes));
}

std::vector<std::string> LLSourceTreeController::selectedUIDs() const {
    std::vector<std::string> uids;
    for (const LLSourceTreeNode* node : selection_) uids.push_back(node->representedObject()->uid);
    return uids;
}

void LLSourceTreeController::setSelectedUIDs(const std::vector<std::string>& uids) {
    std::vector<const LLSourceTreeNode*> nodes;
    for (const std::string& uid : uids)
        if (const LLSourceTreeNode* node = root_->nodeForUID(uid)) nodes.push_back(node);
    selectNodes(std::move(nodes));
}

bool LLSourceTreeController::isItemExpanded(const LLSourceTreeNode* node) const {
    return expanded_.count(node) != 0;
}

void LLSourceTreeController::expandItem(const LLSourceTreeNode* node) {
    if (!node || node == root_.get() || node->isLeaf() || isItemExpanded(node)) return;
    expanded_.insert(node);
    outlineViewItemDidExpand();
}

void LLSourceTreeController::collapseItem(const LLSourceTreeNode* node) {
    if (!node || expanded_.erase(node) == 0) return;
    outlineViewItemDidCollapse();
}

std::vector<const LLSourceTreeNode*> LLSourceTreeController::visibleRows() const {
    std::vector<const LLSourceTreeNode*> rows;
    auto visit = [&](const LLSourceTreeNode& parent, auto& self) -> void {
        for (const auto& child : parent.childNodes()) {
            rows.push_back(child.get());
            if (isItemExpanded(child.get())) self(*child, self);
        }
    };
    visit(*root_, visit);
    return rows;
}

std::vector<std::string> LLSourceTreeController::expandedUIDs() const {
    std::vector<std::string> uids;
    for (const LLSourceTreeNode* row : visibleRows())
        if (isItemExpanded(row)) uids.push_back(row->representedObject()->uid);
    return uids;
}

void LLSourceTreeController::setExpandedUIDs(const std::vector<std::string>& uids) {
    for (const std::string& uid : uids) expandItem(root_->nodeForUID(uid));
}

void LLSourceTreeController::outlineViewSelectionDidChange() {
    saveState();
    if (selectionObserver_) selectionObserver_(selectedObjects());
}

void LLSourceTreeController::outlineViewItemDidExpand() { saveState(); }

void LLSourceTreeController::outlineViewItemDidCollapse() { saveState(); }

}  // namespace library
