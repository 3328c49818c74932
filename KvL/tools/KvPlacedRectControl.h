// The tool control of the tools that place a rectangle on the picture and
// show their work inside it live (the paste and the text tool): a first
// drag draws the rectangle, its inside moves it and its eight handles resize
// it, Enter or a click outside commits, Esc or the right button drops it.
// The rectangle is shown as a dotted frame of inverted pixels with hollow
// inverted handles, and the tool's preview is drawn into the view's canvas
// at the view's resolution: the picture itself changes only when the tool
// commits.
#pragma once

#include "KvGraphicsTool.h"
#include "PlacedRect.h"
#include "ViewPixels.h"

class TKvGraphicsView;

class TKvPlacedRectControl : public TKvGraphicsToolControl {
public:
    using TKvGraphicsToolControl::TKvGraphicsToolControl;

    const TPlacedRect& Placement() const { return m_placement; }
    TPlaceState State() const { return m_placement.State(); }
    // The picture's rectangle in picture coordinates; empty without one.
    TRect PictureBounds() const;

    // Back to Idle after a commit or a drop: the frame disappears, the editor
    // is no longer held for the tool and the status bar shows the picture's
    // size again.
    void Reset();
    // Repaints what the rectangle covers now and what it covered before.
    void InvalidatePlacement();

    // --- View object
    // The control paints only while its tool is active.
    void Activated() override;
    void Deactivated() override;
    QRect GetOverlayRect(const TKvMapMode& mapMode) const override;
    void PaintOverlay(TKvViewCanvas& canvas) override;
    bool GetCursor(Qt::KeyboardModifiers modifiers, const QPoint& point, int& cursorId) override;
    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseMove(Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers) override;

protected:
    // Whether a press on the picture may start a new rectangle now.
    virtual bool MayCreate() const { return true; }
    // Draws the tool's live preview of the rectangle into the canvas, at the
    // canvas pixels the view describes.
    virtual void PaintPreview(TKvPixels& canvas, const TViewPixels& view) = 0;
    // The tool commits or drops the rectangle; both end in Reset.
    virtual void Commit() = 0;
    virtual void Cancel() = 0;

private:
    // The rectangle in view coordinates.
    QRect ViewRect() const;
    // The hit code of a view point on the rectangle.
    int HitAt(const QPoint& point) const;
    TPoint PicturePoint(const QPoint& point) const;
    void ShowSize() const;
    // The frame and, while placed, the handles on the canvas pixels.
    void PaintFrame(TKvPixels& pixels, const TRect& rect) const;

    TPlacedRect m_placement;
    // What InvalidatePlacement last repainted, in view coordinates.
    QRect m_shown;
};

// The first of a tool's controls whose rectangle is being drawn or is placed,
// on a view of the document (of any document when none is given); null when
// there is none. The tools' controls must all be placed-rectangle controls.
TKvPlacedRectControl* ControlWithPlacement(const std::vector<TKvGraphicsToolControl*>& controls,
                                           const TKvGraphicsDocument* document);
