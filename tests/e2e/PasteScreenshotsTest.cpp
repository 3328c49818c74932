// The main workflow end to end in the program itself on a real X server
// (Xvfb): the coffee cup cut out of its photograph with the mouse (xdotool)
// and saved with Save Object, a second photograph (a rocket on its launch
// pad) opened, the Paste tool chosen, its slider turned to 30 degrees, a
// rectangle dragged, Enter pressed, the paste undone and redone from the
// toolbar; then text typed into the Text tool's memo and written into two
// rectangles, in the chosen colour and as the inverse of the picture (the
// second drawn leftwards, mirrored). Each step leaves a screenshot of the
// main window in the build folder (screenshots/paste_*) for people to look
// at; the test checks that each commit wrote what RenderPaste or BlendText
// give for the rectangle placed, and that undo and redo bring back the
// pictures before and after.
//
// The test runs itself again as the program: the child runs RunProgram, as
// the editor's main does, with the two photographs as its arguments, and
// drives it from a timer once its window is on the screen.
#include "KvClippingTool.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvJPEGOptions.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "KvPasteTool.h"
#include "KvTextTool.h"
#include "PasteRender.h"
#include "Program.h"
#include "ProgramTestSupport.h"
#include "ScreenDrags.h"
#include "ScreenDriver.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>

namespace {

constexpr char ChildVariable[] = "ORVANE_PASTE_SCREENSHOTS_CHILD";
constexpr int Rotation = 30;
constexpr TColor TextRed = 0x0000E0; // $00BBGGRR

TModule* Module() { return RunningModule(); }
TKvGraphicsEditor* GraphicsEditor() { return RunningModule() ? RunningModule()->GraphicsEditor : nullptr; }
TMainForm* MainForm() { return RunningModule() ? RunningModule()->MainForm : nullptr; }
TKvGraphicsDocument* Document() { return GraphicsEditor()->ActiveGraphicsDocument(); }
TKvGraphicsView* View() { return GraphicsEditor()->ActiveView(); }

bool TakeScreenshot(const QString& step, QWidget* window = nullptr)
{
    return ::TakeScreenshot(window ? window : MainForm(), QStringLiteral("paste_") + step);
}

bool RunScriptCommand(const char* command)
{
    bool handled = false;
    for (TKvGraphicsTool* tool : GraphicsEditor()->Tools())
        if (!handled)
            tool->ExecuteScriptCommand(QString::fromLatin1(command).toUpper(), handled, TKvCustomProperties());
    return handled;
}

bool ClickToolbarButton(QAction* button)
{
    QWidget* widget = GraphicsEditor()->StandardToolbar->widgetForAction(button);
    return widget && ClickAt(widget);
}

bool PressKey(const char* key)
{
    View()->activateWindow();
    View()->setFocus();
    return RunLoopUntil([] { return View()->window()->isActiveWindow() && View()->hasFocus(); }) && Xdotool({QStringLiteral("key"), QLatin1String(key)});
}

TKvPixelBuffer Snapshot()
{
    TKvPixelBuffer copy;
    copy.SetFormat(PixelFormatBGR24, Document()->Image().Pixels().GetBounds());
    copy.Assign(Document()->Image().Pixels());
    return copy;
}

bool PictureIs(const TKvPixels& expected)
{
    const TKvPixels& picture = Document()->Image().Pixels();
    if (picture.Width != expected.Width || picture.Height != expected.Height)
        return false;
    for (int y = 0; y < picture.Height; ++y)
        if (std::memcmp(picture.PixelAt(0, y), expected.PixelAt(0, y), std::size_t(picture.Width) * 3) != 0)
            return false;
    return true;
}

bool ClippingIdle()
{
    const TKvClippingTool* clipping = Module()->ClippingTool;
    return clipping->Document() && !clipping->Document()->Locked() && !clipping->Busy();
}

// The band round the cup, Separate, Effect and Save Object (the JPEG
// Options dialog answered with OK); the paste tool's grid shows the new
// entry, selected.
void CutOutAndSaveTheCup()
{
    TKvClippingTool* clipping = Module()->ClippingTool;
    TKvClippingFrame* frame = clipping->ClippingFrame();
    clipping->SetSize(CoffeeCupBrushSize);
    ASSERT_TRUE(DragRoundTheCoffeeCup(View()));
    ASSERT_TRUE(RunLoopUntil([&] { return ClippingIdle() && clipping->Region().HasLabel(LabelOutline); }));
    ASSERT_TRUE(ClickAt(frame->SeparateTBXButton));
    ASSERT_TRUE(RunLoopUntil([&] { return ClippingIdle() && clipping->Region().HasLabel(LabelCutLine); }));
    ASSERT_TRUE(ClickAt(frame->EffectTBXButton));
    ASSERT_TRUE(RunLoopUntil([&] { return ClippingIdle() && HasBackground(clipping->Region()); }));

    QTimer answer;
    answer.callOnTimeout([] {
        if (auto* form = qobject_cast<TKvJPEGOptionsForm*>(QApplication::activeModalWidget()))
            form->OkButton->click();
    });
    answer.start(50);
    ASSERT_TRUE(ClickAt(frame->StoreTBXButton));
    ASSERT_TRUE(RunLoopUntil([&] { return ClippingIdle() && std::filesystem::exists(ObjectLibraryFolder() / "000001.tmb"); }));
    answer.stop();
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("cut_out")));

    const TKvPasteTool* paste = Module()->PasteTool;
    ASSERT_EQ(paste->List().Count(), 1) << "Save Object adds the entry to the paste tool's grid";
    EXPECT_EQ(paste->List().Selected(), 0);
    EXPECT_GT(paste->Object().Width(), 0);
}

