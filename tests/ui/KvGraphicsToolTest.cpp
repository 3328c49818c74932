// The tool framework: edits and the command states they leave, controls in
// views, activation and availability, and the script name.
#include "GraphicsViewFixture.h"
#include "KvGraphicsCommandState.h"
#include "KvForms.h"
#include "QtPrinters.h"

#include <QAction>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Paints a grey square into the picture inside an edit.
void PaintSquare(TKvGraphicsTool& tool, const TRect& square, uint8_t value)
{
    TKvPixels* image = tool.ImagePixels();
    ASSERT_NE(image, nullptr);
    for (int y = square.Top; y < square.Bottom; ++y)
        std::memset(image->PixelAt(square.Left, y), value, std::size_t(square.Width()) * 3);
    tool.InvalidateDirty(square);
}

uint8_t ByteAt(const TKvGraphicsDocument& document, int x, int y)
{
    return document.Image().Pixels().PixelAt(x, y)[0];
}

class GraphicsToolTest : public ::testing::Test {
protected:
    GraphicsViewFixture f{30, 20, QSize(100, 60)};
    TKvGraphicsTool first{&f.tools};
    TKvGraphicsTool second{&f.tools};
};

TEST_F(GraphicsToolTest, AnEditRecordsOneStateForWhatItChangedAndUnlocks)
{
    first.BeginEdit(f.view);
    EXPECT_TRUE(f.document->Locked());
    EXPECT_EQ(f.document->LockingTool(), &first);
    PaintSquare(first, {2, 2, 5, 4}, 200);
    PaintSquare(first, {10, 8, 12, 9}, 100);
    first.EndEdit();

    EXPECT_FALSE(f.document->Locked());
    EXPECT_FALSE(first.Editing());
    ASSERT_EQ(f.document->History().Count(), 1);
    const auto* state = dynamic_cast<const TKvGraphicsCommandState*>(f.document->History().NextUndoState());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->Rect(), (TRect{2, 2, 12, 9}));
    // Committed follows the picture, the start of the next edit.
    EXPECT_EQ(f.document->Committed().PixelAt(3, 3)[0], 200);

    f.document->History().Undo();
    EXPECT_EQ(ByteAt(*f.document, 3, 3), 0);
    EXPECT_EQ(ByteAt(*f.document, 10, 8), 0);
}

TEST_F(GraphicsToolTest, AnEditThatChangedNothingRecordsNothing)
{
    f.document->MarkSaved();
    f.document->SetFileName(QStringLiteral("/tmp/picture.png"));
    f.document->MarkSaved();
    ASSERT_TRUE(f.document->Saved());
    first.BeginEdit(f.view);
    first.EndEdit();
    EXPECT_EQ(f.document->History().Count(), 0);
    EXPECT_TRUE(f.document->Saved());
    EXPECT_FALSE(f.document->Locked());
}

TEST_F(GraphicsToolTest, ASecondToolsEditRecordsTheFirstToolsOpenEditFirst)
{
    first.BeginEdit(f.view);
    PaintSquare(first, {1, 1, 3, 3}, 50);
    second.BeginEdit(f.view);
    EXPECT_FALSE(first.Editing());
    PaintSquare(second, {20, 10, 22, 12}, 60);
    second.EndEdit();

    ASSERT_EQ(f.document->History().Count(), 2);
    const auto* last = dynamic_cast<const TKvGraphicsCommandState*>(f.document->History().NextUndoState());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Tool(), &second);
    EXPECT_EQ(last->Rect(), (TRect{20, 10, 22, 12}));
    f.document->History().Undo();
    const auto* before = dynamic_cast<const TKvGraphicsCommandState*>(f.document->History().NextUndoState());
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->Tool(), &first);
    EXPECT_EQ(before->Rect(), (TRect{1, 1, 3, 3}));
}

