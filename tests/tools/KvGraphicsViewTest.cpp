// The graphics view: what it paints, what the status bar learns under the
// mouse, input routed to the tool controls from the top down, the recorded
// script lines, and the hand tool.
#include "GraphicsViewFixture.h"
#include "KvScrollTool.h"
#include "QtPrinters.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstring>

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint point, Qt::MouseButton button = Qt::NoButton,
               Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent event(type, QPointF(point), QPointF(widget->mapToGlobal(point)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void MoveTo(QWidget* widget, QPoint point, Qt::MouseButtons buttons = Qt::NoButton)
{
    SendMouse(widget, QEvent::MouseMove, point, Qt::NoButton, buttons);
}

void SendKey(QWidget* widget, QEvent::Type type, int key, bool autoRepeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(widget, &event);
}

void SendWheel(QWidget* widget, QPoint point, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent event(QPointF(point), QPointF(widget->mapToGlobal(point)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

QColor PixelColor(const QImage& image, QPoint point) { return image.pixelColor(point); }

// A tool whose control notes the calls it receives and handles what it is
// told to.
class NotingControl : public TKvGraphicsToolControl {
public:
    using TKvGraphicsToolControl::TKvGraphicsToolControl;

    bool MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&) override { return Note("down"); }
    bool MouseMove(Qt::KeyboardModifiers, const QPoint&) override { return Note("move"); }
    bool MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&) override { return Note("up"); }
    bool KeyDown(int, Qt::KeyboardModifiers) override { return Note("key"); }
    bool MouseWheel(Qt::KeyboardModifiers, int direction, const QPoint&) override
    {
        Directions.push_back(direction);
        return Note("wheel");
    }
    void MouseEnter() override { Note("enter"); }

    QStringList Calls;
    QStringList Handles;
    std::vector<int> Directions;

private:
    bool Note(const QString& call)
    {
        Calls << call;
        return Handles.contains(call);
    }
};

class NotingTool : public TKvGraphicsTool {
public:
    explicit NotingTool(IKvGraphicsEditor* editor) : TKvGraphicsTool(editor)
    {
        ControlClass = ControlClassOf<NotingControl>();
    }
    NotingControl* ControlIn(TKvGraphicsView* view) const
    {
        return static_cast<NotingControl*>(TKvGraphicsTool::ControlIn(view));
    }
};

// ---------------------------------------------------------------------------
// Painting

TEST(GraphicsViewTest, ThePictureIsPaintedCentredOnTheBackground)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    f.FillPicture([](int x, int y) { return RGBToTriple(uint8_t(x * 10), uint8_t(y * 20), 77); });
    const QImage painted = f.Painted();
    // Centred: origin (40, 25).
    EXPECT_EQ(f.view->MapMode().DeviceOrigin, QPoint(40, 25));
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 40 && x < 60 && y >= 25 && y < 35;
            const QColor expected = inside ? QColor((x - 40) * 10, (y - 25) * 20, 77) : QColor(64, 64, 64);
            ASSERT_EQ(PixelColor(painted, {x, y}), expected) << x << "," << y;
        }
}

TEST(GraphicsViewTest, AViewWhosePictureIsStillInactivePaintsOnlyTheBackground)
{
    GraphicsViewFixture f(20, 10, QSize(50, 40));
    f.FillPicture([](int, int) { return RGBToTriple(255, 255, 255); });
    f.view->Picture()->SetActive(false);
    const QImage painted = f.Painted();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(PixelColor(painted, {x, y}), QColor(64, 64, 64)) << x << "," << y;
}

TEST(GraphicsViewTest, ACropRectangleShowsOnlyItsPartWhileTheScrollExtentKeepsTheWholePicture)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    f.FillPicture([](int, int) { return RGBToTriple(200, 0, 0); });
    f.document->SetCropRect(TRect{5, 2, 15, 8});
    const QImage painted = f.Painted();
    EXPECT_EQ(f.view->MapMode().DeviceOrigin, QPoint(40, 25));
    EXPECT_EQ(PixelColor(painted, {40 + 5, 25 + 2}), QColor(200, 0, 0));
    EXPECT_EQ(PixelColor(painted, {40 + 4, 25 + 2}), QColor(64, 64, 64));
    EXPECT_EQ(PixelColor(painted, {40 + 15, 25 + 7}), QColor(64, 64, 64));
}