// The second photograph in place of the first.
void OpenTheRocket(const QString& rocket)
{
    Document()->SetNoSavePrompt(true);
    TKvDocument* opened = nullptr;
    ASSERT_TRUE(GraphicsEditor()->OpenFile(rocket, opened, false));
    ASSERT_TRUE(RunLoopUntil([] { return Document() && View() && Document()->FileName().endsWith(QStringLiteral("rocket.jpg")); }));
    ASSERT_TRUE(Settle(View()->window()));
}

// The cup pasted, turned by 30 degrees; Enter commits it, the toolbar's
// undo and redo take it away and bring it back.
void PasteTheCup()
{
    TKvPasteTool* paste = Module()->PasteTool;
    ASSERT_TRUE(RunScriptCommand("Paste"));
    ASSERT_EQ(GraphicsEditor()->ActiveTool(), paste);
    paste->PasteFrame()->RotationTrackBar->setValue(Rotation);
    ASSERT_EQ(paste->Rotation(), Rotation);
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("panel")));

    const TKvPixelBuffer before = Snapshot();
    const int w = before.Width;
    const int h = before.Height;
    ASSERT_TRUE(DragOnPicture(View(), QPoint(w / 10, h * 3 / 10), QPoint(w / 2, h * 8 / 10)));
    TKvPasteToolControl* control = nullptr;
    ASSERT_TRUE(RunLoopUntil([&] {
        control = paste->ControlWithRectangle(Document());
        return control && control->State() == TPlaceState::Placed;
    }));
    const TPastePlacement placement = paste->PlacementOf(*control);
    EXPECT_EQ(placement.Rotation, Rotation);
    EXPECT_FALSE(placement.FlipX || placement.FlipY);
    EXPECT_TRUE(PictureIs(before)) << "the live paste is shown in the view only";
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("placed")));

    TKvPixelBuffer pasted;
    pasted.SetFormat(PixelFormatBGR24, before.GetBounds());
    pasted.Assign(before);
    ASSERT_FALSE(RenderPaste(pasted, paste->Object(), placement, pfHermite).IsEmpty());
    ASSERT_TRUE(PressKey("Return"));
    ASSERT_TRUE(RunLoopUntil([] { return Document()->History().Count() == 1; }));
    EXPECT_EQ(control->State(), TPlaceState::Idle);
    EXPECT_TRUE(PictureIs(pasted)) << "the commit is RenderPaste with the Hermite filter";
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("committed")));

    ASSERT_TRUE(ClickToolbarButton(GraphicsEditor()->UndoToolButton));
    ASSERT_TRUE(RunLoopUntil([&] { return PictureIs(before); }));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("undone")));
    ASSERT_TRUE(ClickToolbarButton(GraphicsEditor()->RedoToolButton));
    ASSERT_TRUE(RunLoopUntil([&] { return PictureIs(pasted); }));
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("redone")));
}

