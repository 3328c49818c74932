// The zooms of the graphics editor: a zoom as a fraction, the steps Zoom In
// and Zoom Out go through, the zoom that fits a picture into a view, and a
// view's zoom read and set with the picture point in the middle of the view
// kept where it is. The graphics editor's zoom commands use them.
#pragma once

#include <QSize>

#include <array>

class TKvGraphicsView;

// A zoom: device pixels per picture pixel, Numerator : Denominator.
struct TKvZoom {
    int Numerator;
    int Denominator;

    // The zoom in thousandths, as zooms are compared.
    int Thousandths() const;
    friend constexpr bool operator==(const TKvZoom&, const TKvZoom&) = default;
};

// The zooms Zoom In and Zoom Out step through.
inline constexpr std::array<TKvZoom, 21> ZoomSteps{{{1, 16}, {1, 12}, {1, 8}, {1, 7}, {1, 6}, {1, 5}, {1, 4},
                                                    {1, 3},  {1, 2},  {3, 4}, {1, 1}, {3, 2}, {2, 1}, {3, 1},
                                                    {4, 1},  {5, 1},  {6, 1}, {7, 1}, {8, 1}, {12, 1}, {16, 1}}};

// The zoom after the current one (in thousandths) going in and out.
TKvZoom NextZoomIn(int currentThousandths);
TKvZoom NextZoomOut(int currentThousandths);
// The zoom that fits a picture into a view of the given outer size: the
// side that limits decides.
TKvZoom BestFitZoom(QSize picture, QSize view);

TKvZoom ViewZoom(const TKvGraphicsView& view);
// Sets the view's zoom keeping the picture point in the middle of the view
// where it is, and lets the view follow the pointer.
void SetViewZoom(TKvGraphicsView& view, TKvZoom zoom);
