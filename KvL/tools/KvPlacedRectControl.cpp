#include "KvPlacedRectControl.h"

#include "KvGraphicsView.h"
#include "KvLTBitmap.h"

#include <QCursor>

namespace {

// A handle: the 9 x 9 square's outline one pixel wide.
constexpr int HandleOuter = 9;
constexpr int HandleInner = 7;
// How far handles reach outside the rectangle.
constexpr int HandleReach = HandleOuter / 2;

void InvertPixel(TKvPixels& pixels, const TRect& box, int x, int y)
{
    if (!box.Contains(TPoint{x, y}))
        return;
    std::uint8_t* pixel = pixels.PixelAt(x, y);
    for (int c = 0; c < 3; ++c)
        pixel[c] = std::uint8_t(255 - pixel[c]);
}

void RegisterSizeCursors()
{
    static const bool registered = [] {
        RegisterScreenCursor(TKvPlacedRectControl::crSizeAll, QCursor(Qt::SizeAllCursor));
        RegisterScreenCursor(TKvPlacedRectControl::crSizeNS, QCursor(Qt::SizeVerCursor));
        RegisterScreenCursor(TKvPlacedRectControl::crSizeNESW, QCursor(Qt::SizeBDiagCursor));
        RegisterScreenCursor(TKvPlacedRectControl::crSizeWE, QCursor(Qt::SizeHorCursor));
        RegisterScreenCursor(TKvPlacedRectControl::crSizeNWSE, QCursor(Qt::SizeFDiagCursor));
        return true;
    }();
    (void)registered;
}

} // namespace

TKvPlacedRectControl::TKvPlacedRectControl(TKvGraphicsTool* tool, TKvGraphicsView* view)
    : TKvGraphicsToolControl(tool, view)
{
    RegisterSizeCursors();
}

TRect TKvPlacedRectControl::PictureBounds() const
{
    const TKvGraphicsDocument* document = View()->Document();
    return document ? RectOfSize(0, 0, document->Image().Width(), document->Image().Height()) : TRect{};
}

int TKvPlacedRectControl::HandleCursor(int hit)
{
    switch (hit) {
    case HandleBody: return crSizeAll;
    case HandleTop: case HandleBottom: return crSizeNS;
    case HandleTopRight: case HandleBottomLeft: return crSizeNESW;
    case HandleRight: case HandleLeft: return crSizeWE;
    case HandleBottomRight: case HandleTopLeft: return crSizeNWSE;
    default: return crDefault;
    }
}

QRect TKvPlacedRectControl::ViewRect() const
{
    return View()->MapMode().LogicalToDevice(ToQRect(m_placement.Rect()));
}

int TKvPlacedRectControl::HitAt(const QPoint& point) const
{
    return HitHandle(FromQRect(ViewRect()), {point.x(), point.y()});
}

TPoint TKvPlacedRectControl::PicturePoint(const QPoint& point) const
{
    const QPoint p = View()->ClientToImage(point);
    return {p.x(), p.y()};
}

void TKvPlacedRectControl::ShowSize() const
{
    const TRect& rect = m_placement.Rect();
    TKvGraphicsDocument* document = View()->Document();
    if (!rect.IsEmpty() && document && document->GraphicsEditor())
        document->GraphicsEditor()->ShowImageSize(rect.Width(), rect.Height());
}

void TKvPlacedRectControl::Reset()
{
    InvalidatePlacement();
    m_placement.Reset();
    InvalidatePlacement();
    if (IKvGraphicsEditor* editor = Tool() ? Tool()->Editor() : nullptr)
        editor->EndExclusive();
    TKvGraphicsDocument* document = View()->Document();
    if (document && document->GraphicsEditor())
        document->GraphicsEditor()->ShowImageSize(document->Image().Width(), document->Image().Height());
}

void TKvPlacedRectControl::InvalidatePlacement()
{
    const QRect area = GetOverlayRect(View()->MapMode());
    const QRect repaint = m_shown.isEmpty() ? area : area.isEmpty() ? m_shown : m_shown.united(area);
    if (!repaint.isEmpty())
        View()->update(repaint);
    m_shown = area;
}

void TKvPlacedRectControl::Activated()
{
    SetActive(true);
    TKvGraphicsToolControl::Activated();
}

void TKvPlacedRectControl::Deactivated()
{
    SetActive(false);
    TKvGraphicsToolControl::Deactivated();
}

QRect TKvPlacedRectControl::GetOverlayRect(const TKvMapMode& mapMode) const
{
    if (!m_placement.Active())
        return {};
    const QRect rect = mapMode.LogicalToDevice(ToQRect(m_placement.Rect()));
    return rect.adjusted(-HandleReach, -HandleReach, HandleReach + 1, HandleReach + 1);
}

