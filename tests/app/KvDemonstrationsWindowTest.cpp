// The demonstrations window and what the demonstration module does around
// a demonstration: the list of a folder's scripts (sorted by file name,
// broken files tolerated), the title and the disabled menu entry while one
// runs, the list again on the next item when it ends (staying on the last
// after the last), Escape's question (yes stops and goes back to the list,
// no goes on), closing the main window while one runs, and the demo
// editor's Delete Language, which deletes only sections of texts, and its
// Play refused by the question before it.
#include "KvDemoEditor.h"
#include "KvDemoEditorForm.h"
#include "KvDemonstration.h"
#include "KvDemonstrationForm.h"
#include "KvGraphicsEditor.h"
#include "KvMainForm.h"
#include "ModalAnswers.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class KvDemonstrationsWindowTest : public ::testing::Test, protected TProgramModules {
protected:
    void SetUp() override
    {
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
        application->LoadAllSettings();
        MainForm->show();
        DemonstrationModule->DemoFolder = folder.path() + QLatin1Char('/');
        for (const char* name : {"e", "B", "a", "D", "c"})
            Write(QStringLiteral("%1.dsc").arg(QLatin1String(name)),
                  QByteArray("[Info]\nTitle=") + name + "\n[Script]\nPause 0.05\n");
    }
    void TearDown() override { application = nullptr; }

    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Opens the list, checks its preselection and starts that item.
    int StartPreselected()
    {
        int preselected = -1;
        answers.Then([&](QWidget* modal) {
            auto* form = qobject_cast<TKvDemonstrationForm*>(modal);
            ASSERT_NE(form, nullptr);
            preselected = form->SelectedIndex();
            form->StartButton->click();
        });
        DemonstrationModule->ShowDemonstrations();
        return preselected;
    }

    // A picture of the folder, opened by hand and changed, so that closing
    // it asks whether to save.
    void OpenChangedPicture()
    {
        QImage picture(40, 30, QImage::Format_RGB888);
        picture.fill(Qt::darkGreen);
        const QString path = folder.filePath(QStringLiteral("changed.png"));
        ASSERT_TRUE(picture.save(path));
        TKvDocument* document = nullptr;
        ASSERT_TRUE(GraphicsEditor->OpenFile(path, document, false));
        document->NotifyChanged();
        ASSERT_FALSE(document->Saved());
    }

    // Answers the demonstrations window with Close and notes the item it
    // opened on.
    void CloseTheListNoting(int& selected)
    {
        answers.Then([&selected](QWidget* modal) {
            auto* form = qobject_cast<TKvDemonstrationForm*>(modal);
            ASSERT_NE(form, nullptr);
            selected = form->SelectedIndex();
            form->CloseButton->click();
        });
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    QTemporaryDir folder;
    TModalAnswers answers;
};

TEST_F(KvDemonstrationsWindowTest, TheListIsSortedByFileNameAndToleratesBrokenEntries)
{
    Write(QStringLiteral("f-garbage.dsc"), QByteArray(5000, '\xff'));
    Write(QStringLiteral("g-picture.dsc"), "[Info]\nImage=huge.png\n[Script]\n");
    Write(QStringLiteral("huge.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\x7f\xff\xff\xff\x7f\xff\xff\xff\x08\x02\0\0\0\0\0\0\0", 33));
    QDir(folder.path()).mkdir(QStringLiteral("h-folder.dsc"));
    TKvDemonstrationForm form(folder.path(), 99, true);
    QStringList titles;
    for (int i = 0; i < form.DemoListView->count(); ++i)
        titles << form.DemoListView->item(i)->text();
    EXPECT_EQ(titles, (QStringList{"a", "B", "c", "D", "e", "f-garbage", "g-picture"}));
    EXPECT_EQ(form.SelectedIndex(), 6) << "beyond the last: the last";
    EXPECT_TRUE(form.StartButton->isEnabled());
    EXPECT_TRUE(TKvDemonstrationForm::FramedPicture(folder.filePath(QStringLiteral("huge.png"))).isNull());

    // A folder that is missing, empty, or a file: an empty list that
    // cannot start anything.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("empty")));
    for (const char* name : {"missing", "empty", "huge.png"}) {
        TKvDemonstrationForm none(folder.filePath(QLatin1String(name)), 0, true);
        EXPECT_EQ(none.DemoListView->count(), 0) << name;
        EXPECT_FALSE(none.StartButton->isEnabled()) << name;
    }
}

