// What a view shows and where it paints: view objects (the picture, the
// marks of the tools) living in logical coordinates, the owning list that
// stacks them, and the off-screen canvas a view paints its update region on.
//
// Painting contract.  A view visits its objects from the top of the stack
// down.  A PaintBody that covers its area must exclude that area from the
// canvas's clip region afterwards (ExcludeClipRect), so that neither lower
// objects nor the background are painted under it; PaintOverlay paints on top
// of everything and excludes nothing.  Objects change the clip region only
// through the canvas, never through the painter, so the two stay in step;
// they set the pen, brush and composition mode they paint with themselves.
#pragma once

#include "KvBitmap.h"
#include "KvMapMode.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>

#include <cstdint>
#include <memory>
#include <vector>

class QPaintDevice;
class TKvViewCanvas;

// What a hit test found.
enum TKvHitTest : int {
    htNone = 0,    // nowhere near the object
    htOverlap = 1, // the rectangle overlaps the body without lying inside it
    htNear = 2,    // within the tolerance around the body
    htInside = 3,  // inside the body
};

// One layer of a view: a rectangle in logical coordinates (picture pixels)
// that may paint a body (opaque, covering what lies below) and an overlay
// (drawn on top of every body).  Rectangles are right- and bottom-exclusive:
// QRect(x, y, w, h) covers x .. x + w - 1; right() and bottom() are never used.
class TKvViewObject {
public:
    enum TFlag : uint8_t {
        ofActive = 1,          // takes part in painting and input
        ofBody = 2,            // has a body
        ofOverlay = 4,         // has an overlay
        ofVisible = 8,         // painted by the stand-alone Paint
        ofNoScrollExtent = 16, // not part of the view's scroll extent
    };
    static constexpr uint8_t DefaultFlags = ofActive | ofBody | ofOverlay | ofVisible;

    // Subclasses choose their flags here (a control of a tool, for example,
    // starts with only an overlay and no part in the scroll extent).
    explicit TKvViewObject(uint8_t flags = DefaultFlags) : Flags(flags) {}
    TKvViewObject(const TKvViewObject&) = delete;
    TKvViewObject& operator=(const TKvViewObject&) = delete;
    virtual ~TKvViewObject() = default;

    uint8_t Flags;

    bool IsActive() const { return Flags & ofActive; }
    bool HasBody() const { return Flags & ofBody; }
    bool HasOverlay() const { return Flags & ofOverlay; }
    bool IsVisible() const { return Flags & ofVisible; }
    bool InScrollExtent() const { return !(Flags & ofNoScrollExtent); }
    const QRect& Bounds() const { return m_bounds; }

    virtual void SetActive(bool active);
    virtual void SetBounds(const QRect& bounds);

    // The device rectangle the object paints: the body rectangle, united
    // with the overlay rectangle when there is an overlay too; only the
    // overlay rectangle without a body; empty with neither.
    virtual QRect GetUpdateRect(const TKvMapMode& mapMode) const;
    // The bounds in device coordinates.
    virtual QRect GetBodyRect(const TKvMapMode& mapMode) const;
    // The bounds in device coordinates; overlays reaching beyond the bounds
    // (handles, frames) widen it.
    virtual QRect GetOverlayRect(const TKvMapMode& mapMode) const;
    virtual bool CanPaint(const TKvViewCanvas& canvas) const;
    virtual void PaintBody(TKvViewCanvas& canvas);
    virtual void PaintOverlay(TKvViewCanvas& canvas);
    // Called once after all of the object's painting in one paint cycle.
    virtual void AfterPaint();
    // Paints the object on its own, outside a view's paint cycle.
    virtual void Paint(TKvViewCanvas& canvas);
    // True when the object claims the point (x, y) for itself; false here.
    virtual bool HandlesPoint(int x, int y) const;
    // htInside when the device point lies in the body rectangle, htNear when
    // it lies within tolerance pixels around it, htNone otherwise.
    virtual int HitTest(const TKvMapMode& mapMode, const QPoint& point, int tolerance) const;
    // htInside when rect lies wholly in the body rectangle, htOverlap when the
    // two overlap, htNear when rect overlaps the body grown by tolerance,
    // htNone otherwise.
    virtual int HitTestRect(const TKvMapMode& mapMode, const QRect& rect, int tolerance) const;

private:
    QRect m_bounds;
};

