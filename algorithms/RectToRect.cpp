#include "RectToRect.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

// Source pixels per destination pixel along one axis: the span between the
// first and last pixel of each.  A destination of one pixel has no span: a
// longer source then needs an unbounded scale, a one-pixel source none.
double AxisScale(int sourceSize, int destinationSize)
{
    const int sourceSpan = sourceSize - 1;
    const int destinationSpan = destinationSize - 1;
    if (destinationSpan > 0)
        return double(sourceSpan) / destinationSpan;
    return sourceSpan > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// Spare destination pixels along an axis once the other axis fixed the scale.
int SparePixels(int sourceSize, int destinationSize, double scale)
{
    if (std::isinf(scale))
        return std::max(destinationSize - 1, 0); // the source shrinks to one pixel
    if (scale == 0)
        return 0; // a one-pixel source fills whatever it is given
    return int(std::nearbyint((destinationSize - 1) - (sourceSize - 1) / scale));
}

} // namespace

TRectToRect::TRectToRect(const TRect& source, bool keepAspect, const TRect& destination)
    : m_sourceLeft(source.Left)
    , m_sourceTop(source.Top)
    , m_placed(destination)
{
    if (keepAspect)
        KeepAspect(source);
    ComputeScales(source);
}

void TRectToRect::KeepAspect(const TRect& source)
{
    const double scaleX = AxisScale(source.Width(), m_placed.Width());
    const double scaleY = AxisScale(source.Height(), m_placed.Height());
    if (scaleX > scaleY) {
        const int spare = SparePixels(source.Height(), m_placed.Height(), scaleX);
        m_placed.Top += spare / 2;
        m_placed.Bottom -= spare - spare / 2;
    } else {
        const int spare = SparePixels(source.Width(), m_placed.Width(), scaleY);
        m_placed.Left += spare / 2;
        m_placed.Right -= spare - spare / 2;
    }
}

void TRectToRect::ComputeScales(const TRect& source)
{
    // A destination axis of one pixel shows the source's first pixel.
    const auto finite = [](double scale) { return std::isinf(scale) ? 0.0 : scale; };
    m_scaleX = finite(AxisScale(source.Width(), m_placed.Width()));
    m_scaleY = finite(AxisScale(source.Height(), m_placed.Height()));
}

TPointF TRectToRect::MapPoint(double x, double y) const
{
    return {(x - m_placed.Left) * m_scaleX + m_sourceLeft, (y - m_placed.Top) * m_scaleY + m_sourceTop};
}

TPoint TRectToRect::MapPointRounded(double x, double y) const
{
    const TPointF p = MapPoint(x, y);
    return {int(std::nearbyint(p.X)), int(std::nearbyint(p.Y))};
}

TRectToRotatedRect::TRectToRotatedRect(const TRect& source, double angleDegrees, bool keepAspect,
                                       const TRect& destination)
    : TRectToRect(source, keepAspect, destination)
    , m_cos(std::cos(angleDegrees * std::numbers::pi / 180))
    , m_sin(std::sin(angleDegrees * std::numbers::pi / 180))
    , m_centre{source.Left + (source.Width() - 1) / 2.0, source.Top + (source.Height() - 1) / 2.0}
{
}

TPointF TRectToRotatedRect::MapPoint(double x, double y) const
{
    const TPointF p = TRectToRect::MapPoint(x, y);
    const double dx = p.X - m_centre.X;
    const double dy = p.Y - m_centre.Y;
    // Turned by minus the angle: sampling the source turned back shows it
    // turned clockwise on screen.
    return {m_centre.X + m_cos * dx + m_sin * dy, m_centre.Y - m_sin * dx + m_cos * dy};
}