// A rectangle dragged with the Text tool and committed with Enter; the
// picture is then what BlendText gives for the rectangle placed.
void WriteTextInto(QPoint from, QPoint to, const QString& step)
{
    TKvTextTool* text = Module()->TextTool;
    const TKvPixelBuffer before = Snapshot();
    const int steps = Document()->History().Count();
    ASSERT_TRUE(DragOnPicture(View(), from, to));
    TKvTextToolControl* control = nullptr;
    ASSERT_TRUE(RunLoopUntil([&] {
        control = text->ControlWithRectangle(Document());
        return control && control->State() == TPlaceState::Placed;
    }));
    const TTextPlacement placement = text->PlacementOf(*control);
    EXPECT_EQ(placement.FlipX, to.x() < from.x());
    EXPECT_TRUE(TakeScreenshot(step + QStringLiteral("_placed")));

    TKvPixelBuffer written;
    written.SetFormat(PixelFormatBGR24, before.GetBounds());
    written.Assign(before);
    ASSERT_FALSE(BlendText(written, text->Mask(), placement, text->ColorRule()).IsEmpty());
    ASSERT_TRUE(PressKey("Return"));
    ASSERT_TRUE(RunLoopUntil([&] { return Document()->History().Count() == steps + 1; }));
    EXPECT_TRUE(PictureIs(written));
    EXPECT_TRUE(TakeScreenshot(step));
}

// "Orvane" typed into the memo, written in red, then as the inverse of the
// picture, mirrored.
void WriteTheText()
{
    TKvTextTool* text = Module()->TextTool;
    ASSERT_TRUE(RunScriptCommand("Text"));
    ASSERT_EQ(GraphicsEditor()->ActiveTool(), text);
    TKvTextFrame* frame = text->TextFrame();
    ASSERT_TRUE(ClickAt(frame->TextMemo));
    ASSERT_TRUE(Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("Orvane")}));
    ASSERT_TRUE(RunLoopUntil([&] { return frame->TextMemo->toPlainText() == QStringLiteral("Orvane") && !text->Mask().IsEmpty(); }));
    text->SetTextColor(TextRed);

    const int w = Document()->Image().Width();
    const int h = Document()->Image().Height();
    WriteTextInto(QPoint(w * 55 / 100, h / 12), QPoint(w * 95 / 100, h / 4), QStringLiteral("text_selected"));

    ASSERT_TRUE(ClickAt(frame->ColorItem(1), QPoint(8, frame->ColorItem(1)->height() / 2)));
    ASSERT_TRUE(RunLoopUntil([&] { return text->ColorMode() == tcInverted; }));
    WriteTextInto(QPoint(w * 95 / 100, h * 3 / 10), QPoint(w * 55 / 100, h * 55 / 100), QStringLiteral("text_inverted"));
}

} // namespace

TEST(PasteOnScreenChild, Run)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "runs only as the child of the test below";
    const QString rocket = QCoreApplication::arguments().value(2);
    auto* start = new QTimer(qApp);
    QObject::connect(start, &QTimer::timeout, [start, rocket] {
        if (!MainForm() || !MainForm()->isVisible() || !GraphicsEditor() || !View() || !Module()->ClippingTool->Document())
            return;
        start->stop();
        [&] {
            ASSERT_NO_FATAL_FAILURE(CutOutAndSaveTheCup());
            ASSERT_NO_FATAL_FAILURE(OpenTheRocket(rocket));
            ASSERT_NO_FATAL_FAILURE(PasteTheCup());
            ASSERT_NO_FATAL_FAILURE(WriteTheText());
            Document()->SetNoSavePrompt(true);
            MainForm()->close();
        }();
        if (MainForm()->isVisible()) // a step failed: end anyway
            QCoreApplication::exit(1);
    });
    start->start(100);
    SkipDemonstrationsAtStartup();
    EXPECT_EQ(RunProgram(BuildLanguagesFolder()), 0);
}

TEST(PasteOnScreen, CutSavePasteTurnUndoRedoAndText)
{
    if (!qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "the parent's part";
    TTempUserFolders folders;
    QTemporaryDir folder;
    const QDir demo(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("Demo")));
    const QString coffee = QDir(folder.path()).filePath(QStringLiteral("coffee.png"));
    const QString rocket = QDir(folder.path()).filePath(QStringLiteral("rocket.jpg"));
    ASSERT_TRUE(QFile::copy(demo.filePath(QStringLiteral("coffee.png")), coffee));
    ASSERT_TRUE(QFile::copy(demo.filePath(QStringLiteral("rocket.jpg")), rocket));
    TXvfbServer server(QStringLiteral("1280x960x24"));
    ASSERT_FALSE(server.Display().isEmpty());
    EXPECT_EQ(RunThisProgramOn(server, ChildVariable, QStringLiteral("PasteOnScreenChild.Run"), {coffee, rocket}, 300000),
              0);
    server.Stop();
    for (const char* step : {"cut_out", "panel", "placed", "committed", "undone", "redone", "text_selected_placed",
                             "text_selected", "text_inverted_placed", "text_inverted"})
        EXPECT_TRUE(QFileInfo::exists(ScreenshotPath(QStringLiteral("paste_") + QLatin1String(step)))) << step;
}
