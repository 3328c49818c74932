// View controls: the paint order of the object stack, and the scrolling
// arithmetic of the scroll view (placement, scroll bars, dragging, centring,
// resizing).
#include "KvViewControls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using TLog = std::vector<std::string>;

// A view object that fills its body with a colour (excluding it, as bodies
// must), paints an optional overlay band, and logs its painting calls.
class TProbe : public TKvViewObject {
public:
    TProbe(std::string name, TLog& log, QColor color, uint8_t flags)
        : TKvViewObject(flags), m_name(std::move(name)), m_log(log), m_color(color)
    {
    }

    QRect OverlayBand; // device rectangle the overlay fills
    QColor OverlayColor;

    void PaintBody(TKvViewCanvas& canvas) override
    {
        m_log.push_back("body:" + m_name);
        const QRect body = GetBodyRect(canvas.MapMode());
        canvas.Canvas()->fillRect(body, m_color);
        canvas.ExcludeClipRect(body);
    }
    void PaintOverlay(TKvViewCanvas& canvas) override
    {
        m_log.push_back("overlay:" + m_name);
        canvas.Canvas()->fillRect(OverlayBand, OverlayColor);
    }
    void AfterPaint() override { m_log.push_back("after:" + m_name); }

private:
    std::string m_name;
    TLog& m_log;
    QColor m_color;
};

constexpr uint8_t BodyOnly = TKvViewObject::ofActive | TKvViewObject::ofBody | TKvViewObject::ofVisible;
constexpr uint8_t BodyAndOverlay = BodyOnly | TKvViewObject::ofOverlay;
constexpr uint8_t OverlayOnly = TKvViewObject::ofActive | TKvViewObject::ofOverlay | TKvViewObject::ofVisible;

const QRgb White = qRgb(255, 255, 255);
const QRgb Background = qRgb(64, 64, 64);

// What the view paints of region, on white, at the view's coordinates.
QImage Render(QWidget& view, const QRegion& region)
{
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(White);
    view.render(&image, region.boundingRect().topLeft(), region, {});
    return image;
}

// A stack of four: A (bottom, body and overlay band), an inactive object,
// B (body and overlay band), C (top, overlay only).
class PaintOrder : public testing::Test {
protected:
    void SetUp() override
    {
        view.resize(100, 100);
        a = view.Objects().Add(std::make_unique<TProbe>("A", log, Qt::red, BodyAndOverlay));
        a->SetBounds({0, 0, 60, 60});
        a->OverlayBand = {0, 35, 100, 1}; // crosses B's body
        a->OverlayColor = Qt::cyan;
        inactive = view.Objects().Add(std::make_unique<TProbe>("D", log, Qt::magenta, BodyAndOverlay));
        inactive->SetBounds({0, 0, 100, 100});
        inactive->SetActive(false);
        b = view.Objects().Add(std::make_unique<TProbe>("B", log, Qt::green, BodyAndOverlay));
        b->SetBounds({20, 20, 20, 20});
        b->OverlayBand = {0, 30, 100, 1};
        b->OverlayColor = Qt::yellow;
        c = view.Objects().Add(std::make_unique<TProbe>("C", log, Qt::black, OverlayOnly));
        c->SetBounds({70, 70, 10, 10});
        c->OverlayBand = {70, 70, 10, 10};
        c->OverlayColor = Qt::blue;
    }

    TLog log;
    TKvViewControl view;
    TProbe* a = nullptr;
    TProbe* inactive = nullptr;
    TProbe* b = nullptr;
    TProbe* c = nullptr;
};

} // namespace

