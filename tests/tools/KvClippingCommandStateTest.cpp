// Undo and redo of the clipping commands through the document's history:
// what each state restores, what it renders again, and what it keeps.
#include "ClippingFixture.h"
#include "KvClippingCommandState.h"
#include "KvColorBox.h"

#include <QSlider>

#include <gtest/gtest.h>

namespace {

// The picture's bytes and the region's labels, counts and segments: all
// that undo must put back.
struct TSnapshot {
    std::vector<std::uint8_t> Pixels;
    std::vector<std::uint8_t> Labels;
    std::vector<std::uint8_t> Segments;
    std::vector<std::int64_t> Counts;

    friend bool operator==(const TSnapshot&, const TSnapshot&) = default;
};

TSnapshot Take(const ClippingFixture& f)
{
    TSnapshot s;
    const TMarkedRegion& region = f.tool->Region();
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y) {
            s.Pixels.insert(s.Pixels.end(), f.Pixel(x, y), f.Pixel(x, y) + 3);
            s.Labels.push_back(region.LabelAt(x, y));
            s.Segments.push_back(region.SegmentAt(x, y));
        }
    for (int label = 0; label < 256; ++label)
        s.Counts.push_back(region.CountOf(std::uint8_t(label)));
    return s;
}

const TKvClippingCommandState* LastState(const ClippingFixture& f)
{
    return dynamic_cast<const TKvClippingCommandState*>(f.document->History().NextUndoState());
}

// A ring painted, separated and shown with the colour effect.
void ShowRing(ClippingFixture& f)
{
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
}

TEST(KvClippingCommandStateTest, EveryStepUndoesToTheStateBeforeItAndRedoesToTheStateAfter)
{
    ClippingFixture f;
    std::vector<TSnapshot> states{Take(f)};
    f.PaintRing(60, 50, 25, 11);
    states.push_back(Take(f));
    f.PaintLine({60, 20}, {60, 30}, 5, Qt::RightButton);
    states.push_back(Take(f));
    f.PaintLine({60, 20}, {60, 30}, 7);
    states.push_back(Take(f));
    f.Click(f.Frame()->SeparateTBXButton);
    states.push_back(Take(f));
    f.Click(f.Frame()->EffectTBXButton);
    states.push_back(Take(f));
    f.Click(f.Frame()->SwapTBXButton);
    states.push_back(Take(f));
    f.tool->SetBackgroundColor(0x00FF00);
    states.push_back(Take(f));
    f.Click(f.Frame()->DoneTBXButton);
    states.push_back(Take(f));
    TKvCommandHistoryList& history = f.document->History();
    ASSERT_EQ(history.Count(), int(states.size()) - 1);

    for (int i = int(states.size()) - 2; i >= 0; --i) {
        history.Undo();
        EXPECT_TRUE(Take(f) == states[size_t(i)]) << "undone to state " << i;
    }
    for (size_t i = 1; i < states.size(); ++i) {
        history.Redo();
        EXPECT_TRUE(Take(f) == states[i]) << "redone to state " << i;
    }
}

TEST(KvClippingCommandStateTest, ClearIsUndoneWithItsMarksAndRedoneByClearingAgain)
{
    ClippingFixture f;
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    const TSnapshot separated = Take(f);
    const TSnapshot untouched = [&] {
        ClippingFixture clean;
        return Take(clean);
    }();
    f.Click(f.Frame()->ClearTBXButton);
    EXPECT_TRUE(f.Region().IsEmpty());
    EXPECT_EQ(f.tool->Outline().Count(), 0);
    EXPECT_EQ(Take(f).Pixels, untouched.Pixels) << "every pixel back as it was";

    f.document->History().Undo();
    EXPECT_TRUE(Take(f) == separated);
    EXPECT_GT(f.tool->Outline().Count(), 0) << "the outline is drawn again";
    f.document->History().Redo();
    EXPECT_TRUE(f.Region().IsEmpty());
    EXPECT_EQ(Take(f).Pixels, untouched.Pixels);
}

TEST(KvClippingCommandStateTest, RedoOfEffectRendersWithTheParametersOfItsTime)
{
    ClippingFixture f;
    ShowRing(f); // white
    const TSnapshot shown = Take(f);
    f.document->History().Undo();
    // No background to render: the new colour is only kept for later.
    f.tool->SetBackgroundColor(0x0000FF);
    EXPECT_TRUE(f.document->History().CanRedo());
    f.document->History().Redo();
    EXPECT_TRUE(Take(f) == shown);
    EXPECT_EQ(f.ColorAt(2, 2), (TColorTriple{255, 255, 255}));
    EXPECT_EQ(f.tool->BackgroundColor(), 0x0000FFu) << "the panel keeps the colour last chosen";
}

TEST(KvClippingCommandStateTest, UndoOfABlurLevelRendersTheOldLevelWhileTheTrackBarKeepsTheNew)
{
    ClippingFixture f;
    f.tool->SetBackgroundEffect(BackgroundBlur);
    ShowRing(f);
    const TSnapshot level3 = Take(f);
    f.Frame()->BlurRadiusTntTrackBar->setValue(1);
    const TSnapshot level1 = Take(f);
    EXPECT_FALSE(level1 == level3);

    f.document->History().Undo();
    EXPECT_TRUE(Take(f) == level3);
    EXPECT_EQ(f.Frame()->BlurRadiusTntTrackBar->value(), 1);
    EXPECT_EQ(f.tool->BlurLevel(), 1);

    // A later change goes back to what was shown, not to the track bar.
    f.Frame()->BlurRadiusTntTrackBar->setValue(2);
    f.document->History().Undo();
    EXPECT_TRUE(Take(f) == level3);
    f.document->History().Redo();
    f.Frame()->BlurRadiusTntTrackBar->setValue(1);
    EXPECT_TRUE(Take(f) == level1);
}

