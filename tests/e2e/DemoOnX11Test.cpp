// Demonstrations on a real X server (Xvfb): a script moves the real pointer
// and presses real buttons through XTest to click a registered toolbar
// button (the clipping tool's), a menu item in an open menu and a button of
// the tool panel (Separate, after painting a band round the object with the
// left button held), each through a balloon shown right where it clicks;
// each click is checked by what it did. The same script runs again with the
// pointer buttons swapped in the server's mapping, as for a left hand, and
// still clicks with the logical left button. Screenshots: the balloon over
// the Separate button as it is clicked, and a balloon in each of its four
// positions (screenshots/demo_*.png in the build folder).
//
// The test runs itself again as the program on the server: the child runs
// RunProgram with a photograph as its first argument and plays the script
// once the window is on the screen.
#include "KvBalloon.h"
#include "KvClippingFrame.h"
#include "KvClippingTool.h"
#include "KvDemoInput.h"
#include "KvDemonstration.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvScrollTool.h"
#include "MarkedRegion.h"
#include "Model.h"
#include "Program.h"
#include "ProgramTestSupport.h"
#include "ScreenDriver.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QTimer>
#include <QToolButton>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

constexpr char ChildVariable[] = "ORVANE_DEMO_ON_X11_CHILD";
constexpr char SwappedVariable[] = "ORVANE_DEMO_SWAPPED_BUTTONS";

Display* XDisplay()
{
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// Swaps the first and third buttons in the server's pointer mapping.
bool SwapPointerButtons()
{
    Display* display = XDisplay();
    if (!display)
        return false;
    std::array<unsigned char, 256> map{};
    const int count = XGetPointerMapping(display, map.data(), int(map.size()));
    if (count < 3)
        return false;
    std::swap(map[0], map[2]);
    return XSetPointerMapping(display, map.data(), count) == MappingSuccess;
}

class TDemoOnScreen {
public:
    explicit TDemoOnScreen(TModule& module) : m_module(module) {}

    void Run()
    {
        TKvGraphicsEditor& editor = *m_module.GraphicsEditor;
        TKvDemonstrationModule& demonstrations = *m_module.DemonstrationModule;
        const bool swapped = !qEnvironmentVariableIsEmpty(SwappedVariable);
        if (swapped) {
            ASSERT_TRUE(SwapPointerButtons());
        }
        std::unique_ptr<TKvX11DemoInput> x11 = TKvX11DemoInput::Create();
        ASSERT_NE(x11, nullptr) << "the program drives the real pointer on an X server";
        EXPECT_EQ(x11->PhysicalButton(1), swapped ? 3u : 1u);
        EXPECT_EQ(x11->PhysicalButton(3), swapped ? 1u : 3u);

        // Names for the test: the View menu and its Actual Size item, a
        // balloon shown where the playback stands, and notes of what each
        // click did.
        TKvDemoRegistry& registry = demonstrations.Registry();
        registry.RegisterDemoControl(&m_owner, QStringLiteral("TestViewMenu"), m_module.MainForm->ViewMenuItem->menuAction());
        registry.RegisterDemoControl(&m_owner, QStringLiteral("TestActualSize"), editor.ActualSizeMenuItem);
        TKvDemoPlayback& playback = demonstrations.Playback();
        registry.RegisterDemoIntCommand(&m_owner, QStringLiteral("TestBalloon"), 0, [&](int position) {
            m_balloon.ShowBalloon(playback.Position(), position, QStringLiteral("The click goes through me"));
        });
        registry.RegisterDemoCommand(&m_owner, QStringLiteral("TestScreenshot"),
                                     [&] { EXPECT_TRUE(TakeScreenshotOfTheScreen(QStringLiteral("demo_click_through"))); });
        registry.RegisterDemoCommand(&m_owner, QStringLiteral("TestHideBalloon"), [&] { m_balloon.HideBalloon(); });
        registry.RegisterDemoCommand(&m_owner, QStringLiteral("TestNoteTool"),
                                     [&] { m_toolClicked = editor.ActiveTool() == m_module.ClippingTool; });
        registry.RegisterDemoCommand(&m_owner, QStringLiteral("TestNoteZoom"),
                                     [&] { m_zoomClicked = editor.Zoom().Thousandths() == 1000; });

        // Before: the hand tool active, the picture zoomed in.
        editor.SetActiveTool(m_module.ScrollTool);
        editor.ZoomInClick(editor.ZoomInButton);
        ASSERT_NE(editor.Zoom().Thousandths(), 1000);

        QByteArray lines = "MouseSpeed 40\n"
                           "MouseCurvedMove EdgeIndication\nTestBalloon\nMouseClick EdgeIndication\nTestHideBalloon\n"
                           "Pause 0.3\nTestNoteTool\n"
                           "MouseClick TestViewMenu\nPause 0.5\n"
                           "MouseCurvedMove TestActualSize\nTestBalloon\nMouseClick TestActualSize\nTestHideBalloon\n"
                           "Pause 0.3\nTestNoteZoom\n"
                           "EdgeIndicationSize 24\n";
        // The band round the cup and saucer, the left button held.
        constexpr int Points = 48;
        for (int i = 0; i <= Points; ++i) {
            const double angle = i * 2 * M_PI / Points;
            const QString move = i == 0 ? QStringLiteral("MouseTo") : QStringLiteral("MouseMove");
            lines += QStringLiteral("%1 Image, %2, %3\n")
                         .arg(move)
                         .arg(int(std::lround(280 + 205 * std::cos(angle))))
                         .arg(int(std::lround(205 + 185 * std::sin(angle))))
                         .toUtf8();
            if (i == 0)
                lines += "MouseDown\n";
        }
        lines += "MouseUp\nPause 0.3\n"
                 "MouseCurvedMove EdgeIndicationSeparate\nTestBalloon 3\nPause 0.3\nTestScreenshot\n"
                 "MouseClick EdgeIndicationSeparate\nTestHideBalloon\n";
        TKvDemoScript script;
        script.LoadFromBytes("[Script]\n" + lines);
        QStringList errors;
        playback.OnError = [&](const QString& message, bool& stop, const QString& line) {
            errors << message + QStringLiteral(" | ") + line;
            stop = true;
        };
        playback.OnFinished = [] {};
        // The script works on the photograph the program opened.
        demonstrations.CloseDocument = false;
        ASSERT_TRUE(demonstrations.PlayScript(script));
        ASSERT_TRUE(RunLoopUntil([&] { return !playback.Playing(); }, 120000));
        EXPECT_TRUE(errors.isEmpty()) << errors.join(QStringLiteral("; ")).toStdString();
        EXPECT_TRUE(m_toolClicked) << "the toolbar button";
        EXPECT_TRUE(m_zoomClicked) << "the menu item";
        ASSERT_TRUE(RunLoopUntil([&] { return m_module.ClippingTool->Region().HasLabel(LabelCutLine); }))
            << "the panel's Separate button";

        if (!swapped)
            ShowBalloonsInTheirFourPositions();
        m_module.ClippingTool->Document()->SetNoSavePrompt(true);
        m_module.MainForm->close();
    }

private:
    void ShowBalloonsInTheirFourPositions()
    {
        const QPoint anchor = m_module.MainForm->mapToGlobal(m_module.MainForm->rect().center());
        for (int position = 1; position <= 4; ++position) {
            TKvBalloon balloon(m_module.MainForm);
            balloon.ShowBalloon(anchor, position,
                                QStringLiteral("Balloon %1: its tail's tip is on the point it explains, and the text "
                                               "wraps when it is longer than the balloon is wide.")
                                    .arg(position));
            const QString name = QStringLiteral("demo_balloon_%1").arg(position);
            EXPECT_TRUE(TakeScreenshotOfTheScreen(name));
            const QImage screen(ScreenshotPath(name));
            // The outline is drawn in the tooltip text colour where the
            // balloon's left edge crosses its middle.
            const TKvBalloonLayout& layout = balloon.Layout();
            const QPoint edge = balloon.geometry().topLeft() + QPoint(0, layout.Body.center().y());
            EXPECT_EQ(screen.pixelColor(edge), balloon.palette().color(QPalette::ToolTipText)) << position;
        }
    }

    TModule& m_module;
    QObject m_owner;
    TKvBalloon m_balloon;
    bool m_toolClicked = false;
    bool m_zoomClicked = false;
};

} // namespace

