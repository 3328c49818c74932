// The framework every editing tool stands on. A graphics tool is a module
// that owns one tool control per graphics view, takes part in the graphics
// editor's one-active-tool scheme, changes the document's pixels only inside
// an edit (a locked stretch of work that ends in one undoable command
// state), hears the document's and the history's notifications, and answers
// demonstration scripts. A tool control is a view object in the view's
// stack that receives the view's input and paints the tool's marks.
#pragma once

#include "KvGraphicsDocument.h"
#include "KvModule.h"
#include "KvScriptClient.h"
#include "KvView.h"
#include "Progress.h"

#include <QCursor>
#include <QPoint>
#include <QString>
#include <Qt>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class TKvFrame;
class TKvGraphicsTool;
class TKvGraphicsToolControl;
class TKvGraphicsView;
class TKvDemoRegistry;

// What the tools and the views ask of the graphics editor.
class IKvGraphicsEditor {
public:
    virtual TKvGraphicsTool* ActiveTool() const = 0;
    // Deactivates the active tool, then activates the tool (none: no tool).
    virtual void SetActiveTool(TKvGraphicsTool* tool) = 0;
    // Whether the tool may act now (a document is open, no exclusive work
    // of another tool is under way).
    virtual bool ToolMayAct(const TKvGraphicsTool* tool) const = 0;
    virtual bool PluginMode() const = 0;
    // Zoom In and Zoom Out, as their buttons do them.
    virtual void ZoomInClick(QObject* sender) = 0;
    virtual void ZoomOutClick(QObject* sender) = 0;
    // The playback of the script being recorded; none while no script is.
    virtual IKvScriptRecorder* ScriptRecorder() const = 0;
    // Asks the undo or redo running now for one more step.
    virtual void SetContinueUndoRedo(bool value) = 0;
    // The tool that was active before the last change of the active tool
    // (during an undo or redo: the tool that was active when it began).
    virtual TKvGraphicsTool* PreviousActiveTool() const = 0;
    // While exclusive, only the active tool may act.
    virtual void BeginExclusive() = 0;
    virtual void EndExclusive() = 0;
    // Every tool announces itself at its construction and leaves at its
    // destruction; the documents tell the tools in that order.
    virtual void AddGraphicsTool(TKvGraphicsTool* tool) = 0;
    virtual void RemoveGraphicsTool(TKvGraphicsTool* tool) = 0;
    // The status bar shows the image point under the mouse and the pixel
    // there (black outside the picture).
    virtual void ShowPointerInfo(const QPoint& imagePoint, TColorTriple pixel) = 0;
    // The program's progress meter, which long picture operations report
    // to; none while there is none.
    virtual TProgressMeter* ProgressMeter() const = 0;
    // The names under which demonstration scripts know the tools' controls
    // and commands.
    virtual TKvDemoRegistry& DemoRegistry() = 0;
    // The quality of a JPEG about to be written from pixels, asked as a save
    // asks it (the JPEG Options dialog, preset with the quality chosen last,
    // which it then keeps); none when the user cancelled.
    virtual std::optional<int> AskJpegQuality() = 0;

protected:
    ~IKvGraphicsEditor() = default;
};

// The mouse cursor numbers tool controls choose from (0 is the arrow).
enum TKvCursorId : int {
    crNone = -1, // no pointer at all: a tool that draws its own (a brush outline)
    crDefault = 0,
    crHand = 100, // the hand tool
    // Over a rectangle the user moves by its inside and resizes by its
    // handles (crop, paste, text).
    crSizeAll = 110,
    crSizeNS = 111,
    crSizeNESW = 112,
    crSizeWE = 113,
    crSizeNWSE = 114,
};

// The resize cursor of a rectangle's handle (HitHandle's numbers; the
// inside moves it); crDefault for none.
int HandleCursor(int handle);

// The screen position of the middle of the button that shows the item (a
// toolbar button, hidden or not); false when no button shows it.
bool ScreenCentreOf(const QAction* item, QPoint& screenPoint);

// The program's cursors by number; crNone is the blank cursor, and any
// other number without a cursor of its own shows the arrow.
void RegisterScreenCursor(int id, const QCursor& cursor);
QCursor ScreenCursor(int id);

// A tool's layer in one graphics view: a view object, overlay only and not
// part of the scroll extent, inactive until its tool makes it active. The
// view owns it; it is created by its tool (CreateControl) and tells the tool
// when it goes. Every input operation returns whether it handled the event;
// the base handles nothing.
class TKvGraphicsToolControl : public TKvViewObject {
public:
    TKvGraphicsToolControl(TKvGraphicsTool* tool, TKvGraphicsView* view);
    ~TKvGraphicsToolControl() override;

