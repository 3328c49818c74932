#include "KvGraphicsView.h"

#include "KvGraphicsTool.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

// ---------------------------------------------------------------------------
// TKvGraphicDocumentView

TKvGraphicDocumentView::TKvGraphicDocumentView(TKvGraphicsDocument* document)
    : TKvViewObject(ofActive | ofBody | ofVisible), m_document(document)
{
    SetBounds(ToQRect(m_document->Image().GetBounds()));
}

void TKvGraphicDocumentView::PictureChanged()
{
    m_painter.Reset();
    SetBounds(ToQRect(m_document->Image().GetBounds()));
}

void TKvGraphicDocumentView::PixelsChanged(const TRect& rect) { m_painter.Invalidate(rect); }

void TKvGraphicDocumentView::PaintBody(TKvViewCanvas& canvas)
{
    const TRect shown = m_document->GetImageRect();
    const QRect device = canvas.MapMode().LogicalToDevice(ToQRect(shown));
    m_painter.Paint(canvas.Pixels(), canvas.ClipRegion(), m_document->Image().Pixels(), shown, canvas.MapMode());
    canvas.ExcludeClipRect(device);
}

// ---------------------------------------------------------------------------
// TKvGraphicsView

TKvGraphicsView::TKvGraphicsView(TKvGraphicsDocument* document, IKvGraphicsEditor* editor, QWidget* parent)
    : TKvScrollViewControl(parent), m_document(document), m_editor(editor)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // Moving onto a scroll bar leaves the picture.
    HorizontalScrollBar()->installEventFilter(this);
    VerticalScrollBar()->installEventFilter(this);
    m_document->AddListener(this);
    m_picture = Objects().Add(std::make_unique<TKvGraphicDocumentView>(document));
    m_picture->SetActive(false);
    m_exactTone = new QTimer(this);
    m_exactTone->setSingleShot(true);
    m_exactTone->setInterval(ExactToneDelayMs);
    connect(m_exactTone, &QTimer::timeout, this, [this] { MakeToneExact(); });
}

TKvGraphicsView::~TKvGraphicsView()
{
    m_document->RemoveListener(this);
}

QPoint TKvGraphicsView::ClientToImage(const QPoint& clientPoint) const
{
    return MapMode().DeviceToLogical(clientPoint);
}

QPoint TKvGraphicsView::ImageToClient(const QPoint& imagePoint) const
{
    return MapMode().LogicalToDevice(imagePoint);
}

void TKvGraphicsView::DocumentChanged(TKvDocument*) { UpdateScrollRange(); }

void TKvGraphicsView::InvalidateImageRect(const TRect& rect)
{
    m_picture->PixelsChanged(rect);
    UpdateRect(MapMode().LogicalToDevice(ToQRect(rect)).adjusted(-1, -1, 1, 1));
}

void TKvGraphicsView::BeginToneChange() { m_picture->Painter().BeginTone(); }

void TKvGraphicsView::ShowToneChange(const TKvLUT& table)
{
    const TRect whole = m_document->GetImageRect();
    if (!m_picture->Painter().ShowTone(table)) {
        InvalidateImageRect(whole);
        return;
    }
    // On the screen now, before the caller works through the whole picture.
    repaint(MapMode().LogicalToDevice(ToQRect(whole)).adjusted(-1, -1, 1, 1));
    m_exactTone->start();
}

void TKvGraphicsView::EndToneChange()
{
    m_picture->Painter().EndTone();
    if (m_exactTone->isActive()) {
        m_exactTone->stop();
        MakeToneExact();
    }
}

void TKvGraphicsView::MakeToneExact()
{
    const TRect whole = m_document->GetImageRect();
    m_picture->PixelsChanged(whole);
    update(MapMode().LogicalToDevice(ToQRect(whole)).adjusted(-1, -1, 1, 1));
}

void TKvGraphicsView::ImageChanged()
{
    m_picture->PictureChanged();
    UpdateScrollRange();
}

template <typename Visit>
bool TKvGraphicsView::RouteToControls(Visit visit)
{
    for (int i = Objects().Count() - 1; i >= 0; --i)
        if (auto* control = dynamic_cast<TKvGraphicsToolControl*>(Objects()[i]))
            if (visit(control))
                return true;
    return false;
}

// ---------------------------------------------------------------------------
// Keys

