#include "library/LLUndoManager.h"

#include <utility>

namespace library {

void LLUndoManager::registerUndo(std::string actionName, std::function<void()> action) {
    Action entry{std::move(actionName), std::move(action)};
    if (groupingLevel_ > 0) {
        group_.push_back(std::move(entry));
        return;
    }
    push(std::move(entry));
}

void LLUndoManager::beginUndoGrouping() { ++groupingLevel_; }

void LLUndoManager::endUndoGrouping() {
    if (groupingLevel_ == 0 || --groupingLevel_ > 0) return;
    std::vector<Action> actions = std::exchange(group_, {});
    if (actions.empty()) return;
    if (actions.size() == 1) {
        push(std::move(actions.front()));
        return;
    }
    std::string name = actions.front().name;
    // Undo in reverse order of the changes.
    push({std::move(name), [actions = std::move(actions)]() mutable {
              for (auto it = actions.rbegin(); it != actions.rend(); ++it) it->run();
          }});
}

void LLUndoManager::runGrouped(Action& action) {
    beginUndoGrouping();
    action.run();
    endUndoGrouping();
}

void LLUndoManager::push(Action entry) {
    if (state_ == State::Undoing) {
        redoStack_.push_back(std::move(entry));
    } else {
        // A new change (not a redo) makes the old redo history meaningless.
        if (state_ == State::Normal) redoStack_.clear();
        undoStack_.push_back(std::move(entry));
    }
}

std::string LLUndoManager::undoActionName() const {
    return undoStack_.empty() ? std::string() : undoStack_.back().name;
}

void LLUndoManager::undo() {
    if (undoStack_.empty()) return;
    Action action = std::move(undoStack_.back());
    undoStack_.pop_back();
    state_ = State::Undoing;
    runGrouped(action);
    state_ = State::Normal;
}

void LLUndoManager::redo() {
    if (redoStack_.empty()) return;
    Action action = std::move(redoStack_.back());
    redoStack_.pop_back();
    state_ = State::Redoing;
    runGrouped(action);
    state_ = State::Normal;
}

void LLUndoManager::removeAllActions() {
    undoStack_.clear();
    redoStack_.clear();
}

}  // namespace library
