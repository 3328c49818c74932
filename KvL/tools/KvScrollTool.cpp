#include "KvScrollTool.h"

#include "KvGraphicsView.h"
#include "KvImageList.h"

#include <QIcon>
#include <QPixmap>

namespace {

// The hand of the hand tool, its hot spot in the middle.
QCursor HandCursor()
{
    constexpr int Size = 32;
    RegisterProgramImages();
    const QPixmap pixmap = QIcon(QStringLiteral(":/images/Hand.svg")).pixmap(Size, Size);
    return pixmap.isNull() ? QCursor(Qt::OpenHandCursor) : QCursor(pixmap, Size / 2, Size / 2);
}

} // namespace

TKvScrollTool::TKvScrollTool(IKvGraphicsEditor* editor) : TKvGraphicsTool(editor)
{
    RegisterScreenCursor(crHand, HandCursor());
    ControlClass = ControlClassOf<TKvScrollToolControl>();
}

TKvScrollTool::~TKvScrollTool() = default;

bool TKvScrollToolControl::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    IKvGraphicsEditor* editor = Tool() ? Tool()->Editor() : nullptr;
    if (!editor)
        return false;
    bool handled = false;
    if (!ToolActive() && key == Qt::Key_Space) {
        m_previousTool = editor->ActiveTool();
        editor->SetActiveTool(Tool());
        handled = true;
    }
    // The plus-equals and minus keys of the main keyboard, not the keypad's.
    if (!(modifiers & Qt::KeypadModifier)) {
        if (key == Qt::Key_Plus || key == Qt::Key_Equal)
            editor->ZoomInClick(nullptr);
        else if (key == Qt::Key_Minus || key == Qt::Key_Underscore)
            editor->ZoomOutClick(nullptr);
    }
    return handled;
}

bool TKvScrollToolControl::KeyUp(int key, Qt::KeyboardModifiers)
{
    IKvGraphicsEditor* editor = Tool() ? Tool()->Editor() : nullptr;
    if (!editor || !ToolActive() || key != Qt::Key_Space)
        return false;
    editor->SetActiveTool(m_previousTool);
    return true;
}

bool TKvScrollToolControl::GetCursor(Qt::KeyboardModifiers, const QPoint&, int& cursorId)
{
    if (!ToolActive())
        return false;
    cursorId = crHand;
    return true;
}

bool TKvScrollToolControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint& point)
{
    if (!ToolActive() || button != Qt::LeftButton)
        return false;
    m_dragging = true;
    m_lastPoint = point;
    return true;
}

bool TKvScrollToolControl::MouseMove(Qt::KeyboardModifiers, const QPoint& point)
{
    if (!ToolActive() || !m_dragging)
        return false;
    int dx = point.x() - m_lastPoint.x();
    int dy = point.y() - m_lastPoint.y();
    View()->ClampScroll(dx, dy);
    View()->ScrollBy(dx, dy);
    m_lastPoint += QPoint(dx, dy);
    return true;
}

bool TKvScrollToolControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint&)
{
    if (!ToolActive() || !m_dragging || button != Qt::LeftButton)
        return false;
    m_dragging = false;
    return true;
}

void TKvScrollToolControl::Deactivated()
{
    m_dragging = false;
    TKvGraphicsToolControl::Deactivated();
}
