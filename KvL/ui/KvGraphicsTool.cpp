#include "KvGraphicsTool.h"

#include "KvDemoRegistry.h"
#include "KvGraphicsView.h"

#include <QAction>
#include <QWidget>
#include <QCursor>

#include <algorithm>
#include <map>

namespace {

std::map<int, QCursor>& ScreenCursors()
{
    static std::map<int, QCursor> cursors = {
        {crSizeAll, QCursor(Qt::SizeAllCursor)},  {crSizeNS, QCursor(Qt::SizeVerCursor)},
        {crSizeNESW, QCursor(Qt::SizeBDiagCursor)}, {crSizeWE, QCursor(Qt::SizeHorCursor)},
        {crSizeNWSE, QCursor(Qt::SizeFDiagCursor)},
    };
    return cursors;
}

} // namespace

bool ScreenCentreOf(const QAction* item, QPoint& screenPoint)
{
    if (!item)
        return false;
    for (QObject* object : item->associatedObjects()) {
        auto* button = qobject_cast<QWidget*>(object);
        if (button && !button->inherits("QMenu")) {
            screenPoint = button->mapToGlobal(button->rect().center());
            return true;
        }
    }
    return false;
}

void RegisterScreenCursor(int id, const QCursor& cursor) { ScreenCursors()[id] = cursor; }

QCursor ScreenCursor(int id)
{
    if (id == crNone)
        return QCursor(Qt::BlankCursor);
    const auto found = ScreenCursors().find(id);
    return found != ScreenCursors().end() ? found->second : QCursor(Qt::ArrowCursor);
}

int HandleCursor(int handle)
{
    switch (handle) {
    case HandleBody: return crSizeAll;
    case HandleTop: case HandleBottom: return crSizeNS;
    case HandleTopRight: case HandleBottomLeft: return crSizeNESW;
    case HandleRight: case HandleLeft: return crSizeWE;
    case HandleBottomRight: case HandleTopLeft: return crSizeNWSE;
    default: return crDefault;
    }
}

// ---------------------------------------------------------------------------
// TKvGraphicsToolControl

TKvGraphicsToolControl::TKvGraphicsToolControl(TKvGraphicsTool* tool, TKvGraphicsView* view)
    : TKvViewObject(ofOverlay | ofNoScrollExtent), m_tool(tool), m_view(view)
{
}

TKvGraphicsToolControl::~TKvGraphicsToolControl()
{
    if (m_tool)
        m_tool->RemoveControl(this);
}

void TKvGraphicsToolControl::SetActive(bool active)
{
    if (active == IsActive())
        return;
    TKvViewObject::SetActive(active);
    InvalidateSelf();
}

void TKvGraphicsToolControl::Activated()
{
    m_toolActive = true;
    if (m_view->MouseInside())
        MouseEnter();
    InvalidateSelf();
    RefreshCursor();
}

void TKvGraphicsToolControl::Deactivated()
{
    m_toolActive = false;
    InvalidateSelf();
}

bool TKvGraphicsToolControl::GetCursor(Qt::KeyboardModifiers, const QPoint&, int&) { return false; }

bool TKvGraphicsToolControl::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&) { return false; }

bool TKvGraphicsToolControl::MouseMove(Qt::KeyboardModifiers, const QPoint&) { return false; }

bool TKvGraphicsToolControl::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&) { return false; }

bool TKvGraphicsToolControl::MouseWheel(Qt::KeyboardModifiers, int, const QPoint&) { return false; }

bool TKvGraphicsToolControl::KeyDown(int, Qt::KeyboardModifiers) { return false; }

bool TKvGraphicsToolControl::KeyUp(int, Qt::KeyboardModifiers) { return false; }

QPoint TKvGraphicsToolControl::CursorClientPos() const { return m_view->mapFromGlobal(QCursor::pos()); }

void TKvGraphicsToolControl::InvalidateSelf()
{
    const QRect area = GetUpdateRect(m_view->MapMode());
    if (!area.isEmpty())
        m_view->update(area);
}

void TKvGraphicsToolControl::RefreshCursor() { m_view->RefreshCursor(); }

// ---------------------------------------------------------------------------
// TKvGraphicsTool

TKvGraphicsTool::TKvGraphicsTool(IKvGraphicsEditor* editor) : m_editor(editor)
{
    if (m_editor) {
        m_demoRegistry = &m_editor->DemoRegistry();
        m_editor->AddGraphicsTool(this);
    } else {
        m_ownDemoRegistry = std::make_unique<TKvDemoRegistry>();
        m_demoRegistry = m_ownDemoRegistry.get();
    }
}

TKvGraphicsTool::~TKvGraphicsTool()
{
    Withdraw();
    m_demoRegistry->UnregisterOwner(this);
    if (m_editor)
        m_editor->RemoveGraphicsTool(this);
    for (TKvGraphicsToolControl* control : m_controls)
        control->DetachTool();
}

void TKvGraphicsTool::Withdraw()
{
    if (m_editor && m_editor->ActiveTool() == this)
        m_editor->SetActiveTool(nullptr);
}

TKvDemoRegistry& TKvGraphicsTool::DemoRegistry() const
{
    return *m_demoRegistry;
}

// ---------------------------------------------------------------------------
// Script client

void TKvGraphicsTool::ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties&)
{
    if (ScriptName.isEmpty() || command.toUpper() != ScriptName.toUpper())
        return;
    Activate(this);
    handled = true;
}

