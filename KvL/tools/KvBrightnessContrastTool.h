// The brightness and contrast tool: two values, each -127..127, make a
// straight tonal line that is applied to every channel of the whole
// picture. In the panel two sliders change the picture live and Ok records
// the result as one command; on the editor's standard toolbar four buttons
// each brighten, darken, or raise or lower the contrast by one step of 5 as
// one command. The curve always starts from the picture as it was before
// the adjustment, never from a picture already adjusted. An adjustment
// still open when the document is saved, printed, closed or its history
// moves is committed first.
#pragma once

#include "KvCurves.h"
#include "KvForms.h"
#include "KvGraphicsCommandState.h"
#include "KvGraphicsTool.h"

#include <memory>

class QLabel;
class QPushButton;
class QSlider;
class QToolBar;
class IKvShell;
class TKvBrightnessContrastTool;
class TKvToolPanelModule;

// The tool's panel: a slider for each value, Ok and Cancel.
class TKvBrightnessContrastFrame : public TKvFrame {
    Q_OBJECT
public:
    explicit TKvBrightnessContrastFrame(QWidget* parent = nullptr);

    TKvBrightnessContrastTool* Tool = nullptr;

    QLabel* TitleLabel;
    QLabel* BrightnessLabel;
    QSlider* BrightnessTrackBar;
    QLabel* ContrastLabel;
    QSlider* ContrastTrackBar;
    QWidget* OkPanel;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    void Localize() override;

    void BrightnessTrackBarChange();
    void ContrastTrackBarChange();
    void OkButtonClick();
    void CancelButtonClick();
};

// An adjustment of the whole picture: the picture before it and the table
// that made it. Undo puts the picture back; redo applies the table to it
// again, so only one copy of the picture is kept.
class TKvCurveCommandState : public TKvCustomGraphicsCommandState {
public:
    // Takes the document's picture before the change (its Committed
    // picture) now; empty when the memory cannot be had.
    TKvCurveCommandState(IKvGraphicsTool* tool, TKvGraphicsDocument* document, TKvLUT table);

    bool IsEmpty() const { return !m_before.Data; }
    void Undo() override;
    void Redo() override;

private:
    TKvPixelBuffer m_before;
    TKvLUT m_table;
};

class TKvBrightnessContrastTool : public TKvGraphicsTool {
    Q_OBJECT
public:
    // Toolbar steps.
    static constexpr int StepValue = 5;

    // The button and the frame go into the panel; without one they stand
    // alone.
    explicit TKvBrightnessContrastTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel = nullptr);
    ~TKvBrightnessContrastTool() override;

    TKvBrightnessContrastFrame* BrightnessContrastFrame() const { return m_frame; }

    // The buttons on the editor's standard toolbar.
    QAction* BrightnessUpToolButton = nullptr;
    QAction* BrightnessDownToolButton = nullptr;
    QAction* ContrastUpToolButton = nullptr;
    QAction* ContrastDownToolButton = nullptr;
    // Adds a separator and the four step buttons to the editor's toolbar,
    // with pictures from the shared image list.
    void AddEditorButtons(IKvShell* shell, QToolBar* toolbar);

    int Brightness() const { return m_brightness; }
    int Contrast() const { return m_contrast; }
    // A value that differs from the current one (kept within -127..127)
    // moves its slider, is applied to the picture and is recorded for
    // demonstrations.
    void SetBrightness(int value);
    void SetContrast(int value);
    // Applies the curve of the two values to the whole picture as it was
    // before the adjustment, opening the adjustment when none is open.
    void ApplyCurve();
    // Both values and sliders back to 0.
    void ResetValues();
    // Records the adjustment as one command (Ok).
    void Commit();
    // Puts the picture back and drops the adjustment (Cancel).
    void Cancel();
    // One step of the editor toolbar: one command of exactly that step.
    void StepBrightness(int step);
    void StepContrast(int step);
    // Whether an adjustment is open on the document.
    bool Adjusting() const { return Editing(); }

    void EndEdit() override;
    void RecordState() override;
    void CommitOrCancelOpenChange(TKvGraphicsDocument* document) override;
    bool HasOpenChange(const TKvGraphicsDocument* document) const override;
    void DocumentOpened(TKvGraphicsDocument* document) override;
    void Activated() override;
    void AfterCreate() override;
    void UpdateControls() override;
    void Localize() override;
    void GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint) override;


private:
    void RegisterDemoNames();
    void RecordValue(const QString& suffix, int value);

    TKvToolPanelModule* m_panel;
    TKvBrightnessContrastFrame* m_frame = nullptr;
    std::unique_ptr<TKvBrightnessContrastFrame> m_ownFrame;
    int m_brightness = 0;
    int m_contrast = 0;
    // The table of the open adjustment.
    TKvLUT m_table;
};
