// The demonstrations window and what the demonstration module does around
// a demonstration: the list of a folder's scripts (sorted by file name,
// broken files tolerated), the title and the disabled menu entry while one
// runs, the list again on the next item when it ends (staying on the last
// after the last), and the demo editor's Delete Language, which deletes
// only sections of texts.
#include "KvDemoEditor.h"
#include "KvDemoEditorForm.h"
#include "KvDemonstration.h"
#include "KvDemonstrationForm.h"
#include "KvMainForm.h"
#include "ModalAnswers.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QAction>
#include <QFile>
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
    Write(QStringLiteral("huge.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\x7f\xff\xff\xff\x7f\xff\xff\xff\x08\x02\0\0\0", 33));
    QDir(folder.path()).mkdir(QStringLiteral("h-folder.dsc"));
    TKvDemonstrationForm form(folder.path(), 99, true);
    QStringList titles;
    for (int i = 0; i < form.DemoListView->count(); ++i)
        titles << form.DemoListView->item(i)->text();
    EXPECT_EQ(titles, (QStringList{"a", "B", "c", "D", "e", "f-garbage", "g-picture"}));
    EXPECT_EQ(form.SelectedIndex(), 6) << "beyond the last: the last";
    EXPECT_TRUE(form.StartButton->isEnabled());
    EXPECT_TRUE(TKvDemonstrationForm::FramedPicture(folder.filePath(QStringLiteral("huge.png"))).isNull());

    TKvDemonstrationForm empty(folder.filePath(QStringLiteral("missing")), 0, true);
    EXPECT_EQ(empty.DemoListView->count(), 0);
    EXPECT_FALSE(empty.StartButton->isEnabled());
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
