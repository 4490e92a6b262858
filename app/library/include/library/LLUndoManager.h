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
    // Actions registered between begin and end (nested pairs count once) become one step, so
    // deleting several records is undone at once. Undoing a step registers its redo as one step.
    void beginUndoGrouping();
    void endUndoGrouping();

  private:
    struct Action {
        std::string name;
        std::function<void()> run;
    };
    enum class State { Normal, Undoing, Redoing };
    std::vector<Action> undoStack_;
    std::vector<Action> redoStack_;
    State state_ = State::Normal;
    int groupingLevel_ = 0;
    std::vector<Action> group_;
    void push(Action entry);
    void runGrouped(Action& action);
};

}  // namespace library
