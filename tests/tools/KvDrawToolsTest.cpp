// The brush tool family: dab rectangles and profiles, the size, opacity and
// hardness with their ranges and track bars, strokes in the three modes
// driven through a real graphics view, wheel and key sizing, the brush
// outline drawn by inverting, and the script commands and targets.
#include "GraphicsViewFixture.h"
#include "KvDrawTools.h"
#include "ViewMouse.h"

#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// ---------------------------------------------------------------------------
// Dabs

TEST(KvDrawToolsTest, TheDabRectangleIsAnOddSquareAroundThePoint)
{
    const struct {
        int size;
        TRect rect;
    } cases[] = {
        {1, {10, 20, 11, 21}},
        {2, {9, 19, 12, 22}}, // even sizes round up to the next odd side
        {3, {9, 19, 12, 22}},
        {25, {-2, 8, 23, 33}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DabRect({10, 20}, c.size), c.rect) << "size " << c.size;
}

int MaskAt(const TKvPixelMask& mask, int x, int y)
{
    return mask.Data[size_t(y) * size_t(mask.Width) + size_t(x)];
}

TEST(KvDrawToolsTest, SmallPowerDabsCoverOnlyTheCentre)
{
    TKvPixelMask mask;
    BuildPowerDab(mask, 1, 200, 160);
    ASSERT_EQ(mask.GetBounds(), (TRect{0, 0, 1, 1}));
    EXPECT_EQ(MaskAt(mask, 0, 0), 200);

    BuildPowerDab(mask, 2, 255, 160);
    ASSERT_EQ(mask.GetBounds(), (TRect{0, 0, 3, 3}));
    int covered = 0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            covered += MaskAt(mask, x, y) != 0;
    EXPECT_EQ(covered, 1);
    EXPECT_EQ(MaskAt(mask, 1, 1), 255);
}

TEST(KvDrawToolsTest, TheHardDabFallsSteeplyAtTheRimAndIsSymmetric)
{
    TKvPixelMask mask;
    BuildPowerDab(mask, 40, 255, 160); // radius 20, exponent 10
    ASSERT_EQ(mask.GetBounds(), (TRect{0, 0, 41, 41}));
    const struct {
        int offset;
        int value;
    } profile[] = {{0, 255}, {16, 228}, {18, 166}, {19, 102}, {20, 0}};
    for (const auto& p : profile) {
        EXPECT_EQ(MaskAt(mask, 20 + p.offset, 20), p.value) << "offset " << p.offset;
        EXPECT_EQ(MaskAt(mask, 20 - p.offset, 20), p.value) << "offset -" << p.offset;
        EXPECT_EQ(MaskAt(mask, 20, 20 + p.offset), p.value) << "offset " << p.offset << " down";
        EXPECT_EQ(MaskAt(mask, 20, 20 - p.offset), p.value) << "offset " << p.offset << " up";
    }
    EXPECT_EQ(MaskAt(mask, 0, 0), 0) << "corners lie outside the disc";
    EXPECT_GT(MaskAt(mask, 20 + 13, 20 + 13), 0) << "inside the rim on the diagonal";
}

// ---------------------------------------------------------------------------
// A brush tool that notes its dabs

class TestBrush : public TKvBrushTool {
public:
    using TKvBrushTool::TKvBrushTool;

    std::vector<TRect> Dabs;
    std::vector<Qt::MouseButtons> Buttons;
    bool Refuse = false;

    bool BeginStroke(TKvDrawToolControl* control, Qt::MouseButton button, const TKvShiftState& shift) override
    {
        return !Refuse && TKvBrushTool::BeginStroke(control, button, shift);
    }

protected:
    void ApplyDab(const TRect& rect) override
    {
        Dabs.push_back(rect);
        Buttons.push_back(ShiftState.Buttons);
        // Something to record: the covered pixels turn white.
        TKvPixels* image = ImagePixels();
        for (int y = rect.Top; y < rect.Bottom; ++y)
            for (int x = rect.Left; x < rect.Right; ++x)
                std::fill_n(image->PixelAt(x, y), 3, 255);
    }
};

class BrushFixture : public GraphicsViewFixture {
public:
    BrushFixture() : GraphicsViewFixture(60, 40, QSize(100, 80))
    {
        brush = std::make_unique<TestBrush>(&tools);
        brush->ScriptName = QStringLiteral("Brush");
        brush->CreateControl(view);
        tools.SetActiveTool(brush.get());
    }

    QPoint At(int x, int y) const { return view->ImageToClient(QPoint(x, y)); }

    std::unique_ptr<TestBrush> brush;
};

TEST(KvDrawToolsTest, ADragPaintsADabAtEveryMoveAndRecordsOneCommand)
{
    BrushFixture f;
    f.brush->SetSize(5);
    QTest::mouseMove(f.view, f.At(10, 10));
    QTest::mousePress(f.view, Qt::LeftButton, {}, f.At(10, 10));
    QTest::mouseMove(f.view, f.At(20, 10));
    QTest::mouseMove(f.view, f.At(30, 12));
    EXPECT_TRUE(f.document->Locked()) << "the stroke's edit holds the document";
    QTest::mouseRelease(f.view, Qt::LeftButton, {}, f.At(30, 12));

    ASSERT_EQ(f.brush->Dabs.size(), 3u);
    EXPECT_EQ(f.brush->Dabs[0], DabRect({10, 10}, 5));
    EXPECT_EQ(f.brush->Dabs[2], DabRect({30, 12}, 5));
    EXPECT_FALSE(f.document->Locked());
    EXPECT_EQ(f.document->History().Count(), 1);
    // No dabs between the reported positions.
    EXPECT_EQ(f.document->Image().Pixels().PixelAt(15, 10)[0], 0);
}

TEST(KvDrawToolsTest, ClickAndReleaseModesPaintOneDab)
{
    for (const quint8 mode : {TKvDrawTool::smClick, TKvDrawTool::smRelease}) {
        BrushFixture f;
        f.brush->StrokeMode = mode;
        Drag(f.view, {{10, 10}, {20, 20}});
        ASSERT_EQ(f.brush->Dabs.size(), 1u) << "mode " << int(mode);
        const TPoint where = mode == TKvDrawTool::smClick ? TPoint{10, 10} : TPoint{20, 20};
        EXPECT_EQ(f.brush->Dabs[0], DabRect(where, f.brush->Size())) << "mode " << int(mode);
        EXPECT_FALSE(f.document->Locked());
        EXPECT_EQ(f.document->History().Count(), 1);
    }
}

TEST(KvDrawToolsTest, DabsAreClippedToThePictureAndOutsideOnesDoNothing)
{
    BrushFixture f;
    f.brush->SetSize(9);
    Drag(f.view, {{1, 1}, {-30, -30}});
    ASSERT_EQ(f.brush->Dabs.size(), 1u);
    EXPECT_EQ(f.brush->Dabs[0], (TRect{0, 0, 6, 6}));
}

TEST(KvDrawToolsTest, TheRightButtonIsInTheShiftStateOfTheStroke)
{
    BrushFixture f;
    Drag(f.view, {{10, 10}, {12, 10}}, Qt::RightButton);
    ASSERT_EQ(f.brush->Buttons.size(), 2u);
    EXPECT_TRUE(f.brush->Buttons[0] & Qt::RightButton);
    EXPECT_TRUE(f.brush->Buttons[1] & Qt::RightButton);
}

TEST(KvDrawToolsTest, ARefusedStrokeLeavesEverythingAsItWas)
{
    BrushFixture f;
    f.brush->Refuse = true;
    Drag(f.view, {{10, 10}, {20, 10}});
    EXPECT_TRUE(f.brush->Dabs.empty());
    EXPECT_FALSE(f.document->Locked());
    EXPECT_EQ(f.document->History().Count(), 0);
}

// ---------------------------------------------------------------------------
// Sizes

TEST(KvDrawToolsTest, ValuesOutsideTheirRangesAreIgnoredNotClamped)
{
    BrushFixture f;
    f.brush->SetSize(7);
    for (const int size : {0, -3, 51, 1000})
        f.brush->SetSize(size);
    EXPECT_EQ(f.brush->Size(), 7);
    f.brush->SetOpacity(100);
    for (const int opacity : {-1, 256})
        f.brush->SetOpacity(opacity);
    EXPECT_EQ(f.brush->Opacity(), 100);
    f.brush->SetHardness(40);
    for (const int hardness : {-1, 256})
        f.brush->SetHardness(hardness);
    EXPECT_EQ(f.brush->Hardness(), 40);
}

TEST(KvDrawToolsTest, WheelAndArrowKeysSizeTheBrushAndStopAtTheLimits)
{
    BrushFixture f;
    f.brush->SetSize(49);
    QTest::mouseMove(f.view, f.At(10, 10));
    const struct {
        int key;
        int change;
    } keys[] = {{Qt::Key_PageUp, 1}, {Qt::Key_Up, 1}, {Qt::Key_Right, 1},
                {Qt::Key_PageDown, -1}, {Qt::Key_Down, -1}, {Qt::Key_Left, -1}};
    for (const auto& k : keys) {
        f.brush->SetSize(25);
        QTest::keyClick(f.view, Qt::Key(k.key));
        EXPECT_EQ(f.brush->Size(), 25 + k.change) << "key " << k.key;
    }
    f.brush->SetSize(50);
    QTest::keyClick(f.view, Qt::Key_Up);
    EXPECT_EQ(f.brush->Size(), 50);
    f.brush->SetSize(1);
    QTest::keyClick(f.view, Qt::Key_Down);
    EXPECT_EQ(f.brush->Size(), 1);

    TKvGraphicsToolControl* control = f.brush->ControlIn(f.view);
    f.brush->SetSize(10);
    control->MouseWheel({}, +1, f.At(10, 10));
    EXPECT_EQ(f.brush->Size(), 11);
    control->MouseWheel({}, -1, f.At(10, 10));
    EXPECT_EQ(f.brush->Size(), 10);
    // Not while stroking.
    QTest::mousePress(f.view, Qt::LeftButton, {}, f.At(10, 10));
    control->MouseWheel({}, +1, f.At(10, 10));
    EXPECT_EQ(f.brush->Size(), 10);
    QTest::mouseRelease(f.view, Qt::LeftButton, {}, f.At(10, 10));
}

TEST(KvDrawToolsTest, BoundTrackBarsFollowTheValuesAndSetThem)
{
    BrushFixture f;
    QSlider size(Qt::Horizontal);
    QSlider opacity(Qt::Horizontal);
    QSlider hardness(Qt::Horizontal);
    f.brush->MaxSize = 40;
    f.brush->BindSizeBar(&size);
    f.brush->BindOpacityBar(&opacity);
    f.brush->BindHardnessBar(&hardness);
    EXPECT_EQ(size.minimum(), 1);
    EXPECT_EQ(size.maximum(), 40);
    EXPECT_EQ(size.tickInterval(), 4);
    EXPECT_EQ(size.value(), f.brush->Size());

    f.brush->SetSize(17);
    EXPECT_EQ(size.value(), 17);
    size.setValue(30);
    EXPECT_EQ(f.brush->Size(), 30);
    opacity.setValue(99);
    EXPECT_EQ(f.brush->Opacity(), 99);
    f.brush->SetHardness(12);
    EXPECT_EQ(hardness.value(), 12);
}

TEST(KvDrawToolsTest, ScriptCommandsSetTheValuesAndTargetsAreTheThumbs)
{
    BrushFixture f;
    QSlider size(Qt::Horizontal);
    size.resize(200, 30);
    f.brush->BindSizeBar(&size);
    const struct {
        const char* command;
        int value;
        std::function<int()> read;
    } cases[] = {
        {"BRUSHSIZE", 33, [&] { return f.brush->Size(); }},
        {"BRUSHOPACITY", 77, [&] { return f.brush->Opacity(); }},
        {"BRUSHHARDNESS", 5, [&] { return f.brush->Hardness(); }},
    };
    for (const auto& c : cases) {
        TKvCustomProperties params;
        params.SetInteger(0, c.value);
        bool handled = false;
        f.brush->ExecuteScriptCommand(QLatin1String(c.command), handled, params);
        EXPECT_TRUE(handled) << c.command;
        EXPECT_EQ(c.read(), c.value) << c.command;
    }

    TKvCustomProperties target;
    target.SetString(0, "brushSize");
    bool found = false;
    QPoint point;
    f.brush->GetScriptTarget(target, found, point);
    ASSERT_TRUE(found);
    EXPECT_TRUE(size.rect().contains(size.mapFromGlobal(point)));
    const QPoint atLow = point;
    f.brush->SetSize(2);
    f.brush->GetScriptTarget(target, found, point);
    EXPECT_LT(point.x(), atLow.x()) << "the thumb moved with the size";

    target.SetString(0, "BrushOpacity");
    found = false;
    f.brush->GetScriptTarget(target, found, point);
    EXPECT_FALSE(found) << "no opacity track bar is bound";
}

TEST(KvDrawToolsTest, ChangedValuesAreRecordedWhileAScriptIsRecorded)
{
    BrushFixture f;
    TestRecorder recorder;
    f.brush->StartRecording(&recorder);
    f.brush->SetSize(12);
    f.brush->SetSize(12);
    f.brush->SetOpacity(100);
    f.brush->SetHardness(9);
    EXPECT_EQ(recorder.Lines, (QStringList{QStringLiteral("BrushSize 12"), QStringLiteral("BrushOpacity 100"),
                                           QStringLiteral("BrushHardness 9")}));
}

// ---------------------------------------------------------------------------
// The brush outline

TEST(KvDrawToolsTest, TheOutlineInvertsWhatLiesUnderItAndGoesWhenDrawnTwice)
{
    BrushFixture f;
    f.FillPicture([](int, int) { return TColorTriple{255, 255, 255}; });
    f.brush->SetSize(15);
    QTest::mouseMove(f.view, f.At(30, 20));
    QApplication::processEvents();
    const QImage painted = f.Painted();
    const QPoint centre = f.At(30, 20);
    // On white, the circle is black where it runs; inside and outside stay white.
    EXPECT_EQ(painted.pixelColor(centre), QColor(Qt::white));
    int black = 0;
    for (int x = centre.x() - 12; x <= centre.x() + 12; ++x)
        black += painted.pixelColor(x, centre.y()) == QColor(Qt::black);
    EXPECT_EQ(black, 2) << "the circle crosses the row through its centre twice";

    auto* control = static_cast<TKvBrushToolControl*>(f.brush->ControlIn(f.view));
    const QRect outline = control->OutlineRect(f.view->MapMode());
    EXPECT_EQ(outline.center(), centre);
    EXPECT_EQ(outline.width(), 15 + 2);

    // The inverting pen draws the same circle away again.
    TKvViewCanvas canvas;
    canvas.MapMode() = f.view->MapMode();
    QImage window(f.view->size(), QImage::Format_RGB32);
    window.fill(Qt::white);
    ASSERT_TRUE(canvas.BeginPaint(window, QRegion(window.rect())));
    canvas.FillClipRegion(Qt::white);
    control->PaintOverlay(canvas);
    control->PaintOverlay(canvas);
    canvas.EndPaint();
    for (int y = 0; y < window.height(); ++y)
        for (int x = 0; x < window.width(); ++x)
            ASSERT_EQ(window.pixelColor(x, y), QColor(Qt::white)) << x << ", " << y;
}

TEST(KvDrawToolsTest, TheBrushHidesThePointerWhileItsToolIsActive)
{
    BrushFixture f;
    int cursor = 0;
    TKvGraphicsToolControl* control = f.brush->ControlIn(f.view);
    EXPECT_TRUE(control->GetCursor({}, f.At(5, 5), cursor));
    EXPECT_EQ(cursor, -1);
    f.tools.SetActiveTool(nullptr);
    EXPECT_FALSE(control->GetCursor({}, f.At(5, 5), cursor));
}

// Between strokes the brush outline is all there is of the pointer: the view
// shows no pointer over it (not an arrow sitting on the outline), and the
// arrow again once the brush is put aside.
TEST(KvDrawToolsTest, OverTheViewTheBrushOutlineReplacesThePointer)
{
    BrushFixture f;
    EXPECT_EQ(ScreenCursor(crNone).shape(), Qt::BlankCursor);
    QTest::mouseMove(f.view, f.At(20, 20));
    f.view->RefreshCursor();
    EXPECT_EQ(f.view->cursor().shape(), Qt::BlankCursor);
    f.tools.SetActiveTool(nullptr);
    f.view->RefreshCursor();
    EXPECT_EQ(f.view->cursor().shape(), Qt::ArrowCursor);
}

} // namespace