TEST_F(GraphicsToolTest, ACancelledEditPutsBackEveryPixelAndRecordsNothing)
{
    f.FillPicture([](int x, int y) { return RGBToTriple(uint8_t(x), uint8_t(y), 9); });
    first.BeginEdit(f.view);
    PaintSquare(first, {0, 0, 30, 20}, 255);
    first.CancelEdit();
    EXPECT_FALSE(f.document->Locked());
    EXPECT_EQ(f.document->LockingTool(), nullptr);
    EXPECT_EQ(f.document->History().Count(), 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(ByteAt(*f.document, x, y), 9) << x << "," << y;
}

TEST_F(GraphicsToolTest, ControlsComeAndGoWithTheirViewsAndTools)
{
    TKvGraphicsToolControl* control = first.CreateControl(f.view);
    EXPECT_EQ(first.ControlIn(f.view), control);
    EXPECT_EQ(f.view->Objects()[f.view->Objects().Count() - 1], control);
    // Overlay only, not in the scroll extent, inactive until the tool says so.
    EXPECT_EQ(control->Flags, TKvViewObject::ofOverlay | TKvViewObject::ofNoScrollExtent);

    f.tools.SetActiveTool(&first);
    EXPECT_TRUE(first.Active());
    EXPECT_TRUE(control->ToolActive());
    f.tools.SetActiveTool(&second);
    EXPECT_FALSE(first.Active());
    EXPECT_FALSE(control->ToolActive());

    f.view->Objects().Remove(control);
    EXPECT_TRUE(first.Controls().empty());

    // A tool that goes before the view leaves its control behind safely.
    {
        TKvGraphicsTool passing(&f.tools);
        passing.CreateControl(f.view);
    }
    f.view->Objects().Clear();
}

TEST_F(GraphicsToolTest, InPluginModeOnlyToolsMeantForItStayAvailable)
{
    TKvGraphicsTool kept(&f.tools);
    kept.AvailableInPluginMode = true;
    QAction keptButton, firstButton;
    kept.ToolButton = &keptButton;
    first.ToolButton = &firstButton;

    first.DocumentOpened(f.document);
    EXPECT_TRUE(first.Available());

    f.tools.Plugin = true;
    for (TKvGraphicsTool* tool : {&kept, &first})
        tool->DocumentOpened(f.document);
    EXPECT_TRUE(kept.Available());
    EXPECT_TRUE(keptButton.isVisible());
    EXPECT_FALSE(first.Available());
    EXPECT_FALSE(firstButton.isVisible());
}

TEST_F(GraphicsToolTest, TheButtonIsCheckedWhileActiveAndTheFrameEnabledWithIt)
{
    QAction button;
    TKvFrame* frame = NewInitialized<TKvFrame>();
    std::unique_ptr<TKvFrame> owner(frame);
    first.ToolButton = &button;
    first.Frame = frame;
    first.UpdateControls();
    EXPECT_FALSE(button.isChecked());
    EXPECT_FALSE(frame->ControlsEnabled());
    f.tools.SetActiveTool(&first);
    first.UpdateControls();
    EXPECT_TRUE(button.isChecked());
    EXPECT_TRUE(button.isEnabled());
    EXPECT_TRUE(frame->ControlsEnabled());
}

TEST_F(GraphicsToolTest, ItsScriptNameActivatesItAndIsRecordedWhenItIsActivated)
{
    first.ScriptName = QStringLiteral("Crop");
    bool handled = false;
    TKvProperties params;
    second.ExecuteScriptCommand(QStringLiteral("CROP"), handled, params);
    EXPECT_FALSE(handled);
    first.ExecuteScriptCommand(QStringLiteral("CROP"), handled, params);
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.tools.ActiveTool(), &first);

    TestRecorder recorder;
    first.StartRecording(&recorder);
    first.Activate(nullptr);
    EXPECT_EQ(recorder.Lines, (QStringList{"MouseCurvedMove Crop", "Message \"Crop\"", "Crop"}));
    first.StopRecording();
    first.Activate(nullptr);
    EXPECT_EQ(recorder.Lines.size(), 3);
}

} // namespace
