// The original image tool on a view: the key O held shows the original
// picture in the picture's place and its release brings the tool that was
// current back; the key's auto-repeat, a lost keyboard focus and running
// work that holds the picture.
#include "PictureToolsFixture.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

class OriginalImageToolTest : public ::testing::Test, public PictureToolsFixture {
protected:
    OriginalImageToolTest() : PictureToolsFixture(40, 30, QSize(80, 80))
    {
        tools.SetActiveTool(crop.get());
        // The edited picture differs from the original everywhere.
        tone->StepBrightness(-TKvBrightnessContrastTool::StepValue);
        tone->StepContrast(-TKvBrightnessContrastTool::StepValue);
        view->setFocus();
    }

    void Key(QEvent::Type type, bool autoRepeat = false)
    {
        QKeyEvent event(type, Qt::Key_O, Qt::NoModifier, QStringLiteral("o"), autoRepeat);
        QApplication::sendEvent(view, &event);
    }
    // Whether the view shows the original at a few points, or the picture.
    bool ShowsOriginal()
    {
        const QImage painted = Painted();
        for (const QPoint p : {QPoint(0, 0), QPoint(17, 9), QPoint(39, 29)})
            if (!(ShownAt(painted, p.x(), p.y()) == NumberedColor(p.x(), p.y())))
                return false;
        return true;
    }
    bool ShowsPicture()
    {
        const QImage painted = Painted();
        for (const QPoint p : {QPoint(0, 0), QPoint(17, 9), QPoint(39, 29)})
            if (!(ShownAt(painted, p.x(), p.y()) == ImageAt(p.x(), p.y())))
                return false;
        return true;
    }
};

TEST_F(OriginalImageToolTest, HoldingOShowsTheOriginalAndReleasingItReturns)
{
    ASSERT_TRUE(ShowsPicture());
    Key(QEvent::KeyPress);
    EXPECT_EQ(tools.Active, original.get());
    EXPECT_TRUE(ShowsOriginal());
    // A held key repeats as release and press pairs: nothing changes.
    Key(QEvent::KeyRelease, true);
    Key(QEvent::KeyPress, true);
    EXPECT_EQ(tools.Active, original.get());
    EXPECT_TRUE(ShowsOriginal());
    Key(QEvent::KeyRelease);
    EXPECT_EQ(tools.Active, crop.get());
    EXPECT_TRUE(ShowsPicture());
}

TEST_F(OriginalImageToolTest, LosingTheKeyboardWhileOIsHeldReturnsToThePicture)
{
    Key(QEvent::KeyPress);
    ASSERT_EQ(tools.Active, original.get());
    QFocusEvent lost(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(view, &lost);
    EXPECT_EQ(tools.Active, crop.get());
    // The release that follows elsewhere changes nothing.
    Key(QEvent::KeyRelease);
    EXPECT_EQ(tools.Active, crop.get());
}

TEST_F(OriginalImageToolTest, RunningWorkOnThePictureKeepsTheOriginalAway)
{
    document->Lock(rotate.get()); // as a long step holds the picture
    original->ShowOriginal();
    EXPECT_EQ(tools.Active, crop.get());
    document->ResetLock();
    // An adjustment waiting for Ok does not.
    tone->SetBrightness(9);
    original->ShowOriginal();
    EXPECT_EQ(tools.Active, original.get());
    original->ShowCorrected();
    EXPECT_EQ(tools.Active, crop.get());
}

TEST_F(OriginalImageToolTest, AfterACropAndATurnTheOriginalIsCroppedAndTurnedToo)
{
    original->ShowOriginal();
    ASSERT_TRUE(ShowsOriginal()); // the painter has a copy scaled from the original now
    original->ShowCorrected();
    ASSERT_TRUE(crop->CropToRect({5, 5, 25, 20}));
    ASSERT_TRUE(rotate->RotateLeft());
    original->ShowOriginal();
    const QImage painted = Painted();
    // Turned left, the cropped original's top-right pixel (24, 5) is at (0, 0).
    EXPECT_EQ(ShownAt(painted, 0, 0), NumberedColor(24, 5));
    EXPECT_EQ(ShownAt(painted, 14, 19), NumberedColor(5, 19));
}

} // namespace
