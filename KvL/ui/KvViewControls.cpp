#include "KvViewControls.h"

#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------
// TKvViewControl

TKvViewControl::TKvViewControl(QWidget* parent)
    : QWidget(parent)
{
    // Every pixel of the update region is painted by the stack or the
    // background: no erasing first, and a resize exposes only the new area.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_StaticContents);
}

void TKvViewControl::HoldPaint(bool hold)
{
    m_paintHeld = hold;
    if (!hold)
        PaintGathered();
}

void TKvViewControl::PaintGathered(qint64 budgetNs)
{
    const QRegion gathered = std::exchange(m_gathered, QRegion());
    if (gathered.isEmpty())
        return;
    const bool held = std::exchange(m_paintHeld, false);
    if (budgetNs <= 0) {
        repaint(gathered);
    } else {
        // A few rectangles at a time, until the time is up.
        constexpr std::size_t RectsPerGo = 8;
        const std::vector<QRect> rects(gathered.begin(), gathered.end());
        QElapsedTimer clock;
        clock.start();
        std::size_t next = 0;
        while (next < rects.size() && (next == 0 || clock.nsecsElapsed() < budgetNs)) {
            const std::size_t end = std::min(rects.size(), next + RectsPerGo);
            QRegion go;
            go.setRects(rects.data() + next, int(end - next));
            repaint(go);
            next = end;
        }
        if (next < rects.size()) {
            QRegion rest;
            rest.setRects(rects.data() + next, int(rects.size() - next));
            m_gathered += rest;
        }
    }
    m_paintHeld = held;
}

void TKvViewControl::UpdateRect(const QRect& rect)
{
    if (m_paintHeld)
        m_gathered += rect;
    else
        update(rect);
}

void TKvViewControl::paintEvent(QPaintEvent* event)
{
    if (m_paintHeld) {
        m_gathered += event->region();
        return;
    }
    if (!m_canvas.BeginPaint(*this, event->region() & ClientRect()))
        return;
    PaintObjects();
    m_canvas.EndPaint();
}

// Bodies are painted from the top of the stack down, each excluding what it
// covered, so nothing is painted twice; the background fills what is left;
// overlays follow from the bottom up, each clipped as the canvas was when its
// object was visited (so bodies above it still hide it).
void TKvViewControl::PaintObjects()
{
    TKvViewCanvas& canvas = m_canvas;
    const TKvMapMode& mapMode = canvas.MapMode();
    for (int i = m_objects.Count() - 1; i >= 0; --i) {
        TKvViewObject* object = m_objects[i];
        if (!object->IsActive() || !canvas.RectVisible(object->GetUpdateRect(mapMode))
            || !object->CanPaint(canvas))
            continue;
        const bool overlayLater = object->HasOverlay() && canvas.RectVisible(object->GetOverlayRect(mapMode));
        if (overlayLater)
            canvas.PushState(object);
        if (object->HasBody() && canvas.RectVisible(object->GetBodyRect(mapMode)))
            object->PaintBody(canvas);
        if (!overlayLater)
            object->AfterPaint();
    }
    if (!canvas.ClipRegion().isEmpty())
        canvas.FillClipRegion(canvas.BackgroundColor);
    TKvViewObject* object = nullptr;
    while (canvas.PopState(object)) {
        object->PaintOverlay(canvas);
        object->AfterPaint();
    }
}

// ---------------------------------------------------------------------------
// TKvScrollViewControl