    TKvGraphicsTool* Tool() const { return m_tool; }
    TKvGraphicsView* View() const { return m_view; }
    // The tool is active (mirrors the tool's Active).
    bool ToolActive() const { return m_toolActive; }

    // Repaints the control's area when the value changes.
    void SetActive(bool active) override;

    // Called once the control is in its view and known to its tool.
    virtual void Init() {}
    virtual void Activated();
    virtual void Deactivated();

    virtual bool GetCursor(Qt::KeyboardModifiers modifiers, const QPoint& point, int& cursorId);
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point);
    virtual bool MouseMove(Qt::KeyboardModifiers modifiers, const QPoint& point);
    virtual bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point);
    // direction is -1 (towards the user) or +1.
    virtual bool MouseWheel(Qt::KeyboardModifiers modifiers, int direction, const QPoint& point);
    // key is a Qt::Key.
    virtual bool KeyDown(int key, Qt::KeyboardModifiers modifiers);
    virtual bool KeyUp(int key, Qt::KeyboardModifiers modifiers);

    // The mouse position in the view's client coordinates.
    QPoint CursorClientPos() const;
    // Repaints the control's area in the view without erasing it.
    void InvalidateSelf();
    // Makes the view ask the controls for its cursor again.
    void RefreshCursor();

    // The tool is going away before the view.
    void DetachTool() { m_tool = nullptr; }

private:
    TKvGraphicsTool* m_tool;
    TKvGraphicsView* m_view;
    bool m_toolActive = false;
};

class TKvGraphicsTool : public TKvModuleWithControls, public IKvGraphicsTool, public IKvScriptClient {
    Q_OBJECT
public:
    // Makes a tool control of the tool's kind for a view.
    using TControlClass = std::function<std::unique_ptr<TKvGraphicsToolControl>(TKvGraphicsTool*, TKvGraphicsView*)>;
    template <class TControl>
    static TControlClass ControlClassOf()
    {
        return [](TKvGraphicsTool* tool, TKvGraphicsView* view) { return std::make_unique<TControl>(tool, view); };
    }

    explicit TKvGraphicsTool(IKvGraphicsEditor* editor);
    ~TKvGraphicsTool() override;

    IKvGraphicsEditor* Editor() const { return m_editor; }
    // Where the tool registers its demonstration names (its editor's
    // registry); the tool's names leave it with the tool.
    TKvDemoRegistry& DemoRegistry() const;
    // The editor is going away before the tool.
    void DetachEditor() { m_editor = nullptr; }

    // The tool's name in demonstration scripts and its command word.
    QString ScriptName;
    TControlClass ControlClass = ControlClassOf<TKvGraphicsToolControl>();
    // The tool stays available in plug-in mode.
    bool AvailableInPluginMode = false;
    // While this tool holds the document's lock no other tool may act.
    bool ExclusiveEdit = false;
    // The tool's button and option frame, for tools that have them: shown
    // while the tool is available; checked and enabled on idle.
    QAction* ToolButton = nullptr;
    TKvFrame* Frame = nullptr;

    bool Active() const { return m_active; }
    bool Available() const { return m_available; }
    // The editor lets the tool act now (its button is enabled on idle).
    bool MayAct() const { return m_editor && m_editor->ToolMayAct(this); }