TEST_F(KvDemonstrationsWindowTest, AFinishedDemonstrationReopensTheListOnTheNextItemAndStaysOnTheLast)
{
    DemonstrationModule->LastIndex = 1;
    EXPECT_EQ(StartPreselected(), 1);
    TKvDemoPlayback& playback = DemonstrationModule->Playback();
    ASSERT_TRUE(playback.Playing());
    // While it runs: the entry is disabled and the title names it.
    DemonstrationModule->UpdateControls();
    EXPECT_FALSE(DemonstrationModule->DemoMenuItem->isEnabled());
    EXPECT_EQ(KvApplication->Title(), QStringLiteral("Orvane - B"));

    answers.Answer(QMessageBox::Ok); // the finished message
    int reopenedOn = -1;
    answers.Then([&](QWidget* modal) {
        auto* form = qobject_cast<TKvDemonstrationForm*>(modal);
        ASSERT_NE(form, nullptr);
        reopenedOn = form->SelectedIndex();
        form->CloseButton->click();
    });
    ASSERT_TRUE(RunLoopUntil([&] { return answers.Done(); }));
    EXPECT_EQ(reopenedOn, 2);
    EXPECT_EQ(KvApplication->Title(), QStringLiteral("Orvane"));
    EXPECT_EQ(answers.Unexpected, 0);

    DemonstrationModule->LastIndex = 4;
    EXPECT_EQ(StartPreselected(), 4);
    answers.Answer(QMessageBox::Ok);
    answers.Then([&](QWidget* modal) {
        auto* form = qobject_cast<TKvDemonstrationForm*>(modal);
        ASSERT_NE(form, nullptr);
        reopenedOn = form->SelectedIndex();
        form->CloseButton->click();
    });
    ASSERT_TRUE(RunLoopUntil([&] { return answers.Done(); }));
    EXPECT_EQ(reopenedOn, 4) << "after the last item the list stays on it";
}

