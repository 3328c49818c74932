// A demonstration recorded in the demo editor on a real X server (Xvfb):
// Ctrl+Shift+D opens the editor, the author writes the line that opens the
// rotate tool's panel (reached by scripts, not by a button of the tool
// panel), Record is clicked, the user turns and mirrors the picture with
// clicks on the panel's buttons (real pointer clicks from xdotool), Stop is
// clicked and the script saved; the
// picture is opened again from its file, the saved script loaded into the
// editor and played by its Play button, and the picture it leaves is the
// picture the recorded session left. Screenshot: the editor over the main
// window while it records (screenshots/demo_editor_recording.png).
//
// The test runs itself again as the program on the server: the child runs
// RunProgram with a photograph as its first argument.
#include "KvDemoEditor.h"
#include "KvDemoEditorForm.h"
#include "KvDemonstration.h"
#include "KvGraphicsDocument.h"
#include "KvGraphicsEditor.h"
#include "KvMainForm.h"
#include "KvRotateTool.h"
#include "KvScrollTool.h"
#include "ModalAnswers.h"
#include "Model.h"
#include "Program.h"
#include "ProgramTestSupport.h"
#include "RegionFixture.h"
#include "ScreenDriver.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

constexpr char ChildVariable[] = "ORVANE_DEMO_EDITOR_RECORDING_CHILD";

TKvPixelBuffer PictureOf(const TKvGraphicsEditor& editor)
{
    const auto* document = static_cast<const TKvGraphicsDocument*>(editor.ActiveDocument());
    TKvPixelBuffer copy;
    if (!document)
        return copy;
    copy.SetFormat(PixelFormatBGR24, document->Image().Pixels().GetBounds());
    copy.Assign(document->Image().Pixels());
    return copy;
}

bool PictureIs(const TKvGraphicsEditor& editor, const TKvPixels& expected)
{
    const auto* document = static_cast<const TKvGraphicsDocument*>(editor.ActiveDocument());
    return document && SamePixels(document->Image().Pixels(), expected);
}

// A real click on a toolbar button of the window.
bool ClickButton(QToolBar* toolbar, QAction* button)
{
    QWidget* widget = toolbar->widgetForAction(button);
    return widget && ClickAt(widget);
}

class TRecordAndPlay {
public:
    explicit TRecordAndPlay(TModule& module) : m_module(module) {}

