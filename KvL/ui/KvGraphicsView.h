// The window a graphics document is shown and edited in: a scroll view
// whose stack holds the document's picture at the bottom and one control
// per graphics tool above it. The view routes every key, mouse, wheel and
// cursor event to the tool controls from the top of the stack down until
// one handles it, keeps the status bar's position and colour fields up to
// date, and records the user's clicks on the picture while a demonstration
// script is being recorded.
#pragma once

#include "KvEditor.h"
#include "KvGraphicsDocument.h"
#include "KvPicturePainter.h"
#include "KvViewControls.h"

#include <QPoint>

class QTimer;

class IKvGraphicsEditor;
class TKvGraphicsToolControl;

// The document's picture in its view: the picture rectangle (the crop
// rectangle, when there is one) drawn at the view's zoom. Its bounds are
// the whole picture, so the scroll extent always covers the whole picture.
class TKvGraphicDocumentView : public TKvViewObject {
public:
    explicit TKvGraphicDocumentView(TKvGraphicsDocument* document);

    TKvGraphicsDocument* Document() const { return m_document; }

    // Takes the picture's rectangle again and forgets every scaled pixel.
    void PictureChanged();
    // The picture's pixels inside rect (image coordinates) changed.
    void PixelsChanged(const TRect& rect);
    TKvPicturePainter& Painter() { return m_painter; }

    void PaintBody(TKvViewCanvas& canvas) override;

private:
    TKvGraphicsDocument* m_document;
    TKvPicturePainter m_painter;
};

class TKvGraphicsView : public TKvScrollViewControl, public IKvDocumentListener, public IKvGraphicsDocumentView {
    Q_OBJECT
public:
    // The view listens to the document; its picture object starts inactive
    // (the editor activates it once the tools have added their controls).
    TKvGraphicsView(TKvGraphicsDocument* document, IKvGraphicsEditor* editor, QWidget* parent = nullptr);
    ~TKvGraphicsView() override;

    TKvGraphicsDocument* Document() const { return m_document; }
    TKvGraphicDocumentView* Picture() const { return m_picture; }
    bool MouseInside() const { return m_mouseInside; }

    // The image point shown at a client point, and the reverse.
    QPoint ClientToImage(const QPoint& clientPoint) const;
    QPoint ImageToClient(const QPoint& imagePoint) const;

    // Wheel routing: direction -1 for a delta below 1, +1 otherwise, to the
    // tool controls; when none handles it, the wheel scrolls (Ctrl: zooms).
    // Returns whether the wheel was used.
    bool MouseWheel(Qt::KeyboardModifiers modifiers, int delta, const QPoint& screenPoint);
    // Asks the tool controls for the cursor at the mouse position again.
    void RefreshCursor();
    // Brings the status bar, the cursor and the tool controls up to date
    // with what lies under the mouse (after the picture moved under it).
    void FollowPointer();

    // A tonal curve tried on the whole picture, again and again from the
    // picture as it was when BeginToneChange ran. ShowToneChange comes
    // before the picture's pixels take the curve: with a scaled copy kept
    // the view is painted from it at once, before the call returns, and
    // scaled exactly again once the curve has rested for ExactToneDelayMs;
    // without one it is repainted once the pixels changed. EndToneChange
    // ends the run.
    static constexpr int ExactToneDelayMs = 250;
    void BeginToneChange();
    void ShowToneChange(const TKvLUT& table);
    void EndToneChange();

    // IKvDocumentListener
    void DocumentChanged(TKvDocument* document) override;
    void DocumentClosed(TKvDocument*) override {}
    // IKvGraphicsDocumentView
    void InvalidateImageRect(const TRect& rect) override;
    void ImageChanged() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Visits the tool controls from the top of the stack down until visit
    // returns true; returns whether one did.
    template <typename Visit>
    bool RouteToControls(Visit visit);
    void MouseEntered();
    void MouseLeft();
    void ShowPointerInfo(const QPoint& clientPoint);
    void DefaultWheel(Qt::KeyboardModifiers modifiers, int delta);

    void RecordMouseDown(Qt::MouseButton button, const QPoint& imagePoint);
    void RecordMouseMove(const QPoint& imagePoint);
    void RecordMouseUp(Qt::MouseButton button, const QPoint& imagePoint);
    void RecordPointLine(const QString& prefix, const QPoint& imagePoint);

    void MakeToneExact();

    TKvGraphicsDocument* m_document;
    IKvGraphicsEditor* m_editor;
    QTimer* m_exactTone;
    TKvGraphicDocumentView* m_picture;
    int m_cursorId = -1;
    bool m_mouseInside = false;
    bool m_recordedButtonDown = false;
    QPoint m_lastRecordedPoint;
};
