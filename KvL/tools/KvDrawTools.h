// The family of graphics tools that apply a round brush to the picture under
// the mouse: the draw tool (size, opacity, the stroke), the mask draw tool
// (the dab mask every dab stamps) and the brush tool (hardness), with their
// per-view controls, which turn the view's mouse, wheel and key events into
// strokes and draw the brush outline in place of the mouse pointer. What a
// dab does to the picture is the concrete tool's business.
#pragma once

#include "KvGraphicsTool.h"

#include <QPoint>
#include <Qt>

class QSlider;
class TKvDrawToolControl;

// The dab rectangle of a brush of the size at a picture point: an odd square
// of side 2 * (size / 2) + 1 centred on the point.
TRect DabRect(TPoint point, int size);

// A round dab in mask, sized to DabRect at (0, 0): value at the centre,
// falling with the distance d from it as (1 - (2d / size)^(c / 16)) * value,
// 0 from the rim on (c = 160 gives a hard disc). A size below 2 gives the
// single byte value.
void BuildPowerDab(TKvPixelMask& mask, int size, int value, int c);

// The keyboard modifiers and the mouse buttons held at a mouse event.
struct TKvShiftState {
    Qt::KeyboardModifiers Modifiers;
    Qt::MouseButtons Buttons;
};

class TKvDrawTool : public TKvGraphicsTool {
    Q_OBJECT
public:
    // How mouse buttons make strokes.
    enum TStrokeMode : quint8 {
        smDrag = 0,   // from button down to button up, a dab at every move
        smClick = 1,  // one dab at button down
        smRelease = 2 // one dab at button up
    };

    explicit TKvDrawTool(IKvGraphicsEditor* editor);

    quint8 StrokeMode = smDrag;
    int MinSize = 1;
    int MaxSize = 50;

    int Size() const { return m_size; }
    int Opacity() const { return m_opacity; }
    // The control whose stroke is running; none between strokes.
    TKvDrawToolControl* StrokeControl() const { return m_strokeControl; }
    Qt::MouseButton StrokeButton() const { return m_strokeButton; }
    TKvShiftState StrokeShift() const { return m_strokeShift; }
    QSlider* SizeBar() const { return m_sizeBar; }
    QSlider* OpacityBar() const { return m_opacityBar; }

    // Values outside the range, and the current value, are ignored.
    virtual void SetSize(int size);
    virtual void SetOpacity(int opacity);
    // The track bar follows the value and sets it when moved.
    void BindSizeBar(QSlider* bar);
    void BindOpacityBar(QSlider* bar);

    // Starts a stroke through the control: begins the edit on the control's
    // view. False when the tool refuses.
    virtual bool BeginStroke(TKvDrawToolControl* control, Qt::MouseButton button, const TKvShiftState& shift);
    // Applies one dab on rect (the dab rectangle), clipped to the picture.
    virtual void ApplyAt(const TRect& rect);
    // Ends the stroke's edit, which records it.
    virtual void EndStroke();

    // Script commands <ScriptName>SIZE and <ScriptName>OPACITY set the
    // values; the targets of the same names are the bound track bars' thumbs.
    void ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& params) override;
    void GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint) override;
    // A running stroke ends first.
    TKvGraphicsTool* DemoEnding() override;

protected:
    virtual void OnSizeChanged() {}
    virtual void OnOpacityChanged() {}
    // What one dab does to rect of the picture (inside the picture).
    virtual void ApplyDab(const TRect& rect);

    // Records "<ScriptName><what> <value>" while a script is being recorded.
    void RecordValue(const QString& what, int value);
    // A setting took a new value: its bound track bar (if any) shows it and
    // a script being recorded gets its line.
    void ShowAndRecordValue(QSlider* bar, const QString& what, int value);
    // Binds a track bar to a setting: the field remembers it, the bar gets
    // the setting's range, ticks and current value.
    static void BindBar(QSlider*& field, QSlider* bar, int min, int max, int position, int frequency);
    // The command word <ScriptName><suffix> in upper case; empty without a
    // script name.
    QString ScriptWord(const QString& suffix) const;
    // A bound track bar for the command word of a target; none when the word
    // names none.
    virtual QSlider* TargetBar(const QString& word) const;

private:

    int m_size = 10;
    int m_opacity = 255;
    TKvDrawToolControl* m_strokeControl = nullptr;
    Qt::MouseButton m_strokeButton = Qt::NoButton;
    TKvShiftState m_strokeShift;
    QSlider* m_sizeBar = nullptr;
    QSlider* m_opacityBar = nullptr;
};

