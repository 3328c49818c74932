// The undo history of a document: the command states of the operations done
// on it, in order, and how many of them are currently done.
#pragma once

#include <memory>
#include <vector>

// Thrown by a state's Undo or Redo that could not be carried out (memory ran
// out, say) and left the document as it was: the history then stays where it
// stood, so that what it counts as done is what the document shows.
class EKvCommandNotDone {};

// One recorded operation that can undo and redo itself. Created by the tool
// that performed the operation, after the operation was applied.
class TKvCommandState {
public:
    virtual ~TKvCommandState() = default;
    virtual void Undo() = 0;
    virtual void Redo() = 0;
    // Gives back memory the state could keep cheaply only while the document
    // shared it (a crop's margins in the picture's own storage). The history
    // calls it on every state after each Add, Undo and Redo.
    virtual void Compact() {}
};

// A linear history: states below Position() are done and can be undone, the
// states from Position() on can be redone. Recording a new state discards
// every state that could have been redone. Owns its states.
class TKvCommandHistoryList {
public:
    TKvCommandHistoryList();
    virtual ~TKvCommandHistoryList();
    TKvCommandHistoryList(const TKvCommandHistoryList&) = delete;
    TKvCommandHistoryList& operator=(const TKvCommandHistoryList&) = delete;

    int Count() const { return static_cast<int>(m_states.size()); }
    int Position() const { return m_position; }
    TKvCommandState* Items(int index) const;

    bool CanUndo() const { return m_position > 0; }
    bool CanRedo() const { return m_position < Count(); }

    // Frees the states from Position() on, appends the state and counts it
    // as done.
    virtual void Add(std::unique_ptr<TKvCommandState> state);
    // Frees the states from Position() on, as Add will: a recorder calls it
    // before making its state, whose copies of pixels may then take the
    // memory the freed states held.
    void DiscardRedo();
    // Steps back, then undoes the state now at Position(): while a state
    // undoes itself it is already the next state to redo. A state that
    // throws EKvCommandNotDone leaves the position where it was.
    virtual void Undo();
    // Redoes the state at Position(), then steps forward: while a state
    // redoes itself it is still the next state to redo. A state that throws
    // EKvCommandNotDone leaves the position where it was.
    virtual void Redo();

    TKvCommandState* NextUndoState() const;
    TKvCommandState* NextRedoState() const;

    // Marks the current position as the clean one (where the document was
    // last written to its file). IsClean() is true exactly while the history
    // stands there again; once Add discards a state the clean position
    // needs, it is never clean again until the next MarkClean. A new
    // history is clean.
    void MarkClean() { m_cleanPosition = m_position; }
    bool IsClean() const { return m_cleanPosition == m_position; }

private:
    void CompactStates();

    std::vector<std::unique_ptr<TKvCommandState>> m_states;
    int m_position = 0;
    int m_cleanPosition = 0; // -1 when the clean position can no longer be reached
};
