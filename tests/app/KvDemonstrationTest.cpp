// The demonstration module in the assembled program: every name the tools
// register reaches a real control or command, scripts find targets and run
// commands through the registry and the components that answer scripts, a
// script drives the program with posted mouse events (this platform cannot
// move the pointer) and cuts an object out by the names of the clipping
// tool's buttons, a stroke a script leaves open is ended however the script
// ends, recording reaches every component, a picture a script
// names is looked for beside the script, and Ctrl+Shift+D asks for the
// demo editor although no menu item shows it.
#include "KvClippingFrame.h"
#include "KvClippingTool.h"
#include "KvDemonstration.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvHelp.h"
#include "KvMainForm.h"
#include "KvScrollTool.h"
#include "Model.h"
#include "Program.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class KvDemonstrationTest : public ::testing::Test, protected TProgramModules {
protected:
    void SetUp() override
    {
        CreateProgram(*application);
        // The scripts here work on the picture the test opened.
        DemonstrationModule->CloseDocument = false;
        application->LoadAllSettings();
        // Within the offscreen screen (800 x 600): targets off every screen
        // are refused.
        MainForm->move(0, 0);
        MainForm->resize(790, 590);
        MainForm->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(MainForm));
    }
    void TearDown() override { application = nullptr; }

    // A picture of a dark disc on a light ground, opened in the editor.
    void OpenDisc(const QString& path)
    {
        QImage picture(240, 200, QImage::Format_RGB888);
        picture.fill(QColor(230, 220, 200));
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (std::hypot(x - 120, y - 100) < 50)
                    picture.setPixelColor(x, y, QColor(40, 60, 90));
        ASSERT_TRUE(picture.save(path));
        TKvDocument* document = nullptr;
        ASSERT_TRUE(GraphicsEditor->OpenFile(path, document, false));
    }

    // Plays the script (a "[Script]" section of the lines) and waits for
    // its end; false when it did not end.
    bool Play(const QByteArray& lines, const QString& fileName = QString())
    {
        TKvDemoScript script;
        script.LoadFromBytes("[Script]\n" + lines + "\n");
        script.SetFileName(fileName);
        TKvDemoPlayback& playback = DemonstrationModule->Playback();
        playback.OnError = [this](const QString& message, bool& stop, const QString& line) {
            Errors << message + QStringLiteral(" | ") + line;
            stop = true;
        };
        playback.OnFinished = [] {};
        return DemonstrationModule->PlayScript(script) && RunLoopUntil([&] { return !playback.Playing(); });
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    QStringList Errors;
};

} // namespace

TEST_F(KvDemonstrationTest, EveryNameTheToolsRegisterReachesAControlOnTheScreenOrACommand)
{
    QTemporaryDir folder;
    OpenDisc(folder.filePath(QStringLiteral("disc.png")));
    TKvDemoRegistry& registry = DemonstrationModule->Registry();
    ASSERT_EQ(&GraphicsEditor->DemoRegistry(), &registry);
    ASSERT_FALSE(registry.Controls().empty());
    const std::vector<TKvGraphicsTool*>& tools = GraphicsEditor->Tools();
    const auto isTool = [&](const QObject* owner) {
        return std::find(tools.begin(), tools.end(), owner) != tools.end();
    };
    // The active tool's controls are on the screen, with its options shown
    // or hidden, and so are those of the editor and the windows; each tool
    // is made active in turn. A tool reached from the editor's toolbar hides
    // its panel button (its name still makes it active as a command).
    for (TKvGraphicsTool* tool : tools) {
        GraphicsEditor->SetActiveTool(tool);
        QSet<QString> shown;
        for (const char* options : {"ShowOptions", "HideOptions"}) {
            if (const TKvDemoRegistry::TCommandInfo* show = registry.FindCommand(tool->ScriptName + QLatin1String(options)))
                show->Procedure();
            tool->UpdateControls();
            RunEventLoopFor(100); // the idle updates show the panel
            for (const TKvDemoRegistry::TControlInfo& control : registry.Controls())
                if (registry.ControlTarget(control.Name))
                    shown.insert(control.Name);
        }
        for (const TKvDemoRegistry::TControlInfo& control : registry.Controls()) {
            ASSERT_NE(control.Component, nullptr) << control.Name.toStdString();
            const bool hiddenToolButton = control.Component == tool->ToolButton && !tool->ToolButton->isVisible();
            if ((control.Owner == tool && !hiddenToolButton) || !isTool(control.Owner))
                EXPECT_TRUE(shown.contains(control.Name))
                    << control.Name.toStdString() << " with " << tool->ScriptName.toStdString() << " active";
        }
    }
    for (const TKvDemoRegistry::TCommandInfo& command : registry.Commands())
        EXPECT_TRUE(command.Procedure || command.IntProcedure || command.BoolProcedure || command.SenderProcedure)
            << command.Name.toStdString();
    EXPECT_NE(registry.FindCommand(QStringLiteral("EdgeIndicationSeparate")), nullptr);
}

