#include "library/LLUndoManager.h"

namespace library {

void LLUndoManager::registerUndo(std::string actionName, std::function<void()> action) {
    Action entry{std::move(actionName), std::move(action)};
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
    action.run();
    state_ = State::Normal;
}

void LLUndoManager::redo() {
    if (redoStack_.empty()) return;
    Action action = std::move(redoStack_.back());
    redoStack_.pop_back();
    state_ = State::Redoing;
    action.run();
    state_ = State::Normal;
}

void LLUndoManager::removeAllActions() {
    undoStack_.clear();
    redoStack_.clear();
}

}  // namespace library
