// The brightness and contrast tool: the curve always from the picture as it
// was before the adjustment, Ok and Cancel, the toolbar steps as one
// command each, the command's undo and redo, and the open adjustment
// settled when the document asks for it.
#include "PictureToolsFixture.h"

#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

class BrightnessContrastToolTest : public ::testing::Test, public PictureToolsFixture {
protected:
    BrightnessContrastToolTest() : PictureToolsFixture(40, 30, QSize(80, 80))
    {
        tools.SetActiveTool(tone.get());
    }

    TKvBrightnessContrastFrame* Frame() const { return tone->BrightnessContrastFrame(); }
    // Every pixel is the start picture through the table.
    bool IsStartThrough(const TKvLUT& table) const
    {
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const TColorTriple c = NumberedColor(x, y);
                const TColorTriple expected{std::uint8_t(table[c.Blue]), std::uint8_t(table[c.Green]),
                                            std::uint8_t(table[c.Red])};
                if (!(ImageAt(x, y) == expected))
                    return false;
            }
        return true;
    }

    std::unique_ptr<TKvPixelBuffer> m_start = CopyOf(Image());
};

TEST_F(BrightnessContrastToolTest, SliderTo30AndBackLeavesThePictureAsItWas)
{
    Frame()->BrightnessTrackBar->setValue(30);
    EXPECT_EQ(tone->Brightness(), 30);
    EXPECT_TRUE(IsStartThrough(BrightnessContrastTable(30, 0)));
    EXPECT_TRUE(tone->Adjusting());
    Frame()->ContrastTrackBar->setValue(-40);
    EXPECT_TRUE(IsStartThrough(BrightnessContrastTable(30, -40))); // from the start, not from the brighter one
    Frame()->ContrastTrackBar->setValue(0);
    Frame()->BrightnessTrackBar->setValue(0);
    EXPECT_TRUE(SamePicture(Image(), *m_start));
    tone->UpdateControls();
    ASSERT_TRUE(Frame()->OkButton->isEnabled());
    Frame()->OkButton->click();
    EXPECT_EQ(document->History().Count(), 1);
    EXPECT_TRUE(SamePicture(Image(), *m_start));
    EXPECT_FALSE(tone->Adjusting());
    tone->UpdateControls();
    EXPECT_FALSE(Frame()->OkButton->isEnabled());
}

TEST_F(BrightnessContrastToolTest, ThreeStepClicksAreThreeCommandsUndoneOneByOne)
{
    for (int i = 0; i < 3; ++i)
        tone->StepBrightness(TKvBrightnessContrastTool::StepValue);
    EXPECT_EQ(document->History().Count(), 3);
    EXPECT_EQ(tone->Brightness(), 0);
    EXPECT_EQ(Frame()->BrightnessTrackBar->value(), 0);
    const auto atFifteen = CopyOf(Image());
    // Each step brightens the picture the last one left by 5 (clamped).
    const TColorTriple start = NumberedColor(3, 4);
    EXPECT_EQ(ImageAt(3, 4).Blue, std::min(start.Blue + 15, 255));
    Undo();
    EXPECT_EQ(ImageAt(3, 4).Blue, std::min(start.Blue + 10, 255));
    Undo();
    Undo();
    EXPECT_TRUE(SamePicture(Image(), *m_start));
    Redo();
    Redo();
    Redo();
    EXPECT_TRUE(SamePicture(Image(), *atFifteen));
}

TEST_F(BrightnessContrastToolTest, ContrastStepsAndExtremeValuesTogether)
{
    tone->StepContrast(-TKvBrightnessContrastTool::StepValue);
    EXPECT_EQ(document->History().Count(), 1);
    const auto afterStep = CopyOf(Image());
    tone->SetBrightness(127);
    tone->SetContrast(-127);
    tone->SetContrast(-900); // kept at the end of the range
    EXPECT_EQ(tone->Contrast(), -127);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(ImageAt(x, y).Blue, BrightnessContrastTable(127, -127)[afterStep->PixelAt(x, y)[0]]);
    tone->SetContrast(127);
    tone->SetBrightness(0);
    for (int x = 0; x < 40; ++x) // a threshold at the middle
        EXPECT_EQ(ImageAt(x, 0).Green, afterStep->PixelAt(x, 0)[1] <= 127 ? 0 : 255);
}

TEST_F(BrightnessContrastToolTest, CancelPutsThePictureBackAndRecordsNothing)
{
    tone->SetBrightness(-60);
    ASSERT_FALSE(SamePicture(Image(), *m_start));
    Frame()->CancelButton->click();
    EXPECT_TRUE(SamePicture(Image(), *m_start));
    EXPECT_EQ(document->History().Count(), 0);
    EXPECT_EQ(tone->Brightness(), 0);
    EXPECT_FALSE(document->Locked());
}

