// The pointer and buttons a demonstration drives. On an X server the real
// pointer moves and real button events are sent through the XTest
// extension, mapped through the server's pointer mapping so that "left"
// and "right" stay the buttons the user means when the buttons are
// swapped. Where the pointer cannot be moved (the offscreen platform, a
// Wayland session without X), the equivalent Qt mouse events are posted to
// the widget under the playback position instead. The playback uses one
// of these; tests give it a recording stand-in.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <Qt>

#include <memory>

class IKvDemoInput {
public:
    virtual ~IKvDemoInput() = default;

    // Where the pointer is, in screen pixels.
    virtual QPoint CursorPos() const = 0;
    // Moves the pointer there.
    virtual void SetCursorPos(const QPoint& position) = 0;
    // Presses or releases a logical button (Qt::LeftButton or
    // Qt::RightButton) where the pointer is.
    virtual void Press(Qt::MouseButton button) = 0;
    virtual void Release(Qt::MouseButton button) = 0;
};

// Real input through the X server.
class TKvX11DemoInput : public IKvDemoInput {
public:
    // None when the program does not run on an X server with the XTest
    // extension.
    static std::unique_ptr<TKvX11DemoInput> Create();

    QPoint CursorPos() const override;
    void SetCursorPos(const QPoint& position) override;
    void Press(Qt::MouseButton button) override;
    void Release(Qt::MouseButton button) override;

    // The physical button the server maps to the logical one (1 left,
    // 3 right); the logical number itself when no button maps to it.
    unsigned PhysicalButton(unsigned logical) const;

private:
    explicit TKvX11DemoInput(void* display);
    void SendButton(Qt::MouseButton button, bool down);

    void* m_display; // the X display Qt's own connection uses
};

// Qt mouse events posted to the widget under the position, for platforms
// whose pointer cannot be moved.
class TKvPostedDemoInput : public IKvDemoInput {
public:
    // Starts where the platform says the pointer is.
    TKvPostedDemoInput();

    QPoint CursorPos() const override;
    void SetCursorPos(const QPoint& position) override;
    void Press(Qt::MouseButton button) override;
    void Release(Qt::MouseButton button) override;

private:
    QWidget* Target() const;
    void Post(QWidget* widget, int type, Qt::MouseButton button);

    QPoint m_position;
    Qt::MouseButtons m_buttons;
    // The widget that took the press gets the moves and the release, as a
    // real pointer's implicit grab gives them.
    QPointer<QWidget> m_grabber;
    // For telling a double click from two clicks.
    QPointer<QWidget> m_lastPressWidget;
    Qt::MouseButton m_lastPressButton = Qt::NoButton;
    QPoint m_lastPressPosition;
    qint64 m_lastPressTime = 0;
};

// The real input of the platform the program runs on.
std::unique_ptr<IKvDemoInput> CreateDemoInput();
