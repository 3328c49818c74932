// The modules of the program a test runs in its own process, as the
// composition root made them.
// Header-only: it needs the program library, which the support library does
// not link.
#pragma once

#include "CommonData.h"
#include "KvForms.h"
#include "Model.h"

// The composition root among the application object's components; null
// while no program runs.
inline TModule* RunningModule()
{
    if (!KvApplication)
        return nullptr;
    for (int i = 0; i < KvApplication->ComponentCount(); ++i)
        if (auto* module = qobject_cast<TModule*>(KvApplication->Components(i)))
            return module;
    return nullptr;
}

// The program's modules, for a test that runs the composition root in an
// application object of its own, under the names the composition root keeps
// them by.
struct TProgramModules {
    // The common data module, then the composition root, as the program
    // creates them.
    void CreateProgram(TKvApplication& application)
    {
        application.CreateForm(CommonDataModule);
        application.CreateForm(Module, CommonDataModule);
        GraphicsEditor = Module->GraphicsEditor;
        MainForm = Module->MainForm;
        ScrollTool = Module->ScrollTool;
        SystemInfo = Module->SystemInfo;
        GraphicsPrint = Module->GraphicsPrint;
        About = Module->About;
        Help = Module->Help;
        DemonstrationModule = Module->DemonstrationModule;
        ToolPanelModule = Module->ToolPanelModule;
        TextTool = Module->TextTool;
        ClippingTool = Module->ClippingTool;
        PasteTool = Module->PasteTool;
    }

    TCommonDataModule* CommonDataModule = nullptr;
    TModule* Module = nullptr;
    TKvGraphicsEditor* GraphicsEditor = nullptr;
    TMainForm* MainForm = nullptr;
    TKvScrollTool* ScrollTool = nullptr;
    TKvSystemInfoModule* SystemInfo = nullptr;
    TKvGraphicsPrintModule* GraphicsPrint = nullptr;
    TKvAbout* About = nullptr;
    TKvHelp* Help = nullptr;
    TKvDemonstrationModule* DemonstrationModule = nullptr;
    TKvToolPanelModule* ToolPanelModule = nullptr;
    TKvTextTool* TextTool = nullptr;
    TKvClippingTool* ClippingTool = nullptr;
    TKvPasteTool* PasteTool = nullptr;
};
