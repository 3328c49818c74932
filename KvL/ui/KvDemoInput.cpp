#include "KvDemoInput.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDateTime>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <array>

// ---------------------------------------------------------------------------
// X server

namespace {

Display* QtDisplay()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

unsigned LogicalNumber(Qt::MouseButton button)
{
    return button == Qt::RightButton ? 3 : 1;
}

} // namespace

std::unique_ptr<TKvX11DemoInput> TKvX11DemoInput::Create()
{
    Display* display = QtDisplay();
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor))
        return nullptr;
    return std::unique_ptr<TKvX11DemoInput>(new TKvX11DemoInput(display));
}

TKvX11DemoInput::TKvX11DemoInput(void* display) : m_display(display) {}

QPoint TKvX11DemoInput::CursorPos() const
{
    return QCursor::pos();
}

// Qt warps the pointer on its own connection to the server, which is the
// one the button events below go through, so a button always acts where
// the pointer was put before it.
void TKvX11DemoInput::SetCursorPos(const QPoint& position)
{
    QCursor::setPos(position);
}

unsigned TKvX11DemoInput::PhysicalButton(unsigned logical) const
{
    // The mapping may change while a demonstration runs; asking each time
    // costs one round trip per button event.
    std::array<unsigned char, 256> map{};
    const int count = XGetPointerMapping(static_cast<Display*>(m_display), map.data(), int(map.size()));
    for (int physical = 1; physical <= count; ++physical)
        if (map[size_t(physical - 1)] == logical)
            return unsigned(physical);
    return logical;
}

void TKvX11DemoInput::SendButton(Qt::MouseButton button, bool down)
{
    auto* display = static_cast<Display*>(m_display);
    XTestFakeButtonEvent(display, PhysicalButton(LogicalNumber(button)), down ? True : False, CurrentTime);
    XFlush(display);
}

void TKvX11DemoInput::Press(Qt::MouseButton button)
{
    SendButton(button, true);
}

void TKvX11DemoInput::Release(Qt::MouseButton button)
{
    SendButton(button, false);
}

// ---------------------------------------------------------------------------
// Posted events

TKvPostedDemoInput::TKvPostedDemoInput() : m_position(QCursor::pos()) {}

QPoint TKvPostedDemoInput::CursorPos() const
{
    return m_position;
}

QWidget* TKvPostedDemoInput::Target() const
{
    if (m_grabber)
        return m_grabber;
    return QApplication::widgetAt(m_position);
}

void TKvPostedDemoInput::Post(QWidget* widget, int type, Qt::MouseButton button)
{
    if (!widget)
        return;
    const QPointF local = widget->mapFromGlobal(QPointF(m_position));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::Type(type), local, QPointF(m_position), button,
                                                        m_buttons, QGuiApplication::keyboardModifiers()));
}

void TKvPostedDemoInput::SetCursorPos(const QPoint& position)
{
    if (position == m_position)
        return;
    m_position = position;
    // The platform's own pointer stays where it is: where it can be set at
    // all (offscreen), setting it sends a move of its own, without the
    // buttons held here.
    Post(Target(), QEvent::MouseMove, Qt::NoButton);
}

void TKvPostedDemoInput::Press(Qt::MouseButton button)
{
    QWidget* widget = Target();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool second = widget && widget == m_lastPressWidget && button == m_lastPressButton
        && (m_position - m_lastPressPosition).manhattanLength() <= QGuiApplication::styleHints()->startDragDistance()
        && now - m_lastPressTime <= QGuiApplication::styleHints()->mouseDoubleClickInterval();
    m_buttons |= button;
    if (!m_grabber)
        m_grabber = widget;
    Post(widget, second ? QEvent::MouseButtonDblClick : QEvent::MouseButtonPress, button);
    m_lastPressWidget = second ? nullptr : widget;
    m_lastPressButton = button;
    m_lastPressPosition = m_position;
    m_lastPressTime = now;
}

void TKvPostedDemoInput::Release(Qt::MouseButton button)
{
    if (!(m_buttons & button))
        return;
    m_buttons &= ~button;
    QWidget* widget = Target();
    if (!m_buttons)
        m_grabber = nullptr;
    Post(widget, QEvent::MouseButtonRelease, button);
}

// ---------------------------------------------------------------------------

std::unique_ptr<IKvDemoInput> CreateDemoInput()
{
    if (std::unique_ptr<TKvX11DemoInput> x11 = TKvX11DemoInput::Create())
        return x11;
    return std::make_unique<TKvPostedDemoInput>();
}