TEST_F(PaintOrder, BodiesFrontToBackThenOverlaysBackToFront)
{
    const QImage image = Render(view, QRect(0, 0, 100, 100));
    EXPECT_EQ(log, (TLog{"body:B", "body:A", "overlay:A", "after:A", "overlay:B", "after:B",
                         "overlay:C", "after:C"}));

    EXPECT_EQ(image.pixel(30, 25), QColor(Qt::green).rgb()); // A painted later, not over B
    EXPECT_EQ(image.pixel(10, 10), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixel(80, 10), Background);             // no body there
    EXPECT_EQ(image.pixel(75, 75), QColor(Qt::blue).rgb()); // overlay over the background
    // A's overlay is hidden by the body above it, but covers its own body
    // and the background.
    EXPECT_EQ(image.pixel(30, 35), QColor(Qt::green).rgb());
    EXPECT_EQ(image.pixel(10, 35), QColor(Qt::cyan).rgb());
    EXPECT_EQ(image.pixel(90, 35), QColor(Qt::cyan).rgb());
    // B's overlay covers everything, its own body included.
    for (int x : {10, 30, 90})
        EXPECT_EQ(image.pixel(x, 30), QColor(Qt::yellow).rgb()) << x;
}

TEST_F(PaintOrder, OnlyObjectsInTheUpdateRegionPaint)
{
    const QImage image = Render(view, QRect(70, 0, 30, 30));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(image.pixel(80, 10), Background);
    EXPECT_EQ(image.pixel(10, 10), White); // outside the region: untouched

    log.clear();
    Render(view, QRect(0, 0, 10, 10));
    EXPECT_EQ(log, (TLog{"body:A", "overlay:A", "after:A"}));
}

// A long step writes what the objects paint from: while painting is held,
// nothing is painted, and what was asked for is painted when allowed.
TEST_F(PaintOrder, HeldPaintingGathersWhatIsAskedAndPaintsItOnlyWhenAllowed)
{
    const auto painted = [&](const std::string& entry) { return std::count(log.begin(), log.end(), entry); };
    view.show();
    QApplication::processEvents();
    log.clear();

    view.HoldPaint(true);
    view.UpdateRect(QRect(0, 0, 10, 10)); // A's body only
    view.update(QRect(70, 70, 10, 10));   // C's overlay, by a paint event
    QApplication::processEvents();
    view.repaint(QRect(70, 70, 10, 10));
    EXPECT_TRUE(log.empty()) << "nothing is painted while held";

    view.PaintGathered();
    EXPECT_EQ(painted("body:A"), 1);
    EXPECT_EQ(painted("overlay:C"), 1);
    EXPECT_EQ(painted("body:B"), 0) << "only what was asked for";
    EXPECT_TRUE(view.PaintHeld());
    log.clear();
    view.PaintGathered();
    EXPECT_TRUE(log.empty()) << "what was painted is not painted again";

    view.UpdateRect(QRect(20, 20, 5, 5));
    view.HoldPaint(false);
    EXPECT_EQ(painted("body:B"), 1) << "releasing paints what was gathered";
    log.clear();
    view.UpdateRect(QRect(0, 0, 10, 10));
    QApplication::processEvents();
    EXPECT_EQ(painted("body:A"), 1) << "released, asking paints as usual";
}

TEST_F(PaintOrder, AHeldViewOutOfTimeKeepsWhatItDidNotPaintForTheNextGo)
{
    view.show();
    QApplication::processEvents();
    view.HoldPaint(true);
    // Many separate areas: more than one go's worth.
    for (int i = 0; i < 40; ++i)
        view.UpdateRect(QRect(2 * i, 2 * i, 1, 1));
    log.clear();
    view.PaintGathered(1); // out of time after the first go
    EXPECT_FALSE(log.empty()) << "a go is painted however short the time";
    EXPECT_TRUE(view.HasGathered()) << "the rest waits";
    int goes = 1;
    while (view.HasGathered() && goes < 100) {
        view.PaintGathered(1);
        ++goes;
    }
    EXPECT_FALSE(view.HasGathered());
    EXPECT_GT(goes, 1);
    view.HoldPaint(false);
}

TEST_F(PaintOrder, AnInactivePictureLeavesOnlyTheBackground)
{
    for (TProbe* probe : {a, b, c})
        probe->SetActive(false);
    const QImage image = Render(view, QRect(0, 0, 100, 100));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(image.pixel(30, 25), Background);
    EXPECT_EQ(image.pixel(99, 99), Background);
}

