// The document editor specialised for pictures, and the first module the
// program creates. On top of the File and Edit commands it offers zooming,
// stepping through the pictures of the open file's folder, import from the
// scanner component, the status bar's picture fields and plug-in mode, each
// done by a unit it owns (KvZoomSteps, KvFolderImages, KvStatusPanels,
// KvPluginMode, KvGraphicsEditorScript for the script commands); it keeps
// exactly one graphics tool active and tells the tools before and after
// every undo and redo step.
#pragma once

#include "KvDemoRegistry.h"
#include "KvEditor.h"
#include "KvFolderImages.h"
#include "KvGraphicsDocument.h"
#include "KvGraphicsEditorScript.h"
#include "KvGraphicsFormats.h"
#include "KvGraphicsTool.h"
#include "KvPluginMode.h"
#include "KvScriptClient.h"
#include "KvStatusPanels.h"
#include "KvZoomSteps.h"
#include "Progress.h"

#include <QStringList>
#include <QUuid>

#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QToolButton;
class TKvGraphicsView;
class TKvImportSource;

class TKvGraphicsEditor : public TKvEditor, public IKvGraphicsDocumentEditor, public IKvGraphicsEditor {
    Q_OBJECT
public:
    static const QUuid GraphicsSettingsGuid;

    // Has the main form made, creates the menus, buttons and status bar
    // fields and the format registry.
    explicit TKvGraphicsEditor(const TKvShellMaker& makeShell);
    ~TKvGraphicsEditor() override;

    // Items merged into the main form (their objectName is the field's name).
    QAction* ZoomInMenuItem = nullptr;
    QAction* ZoomOutMenuItem = nullptr;
    QAction* ActualSizeMenuItem = nullptr;
    QAction* ScaleToBestFitMenuItem = nullptr;
    QAction* ZoomMenuSeparator = nullptr;
    QAction* ZoomToolbarSeparator = nullptr;
    QAction* ZoomInButton = nullptr;
    QAction* ZoomOutButton = nullptr;
    QAction* ActualSizeButton = nullptr;
    QAction* ScaleToBestFitButton = nullptr;
    QMenu* ImportSubmenu = nullptr;
    QAction* SelectTwainSourceMenuItem = nullptr;
    QAction* AcquireMenuItem = nullptr;
    QAction* CloseMenuSeperator = nullptr;
    QLabel* XStatusPanel = nullptr;
    QLabel* YStatusPanel = nullptr;
    QLabel* WStatusPanel = nullptr;
    QLabel* HStatusPanel = nullptr;
    QLabel* RStatusPanel = nullptr;
    QLabel* GStatusPanel = nullptr;
    QLabel* BStatusPanel = nullptr;
    QAction* PrevImageButton = nullptr;
    QAction* NextImageButton = nullptr;
    QAction* OkButton = nullptr;
    QAction* CancelButton = nullptr;
    // Stops a running acquisition; shown beside the progress bar while one runs.
    QToolButton* CancelScanButton = nullptr;

    // The scanner component, which the editor owns from now on; the import
    // items stay disabled without one.
    void SetImportSource(TKvImportSource* source);
    TKvImportSource* Scanner() const { return m_scanner; }
    // The program's progress meter, which long picture operations and scans
    // report to; none while there is none.
    void SetProgressMeter(TProgressMeter* meter) { m_progressMeter = meter; }
    TProgressMeter* ProgressMeter() const override { return m_progressMeter; }
    std::optional<int> AskJpegQuality() override;
    // The folder of the demonstration scripts (set by the composition root).
    QString DemoFolder;
    TKvGraphicsFormats& GraphicsFormats() { return m_formats; }
    // A Boolean kept in the settings.
    bool KeepSetting = false;
    // While set, only the active tool may act.
    bool ToolExclusive = false;

private:
    // Declared before the published fields that refer into it.
    TKvFolderImages m_folder;

public:
    // The picture files of the folder of the last opened file, sorted by
    // name, and the position of the open file among them (-1: not there).
    QStringList& FolderImages = m_folder.Images;
    int& FolderIndex = m_folder.Index;
    // The tool that was active before the last change of the active tool.
    TKvGraphicsTool* PreviousTool = nullptr;

    TKvGraphicsDocument* ActiveGraphicsDocument() const;
    // The active document's view; none without a document.
    TKvGraphicsView* ActiveView() const;

    // --- Module
    void Localize() override;
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;
    void UpdateControls() override;