TEST_F(KvDemonstrationsWindowTest, EscapeThenNoGoesOnAndEscapeThenYesStopsAndReopensTheList)
{
    Write(QStringLiteral("a.dsc"), "[Info]\nTitle=a\n[Script]\nPause 120\n");
    EXPECT_EQ(StartPreselected(), 0);
    TKvDemoPlayback& playback = DemonstrationModule->Playback();
    ASSERT_TRUE(playback.Playing());

    answers.Answer(QMessageBox::No);
    QTest::keyClick(MainForm, Qt::Key_Escape);
    ASSERT_TRUE(RunLoopUntil([&] { return answers.Done(); }));
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_EQ(answers.Messages[0].Text, LocalStr(172));
    EXPECT_TRUE(playback.Playing()) << "no: the demonstration goes on";
    EXPECT_EQ(KvApplication->Title(), QStringLiteral("Orvane - a"));

    answers.Answer(QMessageBox::Yes);
    int reopenedOn = -1;
    CloseTheListNoting(reopenedOn);
    QTest::keyClick(MainForm, Qt::Key_Escape);
    ASSERT_TRUE(RunLoopUntil([&] { return answers.Done(); }));
    EXPECT_FALSE(playback.Playing());
    EXPECT_EQ(KvApplication->Title(), QStringLiteral("Orvane"));
    EXPECT_EQ(reopenedOn, 1) << "the list again, on the next item";
    EXPECT_EQ(answers.Messages.size(), 2u) << "no finished message after a stop";
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(KvDemonstrationsWindowTest, ClosingTheWindowStopsADemonstrationWithoutTheQuestionThenAsksToSave)
{
    Write(QStringLiteral("a.dsc"), "[Info]\nTitle=a\n[Script]\nPause 120\n");
    EXPECT_EQ(StartPreselected(), 0);
    TKvDemoPlayback& playback = DemonstrationModule->Playback();
    ASSERT_TRUE(playback.Playing());
    ASSERT_NO_FATAL_FAILURE(OpenChangedPicture());

    // Only the save question, answered Cancel: the window stays, the
    // demonstration has stopped all the same and the list does not open.
    answers.Answer(QMessageBox::Cancel);
    EXPECT_FALSE(MainForm->close());
    ASSERT_TRUE(RunLoopUntil([&] { return answers.Done(); }));
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_NE(answers.Messages[0].Text, LocalStr(172));
    EXPECT_TRUE(answers.Messages[0].Buttons & QMessageBox::Cancel) << "the save question";
    EXPECT_FALSE(playback.Playing());
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_EQ(KvApplication->Title(), QStringLiteral("Orvane"));
    RunEventLoopFor(50);
    EXPECT_EQ(answers.Unexpected, 0) << "no list after the window was asked to close";

    answers.Answer(QMessageBox::No);
    EXPECT_TRUE(MainForm->close());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(KvDemonstrationsWindowTest, ThePlayOfTheDemoEditorRefusedBeforeItStartsBringsTheEditorBack)
{
    ASSERT_NO_FATAL_FAILURE(OpenChangedPicture());
    Module->DemoEditorModule->CmDemoEditor();
    TKvDemoEditorForm* editor = Module->DemoEditorModule->EditorForm();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->OpenFile(folder.filePath(QStringLiteral("a.dsc"))));

    answers.Answer(QMessageBox::No); // may the open picture be closed?
    editor->CmPlay();
    EXPECT_TRUE(answers.Done());
    EXPECT_FALSE(DemonstrationModule->Playback().Playing());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_NE(GraphicsEditor->ActiveDocument(), nullptr) << "the picture stays";

    // Played again and answered yes (closing without saving), it runs and
    // the editor comes back once it has finished.
    answers.Answer(QMessageBox::Yes);
    answers.Answer(QMessageBox::No);
    editor->CmPlay();
    EXPECT_TRUE(DemonstrationModule->Playback().Playing());
    EXPECT_FALSE(editor->isVisible());
    answers.Answer(QMessageBox::Ok); // finished
    ASSERT_TRUE(RunLoopUntil([&] { return answers.Done() && !DemonstrationModule->Playback().Playing(); }));
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(KvDemonstrationsWindowTest, DeleteLanguageDeletesOnlySectionsOfTexts)
{
    Module->DemoEditorModule->CmDemoEditor();
    TKvDemoEditorForm* editor = Module->DemoEditorModule->EditorForm();
    ASSERT_NE(editor, nullptr);
    editor->AddLanguage(QStringLiteral("1031"));
    EXPECT_EQ(editor->SectionsTabControl->count(), 3);
    for (int tab : {0, 1}) {
        editor->SectionsTabControl->setCurrentIndex(tab);
        editor->UpdateControls();
        EXPECT_FALSE(editor->DeleteLanguageMenuItem->isEnabled()) << tab;
        editor->CmDeleteLanguage();
        EXPECT_EQ(editor->SectionsTabControl->count(), 3) << tab;
    }
    editor->SectionsTabControl->setCurrentIndex(2);
    editor->UpdateControls();
    EXPECT_TRUE(editor->DeleteLanguageMenuItem->isEnabled());
    editor->CmDeleteLanguage();
    EXPECT_EQ(editor->SectionsTabControl->count(), 2);
}

} // namespace