void TKvGraphicsView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (RouteToControls([&](TKvGraphicsToolControl* c) { return c->KeyDown(key, modifiers); }))
        event->accept();
    else
        TKvScrollViewControl::keyPressEvent(event);
}

void TKvGraphicsView::keyReleaseEvent(QKeyEvent* event)
{
    // A held key repeats as presses alone, so that a tool that lives while a
    // key is down (the hand on the space bar) is not switched off and on.
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (RouteToControls([&](TKvGraphicsToolControl* c) { return c->KeyUp(key, modifiers); }))
        event->accept();
    else
        TKvScrollViewControl::keyReleaseEvent(event);
}

// ---------------------------------------------------------------------------
// Mouse

void TKvGraphicsView::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    RecordMouseDown(event->button(), ClientToImage(point));
    const Qt::MouseButton button = event->button();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    RouteToControls([&](TKvGraphicsToolControl* c) { return c->MouseDown(button, modifiers, point); });
    event->accept();
}

void TKvGraphicsView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    RecordMouseMove(ClientToImage(point));
    if (!m_mouseInside)
        MouseEntered();
    ShowPointerInfo(point);
    RefreshCursor();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    RouteToControls([&](TKvGraphicsToolControl* c) { return c->MouseMove(modifiers, point); });
    event->accept();
}

void TKvGraphicsView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    RecordMouseUp(event->button(), ClientToImage(point));
    const Qt::MouseButton button = event->button();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    RouteToControls([&](TKvGraphicsToolControl* c) { return c->MouseUp(button, modifiers, point); });
    event->accept();
}

void TKvGraphicsView::leaveEvent(QEvent* event)
{
    MouseLeft();
    TKvScrollViewControl::leaveEvent(event);
}

bool TKvGraphicsView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Enter
        && (watched == HorizontalScrollBar() || watched == VerticalScrollBar()))
        MouseLeft();
    return TKvScrollViewControl::eventFilter(watched, event);
}

void TKvGraphicsView::MouseEntered()
{
    m_mouseInside = true;
    RouteToControls([](TKvGraphicsToolControl* c) {
        c->MouseEnter();
        return false;
    });
    // The view takes the keyboard only from its own window, never from
    // another program's.
    if (window()->isActiveWindow() && !hasFocus())
        setFocus(Qt::MouseFocusReason);
}

void TKvGraphicsView::MouseLeft()
{
    if (!m_mouseInside)
        return;
    m_mouseInside = false;
    RouteToControls([](TKvGraphicsToolControl* c) {
        c->MouseLeave();
        return false;
    });
}

void TKvGraphicsView::ShowPointerInfo(const QPoint& clientPoint)
{
    if (!m_editor)
        return;
    const QPoint point = ClientToImage(clientPoint);
    const TKvLTBitmap& image = m_document->Image();
    TColorTriple pixel;
    if (image.GetBounds().Contains(TPoint{point.x(), point.y()})) {
        const uint8_t* bytes = image.Pixels().PixelAt(point.x(), point.y());
        pixel = {bytes[0], bytes[1], bytes[2]};
    }
    m_editor->ShowPointerInfo(point, pixel);
}

void TKvGraphicsView::RefreshCursor()
{
    const QPoint point = mapFromGlobal(QCursor::pos());
    int cursorId = crDefault;
    const Qt::KeyboardModifiers modifiers = QApplication::queryKeyboardModifiers();
    RouteToControls([&](TKvGraphicsToolControl* c) { return c->GetCursor(modifiers, point, cursorId); });
    if (cursorId == m_cursorId)
        return;
    m_cursorId = cursorId;
    setCursor(ScreenCursor(cursorId));
}

void TKvGraphicsView::FollowPointer()
{
    const QPoint point = mapFromGlobal(QCursor::pos());
    if (!ClientRect().contains(point))
        return;
    ShowPointerInfo(point);
    RefreshCursor();
    // The pointer now stands over another picture point: the tool controls
    // learn it as from a move, so that a brush outline drawn in place of
    // the pointer stays under it.
    const Qt::KeyboardModifiers modifiers = QApplication::queryKeyboardModifiers();
    RouteToControls([&](TKvGraphicsToolControl* c) { return c->MouseMove(modifiers, point); });
}

