// The running editor (offscreen) with the 24-megapixel photo scene open,
// for the benchmarks that measure work in the program: the application and
// its modules in a settings folder of the run's own, the open document, and
// the band over the object's edge that the user would paint.
#pragma once

#include "CommonData.h"
#include "KvClippingTool.h"
#include "KvForms.h"
#include "KvGraphicsEditor.h"
#include "KvLocalizer.h"
#include "KvMainForm.h"
#include "Model.h"
#include "PhotoScene.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

class TEditorScene {
public:
    TEditorScene()
    {
        // Settings and recent files go to a folder of this run's own.
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(name, QFile::encodeName(m_folder.path()));
        SetGlobalLocalizer(std::make_unique<TKvLocalizer>());
        m_application = std::make_unique<TKvApplication>();
        TCommonDataModule* commonData = nullptr;
        m_application->CreateForm(commonData);
        m_application->CreateForm(Module, commonData);
        Module->MainForm->resize(1280, 860);
        Module->MainForm->show();
        QApplication::processEvents();

        photo_scene::MakeScene(Original, Band);
        const QString path = QDir(m_folder.path()).filePath(QStringLiteral("photo.bmp"));
        QImage(Original.Data, photo_scene::Width, photo_scene::Height, Original.Stride, QImage::Format_BGR888).save(path);
        TKvDocument* opened = nullptr;
        if (Module->GraphicsEditor->OpenFile(path, opened, false))
            Document = static_cast<TKvGraphicsDocument*>(opened);
        else
            std::fprintf(stderr, "cannot open the picture\n");
    }

    ~TEditorScene()
    {
        if (Document) {
            Document->SetNoSavePrompt(true);
            Document->CloseQuery();
        }
        m_application->DestroyComponents();
        m_application.reset();
        SetGlobalLocalizer(nullptr);
    }

    TEditorScene(const TEditorScene&) = delete;
    TEditorScene& operator=(const TEditorScene&) = delete;

    // The band in the clipping tool's region as strokes leave it: the marks
    // committed, the outline listed.
    void PaintBandInTool()
    {
        TKvClippingTool* tool = Module->ClippingTool;
        tool->Reset();
        TMarkedRegion& region = tool->Region();
        PaintBand(region, Band.GetBounds(), Band, LabelBand);
        region.Commit({0, 0, photo_scene::Width, photo_scene::Height});
        Document->ResetCommitted();
        tool->Outline().Rebuild(region);
    }

    TModule* Module = nullptr;
    TKvGraphicsDocument* Document = nullptr;
    TKvPixelBuffer Original;
    TKvPixelMask Band;

private:
    QTemporaryDir m_folder;
    std::unique_ptr<TKvApplication> m_application;
};