TEST_F(KvDemonstrationTest, TheComponentsThatAnswerScriptsAreTheEditorAndTheTools)
{
    const std::vector<IKvScriptClient*> clients = TKvDemonstrationModule::ScriptClients();
    const auto has = [&](IKvScriptClient* client) { return std::find(clients.begin(), clients.end(), client) != clients.end(); };
    EXPECT_TRUE(has(GraphicsEditor));
    EXPECT_TRUE(has(ClippingTool));
    EXPECT_TRUE(has(ScrollTool));
}

TEST_F(KvDemonstrationTest, AScriptCutsAnObjectOutByTheNamesOfTheClippingToolsButtons)
{
    QTemporaryDir folder;
    OpenDisc(folder.filePath(QStringLiteral("disc.png")));
    // A band round the disc's edge, painted with the left button held.
    QByteArray band = "EdgeIndicationSize 16\nMouseTo Image, 190, 100\nMouseDown\n";
    for (int degrees = 10; degrees <= 370; degrees += 10) {
        const double angle = degrees * M_PI / 180;
        band += QStringLiteral("MouseMove Image, %1, %2\n")
                    .arg(int(std::lround(120 + 70 * std::cos(angle))))
                    .arg(int(std::lround(100 + 70 * std::sin(angle))))
                    .toUtf8();
    }
    band += "MouseUp\nMouseSpeed 50\nMouseClick EdgeIndicationSeparate\nPause 0.3\nMouseClick EdgeIndicationEffect\n"
            "Pause 0.3";
    ASSERT_TRUE(Play(band)) << Errors.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join(QStringLiteral("; ")).toStdString();
    // Effect shows the disc as the object: the ground is white now.
    ClippingTool->UpdateControls();
    EXPECT_TRUE(ClippingTool->ClippingFrame()->SwapTBXButton->isEnabled());
}

TEST_F(KvDemonstrationTest, AStrokeLeftOpenIsEndedWhenTheDemonstrationFinishesOrFails)
{
    QTemporaryDir folder;
    OpenDisc(folder.filePath(QStringLiteral("disc.png")));
    QObject owner;
    bool stroking = false;
    DemonstrationModule->Registry().RegisterDemoCommand(&owner, QStringLiteral("TestNoteStroke"),
                                                        [&] { stroking = ClippingTool->StrokeControl() != nullptr; });
    // The band is begun with the left button, which the script leaves down.
    const QByteArray stroke = "EdgeIndication\nMouseTo Image, 60, 60\nMouseDown\nMouseMove Image, 100, 60\n"
                              "TestNoteStroke\n";
    for (const QByteArray& end : {QByteArray("Pause 0.05"), QByteArray("NoSuchCommand")}) {
        stroking = false;
        Errors.clear();
        ASSERT_TRUE(Play(stroke + end)) << end.constData();
        EXPECT_TRUE(stroking) << end.constData();
        EXPECT_EQ(Errors.size(), end == "NoSuchCommand" ? 1 : 0) << end.constData();
        EXPECT_EQ(ClippingTool->StrokeControl(), nullptr) << end.constData();
    }
    DemonstrationModule->Registry().UnregisterOwner(&owner);
}

TEST_F(KvDemonstrationTest, ToolsAndCommandsOfTheRegistryRunFromScriptLines)
{
    QTemporaryDir folder;
    OpenDisc(folder.filePath(QStringLiteral("disc.png")));
    ASSERT_TRUE(Play("EdgeIndicationShadow 5\nEdgeIndicationBackgroundEffect 1\nZoomIn\nEdgeIndication"));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(ClippingTool->ShadowLevel(), 5);
    EXPECT_EQ(ClippingTool->BackgroundEffect(), 1);
    ASSERT_TRUE(Play("NoSuchCommand"));
    EXPECT_EQ(Errors.value(0), QStringLiteral("Unknown command: \"NOSUCHCOMMAND\" | NoSuchCommand"));
}

TEST_F(KvDemonstrationTest, APictureAScriptNamesIsLookedForBesideTheScript)
{
    QTemporaryDir folder;
    QImage picture(64, 48, QImage::Format_RGB888);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(folder.filePath(QStringLiteral("beside.png"))));
    ASSERT_TRUE(Play("ImageOpen \"beside.png\"", folder.filePath(QStringLiteral("script.dsc"))));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join(QStringLiteral("; ")).toStdString();
    ASSERT_NE(GraphicsEditor->ActiveDocument(), nullptr);
    EXPECT_EQ(QFileInfo(GraphicsEditor->ActiveDocument()->FileName()).fileName(), QStringLiteral("beside.png"));
}

