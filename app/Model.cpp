#include "Model.h"

#include "AboutPage.h"
#include "CommonData.h"
#include "KvAbout.h"
#include "KvBrightnessContrastTool.h"
#include "KvClippingTool.h"
#include "KvCropTool.h"
#include "KvDemoEditor.h"
#include "KvDemonstration.h"
#include "KvForms.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsPrint.h"
#include "KvHelp.h"
#include "KvImageList.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "KvOriginalImageTool.h"
#include "KvPanelToolbar.h"
#include "KvPasteTool.h"
#include "KvProgramData.h"
#include "KvRotateTool.h"
#include "KvScanner.h"
#include "KvScrollTool.h"
#include "KvSystemInfo.h"
#include "KvTextTool.h"
#include "KvToolPanel.h"

#include <QDir>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>

// ---------------------------------------------------------------------------
// Progress meter

TKvProgressBarMeter::TKvProgressBarMeter(QProgressBar* bar) : m_bar(bar) {}

QProgressBar* TKvProgressBarMeter::Bar() const
{
    return m_bar;
}

void TKvProgressBarMeter::StartProgress(int max)
{
    if (!m_bar)
        return;
    const int maximum = max != 0 ? max : DefaultMax;
    // Qt shows a range of 0 to 0 as a busy animation; a bar with nothing to
    // show stays empty instead.
    m_bar->setRange(0, maximum > 0 ? maximum : 1);
    m_bar->setValue(0);
}

void TKvProgressBarMeter::StepIt()
{
    if (!m_bar)
        return;
    const int next = m_bar->value() + 1;
    m_bar->setValue(next > m_bar->maximum() ? m_bar->minimum() : next);
}

// ---------------------------------------------------------------------------
// Composition root

TModule::TModule(TCommonDataModule* commonData) : m_commonData(commonData)
{
    DataModuleCreate();
}

TModule::~TModule()
{
    TMainForm::SetSharedImages(nullptr);
}

// The modules, in the order of their creation (and so of their settings,
// initialisation and start):
//   the graphics editor, which has the main form made, and the hand tool;
//   system information, printing, help, demonstrations, the demo editor,
//   the about box;
//   the tool panel;
//   the tools: original image, rotate and flip, brightness and contrast,
//   crop, text, clipping, paste.
// Each is created at its place below as it becomes part of the program.
void TModule::DataModuleCreate()
{
    TMainForm::SetSharedImages(m_commonData ? m_commonData->New24TBXImageList : nullptr);

    // The graphics editor has the main form made, and creates the File and
    // Edit menus and the standard toolbar.
    KvApplication->CreateComponent(GraphicsEditor, TMainForm::Maker(MainForm));
    GraphicsEditor->DemoFolder = ProgramDataPath(QStringLiteral("Demo")) + QDir::separator();
    GraphicsEditor->SetImportSource(Scanner = new TKvScanner(GraphicsEditor));
    KvApplication->CreateComponent(ScrollTool, GraphicsEditor);
    SetImageIndices();

    KvApplication->CreateComponent(Help, MainForm);
    // The tools made below register their demonstration names with the
    // demonstration module, through the editor.
    KvApplication->CreateComponent(DemonstrationModule, MainForm);
    DemonstrationModule->DemoFolder = GraphicsEditor->DemoFolder;
    GraphicsEditor->SetDemoRegistry(&DemonstrationModule->Registry());
    DemonstrationModule->SetEditor(GraphicsEditor);
    KvApplication->CreateComponent(DemoEditorModule, MainForm, DemonstrationModule);
    KvApplication->CreateComponent(SystemInfo);
    KvApplication->CreateComponent(GraphicsPrint, GraphicsEditor);
    KvApplication->CreateComponent(About, MainForm);
    About->Description = ProgramAboutDescription(SystemInfo->Version());

    KvApplication->CreateComponent(ToolPanelModule, MainForm);
    DemonstrationModule->SetToolPanel(ToolPanelModule);
    ToolPanelModule->Toolbar->SetWrapping(true);
    MainForm->AddSeparator(GraphicsEditor->StandardToolbar);

    // The tools, in the program's order. Rotate and flip, brightness and
    // contrast and crop are reached from the editor's toolbar (and by
    // scripts and the object library), not from the tool panel: their panel
    // buttons are hidden.
    QToolBar* standard = GraphicsEditor->StandardToolbar;
    CreateGraphicsTool(OriginalImageTool, GraphicsEditor);
    OriginalImageTool->AddEditorButtons(MainForm, standard);
    CreateGraphicsTool(RotateTool, GraphicsEditor, ToolPanelModule);
    SetImageIndex(RotateTool->ToolButton, MainForm->AddResourceImage(QStringLiteral("Right")));
    RotateTool->HideToolButton();
    RotateTool->AddEditorButtons(MainForm, standard);
    CreateGraphicsTool(BrightnessContrastTool, GraphicsEditor, ToolPanelModule);
    SetImageIndex(BrightnessContrastTool->ToolButton, MainForm->AddResourceImage(QStringLiteral("Contrast")));
    BrightnessContrastTool->HideToolButton();
    BrightnessContrastTool->AddEditorButtons(MainForm, standard);
    CreateGraphicsTool(CropTool, GraphicsEditor, ToolPanelModule);
    CropTool->HideToolButton();
    CreateGraphicsTool(TextTool, GraphicsEditor, ToolPanelModule);
    SetImageIndex(TextTool->ToolButton, 79);
    MainForm->AddSeparator(ToolPanelModule->Toolbar);
    CreateGraphicsTool(ClippingTool, GraphicsEditor, ToolPanelModule);
    SetImageIndex(ClippingTool->ToolButton, 77);
    MainForm->AddSeparator(ToolPanelModule->Toolbar);
    CreateGraphicsTool(PasteTool, GraphicsEditor, ToolPanelModule, ObjectLibraryFolder());
    SetImageIndex(PasteTool->ToolButton, 78);
    // An object saved by the clipping tool shows at once in the paste tool's list.
    connect(ClippingTool, &TKvClippingTool::ObjectSaved, PasteTool, &TKvPasteTool::AddNewestEntry);

    GraphicsEditor->SetActiveTool(ClippingTool);

    CreateProgressMeter();
    GraphicsEditor->SetProgressMeter(m_progressMeter.get());
}

// The pictures of the shared image list on the editor's navigation and zoom
// items.
void TModule::SetImageIndices()
{
    TKvGraphicsEditor* editor = GraphicsEditor;
    const std::pair<QAction*, int> images[] = {
        {editor->NextImageButton, 15},       {editor->PrevImageButton, 14},     {editor->ZoomInButton, 10},
        {editor->ZoomInMenuItem, 10},        {editor->ZoomOutButton, 11},       {editor->ZoomOutMenuItem, 11},
        {editor->ActualSizeButton, 12},      {editor->ActualSizeMenuItem, 12},  {editor->ScaleToBestFitButton, 13},
        {editor->ScaleToBestFitMenuItem, 13}};
    for (const auto& [item, index] : images)
        SetImageIndex(item, index);
}

void TModule::CreateProgressMeter()
{
    auto* bar = new QProgressBar(MainForm->StatusBar);
    bar->setObjectName(QStringLiteral("ProgressBar"));
    bar->setTextVisible(false);
    bar->setFixedWidth(ProgressBarWidth);
    MainForm->StatusBar->addPermanentWidget(bar);
    m_progressMeter = std::make_unique<TKvProgressBarMeter>(bar);
    m_progressMeter->StartProgress(0);
}