namespace {

// The origin move for one axis: content smaller than the window (negative
// excess) is centred; larger content keeps its origin within [-excess, 0],
// so that its edges never come inside the window.
int OriginCorrection(int excess, int origin)
{
    if (excess < 0)
        return -excess / 2 - origin;
    if (origin > 0)
        return -origin;
    if (origin < -excess)
        return -excess - origin;
    return 0;
}

// The part of a drag by delta that keeps content larger than the window
// covering it; content that fits does not move.
int ClampDrag(int delta, int excess, int origin)
{
    if (excess <= 0)
        return 0;
    if (delta < 0 && excess + origin + delta < 0)
        return -origin - excess;
    if (delta > 0 && origin + delta > 0)
        return -origin;
    return delta;
}

// Range, page and position of one bar, without the bar reporting the change
// back as a scroll.  Its range is that of a bar over page + excess pixels
// showing page of them.
void SetBar(QScrollBar* bar, int excess, int page, int position)
{
    const QSignalBlocker blocker(bar);
    bar->setRange(0, std::max(excess, 0));
    bar->setPageStep(page);
    bar->setValue(position);
    bar->setVisible(excess > 0);
}

} // namespace

TKvScrollViewControl::TKvScrollViewControl(QWidget* parent)
    : TKvViewControl(parent)
    , m_horizontalBar(new QScrollBar(Qt::Horizontal, this))
    , m_verticalBar(new QScrollBar(Qt::Vertical, this))
{
    for (QScrollBar* bar : {m_horizontalBar, m_verticalBar}) {
        bar->hide();
        bar->setFocusPolicy(Qt::NoFocus);
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this, bar](int action) { ScrollBarAction(bar, action); });
    }
}

