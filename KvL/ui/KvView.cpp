#include "KvView.h"

#include <QPaintDevice>

#include <algorithm>

namespace {

// Rectangles here are right- and bottom-exclusive; QRect's own right() and
// bottom() are one less, so the edges are computed from the size.
int RightOf(const QRect& r) { return r.x() + r.width(); }
int BottomOf(const QRect& r) { return r.y() + r.height(); }

// The smallest rectangle covering both; an empty rectangle adds nothing.
QRect UniteRects(const QRect& a, const QRect& b)
{
    if (a.isEmpty())
        return b.isEmpty() ? QRect() : b;
    return b.isEmpty() ? a : a.united(b);
}

bool LiesInside(const QRect& rect, const QRect& body)
{
    return !body.isEmpty() && rect.x() >= body.x() && rect.y() >= body.y()
        && RightOf(rect) <= RightOf(body) && BottomOf(rect) <= BottomOf(body);
}

QRect Grown(const QRect& r, int by) { return r.adjusted(-by, -by, by, by); }

} // namespace

// ---------------------------------------------------------------------------
// TKvViewObject

void TKvViewObject::SetActive(bool active)
{
    Flags = active ? (Flags | ofActive) : (Flags & ~ofActive);
}

void TKvViewObject::SetBounds(const QRect& bounds) { m_bounds = bounds; }

QRect TKvViewObject::GetUpdateRect(const TKvMapMode& mapMode) const
{
    if (HasBody())
        return HasOverlay() ? UniteRects(GetBodyRect(mapMode), GetOverlayRect(mapMode))
                            : GetBodyRect(mapMode);
    return HasOverlay() ? GetOverlayRect(mapMode) : QRect();
}

QRect TKvViewObject::GetBodyRect(const TKvMapMode& mapMode) const
{
    return mapMode.LogicalToDevice(m_bounds);
}

QRect TKvViewObject::GetOverlayRect(const TKvMapMode& mapMode) const
{
    return mapMode.LogicalToDevice(m_bounds);
}

bool TKvViewObject::CanPaint(const TKvViewCanvas&) const { return IsActive(); }

void TKvViewObject::PaintBody(TKvViewCanvas&) {}

void TKvViewObject::PaintOverlay(TKvViewCanvas&) {}

void TKvViewObject::AfterPaint() {}

void TKvViewObject::Paint(TKvViewCanvas& canvas)
{
    if (!IsVisible() || !CanPaint(canvas))
        return;
    if (HasBody())
        PaintBody(canvas);
    if (HasOverlay())
        PaintOverlay(canvas);
    AfterPaint();
}

bool TKvViewObject::HandlesPoint(int, int) const { return false; }

int TKvViewObject::HitTest(const TKvMapMode& mapMode, const QPoint& point, int tolerance) const
{
    const QRect body = GetBodyRect(mapMode);
    if (body.contains(point))
        return htInside;
    if (tolerance > 0 && Grown(body, tolerance).contains(point))
        return htNear;
    return htNone;
}

int TKvViewObject::HitTestRect(const TKvMapMode& mapMode, const QRect& rect, int tolerance) const
{
    const QRect body = GetBodyRect(mapMode);
    if (LiesInside(rect, body))
        return htInside;
    if (body.intersects(rect))
        return htOverlap;
    if (tolerance >= 1 && Grown(body, tolerance).intersects(rect))
        return htNear;
    return htNone;
}

// ---------------------------------------------------------------------------
// TKvViewObjectList

std::unique_ptr<TKvViewObject> TKvViewObjectList::Extract(const TKvViewObject* object)
{
    const auto found = std::find_if(m_objects.begin(), m_objects.end(),
                                    [object](const auto& item) { return item.get() == object; });
    if (found == m_objects.end())
        return nullptr;
    std::unique_ptr<TKvViewObject> extracted = std::move(*found);
    m_objects.erase(found);
    return extracted;
}

int TKvViewObjectList::IndexOf(const TKvViewObject* object) const
{
    for (int i = 0; i < Count(); ++i)
        if ((*this)[i] == object)
            return i;
    return -1;
}

// ---------------------------------------------------------------------------
// TKvViewCanvas

TKvViewCanvas::~TKvViewCanvas()
{
    // The painter must let go of the image before the image's memory goes.
    if (m_painting)
        m_painter.end();
}

bool TKvViewCanvas::BeginPaint(QPaintDevice& window, const QRegion& updateRegion)
{
    if (m_painting || updateRegion.isEmpty())
        return false;
    const QRect box = updateRegion.boundingRect();
    const int width = RightOf(box);
    const int height = BottomOf(box);
    const int stride = PaddedStride(PixelFormatBGR24, width);
    if (width <= 0 || height <= 0 || stride <= 0)
        return false;

    const size_t size = size_t(stride) * size_t(height);
    if (size > m_bitsSize) {
        m_bits = std::make_unique_for_overwrite<uint8_t[]>(size);
        m_bitsSize = size;
    }
    // Format_BGR888 keeps bytes blue, green, red in memory, the order of the
    // program's 24-bit pixels, so painter and Pixels() see the same bytes.
    m_image = QImage(m_bits.get(), width, height, stride, QImage::Format_BGR888);
    m_pixels.Init(RectOfSize(0, 0, width, height), m_bits.get(), PixelFormatBGR24, stride);

    m_window = &window;
    m_updateRegion = updateRegion & QRect(0, 0, width, height);
    m_updateBox = m_updateRegion.boundingRect();
    m_painter.begin(&m_image);
    m_painting = true;
    SetClipRegion(m_updateRegion);
    return true;
}

void TKvViewCanvas::EndPaint()
{
    if (!m_painting)
        return;
    m_painter.end();
    m_painting = false;
    {
        // Only the update region goes to the window; the rest of the image
        // holds nothing painted in this cycle.
        QPainter window(m_window);
        for (const QRect& r : m_updateRegion)
            window.drawImage(r.topLeft(), m_image, r);
    }
    m_image = QImage();
    m_pixels = TKvCanvasPixels();
    m_window = nullptr;
    m_updateRegion = QRegion();
    m_updateBox = QRect();
    m_clip = QRegion();
    m_depth = 0;
}

void TKvViewCanvas::SetClipRegion(const QRegion& region)
{
    m_clip = region;
    ApplyClip();
}

void TKvViewCanvas::ExcludeClipRect(const QRect& rect)
{
    if (!m_clip.intersects(rect))
        return;
    m_clip -= rect;
    ApplyClip();
}

void TKvViewCanvas::FillClipRegion(const QColor& color)
{
    if (!m_painting)
        return;
    for (const QRect& r : m_clip)
        m_painter.fillRect(r, color);
}

void TKvViewCanvas::ApplyClip()
{
    if (m_painting)
        m_painter.setClipRegion(m_clip);
}

void TKvViewCanvas::PushState(TKvViewObject* object)
{
    if (m_depth == m_states.size())
        m_states.emplace_back();
    m_states[m_depth++] = {object, m_clip};
}

bool TKvViewCanvas::PopState(TKvViewObject*& object)
{
    if (m_depth == 0)
        return false;
    TKvViewState& state = m_states[--m_depth];
    object = state.Object;
    SetClipRegion(state.Clip);
    state = {};
    return true;
}