// ---------------------------------------------------------------------------
// Scrolling

namespace {

// A scroll view that records what it is asked to paint, with one picture
// at logical (0, 0).
class TRecordingView : public TKvScrollViewControl {
public:
    QRegion Painted;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        Painted += event->region() & ClientRect();
        TKvScrollViewControl::paintEvent(event);
    }
};

class ScrollView : public testing::Test {
protected:
    void SetUp() override
    {
        picture = view.Objects().Add(std::make_unique<TProbe>("picture", log, Qt::red, BodyOnly));
        E = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
    }

    // Shows a picture of the given size in a window of the given size.
    void Show(QSize window, QSize content)
    {
        picture->SetBounds(QRect(QPoint(0, 0), content));
        view.MapMode() = TKvMapMode();
        view.resize(window);
        view.show();
        view.UpdateScrollRange();
    }
    QPoint Origin() const { return view.MapMode().DeviceOrigin; }
    void SetOrigin(QPoint origin) { view.MapMode().DeviceOrigin = origin; }
    // Lets pending paints happen.
    void Flush()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    TLog log;
    TRecordingView view;
    TProbe* picture = nullptr;
    int E = 0; // the scroll bars' thickness
};

} // namespace

TEST_F(ScrollView, CentresContentSmallerThanTheWindow)
{
    Show({400, 300}, {300, 250});
    EXPECT_EQ(Origin(), QPoint(50, 25));
    const QImage image = Render(view, view.rect());
    EXPECT_EQ(image.pixel(50, 25), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixel(49, 25), Background);
    EXPECT_EQ(image.pixel(349, 274), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixel(350, 274), Background);
}

TEST_F(ScrollView, ScrollBarsTakeRoomFromEachOther)
{
    struct Case {
        QSize content;
        int excessWidth, excessHeight;
    };
    // In a 400 x 300 window; a bar is needed where the excess is positive.
    const Case cases[] = {
        {{300, 200}, -100, -100},
        {{400, 300}, 0, 0},
        {{400 - E + 1, 350}, 1, 50 + E}, // the vertical bar pushes it over
        {{400 - E, 350}, 0, 50},         // just room for the vertical bar
        {{450, 300 - E + 1}, 50 + E, 1},
        {{450, 300 - E}, 50, 0},
    };
    for (const Case& c : cases) {
        Show({400, 300}, c.content);
        const TKvScrollCorrection correction = view.ComputeScroll();
        const std::string label = std::to_string(c.content.width()) + "x" + std::to_string(c.content.height());
        EXPECT_EQ(correction.ExcessWidth, c.excessWidth) << label;
        EXPECT_EQ(correction.ExcessHeight, c.excessHeight) << label;
        QScrollBar* horizontal = view.HorizontalScrollBar();
        QScrollBar* vertical = view.VerticalScrollBar();
        EXPECT_EQ(!horizontal->isHidden(), c.excessWidth > 0) << label;
        EXPECT_EQ(!vertical->isHidden(), c.excessHeight > 0) << label;
        if (c.excessWidth > 0) {
            EXPECT_EQ(horizontal->maximum(), c.excessWidth) << label;
            EXPECT_EQ(horizontal->pageStep(), 400) << label;
        }
        if (c.excessHeight > 0) {
            EXPECT_EQ(vertical->maximum(), c.excessHeight) << label;
            EXPECT_EQ(vertical->pageStep(), 300) << label;
        }
        EXPECT_EQ(view.ClientRect().width(), 400 - (c.excessHeight > 0 ? E : 0)) << label;
        EXPECT_EQ(view.ClientRect().height(), 300 - (c.excessWidth > 0 ? E : 0)) << label;
    }
}

