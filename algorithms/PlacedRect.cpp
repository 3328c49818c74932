#include "PlacedRect.h"

#include <algorithm>

void TPlacedRect::Create(TPoint anchor)
{
    m_anchor = anchor;
    m_rect = {anchor.X, anchor.Y, anchor.X + 1, anchor.Y + 1};
    m_hit = HandleNone;
    m_state = TPlaceState::Creating;
}

void TPlacedRect::BeginDrag(int hit, TPoint anchor)
{
    if (hit < HandleBody || hit > HandleTopLeft)
        return;
    m_hit = hit;
    m_anchor = anchor;
    m_startRect = m_rect;
    m_startFlipX = m_flipX;
    m_startFlipY = m_flipY;
    m_rightMoves = hit == HandleTopRight || hit == HandleRight || hit == HandleBottomRight;
    m_leftMoves = hit == HandleBottomLeft || hit == HandleLeft || hit == HandleTopLeft;
    m_bottomMoves = hit == HandleBottomRight || hit == HandleBottom || hit == HandleBottomLeft;
    m_topMoves = hit == HandleTop || hit == HandleTopRight || hit == HandleTopLeft;
    m_state = TPlaceState::Dragging;
}

bool TPlacedRect::MoveTo(TPoint point, const TRect& picture)
{
    const TRect before = m_rect;
    const bool flipXBefore = m_flipX;
    const bool flipYBefore = m_flipY;
    if (m_state == TPlaceState::Creating) {
        m_rect = IntersectRect({std::min(m_anchor.X, point.X), std::min(m_anchor.Y, point.Y),
                                std::max(m_anchor.X, point.X), std::max(m_anchor.Y, point.Y)},
                               picture);
        m_flipX = point.X < m_anchor.X;
        m_flipY = point.Y < m_anchor.Y;
    } else if (m_state == TPlaceState::Dragging) {
        TRect rect = NormalizeRect(MoveHandle(m_startRect, m_hit, point.X - m_anchor.X, point.Y - m_anchor.Y));
        if (m_hit != HandleBody)
            rect = IntersectRect(rect, picture);
        m_rect = rect;
        // A side dragged across the opposite one mirrors the rectangle.
        m_flipX = m_startFlipX
            != ((m_rightMoves && rect.Left < m_startRect.Left) || (m_leftMoves && m_startRect.Right < rect.Right));
        m_flipY = m_startFlipY
            != ((m_bottomMoves && rect.Top < m_startRect.Top) || (m_topMoves && m_startRect.Bottom < rect.Bottom));
    } else {
        return false;
    }
    return m_rect != before || m_flipX != flipXBefore || m_flipY != flipYBefore;
}

bool TPlacedRect::Release()
{
    if (m_state != TPlaceState::Creating && m_state != TPlaceState::Dragging)
        return m_state == TPlaceState::Placed;
    m_state = TPlaceState::Placed;
    return !m_rect.IsEmpty() && (m_rect.Width() >= 2 || m_rect.Height() >= 2);
}

void TPlacedRect::Reset()
{
    m_state = TPlaceState::Idle;
    m_hit = HandleNone;
}