void TKvGraphicsTool::GetScriptTarget(const TKvCustomProperties&, bool&, QPoint&) {}

void TKvGraphicsTool::StartRecording(IKvScriptRecorder* recorder) { m_recorder = recorder; }

void TKvGraphicsTool::StopRecording() { m_recorder = nullptr; }

void TKvGraphicsTool::RecordClick(const QString& suffix)
{
    if (!m_recorder)
        return;
    const QString name = ScriptName + suffix;
    m_recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + name);
    m_recorder->RecordLine(name);
}

bool TKvGraphicsTool::ToolButtonTarget(const TKvCustomProperties& params, QPoint& screenPoint) const
{
    return !ScriptName.isEmpty() && ScriptParamText(params, 0).compare(ScriptName, Qt::CaseInsensitive) == 0
        && ScreenCentreOf(ToolButton, screenPoint);
}

// ---------------------------------------------------------------------------
// Controls

void TKvGraphicsTool::AddControl(TKvGraphicsToolControl* control)
{
    if (std::find(m_controls.begin(), m_controls.end(), control) == m_controls.end())
        m_controls.push_back(control);
}

void TKvGraphicsTool::RemoveControl(TKvGraphicsToolControl* control) { std::erase(m_controls, control); }

TKvGraphicsToolControl* TKvGraphicsTool::ControlIn(const TKvGraphicsView* view) const
{
    const auto found = std::find_if(m_controls.begin(), m_controls.end(),
                                    [view](const TKvGraphicsToolControl* c) { return c->View() == view; });
    return found != m_controls.end() ? *found : nullptr;
}

TKvGraphicsToolControl* TKvGraphicsTool::CreateControl(TKvGraphicsView* view)
{
    TKvGraphicsToolControl* control = view->Objects().Add(ControlClass(this, view));
    AddControl(control);
    control->Init();
    return control;
}

TKvGraphicsView* TKvGraphicsTool::DocumentView() const
{
    for (TKvGraphicsToolControl* control : m_controls)
        if (control->View() && control->View()->Document())
            return control->View();
    return nullptr;
}

TKvGraphicsDocument* TKvGraphicsTool::Document() const
{
    TKvGraphicsView* view = DocumentView();
    return view ? view->Document() : nullptr;
}

// ---------------------------------------------------------------------------
// Edits

void TKvGraphicsTool::RecordState()
{
    if (m_editDocument)
        m_editDocument->RecordEdit(this);
}

void TKvGraphicsTool::BeginEdit(TKvGraphicsView* view)
{
    TKvGraphicsDocument* document = view->Document();
    document->Lock(this);
    m_editView = view;
    m_editDocument = document;
    if (EditWritesPixels())
        document->Committed(); // the picture as it is before the edit writes it
    m_imagePixels = &document->Image().Pixels();
}

void TKvGraphicsTool::EndEdit()
{
    if (m_editDocument) {
        RecordState();
        if (m_editDocument->Locked())
            m_editDocument->Unlock();
    }
    ClearEdit();
}

void TKvGraphicsTool::CancelEdit()
{
    if (m_editDocument && m_editDocument->Locked()) {
        TKvLTBitmap& image = m_editDocument->Image();
        image.Pixels().Assign(m_editDocument->Committed());
        m_editDocument->InvalidateImageRect(image.GetBounds());
        m_editDocument->ResetLock();
    }
    ClearEdit();
}

void TKvGraphicsTool::InvalidateDirty(const TRect& rect)
{
    if (m_editDocument)
        m_editDocument->AddDirtyRect(rect);
}

void TKvGraphicsTool::ClearEdit()
{
    m_editView = nullptr;
    m_editDocument = nullptr;
    m_imagePixels = nullptr;
}

// ---------------------------------------------------------------------------
// Notifications and activation

void TKvGraphicsTool::DocumentOpened(TKvGraphicsDocument*)
{
    if (m_editor && m_editor->PluginMode())
        SetAvailable(AvailableInPluginMode);
}

void TKvGraphicsTool::SetAvailable(bool available)
{
    m_available = available;
    if (ToolButton)
        ToolButton->setVisible(available && !m_buttonHidden);
    if (Frame && !available)
        Frame->setVisible(false);
}

void TKvGraphicsTool::HideToolButton()
{
    m_buttonHidden = true;
    if (ToolButton)
        ToolButton->setVisible(false);
}

void TKvGraphicsTool::Activate(QObject*)
{
    if (m_editor)
        m_editor->SetActiveTool(this);
    if (m_recorder) {
        m_recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + ScriptName);
        m_recorder->RecordLine(QStringLiteral("Message \"%1\"").arg(ScriptName));
        m_recorder->RecordLine(ScriptName);
    }
}

void TKvGraphicsTool::Activated()
{
    for (TKvGraphicsToolControl* control : std::vector(m_controls))
        control->Activated();
    m_active = true;
}

void TKvGraphicsTool::Deactivated()
{
    for (TKvGraphicsToolControl* control : std::vector(m_controls))
        control->Deactivated();
    m_active = false;
}

void TKvGraphicsTool::UpdateControls()
{
    if (!ToolButton)
        return;
    const bool mayAct = MayAct();
    ToolButton->setCheckable(true);
    ToolButton->setChecked(m_active);
    ToolButton->setEnabled(mayAct);
    if (Frame)
        Frame->SetControlsEnabled(mayAct && m_active);
}