TEST_F(ScrollView, OriginStaysWithinReachOfLargeContent)
{
    struct Case {
        QPoint origin, expected;
    };
    // 2000 x 100 in 400 x 300: excess width 1600; the height fits beside
    // the horizontal bar and is centred.
    const int y = (200 - E) / 2;
    const Case cases[] = {
        {{0, 0}, {0, y}},
        {{30, 0}, {0, y}},
        {{-700, 0}, {-700, y}},
        {{-1600, 0}, {-1600, y}},
        {{-1700, 0}, {-1600, y}},
    };
    for (const Case& c : cases) {
        Show({400, 300}, {2000, 100});
        SetOrigin(c.origin);
        view.UpdateScrollRange();
        EXPECT_EQ(Origin(), c.expected) << c.origin.x();
        EXPECT_EQ(view.HorizontalScrollBar()->value(), -c.expected.x());
    }
}

TEST_F(ScrollView, ScrollBarStepsMoveTheContent)
{
    struct Case {
        QAbstractSlider::SliderAction action;
        int expectedOrigin;
    };
    // 2000 x 100 in 400 x 300: the page is 400, a page step 300.
    const Case cases[] = {
        {QAbstractSlider::SliderPageStepAdd, -300},
        {QAbstractSlider::SliderSingleStepAdd, -310},
        {QAbstractSlider::SliderPageStepSub, -10},
        {QAbstractSlider::SliderPageStepSub, 0}, // stops at the start
        {QAbstractSlider::SliderSingleStepSub, 0},
        {QAbstractSlider::SliderToMaximum, 0},   // other actions do not scroll
    };
    Show({400, 300}, {2000, 100});
    QScrollBar* bar = view.HorizontalScrollBar();
    for (const Case& c : cases) {
        bar->triggerAction(c.action);
        EXPECT_EQ(Origin().x(), c.expectedOrigin) << c.action;
        EXPECT_EQ(bar->value(), -c.expectedOrigin) << c.action;
    }

    bar->setSliderPosition(1590); // dragging the thumb
    EXPECT_EQ(Origin().x(), -1590);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd); // stops at the end
    EXPECT_EQ(Origin().x(), -1600);
    EXPECT_EQ(Origin().y(), (200 - E) / 2); // the other axis stays
}

TEST_F(ScrollView, VerticalPageStepUsesTheWindowHeight)
{
    Show({400, 300}, {100, 2000});
    view.VerticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Origin().y(), -225);
    view.VerticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(Origin().y(), -215);
}

TEST_F(ScrollView, ClampScrollKeepsLargeContentCoveringTheWindow)
{
    struct Case {
        int origin, delta, expected;
    };
    // 500 x 400 in 400 x 300 needs both bars: the excess is 100 + E both ways.
    const int end = -(100 + E);
    const Case cases[] = {
        {0, 20, 0}, // touching the left edge, dragged right
        {0, -30, -30},
        {-50, 20, 20},
        {-10, 30, 10},
        {end, -5, 0}, // at the far end, dragged further
        {end + 10, -30, -10},
        {end + 10, 30, 30},
    };
    Show({400, 300}, {500, 400});
    for (const Case& c : cases) {
        SetOrigin({c.origin, c.origin});
        int dx = c.delta, dy = c.delta;
        view.ClampScroll(dx, dy);
        EXPECT_EQ(dx, c.expected) << c.origin << " " << c.delta;
        EXPECT_EQ(dy, c.expected) << c.origin << " " << c.delta;
    }
}

TEST_F(ScrollView, ContentThatFitsIsNotDragged)
{
    Show({400, 300}, {100, 100});
    int dx = -20, dy = 15;
    view.ClampScroll(dx, dy);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
}

TEST_F(ScrollView, DragWithinContentScrollsAndMovesTheBars)
{
    Show({400, 300}, {2000, 2000});
    int dx = -120, dy = 50;
    view.ClampScroll(dx, dy);
    view.ScrollBy(dx, dy);
    EXPECT_EQ(Origin(), QPoint(-120, 0));
    EXPECT_EQ(view.HorizontalScrollBar()->value(), 120);
    EXPECT_EQ(view.VerticalScrollBar()->value(), 0);
}

