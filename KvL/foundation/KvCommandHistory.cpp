#include "KvCommandHistory.h"

TKvCommandHistoryList::TKvCommandHistoryList() = default;
TKvCommandHistoryList::~TKvCommandHistoryList() = default;

TKvCommandState* TKvCommandHistoryList::Items(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_states[static_cast<size_t>(index)].get();
}

void TKvCommandHistoryList::Add(std::unique_ptr<TKvCommandState> state)
{
    if (!state)
        return;
    DiscardRedo();
    m_states.push_back(std::move(state));
    ++m_position;
    CompactStates();
}

void TKvCommandHistoryList::CompactStates()
{
    for (const std::unique_ptr<TKvCommandState>& state : m_states)
        state->Compact();
}

void TKvCommandHistoryList::DiscardRedo()
{
    // Freed from the last one down, as they were recorded in reverse.
    while (Count() > m_position)
        m_states.pop_back();
    if (m_cleanPosition > m_position)
        m_cleanPosition = -1;
}

void TKvCommandHistoryList::Undo()
{
    if (!CanUndo())
        return;
    --m_position;
    try {
        m_states[static_cast<size_t>(m_position)]->Undo();
    } catch (const EKvCommandNotDone&) {
        ++m_position;
    }
    CompactStates();
}

void TKvCommandHistoryList::Redo()
{
    if (!CanRedo())
        return;
    try {
        m_states[static_cast<size_t>(m_position)]->Redo();
    } catch (const EKvCommandNotDone&) {
        return;
    }
    ++m_position;
    CompactStates();
}

TKvCommandState* TKvCommandHistoryList::NextUndoState() const
{
    return CanUndo() ? Items(m_position - 1) : nullptr;
}

TKvCommandState* TKvCommandHistoryList::NextRedoState() const
{
    return CanRedo() ? Items(m_position) : nullptr;
}
