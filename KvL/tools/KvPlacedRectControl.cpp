#include "KvPlacedRectControl.h"

#include "KvGraphicsView.h"
#include "CropRectangle.h"
#include "KvLTBitmap.h"


namespace {

// How far handles reach outside the rectangle.
constexpr int HandleReach = 4;

} // namespace

TRect TKvPlacedRectControl::PictureBounds() const
{
    const TKvGraphicsDocument* document = View()->Document();
    return document ? RectOfSize(0, 0, document->Image().Width(), document->Image().Height()) : TRect{};
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
    const TRect frame = FromQRect(mapMode.LogicalToDevice(ToQRect(m_placement.Rect())));
    const TRect shown = FromQRect(mapMode.LogicalToDevice(ToQRect(IntersectRect(m_placement.Rect(), PictureBounds()))));
    // Each part of the canvas still to be painted once: inverting a pixel
    // twice would undo it.
    for (const QRect& clipPart : canvas.ClipRegion()) {
        const TRect clip = IntersectRect(FromQRect(clipPart), pixels.GetBounds());
        if (clip.IsEmpty())
            continue;
        TKvPixels part = pixels;
        part.Init(clip, pixels.PixelAt(clip.Left, clip.Top), pixels.Format, pixels.Stride);
        const TRect preview = IntersectRect(shown, clip);
        if (!preview.IsEmpty()) {
            TViewPixels view;
            view.Clip = preview;
            for (int x = preview.Left; x < preview.Right; ++x)
                view.PictureX.push_back(mapMode.DeviceToLogical(QPoint(x, 0)).x());
            for (int y = preview.Top; y < preview.Bottom; ++y)
                view.PictureY.push_back(mapMode.DeviceToLogical(QPoint(0, y)).y());
            PaintPreview(part, view);
        }
        PaintFrame(part, frame);
    }
}

// A dotted frame of inverted pixels round the rectangle, and in state Placed
// the eight handles as hollow inverted squares.
void TKvPlacedRectControl::PaintFrame(TKvPixels& pixels, const TRect& rect) const
{
    DrawFocusFrame(pixels, rect);
    if (m_placement.State() != TPlaceState::Placed || rect.IsEmpty())
        return;
    for (int handle = HandleTop; handle <= HandleTopLeft; ++handle)
        DrawCropHandle(pixels, HandlePoint(rect, handle));
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

TKvPlacedRectControl* ControlWithPlacement(const std::vector<TKvGraphicsToolControl*>& controls,
                                           const TKvGraphicsDocument* document)
{
    for (TKvGraphicsToolControl* control : controls) {
        auto* placed = static_cast<TKvPlacedRectControl*>(control);
        if (placed->Placement().Active() && (!document || placed->View()->Document() == document))
            return placed;
    }
    return nullptr;
}