int TKvScrollViewControl::ScrollBarExtent() const
{
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

QRect TKvScrollViewControl::ClientRect() const
{
    const int extent = ScrollBarExtent();
    const int width = m_verticalBar->isHidden() ? this->width() : this->width() - extent;
    const int height = m_horizontalBar->isHidden() ? this->height() : this->height() - extent;
    return {0, 0, std::max(width, 0), std::max(height, 0)};
}

QRect TKvScrollViewControl::GetContentRect() const
{
    const QPoint origin = MapMode().LogicalToDevice(QPoint(0, 0));
    int left = origin.x(), top = origin.y(), right = origin.x(), bottom = origin.y();
    for (int i = 0; i < Objects().Count(); ++i) {
        const TKvViewObject* object = Objects()[i];
        if (!object->IsActive() || !object->InScrollExtent())
            continue;
        const QRect r = object->GetUpdateRect(MapMode());
        if (r.isEmpty())
            continue;
        left = std::min(left, r.x());
        top = std::min(top, r.y());
        right = std::max(right, r.x() + r.width());
        bottom = std::max(bottom, r.y() + r.height());
    }
    return {left, top, right - left, bottom - top};
}

TKvScrollCorrection TKvScrollViewControl::ComputeScroll() const
{
    const QRect content = GetContentRect();
    int w = content.width() - width();
    int h = content.height() - height();
    // A bar takes room from the other direction, which may then need its
    // own bar too.
    const int extent = ScrollBarExtent();
    if (h > 0) {
        w += extent;
        if (w > 0)
            h += extent;
    } else if (w > 0) {
        h += extent;
        if (h > 0)
            w += extent;
    }
    const QPoint origin = MapMode().DeviceOrigin;
    return {OriginCorrection(w, origin.x()), OriginCorrection(h, origin.y()), w, h};
}

void TKvScrollViewControl::SetScrollBars(int excessWidth, int excessHeight)
{
    if (width() < 1 || height() < 1)
        return;
    const QPoint origin = MapMode().DeviceOrigin;
    SetBar(m_horizontalBar, excessWidth, width(), -origin.x());
    SetBar(m_verticalBar, excessHeight, height(), -origin.y());
    PlaceScrollBars();
}

void TKvScrollViewControl::PlaceScrollBars()
{
    const int extent = ScrollBarExtent();
    const int belowBar = m_horizontalBar->isHidden() ? 0 : extent;
    const int besideBar = m_verticalBar->isHidden() ? 0 : extent;
    m_verticalBar->setGeometry(width() - extent, 0, extent, height() - belowBar);
    m_horizontalBar->setGeometry(0, height() - extent, width() - besideBar, extent);
}

void TKvScrollViewControl::UpdateScrollRange()
{
    const TKvScrollCorrection correction = ComputeScroll();
    if (correction.Dx != 0 || correction.Dy != 0)
        ShiftOrigin(correction.Dx, correction.Dy);
    SetScrollBars(correction.ExcessWidth, correction.ExcessHeight);
    update();
}

void TKvScrollViewControl::ShiftOrigin(int dx, int dy)
{
    MapMode().DeviceOrigin += QPoint(dx, dy);
}

void TKvScrollViewControl::ScrollContent(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    ShiftOrigin(dx, dy);
    // Moves the pixels already shown and schedules a paint of the strip
    // uncovered; the scroll bars (children) stay where they are.
    scroll(dx, dy, ClientRect());
}

void TKvScrollViewControl::ScrollBy(int dx, int dy)
{
    ScrollContent(dx, dy);
    const TKvScrollCorrection correction = ComputeScroll();
    SetScrollBars(correction.ExcessWidth, correction.ExcessHeight);
}

void TKvScrollViewControl::ClampScroll(int& dx, int& dy) const
{
    const TKvScrollCorrection correction = ComputeScroll();
    const QPoint origin = MapMode().DeviceOrigin;
    dx = ClampDrag(dx, correction.ExcessWidth, origin.x());
    dy = ClampDrag(dy, correction.ExcessHeight, origin.y());
}

void TKvScrollViewControl::CenterOn(const QPoint& logicalPoint)
{
    const QPoint device = MapMode().LogicalToDevice(logicalPoint);
    const QRect client = ClientRect();
    ShiftOrigin(client.width() / 2 - device.x(), client.height() / 2 - device.y());
    const TKvScrollCorrection correction = ComputeScroll();
    if (correction.Dx != 0 || correction.Dy != 0)
        ShiftOrigin(correction.Dx, correction.Dy);
    SetScrollBars(correction.ExcessWidth, correction.ExcessHeight);
    update();
}

void TKvScrollViewControl::resizeEvent(QResizeEvent* event)
{
    TKvViewControl::resizeEvent(event);
    const TKvScrollCorrection correction = ComputeScroll();
    if (correction.Dx != 0 || correction.Dy != 0)
        ScrollContent(correction.Dx, correction.Dy);
    SetScrollBars(correction.ExcessWidth, correction.ExcessHeight);
}

void TKvScrollViewControl::paintEvent(QPaintEvent* event)
{
    TKvViewControl::paintEvent(event);
    // The square between two bars belongs to neither.
    if (m_horizontalBar->isHidden() || m_verticalBar->isHidden())
        return;
    const QRect corner(m_verticalBar->x(), m_horizontalBar->y(), m_verticalBar->width(),
                       m_horizontalBar->height());
    if (event->region().intersects(corner))
        QPainter(this).fillRect(corner, palette().window());
}

// A bar moves by LineStep for an arrow, by three quarters of its page for a
// click beside the thumb, and with the thumb while it is dragged; the
// content follows by the step actually taken.
void TKvScrollViewControl::ScrollBarAction(QScrollBar* bar, int action)
{
    const int position = bar->value();
    const int page = bar->pageStep();
    int step = 0;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: step = -LineStep; break;
    case QAbstractSlider::SliderSingleStepAdd: step = LineStep; break;
    case QAbstractSlider::SliderPageStepSub: step = -((page * 3 + 2) / 4); break; // rounded like MulDiv
    case QAbstractSlider::SliderPageStepAdd: step = (page * 3 + 2) / 4; break;
    case QAbstractSlider::SliderMove: step = bar->sliderPosition() - position; break;
    default: break;
    }
    step = std::clamp(position + step, bar->minimum(), bar->maximum()) - position;
    // Replaces whatever move the bar made on its own; the bar commits this
    // position once the action is handled.
    bar->setSliderPosition(position + step);
    if (step == 0)
        return;
    if (bar == m_horizontalBar)
        ScrollContent(-step, 0);
    else
        ScrollContent(0, -step);
}
