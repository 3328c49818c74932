// Generic documents: loading and saving through the editor's formats, the
// saved state following the history, the close question, listeners, views.
#include "KvEditor.h"

#include "QtPrinters.h"

#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// Formats over an in-memory "disk": a file is a name with its contents.
class MemoryFormats : public TKvDocumentFormats {
public:
    int Count() const override { return 1; }
    TKvFileFormatInfo Items(int) const override { return {7, QStringLiteral("Text"), QStringLiteral("*.txt"), QStringLiteral(".txt")}; }
    bool LoadDocument(TKvDocument*, const QString& fileName, qint32& formatKey) override
    {
        if (!Disk.count(fileName))
            return false;
        formatKey = 7;
        return true;
    }
    bool SaveDocument(TKvDocument* document, const QString& fileName, qint32) override
    {
        document->BeforeSave();
        if (FailSaves)
            return false;
        Disk[fileName] = "saved";
        return true;
    }
    bool CanSaveFormat(qint32 formatKey) const override { return formatKey != 99; }

    std::map<QString, std::string> Disk;
    bool FailSaves = false;
};


class TestEditor : public IKvDocumentEditor {
public:
    TKvDocumentFormats* Formats() override { return &FormatRegistry; }
    void UpdateCaption() override { Log.push_back("caption"); }
    int AskSaveChanges(const QString& name) override
    {
        Log.push_back("ask " + name.toStdString());
        return Answer;
    }
    bool SaveDocumentAs(TKvDocument* document) override
    {
        Log.push_back("save as");
        return document->SaveToFile(QStringLiteral("/chosen.txt"), 7);
    }
    void RemoveDocument(TKvDocument* document) override;

    MemoryFormats FormatRegistry;
    std::vector<std::unique_ptr<TKvDocument>> Documents;
    std::vector<std::string> Log;
    int Answer = 2;
};

class TestDocument : public TKvDocument {
public:
    using TKvDocument::TKvDocument;
    void BeforeClose() override { Log.push_back("before close"); }
    void BeforeSave() override { Log.push_back("before save"); }
    std::vector<std::string> Log;
    int ViewsCreated = 0;

protected:
    QWidget* CreateView() override
    {
        ++ViewsCreated;
        return new QWidget;
    }
};

void TestEditor::RemoveDocument(TKvDocument* document)
{
    Log.push_back("remove");
    std::erase_if(Documents, [document](const auto& owned) { return owned.get() == document; });
}

class NoOpState : public TKvCommandState {
public:
    void Undo() override {}
    void Redo() override {}
};

