// Drags of the real mouse (xdotool) over a graphics view on an X server, in
// picture coordinates: a straight drag between two points, and the band
// round the coffee cup of the bundled photograph (Demo/coffee.png, 600 x
// 400) that the clipping tool cuts it out with. Header-only: it needs the
// user-interface layer, which the support library does not link.
#pragma once

#include "KvGraphicsView.h"
#include "ScreenDriver.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

// A drag of the left button from one picture point to another, in ten steps.
inline bool DragOnPicture(TKvGraphicsView* view, QPoint from, QPoint to)
{
    const QPoint a = view->mapToGlobal(view->ImageToClient(from));
    const QPoint b = view->mapToGlobal(view->ImageToClient(to));
    std::vector<QPoint> points;
    for (int step = 0; step <= 10; ++step)
        points.push_back(a + (b - a) * step / 10);
    return DragThrough(points);
}

// Round the cup and its saucer in the coffee photograph, clockwise from the
// saucer's left end: its rim, over the cup's top with the spoon's handle,
// and back along the rim. The band is dragged through these points.
inline const QPointF CoffeeCupOutline[] = {
    {77, 220},  {82, 180},  {97, 138},  {125, 102}, {160, 78},  {180, 52},  {205, 34},  {245, 21},
    {290, 17},  {337, 22},  {376, 38},  {402, 58},  {423, 66},  {428, 100}, {452, 140}, {472, 180},
    {480, 220}, {473, 268}, {452, 312}, {420, 348}, {372, 377}, {300, 391}, {230, 385}, {168, 360},
    {118, 320}, {88, 272},  {77, 220},
};
// A point inside the cup and one on the table.
constexpr QPoint InTheCup{290, 150};
constexpr QPoint OnTheTable{8, 380};
// The brush the band is painted with.
constexpr int CoffeeCupBrushSize = 24;

// The band: the left button held down along the cup's outline, a dab every
// few pixels.
inline bool DragRoundTheCoffeeCup(TKvGraphicsView* view)
{
    std::vector<QPoint> points;
    const auto moveTo = [&](const QPointF& p) {
        const QPoint picture(int(std::lround(p.x())), int(std::lround(p.y())));
        points.push_back(view->mapToGlobal(view->ImageToClient(picture)));
    };
    moveTo(CoffeeCupOutline[0]);
    for (std::size_t i = 1; i < std::size(CoffeeCupOutline); ++i) {
        const QPointF from = CoffeeCupOutline[i - 1];
        const QPointF to = CoffeeCupOutline[i];
        const int steps = std::max(1, int(std::hypot(to.x() - from.x(), to.y() - from.y()) / 4));
        for (int step = 1; step <= steps; ++step)
            moveTo(from + (to - from) * (double(step) / steps));
    }
    return DragThrough(points);
}