TEST(DemoOnX11Child, Run)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "runs only as the child of the tests below";
    auto* start = new QTimer(qApp);
    QObject::connect(start, &QTimer::timeout, [start] {
        TModule* module = RunningModule();
        if (!module || !module->MainForm->isVisible() || !module->ClippingTool->Document())
            return;
        start->stop();
        if (!Settle(module->MainForm)) {
            QCoreApplication::exit(1);
            return;
        }
        TDemoOnScreen(*module).Run();
        if (module->MainForm->isVisible()) // a step failed: end anyway
            QCoreApplication::exit(1);
    });
    start->start(100);
    ASSERT_TRUE(SkipDemonstrationsAtStartup());
    EXPECT_EQ(RunProgram(BuildLanguagesFolder()), 0);
}

class DemoOnX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!qEnvironmentVariableIsEmpty(ChildVariable))
            GTEST_SKIP() << "the parent's part";
        photograph = QDir(folder.path()).filePath(QStringLiteral("coffee.png"));
        ASSERT_TRUE(QFile::copy(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("Demo/coffee.png")),
                                photograph));
    }

    TTempUserFolders folders;
    QTemporaryDir folder;
    QString photograph;
};

TEST_F(DemoOnX11, AScriptClicksAToolbarButtonAMenuItemAndAPanelButtonThroughBalloons)
{
    TXvfbServer server(QStringLiteral("1280x960x24"));
    ASSERT_FALSE(server.Display().isEmpty());
    EXPECT_EQ(RunThisProgramOn(server, ChildVariable, QStringLiteral("DemoOnX11Child.Run"), {photograph}, 300000), 0);
    for (const char* name : {"demo_click_through", "demo_balloon_1", "demo_balloon_2", "demo_balloon_3", "demo_balloon_4"})
        EXPECT_TRUE(QFileInfo::exists(ScreenshotPath(QLatin1String(name)))) << name;
}

TEST_F(DemoOnX11, WithThePointerButtonsSwappedTheScriptStillClicksWithTheLogicalLeftButton)
{
    TXvfbServer server(QStringLiteral("1280x960x24"));
    ASSERT_FALSE(server.Display().isEmpty());
    qputenv(SwappedVariable, "1");
    const int status = RunThisProgramOn(server, ChildVariable, QStringLiteral("DemoOnX11Child.Run"), {photograph}, 300000);
    qunsetenv(SwappedVariable);
    EXPECT_EQ(status, 0);
}