void TKvPlacedRectControl::PaintOverlay(TKvViewCanvas& canvas)
{
    if (!m_placement.Active())
        return;
    TKvPixels& pixels = canvas.Pixels();
    const TKvMapMode& mapMode = canvas.MapMode();
    const TRect box = IntersectRect(FromQRect(canvas.ClipBox()), RectOfSize(0, 0, pixels.Width, pixels.Height));
    const TRect shown = IntersectRect(m_placement.Rect(), PictureBounds());
    const TRect clip = IntersectRect(FromQRect(mapMode.LogicalToDevice(ToQRect(shown))), box);
    if (!clip.IsEmpty()) {
        TViewPixels view;
        view.Clip = clip;
        for (int x = clip.Left; x < clip.Right; ++x)
            view.PictureX.push_back(mapMode.DeviceToLogical(QPoint(x, 0)).x());
        for (int y = clip.Top; y < clip.Bottom; ++y)
            view.PictureY.push_back(mapMode.DeviceToLogical(QPoint(0, y)).y());
        PaintPreview(pixels, view);
    }
    PaintFrame(canvas, mapMode.LogicalToDevice(ToQRect(m_placement.Rect())));
}

// A dotted frame of inverted pixels round the rectangle, and in state Placed
// the eight handles as hollow inverted squares.
void TKvPlacedRectControl::PaintFrame(TKvViewCanvas& canvas, const QRect& rect) const
{
    TKvPixels& pixels = canvas.Pixels();
    const TRect box = IntersectRect(FromQRect(canvas.ClipBox()), RectOfSize(0, 0, pixels.Width, pixels.Height));
    const TRect frame = FromQRect(rect);
    if (frame.IsEmpty())
        return;
    const TRect visible = IntersectRect(frame, box);
    if (!visible.IsEmpty()) {
        const int bottom = frame.Bottom - 1;
        const int right = frame.Right - 1;
        for (int x = std::max(frame.Left, box.Left); x < std::min(frame.Right, box.Right); ++x)
            if ((x - frame.Left) % 2 == 0) {
                InvertPixel(pixels, box, x, frame.Top);
                if (bottom != frame.Top)
                    InvertPixel(pixels, box, x, bottom);
            }
        for (int y = std::max(frame.Top + 1, box.Top); y < std::min(bottom, box.Bottom); ++y)
            if ((y - frame.Top) % 2 == 0) {
                InvertPixel(pixels, box, frame.Left, y);
                if (right != frame.Left)
                    InvertPixel(pixels, box, right, y);
            }
    }
    if (m_placement.State() != TPlaceState::Placed)
        return;
    for (int handle = HandleTop; handle <= HandleTopLeft; ++handle) {
        const TPoint centre = HandlePoint(frame, handle);
        const TRect outer = HandleRect(centre, HandleOuter);
        const TRect inner = HandleRect(centre, HandleInner);
        for (int y = outer.Top; y < outer.Bottom; ++y)
            for (int x = outer.Left; x < outer.Right; ++x)
                if (!inner.Contains(TPoint{x, y}))
                    InvertPixel(pixels, box, x, y);
    }
}

bool TKvPlacedRectControl::GetCursor(Qt::KeyboardModifiers, const QPoint& point, int& cursorId)
{
    if (!ToolActive())
        return false;
    int hit = HandleNone;
    if (m_placement.State() == TPlaceState::Placed)
        hit = HitAt(point);
    else if (m_placement.State() == TPlaceState::Dragging)
        hit = m_placement.Hit();
    if (hit == HandleNone)
        return false;
    cursorId = HandleCursor(hit);
    return true;
}

bool TKvPlacedRectControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint& point)
{
    if (!ToolActive() || button != Qt::LeftButton)
        return false;
    const QRect picture = View()->MapMode().LogicalToDevice(ToQRect(PictureBounds()));
    const bool create = m_placement.State() == TPlaceState::Idle && picture.contains(point) && MayCreate();
    const int hit = m_placement.State() == TPlaceState::Placed ? HitAt(point) : HandleNone;
    if (create) {
        if (IKvGraphicsEditor* editor = Tool()->Editor())
            editor->BeginExclusive();
        m_placement.Create(PicturePoint(point));
    } else if (hit >= HandleBody) {
        m_placement.BeginDrag(hit, PicturePoint(point));
    } else {
        return false;
    }
    InvalidatePlacement();
    return true;
}

bool TKvPlacedRectControl::MouseMove(Qt::KeyboardModifiers, const QPoint& point)
{
    const TPlaceState state = m_placement.State();
    if (!ToolActive() || (state != TPlaceState::Creating && state != TPlaceState::Dragging))
        return false;
    if (m_placement.MoveTo(PicturePoint(point), PictureBounds())) {
        InvalidatePlacement();
        ShowSize();
    }
    return true;
}

bool TKvPlacedRectControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint& point)
{
    if (!ToolActive())
        return false;
    const TPlaceState state = m_placement.State();
    if (button == Qt::LeftButton && (state == TPlaceState::Creating || state == TPlaceState::Dragging)) {
        const bool kept = m_placement.Release();
        InvalidatePlacement();
        if (!kept)
            Cancel();
        RefreshCursor();
        return true;
    }
    if (state != TPlaceState::Placed)
        return false;
    if (button == Qt::LeftButton && HitAt(point) == HandleNone) {
        Commit();
        return true;
    }
    if (button == Qt::RightButton) {
        Cancel();
        return true;
    }
    return false;
}

bool TKvPlacedRectControl::KeyDown(int key, Qt::KeyboardModifiers)
{
    if (!ToolActive() || m_placement.State() != TPlaceState::Placed)
        return false;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Commit();
        return true;
    }
    if (key == Qt::Key_Escape) {
        Cancel();
        return true;
    }
    return false;
}