// ---------------------------------------------------------------------------
// Status bar

TEST(GraphicsViewTest, TheStatusBarLearnsThePointAndThePixelUnderTheMouse)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    f.FillPicture([](int x, int y) { return x == 3 && y == 4 ? RGBToTriple(200, 10, 0) : RGBToTriple(1, 2, 3); });
    const QPoint origin = f.view->MapMode().DeviceOrigin;

    MoveTo(f.view, origin + QPoint(3, 4));
    EXPECT_EQ(f.tools.Pointer, QPoint(3, 4));
    EXPECT_EQ(f.tools.Pixel, RGBToTriple(200, 10, 0));

    MoveTo(f.view, origin + QPoint(-1, 4));
    EXPECT_EQ(f.tools.Pointer, QPoint(-1, 4));
    EXPECT_EQ(f.tools.Pixel, RGBToTriple(0, 0, 0));

    // Beyond the right edge the point runs on past the picture.
    MoveTo(f.view, origin + QPoint(25, 4));
    EXPECT_EQ(f.tools.Pointer, QPoint(25, 4));
    EXPECT_EQ(f.tools.Pixel, RGBToTriple(0, 0, 0));
}

TEST(GraphicsViewTest, AtAZoomThePointIsThePicturePixelShownUnderTheMouse)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    f.FillPicture([](int x, int y) { return RGBToTriple(uint8_t(x), uint8_t(y), 0); });
    f.view->MapMode().DeviceExtent = {3, 3};
    f.view->UpdateScrollRange();
    const QImage painted = f.Painted();
    for (const QPoint client : {QPoint(30, 30), QPoint(31, 30), QPoint(33, 31), QPoint(59, 44)}) {
        MoveTo(f.view, client);
        const QColor shown = PixelColor(painted, client);
        EXPECT_EQ(f.tools.Pointer, QPoint(shown.red(), shown.green())) << client.x() << "," << client.y();
    }
}

// ---------------------------------------------------------------------------
// Routing

TEST(GraphicsViewTest, InputGoesToTheToolControlsFromTheTopDownUntilOneHandlesIt)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    NotingTool bottom(&f.tools), middle(&f.tools), top(&f.tools);
    for (NotingTool* tool : {&bottom, &middle, &top})
        tool->CreateControl(f.view);
    middle.ControlIn(f.view)->Handles = QStringList{"down", "key"};

    MoveTo(f.view, {50, 30});
    SendMouse(f.view, QEvent::MouseButtonPress, {50, 30}, Qt::LeftButton, Qt::LeftButton);
    SendKey(f.view, QEvent::KeyPress, Qt::Key_A);

    // Every control hears the mouse enter and every unhandled move.
    const QStringList all{"enter", "move", "down", "key"};
    const QStringList stopped{"enter", "move"};
    EXPECT_EQ(top.ControlIn(f.view)->Calls, all);
    EXPECT_EQ(middle.ControlIn(f.view)->Calls, all);
    EXPECT_EQ(bottom.ControlIn(f.view)->Calls, stopped);
}

TEST(GraphicsViewTest, TheWheelDirectionIsMinusOneBelowOneAndPlusOneOtherwise)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    NotingTool tool(&f.tools);
    tool.CreateControl(f.view);
    tool.ControlIn(f.view)->Handles = QStringList{"wheel"};
    SendWheel(f.view, {50, 30}, -120);
    SendWheel(f.view, {50, 30}, 120);
    f.view->MouseWheel(Qt::NoModifier, 0, f.view->mapToGlobal(QPoint(50, 30)));
    f.view->MouseWheel(Qt::NoModifier, 1, f.view->mapToGlobal(QPoint(50, 30)));
    EXPECT_EQ(tool.ControlIn(f.view)->Directions, (std::vector<int>{-1, 1, -1, 1}));
}