class TKvMaskDrawTool : public TKvDrawTool {
    Q_OBJECT
public:
    using TKvDrawTool::TKvDrawTool;

    // The stamp of one dab, built with its corner at (0, 0).
    const TKvPixelMask& Dab() const { return m_dab; }
    // The shift state of the last mouse event.
    TKvShiftState ShiftState;

    void ApplyAt(const TRect& rect) override;

protected:
    // Builds the dab from the current settings; the concrete tool decides
    // its profile.
    virtual void BuildDab() = 0;
    TKvPixelMask& DabMask() { return m_dab; }

    // The dab follows the size, and every control's bounds the dab.
    void OnSizeChanged() override;
    void OnOpacityChanged() override;

private:
    TKvPixelMask m_dab;
};

class TKvBrushTool : public TKvMaskDrawTool {
    Q_OBJECT
public:
    explicit TKvBrushTool(IKvGraphicsEditor* editor);

    int Hardness() const { return m_hardness; }
    QSlider* HardnessBar() const { return m_hardnessBar; }
    // 0..255; other values, and the current one, are ignored.
    void SetHardness(int hardness);
    void BindHardnessBar(QSlider* bar);

    // Also <ScriptName>HARDNESS.
    void ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& params) override;

protected:
    // Opacity at the centre, falling off the softer the lower the hardness.
    void BuildDab() override;
    QSlider* TargetBar(const QString& word) const override;

private:
    int m_hardness = 128;
    QSlider* m_hardnessBar = nullptr;
};

// The draw tool's layer in a view: its bounds are the dab rectangle at the
// brush position.
class TKvDrawToolControl : public TKvGraphicsToolControl {
public:
    TKvDrawToolControl(TKvGraphicsTool* tool, TKvGraphicsView* view);

    TKvDrawTool* DrawTool() const { return static_cast<TKvDrawTool*>(Tool()); }
    // This control began the running stroke.
    bool Stroking() const { return m_stroking; }

    // Starts and ends a stroke through this control; refused while it is
    // already stroking.
    bool BeginStroke(Qt::MouseButton button, const TKvShiftState& shift);
    void EndStroke();
    // A dab at the control's bounds.
    void ApplyAtBounds();

    // The bounds in view coordinates (at least one pixel) and two pixels
    // around them.
    QRect GetOverlayRect(const TKvMapMode& mapMode) const override;

private:
    bool m_stroking = false;
};

// Follows the mouse with the brush position and turns the mouse buttons,
// the wheel and the arrow keys into strokes and sizes.
class TKvMaskDrawToolControl : public TKvDrawToolControl {
public:
    using TKvDrawToolControl::TKvDrawToolControl;

    TKvMaskDrawTool* MaskDrawTool() const { return static_cast<TKvMaskDrawTool*>(Tool()); }
    QPoint BrushPosition() const { return m_brushPosition; }
    // Moves the brush to the picture point; the outline is repainted at the
    // old and the new place.
    void SetPosition(const QPoint& point);

    void Activated() override;
    void Deactivated() override;
    void MouseEnter() override;
    void MouseLeave() override;
    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseMove(Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseWheel(Qt::KeyboardModifiers modifiers, int direction, const QPoint& point) override;
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers) override;
    // No pointer: the brush outline stands in for it.
    bool GetCursor(Qt::KeyboardModifiers modifiers, const QPoint& point, int& cursorId) override;

protected:
    // The tool's shift state becomes the modifiers and the buttons held.
    void TakeShiftState(Qt::KeyboardModifiers modifiers);
    QPoint ToPicture(const QPoint& clientPoint) const;

private:
    // A stroke of one dab at the control's bounds: a click, or a release.
    void StrokeOneDab(Qt::MouseButton button);

    QPoint m_brushPosition{-1000, -1000};
    Qt::MouseButtons m_heldButtons;
};

// Draws the brush outline: a circle of the brush's size round the brush
// position, inverting what lies under it, so that it shows on any picture.
class TKvBrushToolControl : public TKvMaskDrawToolControl {
public:
    using TKvMaskDrawToolControl::TKvMaskDrawToolControl;

    // The rectangle in view coordinates the outline circle is drawn into.
    QRect OutlineRect(const TKvMapMode& mapMode) const;
    void PaintOverlay(TKvViewCanvas& canvas) override;

protected:
    void PaintBrushOutline(TKvViewCanvas& canvas);
};