TEST_F(BrightnessContrastToolTest, TheCommandKeepsOnePictureAndRedoesFromIt)
{
    tone->SetBrightness(40);
    tone->Commit();
    const auto* state = dynamic_cast<const TKvCurveCommandState*>(document->History().Items(0));
    ASSERT_NE(state, nullptr);
    const auto bright = CopyOf(Image());
    Undo();
    EXPECT_TRUE(SamePicture(Image(), *m_start));
    EXPECT_TRUE(SamePicture(document->Committed(), *m_start));
    Redo();
    EXPECT_TRUE(SamePicture(Image(), *bright));
}

TEST_F(BrightnessContrastToolTest, TheDocumentSettlesAnOpenAdjustmentByCommittingIt)
{
    tone->SetContrast(50);
    EXPECT_TRUE(document->LockedByOpenChange());
    EXPECT_TRUE(tone->HasOpenChange(document));
    const auto adjusted = CopyOf(Image());
    document->CommitOrCancelOpenChanges();
    EXPECT_FALSE(document->Locked());
    EXPECT_EQ(document->History().Count(), 1);
    EXPECT_TRUE(SamePicture(Image(), *adjusted));
    EXPECT_TRUE(SamePicture(document->Committed(), *adjusted));
    EXPECT_EQ(tone->Contrast(), 0);
    // Undo by the editor settles first: the adjustment is undone at once.
    tone->SetBrightness(20);
    Undo();
    EXPECT_TRUE(SamePicture(Image(), *adjusted));
    EXPECT_EQ(document->History().Position(), 1);
}

TEST_F(BrightnessContrastToolTest, UndoHammeredDuringAdjustmentsLeavesNothingHalfDone)
{
    tone->StepBrightness(TKvBrightnessContrastTool::StepValue);
    for (int i = 0; i < 6; ++i) {
        tone->SetContrast(10 * (i + 1));
        Undo();
        Undo();
        EXPECT_FALSE(document->Locked()) << i;
        EXPECT_TRUE(SamePicture(Image(), *m_start)) << i;
        EXPECT_TRUE(SamePicture(document->Committed(), *m_start)) << i;
    }
    // The last adjustment was recorded before it was undone.
    Redo();
    EXPECT_TRUE(IsStartThrough(BrightnessContrastTable(0, 60)));
    EXPECT_FALSE(document->History().CanRedo());
}

TEST_F(BrightnessContrastToolTest, AnotherToolsEditRecordsTheAdjustmentFirst)
{
    tone->SetBrightness(25);
    ASSERT_TRUE(rotate->RotateRight());
    EXPECT_EQ(document->History().Count(), 2);
    EXPECT_EQ(tone->Brightness(), 0);
    Undo();
    Undo();
    EXPECT_TRUE(SamePicture(Image(), *m_start));
}

TEST_F(BrightnessContrastToolTest, AtAReducedZoomTheViewFollowsAtOnceAndEndsExact)
{
    view->MapMode().DeviceExtent = QPoint(1, 2);
    view->MapMode().LogicalExtent = QPoint(2, 4);
    view->ImageChanged();
    const QImage start = Painted();
    tone->SetBrightness(40);
    // At once: what was shown, through the curve (no picture pixel read).
    const QImage quick = Painted();
    const TKvLUT table = BrightnessContrastTable(40, 0);
    for (const QPoint p : {QPoint(0, 0), QPoint(9, 7), QPoint(19, 14)}) {
        const QPoint at = view->ImageToClient(p * 2);
        const QColor before = start.pixelColor(at);
        EXPECT_EQ(quick.pixelColor(at), QColor(table[before.red()], table[before.green()], table[before.blue()]));
    }
    // Ok makes the view exact: as a view scaling the picture afresh.
    tone->Commit();
    const QImage exact = Painted();
    view->Picture()->PictureChanged();
    EXPECT_EQ(MaxDifference(exact, Painted()), 0);
}

TEST_F(BrightnessContrastToolTest, ValuesAndButtonsAreRecorded)
{
    TestRecorder recorder;
    tone->StartRecording(&recorder);
    Frame()->BrightnessTrackBar->setValue(12);
    Frame()->ContrastTrackBar->setValue(-3);
    Frame()->OkButton->click();
    tone->SetBrightness(1);
    Frame()->CancelButton->click();
    EXPECT_EQ(recorder.Lines, (QStringList{"BrightnessContrastBrightness 12", "BrightnessContrastContrast -3",
                                           "MouseCurvedMove BrightnessContrastPerform", "BrightnessContrastPerform",
                                           "BrightnessContrastBrightness 1", "MouseCurvedMove BrightnessContrastCancel",
                                           "BrightnessContrastCancel"}));
    tone->StopRecording();
}

} // namespace