// The objects of one view, owned; index 0 is the bottom of the stack.
class TKvViewObjectList {
public:
    template <class T>
    T* Add(std::unique_ptr<T> object)
    {
        T* added = object.get();
        m_objects.push_back(std::move(object));
        return added;
    }
    // Takes the object out of the list without freeing it; null when absent.
    std::unique_ptr<TKvViewObject> Extract(const TKvViewObject* object);
    // Frees the object when it is in the list.
    void Remove(const TKvViewObject* object) { Extract(object); }
    void Clear() { m_objects.clear(); }

    int Count() const { return static_cast<int>(m_objects.size()); }
    TKvViewObject* operator[](int index) const { return m_objects[static_cast<size_t>(index)].get(); }
    int IndexOf(const TKvViewObject* object) const;

private:
    std::vector<std::unique_ptr<TKvViewObject>> m_objects;
};

// The view's pixels during a paint cycle, as a 24-bit pixel rectangle at
// (0, 0) in device coordinates.  The canvas owns the memory.
class TKvCanvasPixels : public TKvPixels {
};

// A saved clip region and the object it was saved for.
struct TKvViewState {
    TKvViewObject* Object = nullptr;
    QRegion Clip;
};

// The off-screen surface a view paints on.  One paint cycle, BeginPaint to
// EndPaint, covers the update region: the canvas is a 24-bit image with
// bytes blue, green, red and rows padded to 4 bytes, from (0, 0) to the
// bottom-right corner of the update region's bounding box, so that device
// (window client) coordinates need no translation.  Canvas() paints on it,
// Pixels() reaches its bytes directly.
class TKvViewCanvas {
public:
    TKvViewCanvas() = default;
    TKvViewCanvas(const TKvViewCanvas&) = delete;
    TKvViewCanvas& operator=(const TKvViewCanvas&) = delete;
    ~TKvViewCanvas();

    // The view's mapping between picture pixels and window pixels.
    TKvMapMode& MapMode() { return m_mapMode; }
    const TKvMapMode& MapMode() const { return m_mapMode; }
    // Valid between BeginPaint and EndPaint.
    TKvCanvasPixels& Pixels() { return m_pixels; }
    // The painter on the off-screen image; null outside a paint cycle.
    QPainter* Canvas() { return m_painting ? &m_painter : nullptr; }
    bool IsPainting() const { return m_painting; }

    // The colour of every area no object covers.
    QColor BackgroundColor{64, 64, 64};

    // Starts a paint cycle of the region of window (in window coordinates);
    // false, with no cycle started, when the region is empty.  The clip
    // region starts as the update region.
    bool BeginPaint(QPaintDevice& window, const QRegion& updateRegion);
    // Copies the update region to the window and ends the cycle.  The
    // window must accept a painter now (a widget: inside its paint event).
    void EndPaint();
    const QRegion& UpdateRegion() const { return m_updateRegion; }
    const QRect& UpdateBox() const { return m_updateBox; }

    // The part of the canvas still to be painted.
    const QRegion& ClipRegion() const { return m_clip; }
    void SetClipRegion(const QRegion& region);
    void ExcludeClipRect(const QRect& rect);
    // True when some of rect lies in the clip region.
    bool RectVisible(const QRect& rect) const { return m_clip.intersects(rect); }
    QRect ClipBox() const { return m_clip.boundingRect(); }
    // Fills what is left of the clip region with color.
    void FillClipRegion(const QColor& color);

    // Saves the object with a copy of the current clip region.
    void PushState(TKvViewObject* object);
    // Restores the clip region saved last and hands back its object; false
    // when nothing is saved.
    bool PopState(TKvViewObject*& object);

private:
    void ApplyClip();

    TKvMapMode m_mapMode;
    TKvCanvasPixels m_pixels;
    QPainter m_painter;
    bool m_painting = false;
    QPaintDevice* m_window = nullptr;
    QRegion m_updateRegion;
    QRect m_updateBox;
    QRegion m_clip;
    // The image's memory, kept between paint cycles and grown when a larger
    // one is needed.
    std::unique_ptr<uint8_t[]> m_bits;
    size_t m_bitsSize = 0;
    QImage m_image;
    // Saved states; entries are reused, m_depth counts those in use.
    std::vector<TKvViewState> m_states;
    size_t m_depth = 0;
};
