#include "KvCurves.h"

#include "ParallelRows.h"

#include <algorithm>
#include <cmath>
#include <limits>

void TKvCurveSegment::SetP1(const TPointF& point)
{
    m_p1 = point;
    Recalculate();
}

void TKvCurveSegment::SetP2(const TPointF& point)
{
    m_p2 = point;
    Recalculate();
}

TKvLineSegment::TKvLineSegment()
    : m_slope(std::numeric_limits<double>::infinity()), m_intercept(-std::numeric_limits<double>::infinity())
{
}

void TKvLineSegment::Recalculate()
{
    const double run = P2().X - P1().X;
    if (run != 0) {
        m_slope = (P2().Y - P1().Y) / run;
        m_intercept = P1().Y - m_slope * P1().X;
    } else {
        m_slope = std::numeric_limits<double>::infinity();
        m_intercept = -std::numeric_limits<double>::infinity();
    }
}

void TKvLineSegment::FillLUT(int maximum, TKvLUT& table, double end, double start) const
{
    if (!std::isfinite(m_slope) || !std::isfinite(m_intercept))
        return;
    // Only entries the table has: a range beyond it must not write past it.
    const double first = std::max(std::ceil(start), 0.0);
    const double last = std::min(end, double(table.size()) - 1);
    for (double x = first; x <= last; ++x) {
        const double v = x * m_slope + m_intercept;
        const double entry = v > maximum ? maximum : v < 0 ? 0 : std::nearbyint(v);
        table[std::size_t(x)] = std::uint16_t(entry);
    }
}

std::int32_t BuildLUT(std::span<const TPoint> points, int maximum, TKvLUT& table)
{
    table.clear();
    if (points.size() != 2 || maximum < 0 || maximum > std::numeric_limits<std::uint16_t>::max())
        return LutFailed;
    TKvLineSegment line;
    line.SetP1(ToPointF(points[0]));
    line.SetP2(ToPointF(points[1]));
    table.assign(std::size_t(maximum) + 1, 0);
    line.FillLUT(maximum, table, maximum, 0);
    return LutSucceeded;
}

std::array<TPoint, 2> BrightnessContrastPoints(int brightness, int contrast)
{
    const int b = std::clamp(brightness, MinToneValue, MaxToneValue);
    const int c = std::clamp(contrast, MinToneValue, MaxToneValue);
    if (c >= 0)
        return {TPoint{c - b, 0}, TPoint{255 - b - c, 255}};
    return {TPoint{-b, -c}, TPoint{255 - b, 255 + c}};
}

TKvLUT BrightnessContrastTable(int brightness, int contrast)
{
    const std::array<TPoint, 2> points = BrightnessContrastPoints(brightness, contrast);
    TKvLUT table;
    BuildLUT(points, 255, table);
    return table;
}

void ApplyLUT(const TKvPixels& from, TKvPixels& to, const TKvLUT& table)
{
    if (from.Format != PixelFormatBGR24 || to.Format != PixelFormatBGR24 || !from.Data || !to.Data)
        return;
    const TRect area = IntersectRect(from.GetBounds(), to.GetBounds());
    if (area.IsEmpty())
        return;
    std::array<std::uint8_t, 256> bytes{};
    for (std::size_t i = 0; i < bytes.size() && i < table.size(); ++i)
        bytes[i] = std::uint8_t(table[i] & 0xFF);
    const std::size_t rowBytes = std::size_t(area.Width()) * 3;
    ForEachRowBand(area.Height(), (long long)area.Width() * area.Height(), [&](int y0, int y1) {
        for (int y = area.Top + y0; y < area.Top + y1; ++y) {
            const std::uint8_t* source = from.PixelAt(area.Left, y);
            std::uint8_t* target = to.PixelAt(area.Left, y);
            for (std::size_t i = 0; i < rowBytes; ++i)
                target[i] = bytes[source[i]];
        }
    });
}
