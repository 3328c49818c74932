// View objects (flags, rectangles, hit tests, stand-alone painting), their
// owning list, and the off-screen canvas (geometry, pixel layout, clip stack).
#include "KvView.h"

#include <gtest/gtest.h>

#include <QImage>

#include <string>
#include <vector>

namespace {

// A view object that logs the calls of its painting operations and can
// widen its overlay.
class TLoggingObject : public TKvViewObject {
public:
    explicit TLoggingObject(uint8_t flags = DefaultFlags) : TKvViewObject(flags) {}

    std::vector<std::string> Log;
    int OverlayMargin = 0;

    QRect GetOverlayRect(const TKvMapMode& mapMode) const override
    {
        const int m = OverlayMargin;
        return TKvViewObject::GetOverlayRect(mapMode).adjusted(-m, -m, m, m);
    }
    void PaintBody(TKvViewCanvas&) override { Log.push_back("body"); }
    void PaintOverlay(TKvViewCanvas&) override { Log.push_back("overlay"); }
    void AfterPaint() override { Log.push_back("after"); }
};

TKvMapMode Zoom(int device, int logical)
{
    TKvMapMode mapMode;
    mapMode.DeviceExtent = {device, device};
    mapMode.LogicalExtent = {logical, logical};
    return mapMode;
}

} // namespace

TEST(KvViewObject, StartsActiveWithBodyOverlayAndVisible)
{
    TKvViewObject object;
    EXPECT_EQ(object.Flags, 15);
    object.SetActive(false);
    EXPECT_EQ(object.Flags, 14);
    object.SetActive(true);
    EXPECT_EQ(object.Flags, 15);
}

TEST(KvViewObject, UpdateRectFollowsBodyAndOverlayFlags)
{
    struct Case {
        uint8_t flags;
        QRect expected;
    };
    // Bounds (10, 10)-(20, 20) at zoom 2:1 give the body (20, 20)-(40, 40);
    // the overlay reaches 3 pixels further.
    const QRect body(20, 20, 20, 20);
    const QRect overlay(17, 17, 26, 26);
    const Case cases[] = {
        {TKvViewObject::ofBody, body},
        {TKvViewObject::ofOverlay, overlay},
        {TKvViewObject::ofBody | TKvViewObject::ofOverlay, overlay},
        {TKvViewObject::ofActive, QRect()},
    };
    const TKvMapMode mapMode = Zoom(2, 1);
    for (const Case& c : cases) {
        TLoggingObject object(c.flags);
        object.SetBounds({10, 10, 10, 10});
        object.OverlayMargin = 3;
        EXPECT_EQ(object.GetUpdateRect(mapMode), c.expected) << int(c.flags);
    }
}

TEST(KvViewObject, UpdateRectUnitesBodyWithAnOverlayOutsideIt)
{
    class TLabelObject : public TKvViewObject {
    public:
        QRect GetOverlayRect(const TKvMapMode&) const override { return {50, 0, 10, 5}; }
    } object;
    object.SetBounds({0, 10, 10, 10});
    EXPECT_EQ(object.GetUpdateRect(TKvMapMode()), QRect(0, 0, 60, 20));
}

TEST(KvViewObject, StandAlonePaintFollowsVisibilityActivityAndFlags)
{
    using F = TKvViewObject;
    struct Case {
        uint8_t flags;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {F::DefaultFlags, {"body", "overlay", "after"}},
        {F::ofActive | F::ofVisible | F::ofBody, {"body", "after"}},
        {F::ofActive | F::ofVisible | F::ofOverlay, {"overlay", "after"}},
        {F::ofActive | F::ofBody | F::ofOverlay, {}},  // not visible
        {F::ofVisible | F::ofBody | F::ofOverlay, {}}, // not active: cannot paint
    };
    TKvViewCanvas canvas;
    for (const Case& c : cases) {
        TLoggingObject object(c.flags);
        object.Paint(canvas);
        EXPECT_EQ(object.Log, c.expected) << int(c.flags);
    }
}

TEST(KvViewObject, HitTestWithTolerance)
{
    struct Case {
        QPoint point;
        int tolerance;
        int expected;
    };
    // Body (10, 10)-(20, 20), right and bottom exclusive.
    const Case cases[] = {
        {{10, 10}, 0, htInside},
        {{19, 19}, 0, htInside},
        {{20, 15}, 0, htNone},
        {{9, 15}, 0, htNone},
        {{9, 15}, 2, htNear},
        {{8, 15}, 2, htNear},
        {{7, 15}, 2, htNone},
        {{21, 21}, 2, htNear},
        {{22, 15}, 2, htNone},
        {{15, 15}, 2, htInside},
        {{9, 15}, -1, htNone},
    };
    TKvViewObject object;
    object.SetBounds({10, 10, 10, 10});
    for (const Case& c : cases)
        EXPECT_EQ(object.HitTest(TKvMapMode(), c.point, c.tolerance), c.expected)
            << c.point.x() << "," << c.point.y() << " tolerance " << c.tolerance;
}