TEST_F(KvDemonstrationTest, RecordingReachesEveryComponentAndTheirLinesGoIntoTheScript)
{
    QTemporaryDir folder;
    OpenDisc(folder.filePath(QStringLiteral("disc.png")));
    TKvDemoPlayback& playback = DemonstrationModule->Playback();
    playback.SetRecordMessages(false);
    ASSERT_TRUE(playback.BeginRecording(-1));
    EXPECT_EQ(GraphicsEditor->ScriptRecorder(), &playback);
    EXPECT_EQ(ClippingTool->Recorder(), &playback);
    GraphicsEditor->ZoomInClick(GraphicsEditor->ZoomInButton);
    DemonstrationModule->RecordDemoCommand(QStringLiteral("EdgeIndicationShadow"), QStringLiteral("2"));
    playback.EndRecording();
    EXPECT_EQ(ClippingTool->Recorder(), nullptr);
    QStringList lines;
    for (int i = 0; i < playback.Script().LineCount(); ++i)
        lines << playback.Script().Line(i);
    EXPECT_EQ(lines, (QStringList{"MouseCurvedMove ZoomIn", "ZoomIn", "MouseCurvedMove EdgeIndicationShadow",
                                  "EdgeIndicationShadow 2"}));
    DemonstrationModule->RecordDemoLine(QStringLiteral("not recorded"));
    EXPECT_EQ(playback.Script().LineCount(), 4);
}

TEST_F(KvDemonstrationTest, CtrlShiftDAsksForTheDemoEditorInEveryWindowOfTheProgram)
{
    QSignalSpy requests(DemonstrationModule, &TKvDemonstrationModule::DemoEditorRequested);
    MainForm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
    QTest::keyClick(MainForm, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(requests.count(), 1);
    // Also from another window of the program, the help window for one.
    Help->ShowHelp(TKvHelpPages::ContentsContext);
    ASSERT_TRUE(QTest::qWaitForWindowActive(Help->Window()));
    QTest::keyClick(Help->Window(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(requests.count(), 2);
}

TEST_F(KvDemonstrationTest, ADemonstrationThatIsNotInstalledDoesNotStart)
{
    QTemporaryDir folder;
    DemonstrationModule->DemoFolder = folder.path() + QLatin1Char('/');
    EXPECT_FALSE(DemonstrationModule->PlayDemo(QStringLiteral("Missing")));
    QFile script(folder.filePath(QStringLiteral("Short.dsc")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("[Script]\nPause 0.1\n");
    script.close();
    DemonstrationModule->Playback().OnFinished = [] {};
    EXPECT_TRUE(DemonstrationModule->PlayDemo(QStringLiteral("Short")));
    EXPECT_TRUE(RunLoopUntil([&] { return !DemonstrationModule->Playback().Playing(); }));
}

// Under Wayland the pointer cannot be moved: with an X server at hand the
// program runs on it, unless a platform was chosen.
TEST(PreferX11UnderWaylandTest, TheProgramChoosesXOnlyWhenItCanAndNothingWasChosen)
{
    struct TEnvironment {
        const char* Platform;
        const char* Wayland;
        const char* Display;
        const char* Expected;
    };
    const TEnvironment cases[] = {
        {nullptr, "wayland-0", ":1", "xcb"},
        {nullptr, "wayland-0", nullptr, nullptr},
        {nullptr, nullptr, ":1", nullptr},
        {"offscreen", "wayland-0", ":1", "offscreen"},
    };
    const char* names[] = {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"};
    // A variable's value, or "(unset)".
    const auto value = [](const char* name) {
        return qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray("(unset)");
    };
    QByteArray saved[3];
    for (int i = 0; i < 3; ++i)
        saved[i] = value(names[i]);
    const auto set = [](const char* name, const QByteArray& to) {
        to == "(unset)" ? qunsetenv(name) : qputenv(name, to);
    };
    for (const TEnvironment& c : cases) {
        const char* values[] = {c.Platform, c.Wayland, c.Display};
        for (int i = 0; i < 3; ++i)
            set(names[i], values[i] ? QByteArray(values[i]) : QByteArray("(unset)"));
        PreferX11UnderWayland();
        EXPECT_EQ(value("QT_QPA_PLATFORM"), c.Expected ? QByteArray(c.Expected) : QByteArray("(unset)"))
            << (c.Wayland ? "Wayland" : "no Wayland") << ", " << (c.Display ? "X" : "no X");
    }
    for (int i = 0; i < 3; ++i)
        set(names[i], saved[i]);
}
