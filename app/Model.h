// The composition root: the data module whose creation assembles the
// program from its modules, in a fixed order, hands each module what it
// works with, and puts the program's progress meter into the main form's
// status bar.
#pragma once

#include "Progress.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QProgressBar;
class TCommonDataModule;
class TKvAbout;
class TKvBrightnessContrastTool;
class TKvClippingTool;
class TKvCropTool;
class TKvDemoEditorModule;
class TKvDemonstrationModule;
class TKvGraphicsEditor;
class TKvGraphicsPrintModule;
class TKvHelp;
class TKvOriginalImageTool;
class TKvPasteTool;
class TKvRotateTool;
class TKvScanner;
class TKvScrollTool;
class TKvSystemInfoModule;
class TKvTextTool;
class TKvToolPanelModule;
class TMainForm;

// A progress meter over a progress bar. The bar belongs to its window; the
// meter does nothing once the bar is gone.
class TKvProgressBarMeter : public TProgressMeter {
public:
    explicit TKvProgressBarMeter(QProgressBar* bar);

    QProgressBar* Bar() const;
    // The maximum of a run started with maximum 0.
    int DefaultMax = 0;

    // Sets the bar's maximum (max, or DefaultMax when max is 0) and its
    // position to 0. A maximum of 0 shows an empty bar.
    void StartProgress(int max) override;
    // Advances the bar by one; past the maximum it starts over.
    void StepIt() override;

private:
    QPointer<QProgressBar> m_bar;
};

class TModule : public QObject {
    Q_OBJECT
public:
    static constexpr int ProgressBarWidth = 200;

    // Runs the composition root; the shared image list comes from the
    // common data module, when there is one.
    explicit TModule(TCommonDataModule* commonData);
    // Frees the progress meter.
    ~TModule() override;

    void DataModuleCreate();

    TKvProgressBarMeter* ProgressMeter() const { return m_progressMeter.get(); }

    // The modules, in the order of their creation; each is owned by the
    // application object.
    TKvGraphicsEditor* GraphicsEditor = nullptr;
    TMainForm* MainForm = nullptr;
    TKvScrollTool* ScrollTool = nullptr;
    TKvSystemInfoModule* SystemInfo = nullptr;
    TKvGraphicsPrintModule* GraphicsPrint = nullptr;
    TKvAbout* About = nullptr;
    TKvHelp* Help = nullptr;
    TKvDemonstrationModule* DemonstrationModule = nullptr;
    TKvDemoEditorModule* DemoEditorModule = nullptr;
    TKvToolPanelModule* ToolPanelModule = nullptr;
    TKvOriginalImageTool* OriginalImageTool = nullptr;
    TKvRotateTool* RotateTool = nullptr;
    TKvBrightnessContrastTool* BrightnessContrastTool = nullptr;
    TKvCropTool* CropTool = nullptr;
    TKvTextTool* TextTool = nullptr;
    TKvClippingTool* ClippingTool = nullptr;
    TKvPasteTool* PasteTool = nullptr;
    // Owned by the graphics editor.
    TKvScanner* Scanner = nullptr;

private:
    void SetImageIndices();
    void CreateProgressMeter();

    TCommonDataModule* m_commonData;
    std::unique_ptr<TKvProgressBarMeter> m_progressMeter;
};