class LoggingListener : public IKvDocumentListener {
public:
    LoggingListener(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}
    void DocumentChanged(TKvDocument*) override { m_log.push_back("changed " + m_name); }
    void DocumentClosed(TKvDocument*) override { m_log.push_back("closed " + m_name); }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

struct Documents : ::testing::Test {
    Documents()
    {
        editor.FormatRegistry.Disk[QStringLiteral("/pictures/a.txt")] = "a";
        editor.Documents.push_back(std::make_unique<TestDocument>(&editor));
        document = static_cast<TestDocument*>(editor.Documents.back().get());
    }
    TestEditor editor;
    TestDocument* document;
};

TEST_F(Documents, LoadingTakesNameAndKeyAndTellsListenersLastFirst)
{
    std::vector<std::string> log;
    LoggingListener first("first", log);
    LoggingListener second("second", log);
    document->AddListener(&first);
    document->AddListener(&second);
    document->AddListener(&first); // once only

    ASSERT_TRUE(document->LoadFromFile(QStringLiteral("/pictures/a.txt")));
    EXPECT_EQ(document->FileName(), QStringLiteral("/pictures/a.txt"));
    EXPECT_EQ(document->FormatKey(), 7);
    EXPECT_TRUE(document->Saved());
    EXPECT_EQ(log, (std::vector<std::string>{"changed second", "changed first"}));
    EXPECT_EQ(document->DisplayName(), QStringLiteral("a.txt"));
}

TEST_F(Documents, FailedLoadLeavesTheDocumentAsItWas)
{
    EXPECT_FALSE(document->LoadFromFile(QStringLiteral("/pictures/missing.txt")));
    EXPECT_TRUE(document->FileName().isEmpty());
    EXPECT_EQ(document->FormatKey(), 0);
    EXPECT_FALSE(document->Saved());
    EXPECT_EQ(document->DisplayName(), QStringLiteral("Untitled"));
}

// One step of a document's life and whether it then counts as saved.
struct Step {
    const char* action;
    bool saved;
};

void RunSteps(TestDocument& document, const std::vector<Step>& steps)
{
    int n = 0;
    for (const Step& step : steps) {
        const std::string action = step.action;
        if (action == "load")
            ASSERT_TRUE(document.LoadFromFile(QStringLiteral("/pictures/a.txt")));
        else if (action == "record")
            document.History().Add(std::make_unique<NoOpState>());
        else if (action == "undo")
            document.History().Undo();
        else if (action == "redo")
            document.History().Redo();
        else if (action == "save")
            ASSERT_TRUE(document.Save());
        else if (action == "change")
            document.NotifyChanged();
        EXPECT_EQ(document.Saved(), step.saved) << "step " << n << ": " << action;
        ++n;
    }
}

TEST_F(Documents, SavedFollowsTheHistory)
{
    RunSteps(*document, {
        {"load", true},
        {"record", false},
        {"undo", true}, // back where the file stands
        {"redo", false},
        {"record", false},
        {"save", true},
        {"undo", false}, // past the save
        {"undo", false},
        {"redo", false},
        {"redo", true},
    });
}

TEST_F(Documents, ASaveWhoseStatesWereDiscardedIsNeverReachedAgain)
{
    RunSteps(*document, {
        {"load", true},
        {"record", false},
        {"save", true},
        {"undo", false},
        {"record", false}, // the saved state is gone
        {"undo", false},   // back at the loaded picture, which the file no longer holds
        {"redo", false},
        {"save", true},
    });
}

TEST_F(Documents, AChangeOutsideTheHistoryLastsUntilTheNextSave)
{
    RunSteps(*document, {
        {"load", true},
        {"change", false},
        {"record", false},
        {"undo", false},
        {"save", true},
    });
}

TEST_F(Documents, ADocumentWithoutAFileIsNeverSaved)
{
    // A scanned picture, for example: undoing everything does not make it saved.
    EXPECT_FALSE(document->Saved());
    document->History().Add(std::make_unique<NoOpState>());
    document->History().Undo();
    EXPECT_FALSE(document->Saved());
    EXPECT_FALSE(document->Save()); // no file to save to
}

TEST_F(Documents, FailedSaveKeepsNameAndUnsavedState)
{
    ASSERT_TRUE(document->LoadFromFile(QStringLiteral("/pictures/a.txt")));
    document->History().Add(std::make_unique<NoOpState>());
    editor.FormatRegistry.FailSaves = true;
    EXPECT_FALSE(document->SaveToFile(QStringLiteral("/pictures/b.txt"), 7));
    EXPECT_EQ(document->FileName(), QStringLiteral("/pictures/a.txt"));
    EXPECT_FALSE(document->Saved());
    EXPECT_EQ(std::count(editor.Log.begin(), editor.Log.end(), "caption"), 0);
}

TEST_F(Documents, SuccessfulSaveTakesNameAndKeyAndUpdatesTheCaption)
{
    document->History().Add(std::make_unique<NoOpState>());
    ASSERT_TRUE(document->SaveToFile(QStringLiteral("/pictures/b.txt"), 3));
    EXPECT_EQ(document->FileName(), QStringLiteral("/pictures/b.txt"));
    EXPECT_EQ(document->FormatKey(), 3);
    EXPECT_TRUE(document->Saved());
    EXPECT_EQ(editor.Log, (std::vector<std::string>{"caption"}));
    EXPECT_EQ(document->Log, (std::vector<std::string>{"before save"}));
}

TEST_F(Documents, CanSaveAsksTheFormats)
{
    document->SetFormatKey(7);
    EXPECT_TRUE(document->CanSave());
    document->SetFormatKey(99);
    EXPECT_FALSE(document->CanSave());
    TestDocument alone; // no editor, no formats
    EXPECT_FALSE(alone.CanSave());
    EXPECT_FALSE(alone.LoadFromFile(QStringLiteral("/pictures/a.txt")));
}

struct CloseCase {
    const char* name;
    bool unsavedChanges;
    bool noSavePrompt;
    int answer;
    bool failSaves;
    bool closes;
    std::vector<std::string> editorLog;
};

TEST(DocumentClose, QuestionAndOutcome)
{
    const CloseCase cases[] = {
        {"saved", false, false, 2, false, true, {"remove", "caption"}},
        {"no prompt", true, true, 2, false, true, {"remove", "caption"}},
        {"cancel", true, false, 2, false, false, {"ask a.txt"}},
        {"no", true, false, 7, false, true, {"ask a.txt", "remove", "caption"}},
        {"yes, saved", true, false, 6, false, true, {"ask a.txt", "save as", "caption", "remove", "caption"}},
        {"yes, save failed", true, false, 6, true, false, {"ask a.txt", "save as"}},
    };
    for (const CloseCase& c : cases) {
        TestEditor editor;
        editor.FormatRegistry.Disk[QStringLiteral("/pictures/a.txt")] = "a";
        editor.Documents.push_back(std::make_unique<TestDocument>(&editor));
        auto* document = static_cast<TestDocument*>(editor.Documents.back().get());
        ASSERT_TRUE(document->LoadFromFile(QStringLiteral("/pictures/a.txt")));
        if (c.unsavedChanges)
            document->History().Add(std::make_unique<NoOpState>());
        document->SetNoSavePrompt(c.noSavePrompt);
        editor.Answer = c.answer;
        editor.FormatRegistry.FailSaves = c.failSaves;
        std::vector<std::string> listenerLog;
        LoggingListener first("first", listenerLog);
        LoggingListener second("second", listenerLog);
        document->AddListener(&first);
        document->AddListener(&second);

        EXPECT_EQ(document->CloseQuery(), c.closes) << c.name;
        EXPECT_EQ(editor.Log, c.editorLog) << c.name;
        EXPECT_EQ(editor.Documents.empty(), c.closes) << c.name;
        const std::vector<std::string> closedLog =
            c.closes ? std::vector<std::string>{"closed second", "closed first"} : std::vector<std::string>{};
        EXPECT_EQ(listenerLog, closedLog) << c.name;
    }
}

TEST(DocumentClose, AskedAfterBeforeCloseWithTheUntitledName)
{
    TestEditor editor;
    editor.Documents.push_back(std::make_unique<TestDocument>(&editor));
    auto* document = static_cast<TestDocument*>(editor.Documents.back().get());
    editor.Answer = 2;
    EXPECT_FALSE(document->CloseQuery());
    EXPECT_EQ(document->Log, (std::vector<std::string>{"before close"}));
    EXPECT_EQ(editor.Log, (std::vector<std::string>{"ask Untitled"}));
}

TEST(DocumentListeners, AListenerMayRemoveItselfWhileTold)
{
    TestDocument document;
    std::vector<std::string> log;
    LoggingListener kept("kept", log);
    class Leaving : public IKvDocumentListener {
    public:
        explicit Leaving(std::vector<std::string>& log) : m_log(log) {}
        void DocumentChanged(TKvDocument* document) override
        {
            m_log.push_back("changed leaving");
            document->RemoveListener(this);
        }
        void DocumentClosed(TKvDocument*) override {}

    private:
        std::vector<std::string>& m_log;
    } leaving(log);
    document.AddListener(&kept);
    document.AddListener(&leaving);
    document.NotifyChanged();
    document.NotifyChanged();
    EXPECT_EQ(log, (std::vector<std::string>{"changed leaving", "changed kept", "changed kept"}));
}

TEST(DocumentView, CreatedOnceAndFreedWithTheDocumentUnlessFreedBefore)
{
    QPointer<QWidget> view;
    {
        TestDocument document;
        EXPECT_EQ(document.ExistingView(), nullptr);
        view = document.GetView();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(document.GetView(), view.data());
        EXPECT_EQ(document.ViewsCreated, 1);
    }
    EXPECT_TRUE(view.isNull());

    // A view handed to a parent that is freed first is not freed twice.
    TestDocument document;
    {
        QWidget parent;
        document.GetView()->setParent(&parent);
    }
    EXPECT_EQ(document.ExistingView(), nullptr);
}

} // namespace
