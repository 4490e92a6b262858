#pragma once

#include <functional>
#include <string>
#include <vector>

namespace library {

// Undo and redo of store changes made in the main context (deleting records). An undo action
// that registers an action while it runs registers the redo.
class LLUndoManager {
  public:
    void registerUndo(std::string actionName, std::function<void()> action);
    bool canUndo() const { return !undoStack_.empty(); }
    bool canRedo() const { return !redoStack_.empty(); }
    std::string undoActionName() const;
    void undo();
    void redo();
    void removeAllActions();

  private:
    struct Action {
        std::string name;
        std::function<void()> run;
    };
    enum class State { Normal, Undoing, Redoing };
    std::vector<Action> undoStack_;
    std::vector<Action> redoStack_;
    State state_ = State::Normal;
};

}  // namespace library