    // --- Editor
    void ActivateDocument(TKvDocument* document) override;
    void UpdateCaption() override;
    TKvDocumentFormats* Formats() override { return &m_formats; }
    std::unique_ptr<TKvDocument> CreateDocument() override;
    bool ShowDocument(TKvDocument* document, QWidget*& view) override;
    bool SaveDocumentAs(TKvDocument* document) override;
    int AskSaveChanges(const QString& name) override;
    void AddRecentDocument(TKvDocument* document) override;
    void SetPluginMode(bool on) override;
    bool OpenFile(const QString& fileName, TKvDocument*& document, bool addToRecent) override;
    bool CanUndo() override;
    bool CanRedo() override;
    void Undo() override;
    void Redo() override;
    void ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& params) override;
    void GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint) override;

    // --- Graphics document editor
    const std::vector<IKvGraphicsTool*>& GraphicsTools() const override { return m_toolInterfaces; }
    void ShowImageSize(int width, int height) override;
    QWidget* CreateView(TKvGraphicsDocument* document) override;

    // --- What the tools and views ask
    TKvGraphicsTool* ActiveTool() const override { return m_activeTool; }
    void SetActiveTool(TKvGraphicsTool* tool) override;
    bool ToolMayAct(const TKvGraphicsTool* tool) const override;
    bool PluginMode() const override { return TKvEditor::PluginMode(); }
    IKvScriptRecorder* ScriptRecorder() const override { return Recorder(); }
    void SetContinueUndoRedo(bool value) override { m_continueUndoRedo = value; }
    bool ContinueUndoRedo() const { return m_continueUndoRedo; }
    void AddGraphicsTool(TKvGraphicsTool* tool) override;
    void RemoveGraphicsTool(TKvGraphicsTool* tool) override;
    void ShowPointerInfo(const QPoint& imagePoint, TColorTriple pixel) override;
    const std::vector<TKvGraphicsTool*>& Tools() const { return m_tools; }
    TKvGraphicsTool* PreviousActiveTool() const override { return PreviousTool; }
    void BeginExclusive() override { ToolExclusive = true; }
    void EndExclusive() override { ToolExclusive = false; }
    // The demonstration module's registry once the composition root has
    // handed it over (before the tools are made); until then one of the
    // editor's own.
    TKvDemoRegistry& DemoRegistry() override { return m_demoRegistry ? *m_demoRegistry : *m_ownDemoRegistry; }
    void SetDemoRegistry(TKvDemoRegistry* registry) { m_demoRegistry = registry; }

    // --- Zoom
    // Sets the view's zoom keeping the picture point in the middle of the
    // view where it is.
    void SetZoom(TKvGraphicsView* view, TKvZoom zoom);
    TKvZoom Zoom() const;
    void BestFit();
    // 1:1 when the picture fits the view, otherwise the best fit.
    void FitView();
    // Grows the main form so that the view is at least this large, and fits
    // the window into the screen's work area.
    void SetMinViewSize(int width, int height);
    // Makes the main form at least this large, centred in the work area on
    // an axis where it grows.
    void SetMinWindowSize(int width, int height);

    // --- Handlers
    virtual void NextImageClick(QObject* sender);
    virtual void PrevImageClick(QObject* sender);
    void ZoomInClick(QObject* sender) override;
    void ZoomOutClick(QObject* sender) override;
    virtual void ActualSizeClick(QObject* sender);
    virtual void BestFitClick(QObject* sender);
    virtual void OkClick(QObject* sender);
    virtual void CancelClick(QObject* sender);
    void AcquireClick(QObject* sender);
    void SelectSourceClick(QObject* sender);
    void ImportSourceClick(QObject* sender);
    // Opens the scanned picture untitled and deletes the transfer file.
    void ScannerImageReady(const QString& transferFile);

private:
    void MergeGraphicsItems();
    void CreateStatusPanels();
    void FillImportSubmenu();
    void ShowScanProgress(int percent);
    void EndScanProgress();
    void FitView(TKvGraphicsView* view);
    void FitViewWhenShown();
    void StepFolder(int step);
    template <typename Step, typename Can>
    void UndoOrRedo(Step step, Can can, void (TKvGraphicsDocument::*before)(), void (TKvGraphicsDocument::*after)());

    TKvGraphicsFormats m_formats;
    std::unique_ptr<TKvStatusPanels> m_statusPanels;
    TKvPluginMode m_pluginMode{*this};
    TKvGraphicsEditorScript m_script{*this};
    TKvDemoRegistry* m_demoRegistry = nullptr;
    std::unique_ptr<TKvDemoRegistry> m_ownDemoRegistry = std::make_unique<TKvDemoRegistry>();
    TKvImportSource* m_scanner = nullptr;
    TProgressMeter* m_progressMeter = nullptr;
    // The percentage of the running scan the meter shows; -1 while none runs.
    int m_scanPercentShown = -1;
    TKvGraphicsTool* m_activeTool = nullptr;
    std::vector<TKvGraphicsTool*> m_tools;
    std::vector<IKvGraphicsTool*> m_toolInterfaces;
    bool m_continueUndoRedo = false;
};
