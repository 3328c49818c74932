// The original image tool: while the user holds its toolbar button or the
// key O, the view shows the picture as it was opened (turned, flipped and
// cropped with the picture) in place of the edited one; on release the
// tool that was current before comes back and the edited picture shows
// again. It cannot be switched on while running work holds the picture.
#pragma once

#include "KvGraphicsTool.h"
#include "KvPicturePainter.h"

#include <QPointer>

class IKvShell;
class QToolBar;
class QToolButton;

// Paints the document's original picture over the picture's place while
// its tool is current, and turns the key O into showing and hiding it.
class TKvOriginalImageToolControl : public TKvGraphicsToolControl {
public:
    // The key that shows the original while it is held.
    static constexpr int TriggerKey = Qt::Key_O;

    TKvOriginalImageToolControl(TKvGraphicsTool* tool, TKvGraphicsView* view);

    // Shown: the control covers the picture with the original.
    void Activated() override;
    void Deactivated() override;
    void PaintBody(TKvViewCanvas& canvas) override;
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers) override;
    bool KeyUp(int key, Qt::KeyboardModifiers modifiers) override;

    // The original changed (turned, cut, another document): nothing scaled
    // from it before is valid.
    void OriginalChanged() { m_painter.Reset(); }

private:
    TRect OriginalRect() const;

    TKvPicturePainter m_painter;
};

class TKvOriginalImageTool : public TKvGraphicsTool {
    Q_OBJECT
public:
    explicit TKvOriginalImageTool(IKvGraphicsEditor* editor);
    ~TKvOriginalImageTool() override;

    // The text-only button on the editor's standard toolbar: held down, it
    // shows the original.
    QAction* OriginalImageToolButton = nullptr;
    void AddEditorButtons(IKvShell* shell, QToolBar* toolbar);

    // Makes this tool current (remembering the current one) when the
    // picture is open and no running work holds it; byKey tells that the
    // key O asked, whose release the tool then waits for.
    void ShowOriginal(bool byKey = false);
    // Makes the remembered tool current again.
    void ShowCorrected();
    bool IsActive() const;

    void Activated() override;
    TKvGraphicsToolControl* CreateControl(TKvGraphicsView* view) override;
    void StateChanged(TKvGraphicsDocument* document, IKvGraphicsTool* tool, const TRect& rect) override;
    void DocumentOpened(TKvGraphicsDocument* document) override;
    // The tool is never switched on by its name in a script.
    void ExecuteScriptCommand(const QString&, bool&, const TKvCustomProperties&) override
    {
    }
    void GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint) override;
    void UpdateControls() override;
    void Localize() override;

protected:
    // A view that loses the keyboard, or the program losing the screen,
    // will not hear O released: the corrected picture returns at once.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* ButtonWidget() const;
    void ResetPainters();

    QPointer<QToolBar> m_toolbar;
    QPointer<TKvGraphicsTool> m_previousTool;
    bool m_shownByKey = false;
};
