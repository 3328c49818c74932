// Windows that show a stack of view objects: TKvViewControl paints the stack
// through an off-screen canvas, TKvScrollViewControl adds scrolling by moving
// the device origin of the canvas's map mode, with scroll bars driven by its
// own arithmetic.
#pragma once

#include "KvView.h"

#include <QWidget>

class QScrollBar;

// A window painting its view objects, flicker-free, bodies front to back
// without overdraw, the background where no body is, overlays back to front
// on top.  Only the update region is painted.
class TKvViewControl : public QWidget {
    Q_OBJECT

public:
    explicit TKvViewControl(QWidget* parent = nullptr);

    // The stack; index 0 is the bottom.
    TKvViewObjectList& Objects() { return m_objects; }
    const TKvViewObjectList& Objects() const { return m_objects; }
    TKvViewCanvas& ViewCanvas() { return m_canvas; }
    // The mapping between logical and device (client) coordinates.
    TKvMapMode& MapMode() { return m_canvas.MapMode(); }
    const TKvMapMode& MapMode() const { return m_canvas.MapMode(); }

    // The area objects are shown in, in client coordinates.
    virtual QRect ClientRect() const { return rect(); }

    // While painting is held, something else is writing what the objects
    // paint from: paint events only gather the area they ask for (the
    // screen keeps what it showed) and so do UpdateRect's requests.
    // PaintGathered paints that area at once, when the caller has made sure
    // nothing writes meanwhile; releasing the hold does too. Given a budget,
    // it stops once that much time has gone by and keeps the rest for the
    // next time, so that a large change is shown in several goes.
    void HoldPaint(bool hold);
    bool PaintHeld() const { return m_paintHeld; }
    void PaintGathered(qint64 budgetNs = 0);
    bool HasGathered() const { return !m_gathered.isEmpty(); }
    // Asks for rect to be painted: soon, or at the next PaintGathered while
    // painting is held.
    void UpdateRect(const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Visits the stack and fills the background, between BeginPaint and
    // EndPaint of the canvas.
    void PaintObjects();

private:
    TKvViewObjectList m_objects;
    TKvViewCanvas m_canvas;
    bool m_paintHeld = false;
    QRegion m_gathered;
};

// How far the content has to move to be placed correctly, and by how much it
// exceeds the window (negative: it is smaller).
struct TKvScrollCorrection {
    int Dx = 0;
    int Dy = 0;
    int ExcessWidth = 0;
    int ExcessHeight = 0;
};

// A view control that keeps its content in view: content smaller than the
// window is centred, larger content stays within reach of the scroll bars.
class TKvScrollViewControl : public TKvViewControl {
    Q_OBJECT

public:
    explicit TKvScrollViewControl(QWidget* parent = nullptr);

    // Pixels one arrow of a scroll bar scrolls.
    int LineStep = 10;

    // The window less the scroll bars shown.
    QRect ClientRect() const override;
    QScrollBar* HorizontalScrollBar() const { return m_horizontalBar; }
    QScrollBar* VerticalScrollBar() const { return m_verticalBar; }

    // The device rectangle of the logical origin and of everything active
    // objects in the scroll extent paint.
    virtual QRect GetContentRect() const;
    // The excess of the content over the window, with room for the scroll
    // bars it needs, and the origin move that centres content smaller than
    // the window and keeps larger content's edges beyond the window's.
    virtual TKvScrollCorrection ComputeScroll() const;
    // Sets range, page and position of the bars for the given excess; a bar
    // is shown exactly when its excess is positive.
    virtual void SetScrollBars(int excessWidth, int excessHeight);
    // Re-places the content after it changed: corrects the origin, sets the
    // bars and repaints everything.
    virtual void UpdateScrollRange();

    // Moves the device origin.
    void ShiftOrigin(int dx, int dy);
    // Moves the origin and the window's pixels; only the uncovered strip is
    // painted anew.
    void ScrollContent(int dx, int dy);
    // ScrollContent, then the bars follow.
    void ScrollBy(int dx, int dy);
    // Limits a drag of the content by (dx, dy) so that content larger than
    // the window keeps covering it; content that fits does not move.
    void ClampScroll(int& dx, int& dy) const;
    // Scrolls so that the logical point is in the middle of the client area,
    // as far as the content allows.
    void CenterOn(const QPoint& logicalPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ScrollBarAction(QScrollBar* bar, int action);
    void PlaceScrollBars();
    int ScrollBarExtent() const;

    QScrollBar* m_horizontalBar;
    QScrollBar* m_verticalBar;
};
