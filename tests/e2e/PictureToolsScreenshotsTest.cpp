// The whole-picture tools in the program itself on a real X server (Xvfb),
// on a photograph (a rocket on its launch pad): a crop rectangle dragged
// with the mouse (xdotool), the rotate panel with its preview, each turn
// and flip from the toolbar, brightness and contrast in the middle of an
// adjustment, and the original shown while the key O is held. Each step
// leaves a screenshot of the main window in the build folder
// (screenshots/picture_tools_*) for people to look at; the test checks what
// each step did to the picture.
//
// The test runs itself again as the program: the child runs RunProgram, as
// the editor's main does, with the photograph as its first argument, and
// drives it from a timer once its window is on the screen.
#include "KvBrightnessContrastTool.h"
#include "KvCropTool.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvOriginalImageTool.h"
#include "KvRotateTool.h"
#include "Model.h"
#include "ProgramTestSupport.h"
#include "Program.h"
#include "ScreenDrags.h"
#include "ScreenDriver.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace {

constexpr char ChildVariable[] = "ORVANE_PICTURE_TOOLS_SCREENSHOTS_CHILD";

TKvGraphicsEditor* GraphicsEditor() { return RunningModule() ? RunningModule()->GraphicsEditor : nullptr; }
TMainForm* MainForm() { return RunningModule() ? RunningModule()->MainForm : nullptr; }
TModule* Module() { return RunningModule(); }

bool ClickToolbarButton(QAction* button)
{
    return ClickAt(GraphicsEditor()->StandardToolbar->widgetForAction(button));
}

bool TakeScreenshot(const QString& step)
{
    return ::TakeScreenshot(MainForm(), QStringLiteral("picture_tools_") + step);
}

TKvGraphicsDocument* Document() { return GraphicsEditor()->ActiveGraphicsDocument(); }

bool RunScriptCommand(const char* command)
{
    bool handled = false;
    for (TKvGraphicsTool* tool : GraphicsEditor()->Tools())
        if (!handled)
            tool->ExecuteScriptCommand(QString::fromLatin1(command).toUpper(), handled, TKvCustomProperties());
    return handled;
}

// The picture's pixel as BGR bytes.
QColor PictureColour(int x, int y)
{
    const std::uint8_t* p = Document()->Image().Pixels().PixelAt(x, y);
    return QColor(p[2], p[1], p[0]);
}

QColor PhotoColour(const QImage& photo, int x, int y) { return photo.pixelColor(x, y); }