TEST(GraphicsViewTest, AnUnhandledWheelScrollsALargePictureAndZoomsWithCtrl)
{
    GraphicsViewFixture f(400, 300, QSize(100, 60));
    const QPoint before = f.view->MapMode().DeviceOrigin;
    SendWheel(f.view, {50, 30}, -120);
    const QPoint after = f.view->MapMode().DeviceOrigin;
    EXPECT_EQ(after.x(), before.x());
    EXPECT_LT(after.y(), before.y());

    SendWheel(f.view, {50, 30}, 120, Qt::ControlModifier);
    SendWheel(f.view, {50, 30}, -120, Qt::ControlModifier);
    EXPECT_EQ(f.tools.ZoomIns, 1);
    EXPECT_EQ(f.tools.ZoomOuts, 1);
}

// ---------------------------------------------------------------------------
// Recording

TEST(GraphicsViewTest, AClickIsRecordedAsMoveDownUpAndPause)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    TestRecorder recorder;
    f.tools.Recorder = &recorder;
    const QPoint at = f.view->MapMode().DeviceOrigin + QPoint(3, 4);

    SendMouse(f.view, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    SendMouse(f.view, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(recorder.Lines, (QStringList{"MouseCurvedMove Image, 3, 4", "MouseDown Image, 3, 4",
                                           "MouseUp Image, 3, 4", "Pause 0.5"}));

    recorder.Lines.clear();
    recorder.Messages = true;
    SendMouse(f.view, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
    SendMouse(f.view, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(recorder.Lines, (QStringList{"MouseCurvedMove Image, 3, 4", "Message \"Click\"",
                                           "MouseRightDown Image, 3, 4", "MouseRightUp Image, 3, 4", "Pause 0.5"}));
}

TEST(GraphicsViewTest, ADragRecordsOneLinePerChangedPicturePoint)
{
    GraphicsViewFixture f(40, 30, QSize(100, 100));
    f.view->MapMode().DeviceExtent = {2, 2}; // 2:1, two device pixels per picture pixel
    f.view->UpdateScrollRange();
    TestRecorder recorder;
    f.tools.Recorder = &recorder;
    const QPoint origin = f.view->MapMode().DeviceOrigin;

    SendMouse(f.view, QEvent::MouseButtonPress, origin + QPoint(2, 2), Qt::LeftButton, Qt::LeftButton);
    for (int x = 3; x <= 6; ++x)
        MoveTo(f.view, origin + QPoint(x, 2), Qt::LeftButton);
    SendMouse(f.view, QEvent::MouseButtonRelease, origin + QPoint(6, 2), Qt::LeftButton);
    EXPECT_EQ(recorder.Lines, (QStringList{"MouseCurvedMove Image, 1, 1", "MouseDown Image, 1, 1",
                                           "MouseTo Image, 2, 1", "MouseTo Image, 3, 1", "MouseUp Image, 3, 1",
                                           "Pause 0.5"}));
}

TEST(GraphicsViewTest, NothingIsRecordedWithoutARecorder)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    TestRecorder recorder;
    SendMouse(f.view, QEvent::MouseButtonPress, {50, 30}, Qt::LeftButton, Qt::LeftButton);
    f.tools.Recorder = &recorder;
    // The press happened before recording started: the release ends no
    // recorded click, but is still recorded as a release.
    MoveTo(f.view, {52, 30}, Qt::LeftButton);
    EXPECT_TRUE(recorder.Lines.isEmpty());
}

// ---------------------------------------------------------------------------
// Mouse enter and focus

TEST(GraphicsViewTest, EnteringTheViewTakesTheFocusOnlyWhenItsWindowIsActive)
{
    GraphicsViewFixture f(20, 10, QSize(100, 60));
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    MoveTo(f.view, {10, 10});
    EXPECT_TRUE(f.view->MouseInside());
    EXPECT_FALSE(f.view->hasFocus());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(f.view, &leave);
    EXPECT_FALSE(f.view->MouseInside());
    QApplication::setActiveWindow(f.view);
    MoveTo(f.view, {10, 10});
    EXPECT_TRUE(f.view->hasFocus());
}

// ---------------------------------------------------------------------------
// Hand tool

class HandToolTest : public ::testing::Test {
protected:
    HandToolTest()
    {
        hand.CreateControl(f.view);
        other.CreateControl(f.view);
        f.tools.SetActiveTool(&other);
    }
    TKvScrollToolControl* HandControl() { return static_cast<TKvScrollToolControl*>(hand.ControlIn(f.view)); }

    GraphicsViewFixture f{400, 300, QSize(100, 80)};
    TKvScrollTool hand{&f.tools};
    NotingTool other{&f.tools};
};

TEST_F(HandToolTest, HoldingTheSpaceBarSwitchesToTheHandAndReleasingItBack)
{
    SendKey(f.view, QEvent::KeyPress, Qt::Key_Space);
    EXPECT_EQ(f.tools.ActiveTool(), &hand);
    EXPECT_TRUE(HandControl()->ToolActive());
    int cursor = crDefault;
    EXPECT_TRUE(HandControl()->GetCursor(Qt::NoModifier, {5, 5}, cursor));
    EXPECT_EQ(cursor, crHand);

    // Held down, the key repeats; the hand stays.
    SendKey(f.view, QEvent::KeyRelease, Qt::Key_Space, true);
    SendKey(f.view, QEvent::KeyPress, Qt::Key_Space, true);
    EXPECT_EQ(f.tools.ActiveTool(), &hand);

    SendKey(f.view, QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(f.tools.ActiveTool(), &other);
    EXPECT_FALSE(HandControl()->GetCursor(Qt::NoModifier, {5, 5}, cursor));
}

TEST_F(HandToolTest, DraggingMovesALargePictureButNeverPastItsEdges)
{
    f.tools.SetActiveTool(&hand);
    f.view->MapMode().DeviceOrigin = {-150, -100};
    f.view->UpdateScrollRange();
    SendMouse(f.view, QEvent::MouseButtonPress, {50, 40}, Qt::LeftButton, Qt::LeftButton);
    MoveTo(f.view, {40, 50}, Qt::LeftButton);
    EXPECT_EQ(f.view->MapMode().DeviceOrigin, QPoint(-160, -90));
    EXPECT_TRUE(HandControl()->Dragging());

    // Far to the right and down: the left and top edges stop at the window's.
    MoveTo(f.view, {1000, 1000}, Qt::LeftButton);
    EXPECT_EQ(f.view->MapMode().DeviceOrigin, QPoint(0, 0));
    SendMouse(f.view, QEvent::MouseButtonRelease, {1000, 1000}, Qt::LeftButton);
    EXPECT_FALSE(HandControl()->Dragging());
    // Released: moving the mouse no longer scrolls.
    MoveTo(f.view, {10, 10});
    EXPECT_EQ(f.view->MapMode().DeviceOrigin, QPoint(0, 0));
}

TEST_F(HandToolTest, APictureSmallerThanTheViewDoesNotMove)
{
    GraphicsViewFixture small(30, 20, QSize(100, 80));
    TKvScrollTool smallHand(&small.tools);
    smallHand.CreateControl(small.view);
    small.tools.SetActiveTool(&smallHand);
    const QPoint centred = small.view->MapMode().DeviceOrigin;
    SendMouse(small.view, QEvent::MouseButtonPress, {50, 40}, Qt::LeftButton, Qt::LeftButton);
    MoveTo(small.view, {20, 70}, Qt::LeftButton);
    EXPECT_EQ(small.view->MapMode().DeviceOrigin, centred);
}

TEST(HandToolKeysTest, PlusAndMinusZoomWithoutBeingHandled)
{
    GraphicsViewFixture f(400, 300, QSize(100, 80));
    // A control below the hand's still hears the keys.
    NotingTool below(&f.tools);
    below.CreateControl(f.view);
    TKvScrollTool hand(&f.tools);
    hand.CreateControl(f.view);
    for (const int key : {int(Qt::Key_Plus), int(Qt::Key_Equal), int(Qt::Key_Minus), int(Qt::Key_Underscore)})
        SendKey(f.view, QEvent::KeyPress, key);
    EXPECT_EQ(f.tools.ZoomIns, 2);
    EXPECT_EQ(f.tools.ZoomOuts, 2);
    EXPECT_EQ(below.ControlIn(f.view)->Calls.count("key"), 4);

    // The keypad's plus and minus are not these keys.
    QKeyEvent keypadPlus(QEvent::KeyPress, Qt::Key_Plus, Qt::KeypadModifier);
    QApplication::sendEvent(f.view, &keypadPlus);
    EXPECT_EQ(f.tools.ZoomIns, 2);
}

} // namespace

namespace {

// ---------------------------------------------------------------------------
// Extreme sizes

void FillRect(TKvGraphicsDocument* document, const TRect& rect, TColorTriple colour)
{
    TKvPixels& pixels = document->Image().Pixels();
    for (int y = rect.Top; y < rect.Bottom; ++y)
        for (int x = rect.Left; x < rect.Right; ++x)
            std::memcpy(pixels.PixelAt(x, y), &colour, 3);
}

TEST(GraphicsViewSizesTest, AOnePixelPictureIsShownAtEveryZoom)
{
    GraphicsViewFixture f(1, 1, QSize(50, 40));
    f.FillPicture([](int, int) { return RGBToTriple(250, 100, 5); });
    for (const int zoom : {1, 16}) {
        f.view->MapMode().DeviceExtent = {zoom, zoom};
        f.view->UpdateScrollRange();
        const QImage painted = f.Painted();
        const QPoint origin = f.view->MapMode().DeviceOrigin;
        EXPECT_EQ(origin, QPoint((50 - zoom) / 2, (40 - zoom) / 2));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x) {
                const bool inside = QRect(origin, QSize(zoom, zoom)).contains(x, y);
                ASSERT_EQ(PixelColor(painted, {x, y}), inside ? QColor(250, 100, 5) : QColor(64, 64, 64))
                    << zoom << ": " << x << "," << y;
            }
        MoveTo(f.view, origin);
        EXPECT_EQ(f.tools.Pointer, QPoint(0, 0));
        EXPECT_EQ(f.tools.Pixel, RGBToTriple(250, 100, 5));
    }
}

TEST(GraphicsViewSizesTest, A30000By20000PictureIsShownWholeAndToItsLastPixel)
{
    GraphicsViewFixture f(30000, 20000, QSize(600, 400), false);
    FillRect(f.document, {0, 0, 3000, 2000}, RGBToTriple(255, 255, 255));
    FillRect(f.document, {29990, 19990, 30000, 20000}, RGBToTriple(255, 0, 0));

    // Whole, at 400:20000: the white tenth fills the top-left 60 x 40.
    f.view->MapMode().DeviceExtent = {400, 400};
    f.view->MapMode().LogicalExtent = {20000, 20000};
    f.view->UpdateScrollRange();
    QImage painted = f.Painted();
    EXPECT_EQ(f.view->MapMode().DeviceOrigin, QPoint(0, 0));
    EXPECT_EQ(PixelColor(painted, {30, 20}), QColor(255, 255, 255));
    EXPECT_EQ(PixelColor(painted, {100, 100}), QColor(0, 0, 0));

    // At 1:1, scrolled to the far corner, the last pixels are where they belong.
    f.view->MapMode().DeviceExtent = {1, 1};
    f.view->MapMode().LogicalExtent = {1, 1};
    f.view->MapMode().DeviceOrigin = {-30000, -20000};
    f.view->UpdateScrollRange();
    painted = f.Painted();
    const QRect client = f.view->ClientRect();
    const QPoint last = f.view->ImageToClient({29999, 19999});
    EXPECT_EQ(last, QPoint(client.width() - 1, client.height() - 1));
    EXPECT_EQ(PixelColor(painted, last), QColor(255, 0, 0));
    EXPECT_EQ(PixelColor(painted, last - QPoint(10, 10)), QColor(0, 0, 0));
    MoveTo(f.view, last);
    EXPECT_EQ(f.tools.Pointer, QPoint(29999, 19999));
    EXPECT_EQ(f.tools.Pixel, RGBToTriple(255, 0, 0));
}

} // namespace