    void Run()
    {
        TKvGraphicsEditor& editor = *m_module.GraphicsEditor;
        TKvDemonstrationModule& demonstrations = *m_module.DemonstrationModule;
        TKvDemoPlayback& playback = demonstrations.Playback();
        const QString picture = editor.ActiveDocument()->FileName();
        const TKvPixelBuffer opened = PictureOf(editor);

        // The shortcut, once the main window has the keyboard.
        ASSERT_TRUE(Xdotool({QStringLiteral("windowfocus"), QString::number(m_module.MainForm->winId())}));
        ASSERT_TRUE(RunLoopUntil([&] { return m_module.MainForm->isActiveWindow(); }));
        ASSERT_TRUE(Xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+d")}));
        TKvDemoEditorModule& editorModule = *m_module.DemoEditorModule;
        ASSERT_TRUE(RunLoopUntil([&] { return editorModule.EditorForm() && editorModule.EditorForm()->isVisible(); }));
        TKvDemoEditorForm& form = *editorModule.EditorForm();

        form.ScriptMemo->setPlainText(QStringLiteral("Rotation"));
        editor.SetActiveTool(m_module.RotateTool);
        ASSERT_TRUE(ClickButton(form.Toolbar, form.RecordToolButton));
        ASSERT_TRUE(RunLoopUntil([&] { return playback.Recording(); }));
        EXPECT_FALSE(form.ScriptMemo->isEnabled());
        ASSERT_NO_FATAL_FAILURE(ClickName(QStringLiteral("RotationRight")));
        ASSERT_TRUE(RunLoopUntil([&] { return PictureOf(editor).Width == opened.Height; })) << "turned";
        ASSERT_NO_FATAL_FAILURE(ClickName(QStringLiteral("RotationHorizontal")));
        ASSERT_TRUE(RunLoopUntil([&] { return editor.ActiveDocument()->History().Count() == 2; })) << "mirrored";
        EXPECT_TRUE(TakeScreenshotOfTheScreen(QStringLiteral("demo_editor_recording")));
        const TKvPixelBuffer recorded = PictureOf(editor);

        ASSERT_TRUE(ClickButton(form.Toolbar, form.StopToolButton));
        ASSERT_TRUE(RunLoopUntil([&] { return !playback.Recording(); }));
        EXPECT_TRUE(form.ScriptMemo->isEnabled());
        const QString lines = form.ScriptMemo->toPlainText();
        EXPECT_TRUE(lines.startsWith(QStringLiteral("Rotation\n"))) << "recorded lines go after the last";
        for (const char* line : {"\nRotationRight\n", "\nRotationHorizontal"})
            EXPECT_TRUE(lines.contains(QLatin1String(line))) << line << " in " << lines.toStdString();
        const QString saved = QDir(QFileInfo(picture).absolutePath()).filePath(QStringLiteral("recorded.dsc"));
        ASSERT_TRUE(form.SaveFile(saved));

        // The picture as its file holds it, the hand tool, and an empty
        // editor.
        editor.SetActiveTool(m_module.ScrollTool);
        editor.ActiveDocument()->SetNoSavePrompt(true);
        TKvDocument* again = nullptr;
        ASSERT_TRUE(editor.OpenFile(picture, again, false));
        ASSERT_TRUE(PictureIs(editor, opened));
        form.CmNew();
        ASSERT_TRUE(form.OpenFile(saved));
        EXPECT_EQ(form.ScriptMemo->toPlainText(), lines);

        // Played over the picture (not closing it), answering the finished
        // message.
        demonstrations.CloseDocument = false;
        TModalAnswers answers;
        answers.Answer(QMessageBox::Ok);
        ASSERT_TRUE(ClickButton(form.Toolbar, form.PlayToolButton));
        // The editor hides while it plays; the main window takes the
        // keyboard back, as a window manager would give it (a demonstration
        // waits while the program is not the active one).
        ASSERT_TRUE(RunLoopUntil([&] { return !form.isVisible(); }));
        ASSERT_TRUE(Xdotool({QStringLiteral("windowfocus"), QString::number(m_module.MainForm->winId())}));
        ASSERT_TRUE(RunLoopUntil([&] { return answers.Done() && !playback.Playing(); }, 120000));
        EXPECT_EQ(answers.Unexpected, 0);
        EXPECT_TRUE(PictureIs(editor, recorded)) << "the played script leaves the recorded picture";
        EXPECT_TRUE(form.isVisible()) << "the editor comes back";

        editor.ActiveDocument()->SetNoSavePrompt(true);
        m_module.MainForm->close();
    }

private:
    // A real click where a script's name points.
    void ClickName(const QString& name)
    {
        const std::optional<QPoint> point = m_module.DemonstrationModule->Registry().ControlTarget(name);
        ASSERT_TRUE(point.has_value()) << name.toStdString();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible())
                ASSERT_TRUE(Settle(window));
        TPointerWatch watch;
        ASSERT_TRUE(MovePointerTo(watch, *point));
        ASSERT_TRUE(Xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    }

    TModule& m_module;
};

} // namespace

TEST(DemoEditorRecordingChild, Run)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "runs only as the child of the test below";
    auto* start = new QTimer(qApp);
    QObject::connect(start, &QTimer::timeout, [start] {
        TModule* module = RunningModule();
        if (!module || !module->MainForm->isVisible() || !module->GraphicsEditor->ActiveDocument())
            return;
        start->stop();
        if (!Settle(module->MainForm)) {
            QCoreApplication::exit(1);
            return;
        }
        TRecordAndPlay(*module).Run();
        if (module->MainForm->isVisible()) // a step failed: end anyway
            QCoreApplication::exit(1);
    });
    start->start(100);
    ASSERT_TRUE(SkipDemonstrationsAtStartup());
    EXPECT_EQ(RunProgram(BuildLanguagesFolder()), 0);
}

TEST(DemoEditorRecording, ARecordedSavedLoadedAndPlayedScriptGivesTheRecordedPicture)
{
    if (!qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "the parent's part";
    TTempUserFolders folders;
    QTemporaryDir folder;
    const QString photograph = QDir(folder.path()).filePath(QStringLiteral("rocket.jpg"));
    ASSERT_TRUE(QFile::copy(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("Demo/rocket.jpg")),
                            photograph));
    TXvfbServer server(QStringLiteral("1280x960x24"));
    ASSERT_FALSE(server.Display().isEmpty());
    EXPECT_EQ(RunThisProgramOn(server, ChildVariable, QStringLiteral("DemoEditorRecordingChild.Run"), {photograph}, 300000),
              0);
    EXPECT_TRUE(QFileInfo::exists(ScreenshotPath(QStringLiteral("demo_editor_recording"))));
}
