// The whole program from start to exit and again: what the user set comes
// back, the demonstrations show on a first start until their box is
// unchecked, and bad surroundings (no language files, a broken
// configuration file) do not stop it from starting.
#include "KvDemonstrationForm.h"
#include "KvForms.h"
#include "KvLocalizer.h"
#include "KvMainForm.h"
#include "KvToolPanel.h"
#include "ModalAnswers.h"
#include "Program.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The running program's modules; none while it does not run.
TMainForm* MainForm() { return RunningModule() ? RunningModule()->MainForm : nullptr; }
TKvToolPanelModule* ToolPanelModule() { return RunningModule() ? RunningModule()->ToolPanelModule : nullptr; }

// Runs the program; `whileRunning` runs once the main loop is up, after
// which the user chooses File > Exit.
int RunProgramWith(const std::function<void()>& whileRunning, const QString& languages = BuildLanguagesFolder())
{
    QTimer::singleShot(0, [whileRunning] {
        whileRunning();
        MainForm()->ExitMenuItem->trigger();
    });
    return RunProgram(languages);
}

QString ConfigFile()
{
    const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(base + QLatin1Char('/') + base + QStringLiteral(".cfg"));
}

TEST(ProgramTest, PlacementLanguageAndToolPanelComeBackAfterARestart)
{
    TTempUserFolders folders;
    const QRect placed(60, 70, 520, 410);

    const int firstExit = RunProgramWith([&] {
        EXPECT_FALSE(QFileInfo::exists(ConfigFile()));
        EXPECT_EQ(KvApplication->ConfigFileName(), ConfigFile());
        EXPECT_TRUE(MainForm()->isVisible());
        EXPECT_EQ(MainForm()->windowTitle(), QStringLiteral("Orvane"));
        EXPECT_EQ(MainForm()->dockWidgetArea(ToolPanelModule()->Panel), Qt::RightDockWidgetArea);
        EXPECT_TRUE(QFileInfo::exists(
            QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath("ClippingMutexName")));
        SetLanguage(1031);
        MainForm()->setGeometry(placed);
        ToolPanelModule()->VisibleMenuItem->trigger();
    });
    EXPECT_EQ(firstExit, 0);
    ASSERT_TRUE(QFileInfo(ConfigFile()).isFile());

    RunProgramWith([&] {
        EXPECT_EQ(CurrentLanguage(), 1031);
        EXPECT_EQ(MainForm()->FileMenuItem->title(), QStringLiteral("Datei"));
        EXPECT_EQ(ToolPanelModule()->Panel->windowTitle(), QStringLiteral("Werkzeuge"));
        EXPECT_EQ(MainForm()->normalGeometry(), placed);
        EXPECT_FALSE(ToolPanelModule()->PanelVisible());
        ToolPanelModule()->VisibleMenuItem->trigger();
        MainForm()->showMaximized();
    });

    RunProgramWith([&] {
        EXPECT_TRUE(MainForm()->isMaximized());
        EXPECT_EQ(MainForm()->normalGeometry(), placed);
        EXPECT_TRUE(ToolPanelModule()->PanelVisible());
    });
}

// Ends the program through File > Exit from a call posted once it runs:
// posted calls run in order, so a window posted at start-up has been shown
// (and answered) before it.
class TExitAfterStartUp : public QObject {
public:
    TExitAfterStartUp()
    {
        QTimer::singleShot(0, this, [this] { KvApplication->PostCall(TKvMethod(this, &TExitAfterStartUp::Exit), this); });
    }
    void Exit() { MainForm()->ExitMenuItem->trigger(); }
};

TEST(ProgramTest, AFirstStartShowsTheDemonstrationsUntilTheBoxIsUnchecked)
{
    TTempUserFolders folders;
    {
        TModalAnswers answers;
        bool overTheMainWindow = false;
        answers.Then([&](QWidget* modal) {
            auto* form = qobject_cast<TKvDemonstrationForm*>(modal);
            ASSERT_NE(form, nullptr);
            overTheMainWindow = MainForm() && MainForm()->isVisible();
            EXPECT_TRUE(form->ShowAtStartupCheckBox->isChecked());
            EXPECT_GT(form->DemoListView->count(), 0) << "the shipped demonstrations";
            form->ShowAtStartupCheckBox->click();
            form->CloseButton->click();
        });
        TExitAfterStartUp exit;
        EXPECT_EQ(RunProgram(BuildLanguagesFolder()), 0);
        EXPECT_TRUE(answers.Done());
        EXPECT_TRUE(overTheMainWindow);
        EXPECT_EQ(answers.Unexpected, 0);
    }
    ASSERT_TRUE(QFileInfo(ConfigFile()).isFile());

    // The next start shows nothing (a window would be counted unexpected).
    TModalAnswers none;
    TExitAfterStartUp exit;
    EXPECT_EQ(RunProgram(BuildLanguagesFolder()), 0);
    EXPECT_EQ(none.Unexpected, 0);
}

TEST(ProgramTest, WithoutLanguageFilesTheProgramStillStartsAndEnds)
{
    TTempUserFolders folders;
    bool ran = false;
    const int exitCode = RunProgramWith(
        [&] {
            ran = true;
            EXPECT_EQ(CurrentLanguage(), 0);
            EXPECT_TRUE(MainForm()->isVisible());
            EXPECT_TRUE(MainForm()->LanguageMenuItem->isEmpty());
        },
        QDir(folders.Root()).filePath(QStringLiteral("no-such-folder")));
    EXPECT_TRUE(ran);
    EXPECT_EQ(exitCode, 0);
}

TEST(ProgramTest, ABrokenConfigurationFileStartsWithDefaultsAndIsReplacedOnExit)
{
    TTempUserFolders folders;
    QDir().mkpath(QFileInfo(ConfigFile()).absolutePath());
    {
        QFile file(ConfigFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // A node of the main form whose elements have the wrong sizes and
        // types, followed by garbage.
        file.write(QByteArray::fromHex("d5010d10ffd7f67a8b61d941882e419d500df28b"
                                       "55020e03010203"
                                       "5501050201000000"
                                       "ffffffffffff"));
    }
    RunProgramWith([&] {
        EXPECT_EQ(CurrentLanguage(), DefaultLanguage());
        EXPECT_TRUE(ToolPanelModule()->PanelVisible());
        EXPECT_EQ(MainForm()->dockWidgetArea(ToolPanelModule()->Panel), Qt::RightDockWidgetArea);
    });
    QFile file(ConfigFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith(QByteArray::fromHex("d5010d10")));
}

} // namespace
