// The command history: order of undo and redo, truncation of redo states,
// ownership.
#include "KvCommandHistory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Logs what happens to it, with the history's position at that moment.
class LoggedState : public TKvCommandState {
public:
    LoggedState(std::string name, std::vector<std::string>& log, const TKvCommandHistoryList& history)
        : m_name(std::move(name)), m_log(log), m_history(history)
    {
    }
    ~LoggedState() override { m_log.push_back("free " + m_name); }
    void Undo() override { m_log.push_back("undo " + m_name + " at " + std::to_string(m_history.Position())); }
    void Redo() override { m_log.push_back("redo " + m_name + " at " + std::to_string(m_history.Position())); }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
    const TKvCommandHistoryList& m_history;
};

struct History : ::testing::Test {
    void Add(const std::string& name) { history.Add(std::make_unique<LoggedState>(name, log, history)); }
    std::vector<std::string> log;
    TKvCommandHistoryList history;
};

} // namespace

TEST_F(History, UndoAndRedoSeeTheStateAsNextToRedo)
{
    Add("a");
    Add("b");
    history.Undo();
    history.Undo();
    history.Redo();
    EXPECT_EQ(log, (std::vector<std::string>{"undo b at 1", "undo a at 0", "redo a at 0"}));
    EXPECT_EQ(history.Position(), 1);
}

TEST_F(History, AddingAfterUndoFreesTheRedoStates)
{
    Add("a");
    Add("b");
    Add("c");
    history.Undo();
    history.Undo();
    log.clear();
    Add("d");
    EXPECT_EQ(log, (std::vector<std::string>{"free c", "free b"}));
    EXPECT_EQ(history.Count(), 2);
    EXPECT_EQ(history.Position(), 2);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_TRUE(history.CanUndo());
    EXPECT_EQ(history.NextUndoState(), history.Items(1));
}

TEST_F(History, StepsBeyondTheEndsDoNothing)
{
    EXPECT_EQ(history.NextUndoState(), nullptr);
    EXPECT_EQ(history.NextRedoState(), nullptr);
    history.Undo();
    history.Redo();
    Add("a");
    history.Redo();
    history.Undo();
    history.Undo();
    EXPECT_EQ(log, (std::vector<std::string>{"undo a at 0"}));
    EXPECT_EQ(history.NextRedoState(), history.Items(0));
    EXPECT_EQ(history.NextUndoState(), nullptr);
    history.Add(nullptr);
    EXPECT_EQ(history.Count(), 1);
}

TEST_F(History, IsCleanExactlyWhereItWasMarked)
{
    EXPECT_TRUE(history.IsClean());
    Add("a");
    EXPECT_FALSE(history.IsClean());
    history.MarkClean();
    Add("b");
    EXPECT_FALSE(history.IsClean());
    history.Undo();
    EXPECT_TRUE(history.IsClean());
    history.Undo();
    EXPECT_FALSE(history.IsClean()); // undone past the clean position
    history.Redo();
    EXPECT_TRUE(history.IsClean());
    // A new state at the clean position keeps it reachable by undo.
    Add("c");
    history.Undo();
    EXPECT_TRUE(history.IsClean());
}

TEST_F(History, DiscardingTheCleanPositionsStatesLosesItForGood)
{
    Add("a");
    Add("b");
    history.MarkClean(); // after b
    history.Undo();
    history.Undo();
    Add("c"); // frees a and b
    EXPECT_FALSE(history.IsClean());
    // Position 2 again, but with other states: still not clean.
    Add("d");
    EXPECT_EQ(history.Position(), 2);
    EXPECT_FALSE(history.IsClean());
    history.Undo();
    history.Undo();
    EXPECT_FALSE(history.IsClean());
}

TEST(HistoryOwnership, KeepsEveryStateAndFreesThemAtTheEnd)
{
    std::vector<std::string> log;
    auto history = std::make_unique<TKvCommandHistoryList>();
    for (int i = 0; i < 1000; ++i)
        history->Add(std::make_unique<LoggedState>(std::to_string(i), log, *history));
    while (history->CanUndo())
        history->Undo();
    EXPECT_EQ(history->Count(), 1000);
    EXPECT_EQ(log.back(), "undo 0 at 0");
    log.clear();
    history.reset();
    EXPECT_EQ(log.size(), 1000u);
}
