// The modules of the program a test runs in its own process, as the
// composition root made them.
// Header-only: it needs the program library, which the support library does
// not link.
#pragma once

#include "CommonData.h"
#include "KvDemonstration.h"
#include "KvForms.h"
#include "KvSDF.h"
#include "Model.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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
        // The tests open the demonstrations window themselves.
        DemonstrationModule->ShowAtStartup = false;
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

// The user's configuration file of the program of that base name (this
// test program when none is given), in the user's configuration folder.
inline QString ProgramConfigFile(QString baseName = QString())
{
    if (baseName.isEmpty())
        baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(baseName + QLatin1Char('/') + baseName + QStringLiteral(".cfg"));
}

// As after the user unchecked "Show at startup": the program (this test
// program running RunProgram, or the one of that base name) starts without
// the demonstrations window, which would otherwise be in front of the main
// window on a first start. Writes the user's configuration file.
inline bool SkipDemonstrationsAtStartup(const QString& baseName = QString())
{
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    {
        TKvSDFWriter writer(&stream, false);
        writer.BeginNode(1, TKvDemonstrationModule::SettingsGuid);
        writer.WriteBoolean(1, false);
        writer.EndNode();
    }
    const QString path = ProgramConfigFile(baseName);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(stream.data()) == stream.data().size();
}