TEST(KvViewObject, HitTestUsesDeviceCoordinates)
{
    // Bounds (10, 10)-(20, 20) at zoom 2:1 with the origin moved by (5, 0):
    // the body is (25, 20)-(45, 40).
    TKvMapMode mapMode = Zoom(2, 1);
    mapMode.DeviceOrigin = {5, 0};
    TKvViewObject object;
    object.SetBounds({10, 10, 10, 10});
    EXPECT_EQ(object.HitTest(mapMode, {44, 39}, 0), htInside);
    EXPECT_EQ(object.HitTest(mapMode, {24, 30}, 0), htNone);
    EXPECT_EQ(object.HitTest(mapMode, {45, 30}, 1), htNear);
}

TEST(KvViewObject, HitTestRectWithTolerance)
{
    struct Case {
        QRect rect;
        int tolerance;
        int expected;
    };
    // Body (10, 10)-(20, 20), right and bottom exclusive.
    const Case cases[] = {
        {{10, 10, 10, 10}, 0, htInside},
        {{12, 12, 3, 3}, 0, htInside},
        {{15, 15, 0, 0}, 0, htInside},   // a bare point inside
        {{15, 15, 10, 2}, 0, htOverlap}, // sticks out on the right
        {{0, 0, 40, 40}, 0, htOverlap},  // covers the body
        {{20, 10, 5, 5}, 0, htNone},     // touches the right edge only
        {{20, 10, 5, 5}, 1, htNear},
        {{22, 10, 5, 5}, 3, htNear},
        {{22, 10, 5, 5}, 2, htNone},
        {{0, 0, 5, 5}, 5, htNone},
        {{0, 0, 6, 6}, 5, htNear},
    };
    TKvViewObject object;
    object.SetBounds({10, 10, 10, 10});
    for (const Case& c : cases)
        EXPECT_EQ(object.HitTestRect(TKvMapMode(), c.rect, c.tolerance), c.expected)
            << c.rect.x() << "," << c.rect.y() << " " << c.rect.width() << "x" << c.rect.height()
            << " tolerance " << c.tolerance;
}

TEST(KvViewObjectList, OwnsItsObjectsAndHandsThemOut)
{
    struct TCounted : TKvViewObject {
        explicit TCounted(int& alive) : Alive(alive) { ++Alive; }
        ~TCounted() override { --Alive; }
        int& Alive;
    };
    int alive = 0;
    std::unique_ptr<TKvViewObject> kept;
    {
        TKvViewObjectList list;
        TCounted* bottom = list.Add(std::make_unique<TCounted>(alive));
        TCounted* middle = list.Add(std::make_unique<TCounted>(alive));
        TCounted* top = list.Add(std::make_unique<TCounted>(alive));
        EXPECT_EQ(alive, 3);
        EXPECT_EQ(list[0], bottom);
        EXPECT_EQ(list.IndexOf(top), 2);

        kept = list.Extract(middle);
        EXPECT_EQ(kept.get(), middle);
        EXPECT_EQ(list.Count(), 2);
        EXPECT_EQ(list.IndexOf(middle), -1);
        EXPECT_EQ(list.Extract(middle), nullptr);

        list.Remove(bottom);
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(list[0], top);
    }
    EXPECT_EQ(alive, 1); // the list freed the rest, not the extracted one
}

// ---------------------------------------------------------------------------
// Canvas

TEST(KvViewCanvas, EmptyUpdateRegionStartsNoPaintCycle)
{
    QImage window(50, 50, QImage::Format_RGB32);
    window.fill(Qt::white);
    TKvViewCanvas canvas;
    EXPECT_FALSE(canvas.BeginPaint(window, QRegion()));
    EXPECT_FALSE(canvas.IsPainting());
    EXPECT_EQ(canvas.Canvas(), nullptr);
    EXPECT_EQ(canvas.Pixels().Data, nullptr);
    canvas.EndPaint(); // harmless without a cycle
    EXPECT_EQ(window.pixel(10, 10), QColor(Qt::white).rgb());
}

TEST(KvViewCanvas, CoversTheUpdateBoxFromTheOrigin)
{
    struct Case {
        QRegion region;
        int width, height, stride;
    };
    const Case cases[] = {
        {QRegion(100, 100, 50, 30), 150, 130, 452},
        {QRegion(0, 0, 1, 1), 1, 1, 4},
        {QRegion(0, 3, 5, 2), 5, 5, 16},
        {QRegion(2, 2, 3, 3) + QRegion(40, 7, 2, 2), 42, 9, 128},
    };
    QImage window(200, 200, QImage::Format_RGB32);
    TKvViewCanvas canvas;
    for (const Case& c : cases) {
        ASSERT_TRUE(canvas.BeginPaint(window, c.region));
        const TKvCanvasPixels& pixels = canvas.Pixels();
        EXPECT_EQ(pixels.GetBounds(), RectOfSize(0, 0, c.width, c.height));
        EXPECT_EQ(pixels.Stride, c.stride);
        EXPECT_EQ(pixels.Format, PixelFormatBGR24);
        EXPECT_EQ(canvas.UpdateBox(), c.region.boundingRect());
        EXPECT_EQ(canvas.ClipRegion(), c.region);
        canvas.EndPaint();
        EXPECT_FALSE(canvas.IsPainting());
    }
}

