// A clipping tool over a graphics view of a picture of its own: a disc of
// one colour on a background of another, or any picture given, with the
// mouse driven over the view to paint bands. Header-only: it needs the
// user-interface layer, which the support library does not link.
#pragma once

#include "GraphicsViewFixture.h"
#include "KvClippingTool.h"
#include "ViewMouse.h"

#include <QToolButton>

#include <cmath>
#include <memory>
#include <vector>

// The test picture: an orange disc on a blue background.
constexpr TColorTriple DiscColor{30, 140, 230};
constexpr TColorTriple GroundColor{200, 90, 40};

class ClippingFixture : public GraphicsViewFixture {
public:
    // A picture of width x height; the disc has its centre at (cx, cy) and
    // the radius, none for a radius of 0.
    ClippingFixture(int width = 120, int height = 100, double cx = 60, double cy = 50, double radius = 25)
        : GraphicsViewFixture(width, height, QSize(width + 40, height + 40))
    {
        FillPicture([=](int x, int y) { return std::hypot(x - cx, y - cy) <= radius ? DiscColor : GroundColor; });
        tool = std::make_unique<TKvClippingTool>(&tools);
        static_cast<TestGraphicsEditor&>(editor).Tools.push_back(tool.get());
        tool->CreateControl(view);
        tool->DocumentOpened(document);
        tools.SetActiveTool(tool.get());
        // Undo and redo happen with the clipping tool as the tool that was
        // current, as in the editor, unless a test says otherwise.
        tools.Previous = tool.get();
        tool->UpdateControls();
    }
    ~ClippingFixture() { static_cast<TestGraphicsEditor&>(editor).Tools.clear(); }

    // A closed ring of dabs round the centre.
    void PaintRing(double cx, double cy, double radius, int brushSize)
    {
        tool->SetSize(brushSize);
        Drag(view, RingPoints(cx, cy, radius, 90));
    }

    // A straight line of dabs a pixel apart.
    void PaintLine(QPointF from, QPointF to, int brushSize, Qt::MouseButton button = Qt::LeftButton)
    {
        tool->SetSize(brushSize);
        const int steps = std::max(1, int(std::hypot(to.x() - from.x(), to.y() - from.y())));
        std::vector<QPointF> points;
        for (int i = 0; i <= steps; ++i)
            points.push_back(from + (to - from) * (double(i) / steps));
        Drag(view, points, button);
    }

    // A click on one of the panel's buttons as the user makes it: the idle
    // update first decides whether the button is enabled.
    void Click(QAbstractButton* button)
    {
        tool->UpdateControls();
        button->click();
        tool->UpdateControls();
    }

    TKvClippingFrame* Frame() const { return tool->ClippingFrame(); }
    TMarkedRegion& Region() const { return tool->Region(); }
    const std::uint8_t* Pixel(int x, int y) const { return document->Image().Pixels().PixelAt(x, y); }
    TColorTriple ColorAt(int x, int y) const { return {Pixel(x, y)[0], Pixel(x, y)[1], Pixel(x, y)[2]}; }

    std::unique_ptr<TKvClippingTool> tool;
};