TEST_F(ScrollView, ResizingRecentresOrKeepsTheEdge)
{
    // 500 x 200 in 400 x 300: a horizontal bar only.
    Show({400, 300}, {500, 200});
    EXPECT_EQ(Origin(), QPoint(0, (100 - E) / 2));
    view.ScrollBy(-60, 0);
    EXPECT_EQ(Origin().x(), -60);

    view.resize(700, 300); // now it fits: centred without touching a bar
    EXPECT_EQ(Origin(), QPoint(100, 50));
    EXPECT_TRUE(view.HorizontalScrollBar()->isHidden());

    view.resize(400, 300);
    view.ScrollBy(-100, 0); // at the right end
    EXPECT_EQ(Origin().x(), -100);
    view.resize(450, 300); // the right edge follows the window's
    EXPECT_EQ(Origin().x(), -50);
    EXPECT_EQ(view.HorizontalScrollBar()->maximum(), 50);
    EXPECT_EQ(view.HorizontalScrollBar()->value(), 50);
}

TEST_F(ScrollView, CenterOnPutsThePointInTheMiddleAsFarAsPossible)
{
    struct Case {
        QPoint logical;
        int zoom;
        QPoint expected;
    };
    // 2000 x 2000 in 400 x 300: both bars, the client is (400 - E) x (300 - E).
    const int cx = (400 - E) / 2, cy = (300 - E) / 2;
    const Case cases[] = {
        {{1000, 1000}, 1, {cx - 1000, cy - 1000}},
        {{0, 0}, 1, {0, 0}},
        {{2000, 2000}, 1, {-(1600 + E), -(1700 + E)}},
        {{1000, 500}, 2, {cx - 2000, cy - 1000}},
    };
    for (const Case& c : cases) {
        Show({400, 300}, {2000, 2000});
        view.MapMode().DeviceExtent = {c.zoom, c.zoom};
        view.CenterOn(c.logical);
        EXPECT_EQ(Origin(), c.expected) << c.logical.x() << "," << c.logical.y() << " at " << c.zoom;
        EXPECT_EQ(view.HorizontalScrollBar()->value(), -c.expected.x());
        EXPECT_EQ(view.VerticalScrollBar()->value(), -c.expected.y());
    }
}

TEST_F(ScrollView, ContentRectCoversTheOriginAndOnlyScrollableObjects)
{
    picture->SetBounds({50, 40, 100, 100});
    auto* handles = view.Objects().Add(std::make_unique<TProbe>(
        "handles", log, Qt::blue, OverlayOnly | TKvViewObject::ofNoScrollExtent));
    handles->SetBounds({-500, -500, 2000, 2000});
    auto* hidden = view.Objects().Add(std::make_unique<TProbe>("hidden", log, Qt::blue, BodyOnly));
    hidden->SetBounds({0, 0, 3000, 3000});
    hidden->SetActive(false);

    view.MapMode().DeviceOrigin = {10, 20};
    EXPECT_EQ(view.GetContentRect(), QRect(10, 20, 150, 140));
    picture->SetActive(false);
    EXPECT_EQ(view.GetContentRect(), QRect(10, 20, 0, 0));
}

TEST_F(ScrollView, ScrollingRepaintsOnlyTheUncoveredStrip)
{
    Show({400, 300}, {2000, 2000});
    Flush();
    const QRect client = view.ClientRect();
    ASSERT_TRUE(view.Painted.contains(client.center())); // the first paint covered it all

    view.Painted = QRegion();
    view.ScrollBy(-10, 0);
    Flush();
    EXPECT_EQ(view.Painted, QRegion(client.width() - 10, 0, 10, client.height()));

    view.Painted = QRegion();
    view.VerticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    Flush();
    EXPECT_EQ(view.Painted, QRegion(0, client.height() - 10, client.width(), 10));
}