    // --- Script client
    // The tool's script name as a command activates it.
    void ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& params) override;
    void GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint) override;
    void StartRecording(IKvScriptRecorder* recorder) override;
    void StopRecording() override;
    IKvScriptRecorder* Recorder() const { return m_recorder; }
    // While recording: the lines of a click on the tool's control named
    // ScriptName + suffix ("MouseCurvedMove <name>", then "<name>").
    void RecordClick(const QString& suffix);
    // The tool's button as a script target: when the first parameter is
    // ScriptName (without regard to case) and the button exists, its
    // screen position.
    bool ToolButtonTarget(const TKvCustomProperties& params, QPoint& screenPoint) const;

    // --- Controls
    virtual void AddControl(TKvGraphicsToolControl* control);
    virtual void RemoveControl(TKvGraphicsToolControl* control);
    const std::vector<TKvGraphicsToolControl*>& Controls() const { return m_controls; }
    // The control of the tool in the view; none when it has none there.
    TKvGraphicsToolControl* ControlIn(const TKvGraphicsView* view) const;
    // Makes a control of ControlClass, puts it on top of the view's stack
    // and initialises it.
    virtual TKvGraphicsToolControl* CreateControl(TKvGraphicsView* view);
    // The view the tool has a control in that shows a document, and that
    // document: what the tool works on; none while no document is shown.
    TKvGraphicsView* DocumentView() const;
    TKvGraphicsDocument* Document() const;

    // --- Edits
    // Records the edit's dirty rectangle as one command state.
    virtual void RecordState();
    // Whether the tool's edits write pixels (the picture before them is
    // then made ready when they begin); turns, flips and crops replace the
    // picture whole instead.
    virtual bool EditWritesPixels() const { return true; }
    // Locks the view's document for this tool (an open edit of another tool
    // is recorded first) and remembers the edit's view and pictures.
    virtual void BeginEdit(TKvGraphicsView* view);
    // Records the edit and unlocks the document.
    void EndEdit() override;
    // Puts back every pixel changed in the edit and drops the lock.
    virtual void CancelEdit();
    // Adds a changed rectangle (image coordinates) to the edit and repaints it.
    void InvalidateDirty(const TRect& rect);
    bool Editing() const { return m_editDocument != nullptr; }
    TKvGraphicsView* EditView() const { return m_editView; }
    TKvGraphicsDocument* EditDocument() const { return m_editDocument; }
    // The document's pictures during the edit; none outside one.
    TKvPixels* OriginalPixels() const { return m_editDocument ? &m_editDocument->Original().Pixels() : nullptr; }
    TKvPixelBuffer* CommittedPixels() const { return m_editDocument ? &m_editDocument->Committed() : nullptr; }
    TKvPixels* ImagePixels() const { return m_imagePixels; }

    // --- Notifications
    // In plug-in mode only tools meant for it stay available.
    void DocumentOpened(TKvGraphicsDocument* document) override;
    void DocumentClosing(TKvGraphicsDocument*) override {}
    void DocumentSaving(TKvGraphicsDocument*) override {}
    void BeforeUndo(TKvCommandState*) override {}
    void BeforeRedo(TKvCommandState*) override {}
    void AfterUndo(TKvCommandState*) override {}
    void AfterRedo(TKvCommandState*) override {}
    void StateChanged(TKvGraphicsDocument*, IKvGraphicsTool*, const TRect&) override {}
    // Tools that keep a change open on a document (an adjustment, a
    // rectangle) settle it here; the base holds none.
    void CommitOrCancelOpenChange(TKvGraphicsDocument*) override {}
    bool HasOpenChange(const TKvGraphicsDocument*) const override { return false; }

    // Runs once right after construction (see CreateGraphicsTool).
    virtual void AfterCreate() {}
    // Shows or hides the tool's button and frame.
    virtual void SetAvailable(bool available);
    // Hides the tool's button for good (the program reaches the tool in
    // other ways); the tool itself stays available.
    void HideToolButton();
    // The tool's button: makes it the editor's active tool.
    virtual void Activate(QObject* sender);
    // Told by the editor.
    virtual void Activated();
    virtual void Deactivated();
    // Hooks the demonstrations call on the active tool when one finishes.
    virtual TKvGraphicsTool* DemoEnding() { return this; }
    virtual void DemoEnded() {}

    // The button is checked while the tool is active and enabled while it
    // may act; the frame's controls are enabled while both hold.
    void UpdateControls() override;

protected:
    // Stops being the editor's active tool. A tool whose controls reach into
    // its own derived parts calls this first in its destructor, so that they
    // are deactivated while the whole tool still exists.
    void Withdraw();

private:
    void ClearEdit();

    IKvGraphicsEditor* m_editor;
    TKvDemoRegistry* m_demoRegistry = nullptr;
    // The registry of a tool made without an editor.
    std::unique_ptr<TKvDemoRegistry> m_ownDemoRegistry;
    IKvScriptRecorder* m_recorder = nullptr;
    std::vector<TKvGraphicsToolControl*> m_controls;
    bool m_active = false;
    bool m_available = true;
    bool m_buttonHidden = false;

    TKvGraphicsView* m_editView = nullptr;
    TKvGraphicsDocument* m_editDocument = nullptr;
    TKvPixels* m_imagePixels = nullptr;
};

// Creates a tool as an application component in `reference`, with the
// constructor's arguments, and runs its AfterCreate.
template <class T, class... Args>
T* CreateGraphicsTool(T*& reference, Args&&... args)
{
    KvApplication->CreateComponent(reference, std::forward<Args>(args)...);
    reference->AfterCreate();
    return reference;
}
