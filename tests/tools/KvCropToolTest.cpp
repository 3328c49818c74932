// The crop tool on a view: dragging, moving and resizing the rectangle, the
// darkened bands on screen, Ok and Cancel, the crop command's undo and redo
// on both pictures and its memory, and what a rectangle that misses the
// picture records.
#include "KvSDF.h"
#include "PictureToolsFixture.h"

#include <QBuffer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// Lets failures show rectangles as (left, top, right, bottom).
void PrintTo(const TRect& r, std::ostream* out)
{
    *out << '(' << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ')';
}

namespace {

class CropToolTest : public ::testing::Test, public PictureToolsFixture {
protected:
    CropToolTest() : PictureToolsFixture(400, 300, QSize(460, 360)) { tools.SetActiveTool(crop.get()); }

    // A drag from one picture point straight to another.
    void DragPicture(QPointF from, QPointF to)
    {
        Drag(view, {from, to});
        QApplication::processEvents();
    }
    TRect Rect() const { return CropControl()->CropRect(); }
};

TEST_F(CropToolTest, ADragPlacesTheRectangleAndTheHandlesMoveIt)
{
    DragPicture({100, 100}, {200, 150});
    ASSERT_EQ(CropControl()->State(), TKvCropToolControl::csPlaced);
    EXPECT_EQ(Rect(), (TRect{100, 100, 200, 150}));
    EXPECT_TRUE(tools.Exclusive); // the editor stays with the tool
    EXPECT_EQ(editor.ShownWidth, 100);
    EXPECT_EQ(editor.ShownHeight, 50);

    // Moved 500 pixels to the right it stops at the picture's edge.
    DragPicture({150, 125}, {650, 125});
    EXPECT_EQ(Rect(), (TRect{300, 100, 400, 150}));

    // The left handle dragged across the right edge leaves it as it was;
    // dragged to one pixel before it, one pixel wide.
    DragPicture({300, 125}, {450, 125});
    EXPECT_EQ(Rect(), (TRect{300, 100, 400, 150}));
    DragPicture({300, 125}, {399, 125});
    EXPECT_EQ(Rect(), (TRect{399, 100, 400, 150}));
}

TEST_F(CropToolTest, ADragFarOutsideThePictureStaysInsideIt)
{
    DragPicture({10, 10}, {5000, -4000});
    EXPECT_EQ(Rect(), (TRect{10, 0, 400, 10}));
    // A press outside the picture starts nothing.
    CropControl()->Reset();
    DragPicture({-20, -20}, {50, 50});
    EXPECT_EQ(CropControl()->State(), TKvCropToolControl::csIdle);
}

TEST_F(CropToolTest, TheBandsOutsideAreDarkenedOnScreenOnly)
{
    FillPicture([](int, int) { return TColorTriple{255, 100, 0}; });
    DragPicture({100, 100}, {200, 150});
    const QImage painted = Painted();
    EXPECT_EQ(ShownAt(painted, 50, 50), (TColorTriple{164, 65, 0}));   // above
    EXPECT_EQ(ShownAt(painted, 50, 120), (TColorTriple{164, 65, 0}));  // left
    EXPECT_EQ(ShownAt(painted, 300, 120), (TColorTriple{164, 65, 0})); // right
    EXPECT_EQ(ShownAt(painted, 150, 250), (TColorTriple{164, 65, 0})); // below
    EXPECT_EQ(ShownAt(painted, 150, 125), (TColorTriple{255, 100, 0})); // inside
    EXPECT_EQ(ImageAt(50, 50), (TColorTriple{255, 100, 0}));            // the picture is untouched
    // A handle is a hollow inverted square around its point.
    const QPoint corner = view->ImageToClient(QPoint(100, 100));
    const QColor ring = painted.pixelColor(corner + QPoint(-4, -4));
    EXPECT_EQ(ring, QColor(255 - 0, 255 - 65, 255 - 164));
}

TEST_F(CropToolTest, OkCropsBothPicturesAndUndoAndRedoPutThemBackExactly)
{
    const auto image = CopyOf(Image());
    const auto originalBefore = CopyOf(Original());
    DragPicture({30, 40}, {230, 190});
    crop->UpdateControls();
    ASSERT_TRUE(crop->CropFrame()->CropButton->isEnabled());
    crop->CropFrame()->CropButton->click();
    EXPECT_EQ(CropControl()->State(), TKvCropToolControl::csIdle);
    EXPECT_FALSE(tools.Exclusive);
    ASSERT_EQ(document->Image().GetBounds(), (TRect{0, 0, 200, 150}));
    EXPECT_EQ(document->Original().GetBounds(), (TRect{0, 0, 200, 150}));
    EXPECT_EQ(ImageAt(0, 0), NumberedColor(30, 40));
    EXPECT_EQ(ImageAt(199, 149), NumberedColor(229, 189));
    ASSERT_EQ(document->History().Count(), 1);
    EXPECT_FALSE(document->Saved());

    Undo();
    EXPECT_TRUE(SamePicture(Image(), *image));
    EXPECT_TRUE(SamePicture(Original(), *originalBefore));
    EXPECT_TRUE(SamePicture(document->Committed(), *image));
    Redo();
    EXPECT_EQ(document->Image().GetBounds(), (TRect{0, 0, 200, 150}));
    EXPECT_EQ(ImageAt(0, 0), NumberedColor(30, 40));
    Undo();
    EXPECT_TRUE(SamePicture(Image(), *image));
    EXPECT_TRUE(SamePicture(Original(), *originalBefore));
}

TEST_F(CropToolTest, UndoGivesTheCropRectangleBack)
{
    document->SetCropRect({10, 20, 300, 250});
    ASSERT_TRUE(crop->CropToRect({50, 50, 150, 150}));
    EXPECT_FALSE(document->HasCropRect());
    Undo();
    EXPECT_EQ(document->CropRect(), (TRect{10, 20, 300, 250}));
}

TEST_F(CropToolTest, TheCommandKeepsNoMoreThanWhatTheCropRemoved)
{
    ASSERT_TRUE(crop->CropToRect({100, 50, 300, 250}));
    const auto* state = dynamic_cast<const TKvCropCommandState*>(document->History().Items(0));
    ASSERT_NE(state, nullptr);
    const std::size_t removedPerPicture = std::size_t(400 * 300 - 200 * 200) * 3;
    EXPECT_LE(state->Size(), 2 * removedPerPicture + 2 * 4 * 4 * 300); // row padding of the bands
    EXPECT_GE(state->Size(), 2 * removedPerPicture);
}

TEST_F(CropToolTest, LaterStepsLeaveTheMarginsAndUndoPutsEverythingBack)
{
    // Steps after a crop work on the window it left of the picture's
    // storage: a brightness step must not reach into the margins beside
    // its rows, and a turn moves the pictures into new storage, after which
    // the crop keeps only the margins.
    const auto image = CopyOf(Image());
    const auto originalBefore = CopyOf(Original());
    const std::size_t removedPerPicture = std::size_t(400 * 300 - 200 * 200) * 3;
    ASSERT_TRUE(crop->CropToRect({100, 50, 300, 250}));
    const auto* state = dynamic_cast<const TKvCropCommandState*>(document->History().Items(0));
    ASSERT_NE(state, nullptr);
    tone->StepBrightness(TKvBrightnessContrastTool::StepValue);
    ASSERT_TRUE(rotate->RotateRight());
    document->Original(); // the original takes the turn as well
    ASSERT_TRUE(rotate->RotateLeft());
    ASSERT_EQ(document->History().Count(), 4);
    EXPECT_LE(state->Size(), 2 * removedPerPicture + 2 * 4 * 4 * 300); // row padding of the bands
    for (int step = 0; step < 4; ++step)
        Undo();
    EXPECT_TRUE(SamePicture(Image(), *image));
    EXPECT_TRUE(SamePicture(Original(), *originalBefore));
    for (int step = 0; step < 4; ++step)
        Redo();
    EXPECT_EQ(document->Image().GetBounds(), (TRect{0, 0, 200, 200}));
    for (int step = 0; step < 4; ++step)
        Undo();
    EXPECT_TRUE(SamePicture(Image(), *image));
    EXPECT_TRUE(SamePicture(Original(), *originalBefore));
}

TEST_F(CropToolTest, ARectangleMissingThePictureRecordsNothing)
{
    document->MarkSaved();
    document->SetFileName(QStringLiteral("x.png"));
    document->MarkSaved();
    EXPECT_FALSE(crop->CropToRect({500, 500, 600, 600}));
    EXPECT_FALSE(crop->CropToRect({-100, 10, -1, 50}));
    EXPECT_EQ(document->History().Count(), 0);
    EXPECT_TRUE(document->Saved());
    EXPECT_EQ(document->Image().GetBounds(), (TRect{0, 0, 400, 300}));
}

TEST_F(CropToolTest, CancelDropsTheRectangleAndButtonsFollowTheState)
{
    crop->UpdateControls();
    EXPECT_FALSE(crop->CropFrame()->CropButton->isEnabled());
    DragPicture({100, 100}, {200, 150});
    crop->UpdateControls();
    EXPECT_TRUE(crop->CropFrame()->CancelButton->isEnabled());
    crop->CropFrame()->CancelButton->click();
    EXPECT_EQ(CropControl()->State(), TKvCropToolControl::csIdle);
    EXPECT_EQ(document->History().Count(), 0);
    EXPECT_EQ(editor.ShownWidth, 400); // the status bar shows the picture's size again
    EXPECT_EQ(editor.ShownHeight, 300);
    crop->UpdateControls();
    EXPECT_FALSE(crop->CropFrame()->CancelButton->isEnabled());
}

TEST_F(CropToolTest, AnOpenRectangleIsDroppedBeforeUndoSoItNeverOutlivesThePicture)
{
    ASSERT_TRUE(crop->CropToRect({0, 0, 100, 80}));
    DragPicture({10, 10}, {90, 70});
    for (int i = 0; i < 5; ++i)
        Undo();
    EXPECT_EQ(CropControl()->State(), TKvCropToolControl::csIdle);
    EXPECT_EQ(document->Image().GetBounds(), (TRect{0, 0, 400, 300}));
    QApplication::processEvents(); // paints without the rectangle
}

TEST_F(CropToolTest, ClicksAreRecordedForDemonstrations)
{
    TestRecorder recorder;
    crop->StartRecording(&recorder);
    DragPicture({100, 100}, {200, 150});
    crop->UpdateControls();
    crop->CropFrame()->CropButton->click();
    DragPicture({10, 10}, {50, 50});
    crop->UpdateControls();
    crop->CropFrame()->CancelButton->click();
    EXPECT_EQ(recorder.Lines, (QStringList{"MouseCurvedMove CropPerform", "CropPerform", "MouseCurvedMove CropCancel",
                                           "CropCancel"}));
    crop->StopRecording();
}

TEST_F(CropToolTest, SettingsKeepOnlyTheFlagsTwoValues)
{
    // A stored value other than 0 or 1 leaves the flag as it was.
    const struct {
        qint32 Stored;
        bool Before;
        bool After;
    } cases[] = {{0, true, false}, {1, false, true}, {7, false, false}, {-1, true, true}};
    for (const auto& c : cases) {
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        {
            TKvSDFWriter writer(&stream, false);
            writer.BeginNode(1, TKvCropTool::SettingsGuid);
            writer.WriteInteger(1, c.Stored);
            writer.EndNode();
        }
        stream.close();
        stream.open(QIODevice::ReadOnly);
        crop->SetOptionsShown(c.Before);
        TKvSDFReader reader(&stream, false);
        crop->LoadSettings(reader);
        EXPECT_EQ(crop->OptionsShown(), c.After) << c.Stored;
    }
}

TEST_F(CropToolTest, AOnePixelPictureCropsAndUndoes)
{
    PictureToolsFixture tiny(1, 1, QSize(40, 40));
    tiny.tools.SetActiveTool(tiny.crop.get());
    ASSERT_TRUE(tiny.crop->CropToRect({-5, -5, 5, 5}));
    EXPECT_EQ(tiny.document->Image().GetBounds(), (TRect{0, 0, 1, 1}));
    tiny.Undo();
    EXPECT_EQ(tiny.ImageAt(0, 0), NumberedColor(0, 0));
}

} // namespace
