// The rectangle the paste and text tools place on a picture: drawn by a
// first drag, then moved by its inside and resized by its eight handles.
// Drawing it leftwards or upwards, or dragging a side across the opposite
// one, mirrors what it shows.  Everything is in picture coordinates; the
// tools work out in view coordinates which handle a press hit.
#pragma once

#include "KvBitmap.h"

// Idle: no rectangle; Creating: the first drag; Placed: a rectangle with
// handles waits for the user; Dragging: a handle or the inside is dragged.
enum class TPlaceState { Idle, Creating, Placed, Dragging };

class TPlacedRect {
public:
    TPlaceState State() const { return m_state; }
    // Right and bottom exclusive; while moved whole it may reach outside
    // the picture.
    const TRect& Rect() const { return m_rect; }
    bool FlipX() const { return m_flipX; }
    bool FlipY() const { return m_flipY; }
    // The handle (HitHandle's numbers) the drag started on.
    int Hit() const { return m_hit; }
    bool Active() const { return m_state != TPlaceState::Idle; }

    // A press at anchor starts a new rectangle of one pixel.
    void Create(TPoint anchor);
    // A press on a handle (4..11) or inside (3) of the placed rectangle
    // starts a drag; other codes are ignored.
    void BeginDrag(int hit, TPoint anchor);
    // The pointer moved to point while creating or dragging: the rectangle
    // and its mirroring follow, cut to the picture except while it is moved
    // whole.  Returns whether anything changed.
    bool MoveTo(TPoint point, const TRect& picture);
    // The button went up after creating or dragging: the rectangle is
    // placed.  False when it is too small to keep (under 2 x 2 pixels, or no
    // area at all): the caller drops it.
    bool Release();
    // Back to Idle; the mirroring stays until the next rectangle.
    void Reset();

private:
    TPlaceState m_state = TPlaceState::Idle;
    TRect m_rect;
    TPoint m_anchor;
    int m_hit = HandleNone;
    bool m_flipX = false;
    bool m_flipY = false;
    // The drag's start: the rectangle, its mirroring and the sides moving.
    TRect m_startRect;
    bool m_startFlipX = false;
    bool m_startFlipY = false;
    bool m_leftMoves = false;
    bool m_topMoves = false;
    bool m_rightMoves = false;
    bool m_bottomMoves = false;
};