TEST(KvClippingCommandStateTest, SwapsUndoAndRedoInTheirOwnDirectionWithThreeSegments)
{
    // Two bands from edge to edge: areas 8 (left), 9 (middle), 10 (right).
    ClippingFixture f(150, 80, 0, 0, 0);
    f.PaintLine({50, -5}, {50, 85}, 7);
    f.PaintLine({100, -5}, {100, 85}, 7);
    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
    const auto object = [&f] {
        for (const int x : {20, 75, 130})
            if (f.Region().LabelAt(x, 40) < BackgroundBase)
                return f.Region().LabelAt(x, 40);
        return std::uint8_t(0);
    };
    EXPECT_EQ(object(), 9);
    f.Click(f.Frame()->SwapTBXButton);
    EXPECT_EQ(object(), 10);
    f.Click(f.Frame()->SwapTBXButton);
    EXPECT_EQ(object(), 8);
    f.Click(f.Frame()->SwapTBXButton);
    EXPECT_EQ(object(), 9);

    TKvCommandHistoryList& history = f.document->History();
    const int expectedUndo[] = {8, 10, 9};
    for (const int expected : expectedUndo) {
        history.Undo();
        EXPECT_EQ(object(), expected);
        EXPECT_EQ(f.tool->ObjectLabel(), expected);
    }
    const int expectedRedo[] = {10, 8, 9};
    for (const int expected : expectedRedo) {
        history.Redo();
        EXPECT_EQ(object(), expected);
    }
    // After undoing to the object 10, a new swap goes on from there.
    history.Undo();
    history.Undo();
    f.Click(f.Frame()->SwapTBXButton);
    EXPECT_EQ(object(), 8);
}

TEST(KvClippingCommandStateTest, SwapsAndParameterChangesKeepNoPixelsEffectDoneAndClearOnlyTheBefore)
{
    ClippingFixture f;
    f.PaintRing(60, 50, 25, 11);
    const TKvClippingCommandState* stroke = LastState(f);
    ASSERT_NE(stroke, nullptr);
    EXPECT_NE(stroke->BeforeImage().Data, nullptr);
    EXPECT_NE(stroke->AfterImage().Data, nullptr);
    EXPECT_GT(stroke->AfterMarks().Width(), 0);
    EXPECT_LT(stroke->AfterImage().Width, 120) << "only the stroke's rectangle";

    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
    const TKvClippingCommandState* effect = LastState(f);
    f.Click(f.Frame()->SwapTBXButton);
    const TKvClippingCommandState* swap = LastState(f);
    f.tool->SetBackgroundColor(0x00FF00);
    const TKvClippingCommandState* parameters = LastState(f);
    f.Click(f.Frame()->DoneTBXButton);
    const TKvClippingCommandState* done = LastState(f);

    for (const TKvClippingCommandState* state : {swap, parameters}) {
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->BeforeImage().Data, nullptr);
        EXPECT_EQ(state->AfterImage().Data, nullptr);
        EXPECT_EQ(state->BeforeMarks().Width(), 0);
        EXPECT_EQ(state->AfterMarks().Width(), 0);
    }
    for (const TKvClippingCommandState* state : {effect, done}) {
        ASSERT_NE(state, nullptr);
        EXPECT_NE(state->BeforeImage().Data, nullptr);
        EXPECT_GT(state->BeforeMarks().Width(), 0);
        EXPECT_EQ(state->AfterImage().Data, nullptr);
        EXPECT_EQ(state->AfterMarks().Width(), 0);
    }
    EXPECT_EQ(swap->BeforeRecord().Kind, TKvClippingRecord::ckSwap);
    EXPECT_EQ(parameters->AfterRecord().Color, 0x00FF00u);
    EXPECT_EQ(parameters->BeforeRecord().Color, 0xFFFFFFu);
}

TEST(KvClippingCommandStateTest, DoneKeepsTheRenderingDropsTheMarksAndUndoBringsThemBack)
{
    ClippingFixture f;
    ShowRing(f);
    const TSnapshot shown = Take(f);
    f.Click(f.Frame()->DoneTBXButton);
    EXPECT_TRUE(f.Region().IsEmpty());
    EXPECT_EQ(Take(f).Pixels, shown.Pixels);
    f.document->History().Undo();
    EXPECT_TRUE(Take(f) == shown);
    f.Click(f.Frame()->SwapTBXButton);
    EXPECT_EQ(f.Region().LabelAt(2, 2), FirstSegment) << "the object can be swapped again";
}

TEST(KvClippingCommandStateTest, AnUndoThatLeavesMarksAsksToGoOnWhileAnotherToolWasCurrent)
{
    ClippingFixture f;
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);

    f.tools.Previous = nullptr; // another tool (none) was current
    f.document->History().Undo(); // back to the band: marks remain
    EXPECT_TRUE(f.tools.ContinueUndoRedo);
    f.document->History().Undo(); // back to nothing
    EXPECT_FALSE(f.tools.ContinueUndoRedo);

    f.tools.Previous = f.tool.get(); // the clipping tool was current
    f.document->History().Redo();
    EXPECT_FALSE(f.tools.ContinueUndoRedo);
    EXPECT_GT(f.tool->Outline().Count(), 0) << "the outline is rebuilt where the user stays";
}

} // namespace