void ShowEveryTool(const QImage& photo)
{
    TKvGraphicsDocument* document = Document();
    ASSERT_TRUE(document);
    TKvGraphicsView* view = GraphicsEditor()->ActiveView();
    const int w = photo.width();
    const int h = photo.height();

    // Crop: activated by its script name, its rectangle dragged on the
    // picture, then dropped again.
    ASSERT_TRUE(RunScriptCommand("Crop"));
    ASSERT_EQ(GraphicsEditor()->ActiveTool(), Module()->CropTool);
    ASSERT_TRUE(DragOnPicture(view, QPoint(160, 60), QPoint(480, 380)));
    TKvCropToolControl* control = Module()->CropTool->CropControl();
    ASSERT_TRUE(RunLoopUntil([&] { return control->State() == TKvCropToolControl::csPlaced; }));
    const TRect rect = control->CropRect();
    EXPECT_NEAR(rect.Left, 160, 2);
    EXPECT_NEAR(rect.Bottom, 380, 2);
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("crop_rectangle")));
    ASSERT_TRUE(ClickAt(Module()->CropTool->CropFrame()->CancelButton));
    EXPECT_EQ(control->State(), TKvCropToolControl::csIdle);

    // The rotate panel with its options and the preview of the chosen one.
    TKvRotateTool* rotate = Module()->RotateTool;
    ASSERT_TRUE(RunScriptCommand("Rotation"));
    rotate->SetOptionsShown(true);
    ASSERT_TRUE(ClickAt(rotate->RotateFrame()->RotateLeftRadioButton, QPoint(8, 8)));
    ASSERT_TRUE(RunLoopUntil([&] { return rotate->RotateFrame()->RotateLeftRadioButton->isChecked(); }));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("rotate_panel")));

    // Each toolbar turn and flip, from the picture as opened.
    ASSERT_TRUE(ClickToolbarButton(rotate->RotateRightToolButton));
    ASSERT_TRUE(RunLoopUntil([&] { return document->Image().Width() == h; }));
    EXPECT_EQ(PictureColour(h - 1, 0), PhotoColour(photo, 0, 0));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("turned_right")));
    ASSERT_TRUE(ClickToolbarButton(rotate->RotateLeftToolButton));
    ASSERT_TRUE(ClickToolbarButton(rotate->RotateLeftToolButton));
    ASSERT_TRUE(RunLoopUntil([&] { return document->History().Count() == 3; }));
    EXPECT_EQ(PictureColour(0, w - 1), PhotoColour(photo, 0, 0));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("turned_left")));
    ASSERT_TRUE(ClickToolbarButton(rotate->RotateRightToolButton));
    ASSERT_TRUE(ClickToolbarButton(rotate->FlipVerticalToolButton));
    ASSERT_TRUE(RunLoopUntil([&] { return document->History().Count() == 5; }));
    EXPECT_EQ(PictureColour(0, h - 1), PhotoColour(photo, 0, 0));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("flipped_vertical")));
    ASSERT_TRUE(ClickToolbarButton(rotate->FlipVerticalToolButton));
    ASSERT_TRUE(ClickToolbarButton(rotate->FlipHorizontalToolButton));
    ASSERT_TRUE(RunLoopUntil([&] { return document->History().Count() == 7; }));
    EXPECT_EQ(PictureColour(w - 1, 0), PhotoColour(photo, 0, 0));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("flipped_horizontal")));
    ASSERT_TRUE(ClickToolbarButton(rotate->FlipHorizontalToolButton));
    ASSERT_TRUE(RunLoopUntil([&] { return document->History().Count() == 8; }));

    // Brightness and contrast in the middle of an adjustment.
    TKvBrightnessContrastTool* tone = Module()->BrightnessContrastTool;
    ASSERT_TRUE(RunScriptCommand("BrightnessContrast"));
    tone->BrightnessContrastFrame()->BrightnessTrackBar->setValue(35);
    tone->BrightnessContrastFrame()->ContrastTrackBar->setValue(40);
    const TKvLUT table = BrightnessContrastTable(35, 40);
    const QColor before = PhotoColour(photo, 320, 200);
    EXPECT_EQ(PictureColour(320, 200), QColor(table[before.red()], table[before.green()], table[before.blue()]));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("brightness_contrast")));
    ASSERT_TRUE(ClickAt(tone->BrightnessContrastFrame()->OkButton));
    ASSERT_TRUE(RunLoopUntil([&] { return !tone->Adjusting(); }));

    // The original while O is held, the adjusted picture after.
    view->activateWindow();
    view->setFocus();
    ASSERT_TRUE(RunLoopUntil([&] { return view->window()->isActiveWindow() && view->hasFocus(); }));
    TKvGraphicsTool* current = GraphicsEditor()->ActiveTool();
    ASSERT_TRUE(Xdotool({QStringLiteral("keydown"), QStringLiteral("o")}));
    ASSERT_TRUE(RunLoopUntil([&] { return GraphicsEditor()->ActiveTool() == Module()->OriginalImageTool; }));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("original_held")));
    ASSERT_TRUE(Xdotool({QStringLiteral("keyup"), QStringLiteral("o")}));
    ASSERT_TRUE(RunLoopUntil([&] { return GraphicsEditor()->ActiveTool() == current; }));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("original_released")));

    document->SetNoSavePrompt(true);
    MainForm()->close();
}

} // namespace

TEST(PictureToolsOnScreenChild, Run)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "runs only as the child of the test below";
    const QImage photo = QImage(QCoreApplication::arguments().value(1)).convertToFormat(QImage::Format_RGB888);
    ASSERT_FALSE(photo.isNull());
    auto* start = new QTimer(qApp);
    QObject::connect(start, &QTimer::timeout, [start, photo] {
        if (!MainForm() || !MainForm()->isVisible() || !GraphicsEditor() || !GraphicsEditor()->ActiveView())
            return;
        start->stop();
        ShowEveryTool(photo);
        if (MainForm()->isVisible()) // a step failed: end anyway
            QCoreApplication::exit(1);
    });
    start->start(100);
    ASSERT_TRUE(SkipDemonstrationsAtStartup());
    EXPECT_EQ(RunProgram(BuildLanguagesFolder()), 0);
}

TEST(PictureToolsOnScreen, EveryToolOnAPhotograph)
{
    if (!qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "the parent's part";
    TTempUserFolders folders;
    QTemporaryDir folder;
    const QString photo = QDir(folder.path()).filePath(QStringLiteral("rocket.jpg"));
    ASSERT_TRUE(QFile::copy(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("Demo/rocket.jpg")),
                            photo));
    TXvfbServer server(QStringLiteral("1280x960x24"));
    ASSERT_FALSE(server.Display().isEmpty());
    EXPECT_EQ(RunThisProgramOn(server, ChildVariable, QStringLiteral("PictureToolsOnScreenChild.Run"), {photo}, 300000),
              0);
    server.Stop();
    for (const char* step : {"crop_rectangle", "rotate_panel", "turned_right", "turned_left", "flipped_vertical",
                             "flipped_horizontal", "brightness_contrast", "original_held", "original_released"})
        EXPECT_TRUE(QFileInfo::exists(ScreenshotPath(QStringLiteral("picture_tools_") + QLatin1String(step)))) << step;
}
