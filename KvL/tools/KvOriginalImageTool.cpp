#include "KvOriginalImageTool.h"

#include "KvGraphicsView.h"
#include "KvLocalizer.h"
#include "KvToolPanelParts.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QToolBar>
#include <QToolButton>

namespace {

const QString ScriptNameText = QStringLiteral("OriginalImage");

} // namespace

// ---------------------------------------------------------------------------
// TKvOriginalImageToolControl

TKvOriginalImageToolControl::TKvOriginalImageToolControl(TKvGraphicsTool* tool, TKvGraphicsView* view)
    : TKvGraphicsToolControl(tool, view)
{
}

TRect TKvOriginalImageToolControl::OriginalRect() const
{
    const TKvGraphicsDocument* document = View()->Document();
    return document ? document->Original().GetBounds() : TRect{};
}

void TKvOriginalImageToolControl::Activated()
{
    const TRect rect = OriginalRect();
    SetBounds(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()));
    Flags |= ofBody;
    SetActive(true);
    TKvGraphicsToolControl::Activated();
}

void TKvOriginalImageToolControl::Deactivated()
{
    TKvGraphicsToolControl::Deactivated();
    // The picture below shows again wherever the original was.
    Flags &= ~ofBody;
    View()->update();
    SetActive(false);
}

void TKvOriginalImageToolControl::PaintBody(TKvViewCanvas& canvas)
{
    const TKvGraphicsDocument* document = View()->Document();
    if (!ToolActive() || !document || document->Original().IsEmpty())
        return;
    const TRect rect = OriginalRect();
    m_painter.Paint(canvas.Pixels(), canvas.ClipRegion(), document->Original().Pixels(), rect, canvas.MapMode());
    canvas.ExcludeClipRect(canvas.MapMode().LogicalToDevice(QRect(rect.Left, rect.Top, rect.Width(), rect.Height())));
}

bool TKvOriginalImageToolControl::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != TriggerKey || (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    if (!ToolActive())
        static_cast<TKvOriginalImageTool*>(Tool())->ShowOriginal(true);
    return true;
}

bool TKvOriginalImageToolControl::KeyUp(int key, Qt::KeyboardModifiers)
{
    if (key != TriggerKey || !ToolActive())
        return false;
    static_cast<TKvOriginalImageTool*>(Tool())->ShowCorrected();
    return true;
}

// ---------------------------------------------------------------------------
// TKvOriginalImageTool

TKvOriginalImageTool::TKvOriginalImageTool(IKvGraphicsEditor* editor) : TKvGraphicsTool(editor)
{
    ControlClass = ControlClassOf<TKvOriginalImageToolControl>();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && m_shownByKey)
            ShowCorrected();
    });
}

TKvOriginalImageTool::~TKvOriginalImageTool() = default;

void TKvOriginalImageTool::AddEditorButtons(IKvShell* shell, QToolBar* toolbar)
{
    m_toolbar = toolbar;
    // Pressed and released are what count: a click by itself does nothing.
    OriginalImageToolButton = AddEditorButton(shell, toolbar, this, -1, "OriginalImageToolButton", [] {});
    if (QToolButton* button = ButtonWidget()) {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        // Held down it shows the original; released, the edited picture.
        connect(button, &QToolButton::pressed, this, [this] { ShowOriginal(); });
        connect(button, &QToolButton::released, this, [this] { ShowCorrected(); });
    }
    Localize();
}

QToolButton* TKvOriginalImageTool::ButtonWidget() const
{
    return m_toolbar && OriginalImageToolButton
        ? qobject_cast<QToolButton*>(m_toolbar->widgetForAction(OriginalImageToolButton))
        : nullptr;
}

bool TKvOriginalImageTool::IsActive() const { return Editor() && Editor()->ActiveTool() == this; }

void TKvOriginalImageTool::ShowOriginal(bool byKey)
{
    IKvGraphicsEditor* editor = Editor();
    const TKvGraphicsDocument* document = Document();
    if (!editor || IsActive() || !document || document->Original().IsEmpty())
        return;
    // Running work (Separate, an effect being rendered) holds the picture:
    // the original waits until it is done. A change waiting for the user
    // does not stand in the way.
    if (document->Locked() && !document->LockedByOpenChange())
        return;
    m_previousTool = editor->ActiveTool();
    m_shownByKey = byKey;
    editor->SetActiveTool(this);
}

void TKvOriginalImageTool::ShowCorrected()
{
    m_shownByKey = false;
    if (IsActive())
        Editor()->SetActiveTool(m_previousTool);
}

void TKvOriginalImageTool::Activated()
{
    TKvGraphicsTool::Activated();
    if (IKvScriptRecorder* recorder = Recorder()) {
        recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + ScriptNameText);
        recorder->RecordLine(QStringLiteral("MouseDown"));
        recorder->RecordLine(QStringLiteral("Message \"Original Image\""));
        recorder->RecordLine(QStringLiteral("MouseUp"));
        recorder->RecordLine(QStringLiteral("Message \"Corrected Image\""));
    }
}

TKvGraphicsToolControl* TKvOriginalImageTool::CreateControl(TKvGraphicsView* view)
{
    view->installEventFilter(this);
    return TKvGraphicsTool::CreateControl(view);
}

bool TKvOriginalImageTool::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && m_shownByKey)
        ShowCorrected();
    return TKvGraphicsTool::eventFilter(watched, event);
}

void TKvOriginalImageTool::ResetPainters()
{
    for (TKvGraphicsToolControl* control : Controls())
        static_cast<TKvOriginalImageToolControl*>(control)->OriginalChanged();
}

void TKvOriginalImageTool::StateChanged(TKvGraphicsDocument*, IKvGraphicsTool*, const TRect&)
{
    // Turns and crops move the original too.
    ResetPainters();
}

void TKvOriginalImageTool::DocumentOpened(TKvGraphicsDocument* document)
{
    TKvGraphicsTool::DocumentOpened(document);
    ResetPainters();
}

void TKvOriginalImageTool::GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint)
{
    const QString name = ScriptParamText(params, 0).toUpper();
    if ((name == QStringLiteral("ORIGINALIMAGEBUTTON") || name == QStringLiteral("ORIGINALIMAGE"))
        && ScreenCentreOf(OriginalImageToolButton, screenPoint)) {
        found = true;
        return;
    }
    TKvGraphicsTool::GetScriptTarget(params, found, screenPoint);
}

void TKvOriginalImageTool::UpdateControls()
{
    if (!OriginalImageToolButton)
        return;
    OriginalImageToolButton->setEnabled(Document() != nullptr);
    // Shown held down while the original is on screen, also when the key
    // shows it; the button never stays down by itself.
    if (QToolButton* button = ButtonWidget(); button && !(QApplication::mouseButtons() & Qt::LeftButton))
        button->setDown(IsActive());
}

void TKvOriginalImageTool::Localize()
{
    if (!OriginalImageToolButton)
        return;
    OriginalImageToolButton->setText(PlainCaption(LocalStr(2100, QStringLiteral("Original"))));
    OriginalImageToolButton->setToolTip(LocalStr(2000));
}
