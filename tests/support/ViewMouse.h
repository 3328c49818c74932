// The mouse over a graphics view as the user moves it, in picture
// coordinates: drags through points and the points of a ring. Header-only:
// it needs the user-interface layer, which the support library does not link.
#pragma once

#include "KvGraphicsView.h"

#include <QPointF>
#include <QTest>

#include <cmath>
#include <numbers>
#include <vector>

// The view's client point that shows the picture point, rounded to the
// nearest pixel.
inline QPoint ClientPoint(const TKvGraphicsView* view, const QPointF& picture)
{
    return view->ImageToClient(QPoint(int(std::lround(picture.x())), int(std::lround(picture.y()))));
}

// A drag with the button held: to the first point, pressed there, moved
// through the others and released at the last.
inline void Drag(TKvGraphicsView* view, const std::vector<QPointF>& points, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseMove(view, ClientPoint(view, points.front()));
    QTest::mousePress(view, button, {}, ClientPoint(view, points.front()));
    for (std::size_t i = 1; i < points.size(); ++i)
        QTest::mouseMove(view, ClientPoint(view, points[i]));
    QTest::mouseRelease(view, button, {}, ClientPoint(view, points.back()));
}

// steps + 1 points evenly round a circle, the last where the first is.
inline std::vector<QPointF> RingPoints(double cx, double cy, double radius, int steps)
{
    std::vector<QPointF> points;
    for (int step = 0; step <= steps; ++step) {
        const double angle = step * 2 * std::numbers::pi / steps;
        points.emplace_back(cx + radius * std::cos(angle), cy + radius * std::sin(angle));
    }
    return points;
}
