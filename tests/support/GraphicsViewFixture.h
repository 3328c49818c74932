// A graphics view on a document of its own, shown in a window of a given
// size, with a stand-in for the graphics editor that notes what the view
// and the tools asked of it. Header-only: it needs the user-interface layer,
// which the support library does not link.
#pragma once

#include "GraphicsEditorFixture.h"
#include "KvDemoRegistry.h"
#include "KvGraphicsTool.h"
#include "KvGraphicsView.h"
#include "TestRecorder.h"

#include <QApplication>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

class TestToolEditor : public IKvGraphicsEditor {
public:
    TKvGraphicsTool* ActiveTool() const override { return Active; }
    void SetActiveTool(TKvGraphicsTool* tool) override
    {
        if (Active)
            Active->Deactivated();
        Previous = Active;
        Active = tool;
        if (tool)
            tool->Activated();
    }
    bool ToolMayAct(const TKvGraphicsTool*) const override { return true; }
    bool PluginMode() const override { return Plugin; }
    void ZoomInClick(QObject*) override { ++ZoomIns; }
    void ZoomOutClick(QObject*) override { ++ZoomOuts; }
    IKvScriptRecorder* ScriptRecorder() const override { return Recorder; }
    void SetContinueUndoRedo(bool value) override { ContinueUndoRedo = value; }
    TKvGraphicsTool* PreviousActiveTool() const override { return Previous; }
    void BeginExclusive() override { Exclusive = true; }
    void EndExclusive() override { Exclusive = false; }
    void AddGraphicsTool(TKvGraphicsTool* tool) override { Tools.push_back(tool); }
    void RemoveGraphicsTool(TKvGraphicsTool* tool) override { std::erase(Tools, tool); }
    void ShowPointerInfo(const QPoint& point, TColorTriple pixel) override
    {
        Pointer = point;
        Pixel = pixel;
        ++PointerReports;
    }
    TProgressMeter* ProgressMeter() const override { return nullptr; }
    TKvDemoRegistry& DemoRegistry() override { return Registry; }
    std::optional<int> AskJpegQuality() override
    {
        ++QualityQuestions;
        return Quality;
    }

    TKvGraphicsTool* Active = nullptr;
    TKvGraphicsTool* Previous = nullptr;
    bool Exclusive = false;
    bool Plugin = false;
    int ZoomIns = 0;
    int ZoomOuts = 0;
    IKvScriptRecorder* Recorder = nullptr;
    bool ContinueUndoRedo = false;
    std::vector<TKvGraphicsTool*> Tools;
    QPoint Pointer;
    TColorTriple Pixel;
    int PointerReports = 0;
    TKvDemoRegistry Registry;
    // The answer to the JPEG quality question (none: cancelled).
    std::optional<int> Quality = 90;
    int QualityQuestions = 0;
};

// The document stand-in whose documents get graphics views.
class ViewTestEditor : public TestGraphicsEditor {
public:
    QWidget* CreateView(TKvGraphicsDocument* document) override { return new TKvGraphicsView(document, &Tools); }

    TestToolEditor Tools;
};

// A document with a black picture of the given size and its graphics view,
// a top-level window of the given size, at 1:1, shown. Without copies the
// document has no Original and Committed pictures (the view needs none):
// the pages of a huge picture are then taken only where it is painted.
class GraphicsViewFixture {
public:
    GraphicsViewFixture(int width, int height, QSize viewSize, bool withCopies = true)
    {
        document = editor.NewDocument();
        document->Image().SetSize(width, height, PixelFormatBGR24);
        if (withCopies)
            document->ImageLoaded();
        view = static_cast<TKvGraphicsView*>(document->GetView());
        view->resize(viewSize);
        view->Picture()->SetActive(true);
        view->ImageChanged();
        view->show();
        QApplication::processEvents();
    }

    // Sets every pixel to fill(x, y) (a TColorTriple) and shows it.
    template <typename Fill>
    void FillPicture(Fill fill)
    {
        TKvPixels& pixels = document->Image().Pixels();
        for (int y = 0; y < pixels.Height; ++y)
            for (int x = 0; x < pixels.Width; ++x) {
                const TColorTriple c = fill(x, y);
                uint8_t* p = pixels.PixelAt(x, y);
                p[0] = c.Blue;
                p[1] = c.Green;
                p[2] = c.Red;
            }
        document->ResetCommitted();
        view->InvalidateImageRect(document->Image().GetBounds());
    }

    // The view's pixels as it paints them now.
    QImage Painted() const { return view->grab().toImage().convertToFormat(QImage::Format_RGB888); }

    ViewTestEditor editor;
    TestToolEditor& tools = editor.Tools;
    TKvGraphicsDocument* document = nullptr;
    TKvGraphicsView* view = nullptr;
};