void TKvGraphicsView::resizeEvent(QResizeEvent* event)
{
    TKvScrollViewControl::resizeEvent(event);
    // Content that is centred or kept in reach moves with the window's size.
    FollowPointer();
}

// ---------------------------------------------------------------------------
// Wheel

void TKvGraphicsView::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    const int value = delta.y() != 0 ? delta.y() : delta.x();
    if (value == 0) {
        event->ignore();
        return;
    }
    MouseWheel(event->modifiers(), value, event->globalPosition().toPoint());
    event->accept();
}

bool TKvGraphicsView::MouseWheel(Qt::KeyboardModifiers modifiers, int delta, const QPoint& screenPoint)
{
    const int direction = delta < 1 ? -1 : 1;
    const QPoint point = mapFromGlobal(screenPoint);
    if (RouteToControls([&](TKvGraphicsToolControl* c) { return c->MouseWheel(modifiers, direction, point); }))
        return true;
    DefaultWheel(modifiers, delta);
    return true;
}

// Without a tool that wants it, the wheel scrolls the picture by an eighth
// of the window per notch (with Shift sideways), and with Ctrl it zooms.
void TKvGraphicsView::DefaultWheel(Qt::KeyboardModifiers modifiers, int delta)
{
    if (modifiers & Qt::ControlModifier) {
        if (m_editor)
            delta > 0 ? m_editor->ZoomInClick(this) : m_editor->ZoomOutClick(this);
        return;
    }
    constexpr int NotchDelta = 120;
    const QRect client = ClientRect();
    const bool sideways = modifiers & Qt::ShiftModifier;
    const int step = std::max(sideways ? client.width() / 8 : client.height() / 8, LineStep) * delta / NotchDelta;
    int dx = sideways ? step : 0;
    int dy = sideways ? 0 : step;
    ClampScroll(dx, dy);
    ScrollBy(dx, dy);
    FollowPointer();
}

// ---------------------------------------------------------------------------
// Recording

void TKvGraphicsView::RecordPointLine(const QString& prefix, const QPoint& imagePoint)
{
    if (IKvScriptRecorder* recorder = m_editor ? m_editor->ScriptRecorder() : nullptr)
        recorder->RecordLine(prefix + QString::number(imagePoint.x()) + QStringLiteral(", ")
                             + QString::number(imagePoint.y()));
}

void TKvGraphicsView::RecordMouseDown(Qt::MouseButton button, const QPoint& imagePoint)
{
    IKvScriptRecorder* recorder = m_editor ? m_editor->ScriptRecorder() : nullptr;
    if (!recorder)
        return;
    m_lastRecordedPoint = imagePoint;
    RecordPointLine(m_recordedButtonDown ? QStringLiteral("MouseMove Image, ")
                                         : QStringLiteral("MouseCurvedMove Image, "),
                    imagePoint);
    if (recorder->RecordMessages())
        recorder->RecordLine(QStringLiteral("Message \"%1\"").arg(recorder->ClickMessage()));
    if (button == Qt::LeftButton)
        RecordPointLine(QStringLiteral("MouseDown Image, "), imagePoint);
    else if (button == Qt::RightButton)
        RecordPointLine(QStringLiteral("MouseRightDown Image, "), imagePoint);
    else
        return;
    m_recordedButtonDown = true;
}

void TKvGraphicsView::RecordMouseMove(const QPoint& imagePoint)
{
    if (!m_recordedButtonDown || !m_editor || !m_editor->ScriptRecorder() || imagePoint == m_lastRecordedPoint)
        return;
    m_lastRecordedPoint = imagePoint;
    RecordPointLine(QStringLiteral("MouseTo Image, "), imagePoint);
}

void TKvGraphicsView::RecordMouseUp(Qt::MouseButton button, const QPoint& imagePoint)
{
    IKvScriptRecorder* recorder = m_editor ? m_editor->ScriptRecorder() : nullptr;
    if (!recorder)
        return;
    m_lastRecordedPoint = imagePoint;
    if (button == Qt::LeftButton)
        RecordPointLine(QStringLiteral("MouseUp Image, "), imagePoint);
    else if (button == Qt::RightButton)
        RecordPointLine(QStringLiteral("MouseRightUp Image, "), imagePoint);
    m_recordedButtonDown = false;
    recorder->RecordLine(QStringLiteral("Pause 0.5"));
}
