// Separate on a 24-megapixel photo in the running editor (offscreen), the
// cut growing on screen, side by side with the extraction engine alone on
// the same picture and band:
//   engine alone      numbering the areas, GrowCut generation by generation
//                     with the cut line shown, the results written back
//   editor            the clipping tool's Separate: the same work in its
//                     edit, the picture repainted as the cut grows and
//                     events processed between generations, then the undo
//                     state recorded (whole-picture snapshots of pixels and
//                     marks: every pixel's segment changes)
//   editor, hidden    the same with the window hidden: no painting, so the
//                     difference to the row above is what painting costs
// Times are CPU seconds of the main thread (painting happens there too) and
// wall seconds: medians of five runs, and the best run, which is what the
// work costs when no other process competes for memory and the processor.
// Target: the editor within 1.5 times the engine alone.
#include "BenchClock.h"
#include "EditorScene.h"
#include "KvClippingTool.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using photo_scene::Height;
using photo_scene::Width;
constexpr int Runs = 5;

struct TTimes {
    double Cpu = 0;
    double Wall = 0;
};

TTimes Measure(const std::function<void()>& work)
{
    QElapsedTimer wall;
    wall.start();
    const double start = ThreadCpuNow();
    work();
    return {ThreadCpuNow() - start, double(wall.nsecsElapsed()) * 1e-9};
}

struct TSummary {
    TTimes Median;
    TTimes Best;
};

TSummary Summarize(const std::vector<TTimes>& times)
{
    std::vector<double> cpu;
    std::vector<double> wall;
    for (const TTimes& t : times) {
        cpu.push_back(t.Cpu);
        wall.push_back(t.Wall);
    }
    std::sort(cpu.begin(), cpu.end());
    std::sort(wall.begin(), wall.end());
    return {{cpu[cpu.size() / 2], wall[wall.size() / 2]}, {cpu.front(), wall.front()}};
}

// Counts the paint events of a widget.
class TPaintCounter : public QObject {
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        Paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The engine on its own: the band painted on a fresh copy, then Separate.
TTimes EngineAlone(const TKvPixels& original, const TKvPixelMask& band, int& generations)
{
    TKvPixelBuffer picture;
    picture.SetFormat(PixelFormatBGR24, original.GetBounds());
    picture.Assign(original);
    TMarkedRegion region;
    SetClippingLabelEffects(region);
    region.AttachImage(&picture);
    PaintBand(region, band.GetBounds(), band, LabelBand);
    generations = 0;
    return Measure([&] {
        TSeparation separation(region);
        separation.StartGrowCut();
        TDirtyTiles dirty;
        dirty.SetSize(Width, Height);
        while (separation.Step(dirty) > 0) {
            ++generations;
            dirty.Clear();
        }
        separation.Finish();
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication qtApplication(argc, argv);
    TEditorScene scene;
    if (!scene.Document)
        return 1;
    TKvGraphicsEditor* graphicsEditor = scene.Module->GraphicsEditor;
    TKvClippingTool* clippingTool = scene.Module->ClippingTool;
    TMainForm* mainForm = scene.Module->MainForm;
    const TKvPixelBuffer& original = scene.Original;
    const TKvPixelMask& band = scene.Band;
    TKvGraphicsView* view = graphicsEditor->ActiveView();
    TPaintCounter counter;
    view->installEventFilter(&counter);
    QApplication::processEvents();
    std::printf("picture %d x %d, band 40 pixels wide; view %d x %d at %d:%d\n", Width, Height, view->width(),
                view->height(), view->MapMode().DeviceExtent.x(), view->MapMode().LogicalExtent.x());

    std::vector<TTimes> engine;
    int generations = 0;
    for (int run = 0; run < Runs; ++run)
        engine.push_back(EngineAlone(original, band, generations));

    // Painted and hidden runs take turns, so that both meet the same state
    // of the machine.
    std::vector<TTimes> paintedTimes;
    std::vector<TTimes> hiddenTimes;
    int paints = 0;
    int hiddenPaints = 0;
    const auto separateOnce = [&](std::vector<TTimes>& times, int& paintCount) {
        scene.PaintBandInTool();
        // The screen shows the band before Separate is pressed.
        QApplication::processEvents();
        counter.Paints = 0;
        times.push_back(Measure([&] { clippingTool->Separate(); }));
        paintCount += counter.Paints;
        if (!clippingTool->Region().HasLabel(LabelCutLine))
            std::fprintf(stderr, "Separate found no cut\n");
        // Back to the band for the next run.
        graphicsEditor->Undo();
    };
    for (int run = 0; run < Runs; ++run) {
        mainForm->show();
        separateOnce(paintedTimes, paints);
        mainForm->hide();
        separateOnce(hiddenTimes, hiddenPaints);
    }
    paints /= Runs;
    const TSummary editor = Summarize(paintedTimes);
    const TSummary hidden = Summarize(hiddenTimes);

    const TSummary alone = Summarize(engine);
    const auto row = [](const char* name, const TSummary& s) {
        std::printf("  %-40s %7.3f %7.3f %7.3f\n", name, s.Median.Cpu, s.Best.Cpu, s.Median.Wall);
    };
    std::printf("Separate, %d generations (%d runs)          CPU s  median    best  wall s\n", generations, Runs);
    row("engine alone", alone);
    char painted[64];
    std::snprintf(painted, sizeof painted, "editor, painted as it grows (%d paints)", paints);
    row(painted, editor);
    char unpainted[64];
    std::snprintf(unpainted, sizeof unpainted, "editor, hidden (%d paints)", hiddenPaints);
    row(unpainted, hidden);
    std::printf("  %-40s %7.2f %7.2f %7.2f   (target <= 1.5)\n", "ratio editor / engine alone",
                editor.Median.Cpu / alone.Median.Cpu, editor.Best.Cpu / alone.Best.Cpu,
                editor.Median.Wall / alone.Median.Wall);

    return 0;
}
