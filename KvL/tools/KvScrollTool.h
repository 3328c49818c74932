// The hand tool: while the space bar is held over a graphics view the
// picture can be dragged with the mouse; releasing the bar gives the mouse
// back to the tool that was active before. It has no button, no frame and
// no script name, and its control lives in every view.
#pragma once

#include "KvGraphicsTool.h"

class TKvScrollTool : public TKvGraphicsTool {
    Q_OBJECT
public:
    // Registers the hand cursor.
    explicit TKvScrollTool(IKvGraphicsEditor* editor);
    ~TKvScrollTool() override;
};

class TKvScrollToolControl : public TKvGraphicsToolControl {
public:
    using TKvGraphicsToolControl::TKvGraphicsToolControl;

    bool Dragging() const { return m_dragging; }

    // Space switches to the hand tool and back; the plus and minus keys zoom
    // (without counting as handled).
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers) override;
    bool KeyUp(int key, Qt::KeyboardModifiers modifiers) override;
    bool GetCursor(Qt::KeyboardModifiers modifiers, const QPoint& point, int& cursorId) override;
    // While the hand tool is active, the left button drags the picture,
    // which never leaves the window uncovered where it is larger.
    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseMove(Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    void Deactivated() override;

private:
    bool m_dragging = false;
    QPoint m_lastPoint;
    TKvGraphicsTool* m_previousTool = nullptr;
};