TEST(KvViewCanvas, PainterAndPixelsShareBytesInBlueGreenRedOrder)
{
    QImage window(20, 20, QImage::Format_RGB32);
    TKvViewCanvas canvas;
    ASSERT_TRUE(canvas.BeginPaint(window, QRegion(0, 0, 20, 20)));
    canvas.Canvas()->fillRect(QRect(2, 3, 1, 1), QColor(200, 10, 1));
    const uint8_t* pixel = canvas.Pixels().PixelAt(2, 3);
    EXPECT_EQ(pixel[0], 1);
    EXPECT_EQ(pixel[1], 10);
    EXPECT_EQ(pixel[2], 200);

    // Bytes written directly show in the window after EndPaint.
    uint8_t* written = canvas.Pixels().PixelAt(7, 8);
    written[0] = 30, written[1] = 20, written[2] = 10;
    canvas.EndPaint();
    EXPECT_EQ(window.pixel(2, 3), qRgb(200, 10, 1));
    EXPECT_EQ(window.pixel(7, 8), qRgb(10, 20, 30));
}

TEST(KvViewCanvas, EndPaintCopiesOnlyTheUpdateRegion)
{
    QImage window(40, 20, QImage::Format_RGB32);
    window.fill(Qt::white);
    const QRegion region = QRegion(0, 0, 10, 10) + QRegion(30, 10, 10, 10);
    TKvViewCanvas canvas;
    ASSERT_TRUE(canvas.BeginPaint(window, region));
    canvas.SetClipRegion(QRect(0, 0, 40, 20)); // paint even outside the update region
    canvas.FillClipRegion(Qt::black);
    canvas.EndPaint();
    EXPECT_EQ(window.pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(window.pixel(35, 15), qRgb(0, 0, 0));
    EXPECT_EQ(window.pixel(20, 5), qRgb(255, 255, 255)); // inside the box, outside the region
}

TEST(KvViewCanvas, ExcludedAreasAreNotPainted)
{
    QImage window(30, 10, QImage::Format_RGB32);
    TKvViewCanvas canvas;
    ASSERT_TRUE(canvas.BeginPaint(window, QRegion(0, 0, 30, 10)));
    canvas.FillClipRegion(Qt::white);
    canvas.ExcludeClipRect({10, 0, 10, 10});
    EXPECT_FALSE(canvas.RectVisible({10, 2, 10, 5}));
    EXPECT_TRUE(canvas.RectVisible({15, 2, 10, 5}));
    EXPECT_EQ(canvas.ClipBox(), QRect(0, 0, 30, 10));
    canvas.Canvas()->fillRect(QRect(0, 0, 30, 10), Qt::red);
    canvas.FillClipRegion(Qt::blue);
    canvas.ExcludeClipRect({0, 0, 30, 10});
    canvas.FillClipRegion(Qt::green); // nothing left to fill
    canvas.EndPaint();
    EXPECT_EQ(window.pixel(15, 5), qRgb(255, 255, 255));
    EXPECT_EQ(window.pixel(5, 5), qRgb(0, 0, 255));
    EXPECT_EQ(window.pixel(25, 5), qRgb(0, 0, 255));
}

TEST(KvViewCanvas, StateStackRestoresClipRegionsInReverseOrder)
{
    QImage window(30, 30, QImage::Format_RGB32);
    TKvViewObject lower, upper;
    TKvViewCanvas canvas;
    TKvViewObject* popped = nullptr;
    EXPECT_FALSE(canvas.PopState(popped));

    for (int cycle = 0; cycle < 2; ++cycle) { // entries are reused by the next cycle
        ASSERT_TRUE(canvas.BeginPaint(window, QRegion(0, 0, 30, 30)));
        const QRegion whole = canvas.ClipRegion();
        canvas.PushState(&upper);
        canvas.ExcludeClipRect({0, 0, 10, 30});
        const QRegion afterUpper = canvas.ClipRegion();
        canvas.PushState(&lower);
        canvas.ExcludeClipRect({0, 0, 30, 30});
        EXPECT_TRUE(canvas.ClipRegion().isEmpty());

        ASSERT_TRUE(canvas.PopState(popped));
        EXPECT_EQ(popped, &lower);
        EXPECT_EQ(canvas.ClipRegion(), afterUpper);
        ASSERT_TRUE(canvas.PopState(popped));
        EXPECT_EQ(popped, &upper);
        EXPECT_EQ(canvas.ClipRegion(), whole);
        EXPECT_FALSE(canvas.PopState(popped));
        canvas.EndPaint();
    }
}
