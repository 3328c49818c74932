#include "PasteRender.h"

#include "ParallelRows.h"
#include "RectToRect.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

namespace {

// ---------------------------------------------------------------------------
// The filters' weights, one function per filter so that the sampling loops
// are compiled for each (no dispatch per sample).

template <int Filter>
double Weight(double d);

template <>
double Weight<pfTriangle>(double d)
{
    return d < 1 ? 1 - d : 0;
}

template <>
double Weight<pfHermite>(double d)
{
    return d < 1 ? (2 * d - 3) * d * d + 1 : 0;
}

template <>
double Weight<pfBell>(double d)
{
    if (d < 0.5)
        return 0.75 - d * d;
    if (d < 1.5)
        return 0.5 * (d - 1.5) * (d - 1.5);
    return 0;
}

template <>
double Weight<pfBSpline>(double d)
{
    if (d < 1)
        return d * d * d / 2 - d * d + 2.0 / 3;
    if (d < 2)
        return (2 - d) * (2 - d) * (2 - d) / 6;
    return 0;
}

template <>
double Weight<pfMitchell>(double d)
{
    if (d < 1)
        return 7.0 / 6 * d * d * d - 2 * d * d + 8.0 / 9;
    if (d < 2)
        return -7.0 / 18 * d * d * d + 2 * d * d - 10.0 / 3 * d + 16.0 / 9;
    return 0;
}

template <>
double Weight<pfLanczos3>(double d)
{
    if (d == 0)
        return 1;
    if (d < 3) {
        const double pd = std::numbers::pi * d;
        return std::sin(pd) * std::sin(pd / 3) / (pd * pd / 3);
    }
    return 0;
}

constexpr double FilterRadius[PasteFilterCount] = {0, 1, 1, 1.5, 2, 2, 3};
constexpr const char* FilterName[PasteFilterCount] = {"No (quickest)", "Triangle (quick)", "Hermite", "Bell",
                                                      "B-Spline",      "Mitchell",         "Lanczos3 (slow)"};

// Below this total weight a sample has no neighbours that count.
constexpr double MinWeightSum = 0.0001;

// The sums of one sample: every colour weighted by its kernel weight and
// its matte, the matte weighted by the kernel, and the kernel weights.
struct TSampleSums {
    double Blue = 0;
    double Green = 0;
    double Red = 0;
    double Alpha = 0;
    double Weight = 0;

    void Add(const TBGRWithAlpha& object, int i, int j, double w)
    {
        Weight += w;
        const std::uint8_t matte = object.GetAlpha(i, j);
        if (matte == 0)
            return;
        const double weighted = w * matte / 255.0;
        Alpha += weighted;
        const std::uint8_t* color = object.Colors().PixelAt(i, j);
        Blue += weighted * color[0];
        Green += weighted * color[1];
        Red += weighted * color[2];
    }

    // The weighted colour over the background by the weighted matte.  With
    // no opaque sample the result is exactly the background.
    TColorTriple Over(TColorTriple background) const
    {
        if (Weight <= MinWeightSum || Alpha == 0)
            return background;
        const double keep = 1 - Alpha / Weight;
        return {ClampToByte(Blue / Weight + background.Blue * keep),
                ClampToByte(Green / Weight + background.Green * keep),
                ClampToByte(Red / Weight + background.Red * keep)};
    }
};

// Whether (x, y) lies so far outside the object that no sample within
// radius reaches it (also keeps the integer conversions below in range).
bool OutOfReach(const TBGRWithAlpha& object, double radius, double x, double y)
{
    return !(x > -radius - 1 && y > -radius - 1 && x < object.Width() + radius && y < object.Height() + radius);
}

TColorTriple SampleNearest(const TBGRWithAlpha& object, TColorTriple background, double x, double y)
{
    if (OutOfReach(object, 1, x, y))
        return background;
    const int i = int(std::nearbyint(x)); // halves to even
    const int j = int(std::nearbyint(y));
    if (i < 0 || j < 0 || i >= object.Width() || j >= object.Height() || object.GetAlpha(i, j) < 128)
        return background;
    return object.GetColor(i, j);
}

// Every source pixel within the filter's radius, the kernel radial.
template <int Filter>
TColorTriple SampleFiltered(const TBGRWithAlpha& object, TColorTriple background, double x, double y)
{
    constexpr double radius = FilterRadius[Filter];
    if (OutOfReach(object, radius, x, y))
        return background;
    const int i0 = std::max(0, int(std::floor(x - radius)));
    const int i1 = std::min(object.Width() - 1, int(std::ceil(x + radius)));
    const int j0 = std::max(0, int(std::floor(y - radius)));
    const int j1 = std::min(object.Height() - 1, int(std::ceil(y + radius)));
    TSampleSums sums;
    for (int i = i0; i <= i1; ++i) {
        const double dx = x - i;
        for (int j = j0; j <= j1; ++j) {
            const double dy = y - j;
            const double d2 = dx * dx + dy * dy;
            if (d2 >= radius * radius)
                continue; // every weight is 0 there
            sums.Add(object, i, j, Weight<Filter>(std::sqrt(d2)));
        }
    }
    return sums.Over(background);
}

template <int Filter>
TColorTriple SampleWith(const TBGRWithAlpha& object, TColorTriple background, double x, double y)
{
    if constexpr (Filter == pfNearest)
        return SampleNearest(object, background, x, y);
    else
        return SampleFiltered<Filter>(object, background, x, y);
}

TColorTriple PixelColor(const std::uint8_t* pixel)
{
    return {pixel[0], pixel[1], pixel[2]};
}

void SetPixelColor(std::uint8_t* pixel, TColorTriple color)
{
    pixel[0] = color.Blue;
    pixel[1] = color.Green;
    pixel[2] = color.Red;
}

// The mirroring applied to a mapped position.
struct TMirror {
    bool FlipX;
    bool FlipY;
    double LastX; // the object's last column and row
    double LastY;

    TMirror(const TBGRWithAlpha& object, bool flipX, bool flipY)
        : FlipX(flipX), FlipY(flipY), LastX(object.Width() - 1), LastY(object.Height() - 1)
    {
    }
    TPointF operator()(TPointF p) const { return {FlipX ? LastX - p.X : p.X, FlipY ? LastY - p.Y : p.Y}; }
};

// Rows y0 .. y1 - 1 of area; returns the bounding rectangle of the pixels
// that changed.
template <int Filter>
TRect RenderRows(TKvPixels& picture, const TBGRWithAlpha& object, const TPasteMapping& mapping, const TMirror& mirror,
                 const TRect& area, int y0, int y1)
{
    TRect changed;
    for (int y = y0; y < y1; ++y) {
        int first = area.Right;
        int last = area.Left - 1;
        std::uint8_t* pixel = picture.PixelAt(area.Left, y);
        for (int x = area.Left; x < area.Right; ++x, pixel += 3) {
            const TPointF source = mirror(mapping.MapPoint(x, y));
            const TColorTriple background = PixelColor(pixel);
            const TColorTriple color = SampleWith<Filter>(object, background, source.X, source.Y);
            if (color == background)
                continue;
            SetPixelColor(pixel, color);
            first = std::min(first, x);
            last = x;
        }
        if (last >= first)
            changed = UnionRect(changed, {first, y, last + 1, y + 1});
    }
    return changed;
}

using TRowRenderer = TRect (*)(TKvPixels&, const TBGRWithAlpha&, const TPasteMapping&, const TMirror&, const TRect&,
                               int, int);
constexpr TRowRenderer RowRenderers[PasteFilterCount] = {
    RenderRows<pfNearest>, RenderRows<pfTriangle>, RenderRows<pfHermite>,  RenderRows<pfBell>,
    RenderRows<pfBSpline>, RenderRows<pfMitchell>, RenderRows<pfLanczos3>,
};

using TSampleFunction = TColorTriple (*)(const TBGRWithAlpha&, TColorTriple, double, double);
constexpr TSampleFunction SampleFunctions[PasteFilterCount] = {
    SampleWith<pfNearest>, SampleWith<pfTriangle>, SampleWith<pfHermite>,  SampleWith<pfBell>,
    SampleWith<pfBSpline>, SampleWith<pfMitchell>, SampleWith<pfLanczos3>,
};

bool ValidFilter(int filter)
{
    return filter >= 0 && filter < PasteFilterCount;
}

} // namespace

const char* PasteFilterName(int filter)
{
    return ValidFilter(filter) ? FilterName[filter] : "";
}

double PasteFilterRadius(int filter)
{
    return ValidFilter(filter) ? FilterRadius[filter] : 0;
}

double PasteFilterWeight(int filter, double d)
{
    switch (filter) {
    case pfNearest: return d == 0 ? 1 : 0;
    case pfTriangle: return Weight<pfTriangle>(d);
    case pfHermite: return Weight<pfHermite>(d);
    case pfBell: return Weight<pfBell>(d);
    case pfBSpline: return Weight<pfBSpline>(d);
    case pfMitchell: return Weight<pfMitchell>(d);
    case pfLanczos3: return Weight<pfLanczos3>(d);
    default: return 0;
    }
}

int NormalizedRotation(long long degrees)
{
    return int((degrees % 360 + 360) % 360);
}

int SamplingAngle(const TPastePlacement& placement)
{
    const int rotation = NormalizedRotation(placement.Rotation);
    return placement.FlipX == placement.FlipY ? rotation : NormalizedRotation(360 - rotation);
}

TPasteMapping::TPasteMapping(const TBGRWithAlpha& object, const TPastePlacement& placement)
    : m_left(placement.Rect.Left), m_top(placement.Rect.Top)
{
    const TRectToRotatedRect mapping(object.Bounds(), SamplingAngle(placement), false, placement.Rect);
    m_origin = mapping.MapPoint(m_left, m_top);
    const TPointF right = mapping.MapPoint(m_left + 1.0, m_top);
    const TPointF down = mapping.MapPoint(m_left, m_top + 1.0);
    m_stepX = {right.X - m_origin.X, right.Y - m_origin.Y};
    m_stepY = {down.X - m_origin.X, down.Y - m_origin.Y};
}

TPasteSampler::TPasteSampler(const TBGRWithAlpha& object, int filter, bool flipX, bool flipY)
    : m_object(object), m_filter(ValidFilter(filter) ? filter : pfNearest), m_flipX(flipX), m_flipY(flipY)
{
}

TColorTriple TPasteSampler::Sample(TColorTriple background, double x, double y) const
{
    if (m_object.IsEmpty())
        return background;
    const TPointF p = TMirror(m_object, m_flipX, m_flipY)({x, y});
    return SampleFunctions[m_filter](m_object, background, p.X, p.Y);
}

TRect RenderPaste(TKvPixels& picture, const TBGRWithAlpha& object, const TPastePlacement& placement, int filter)
{
    const TRect area = IntersectRect(placement.Rect, picture.GetBounds());
    if (area.IsEmpty() || object.IsEmpty() || !ValidFilter(filter) || picture.BytesPerPixel != 3)
        return {};
    const TPasteMapping mapping(object, placement);
    const TMirror mirror(object, placement.FlipX, placement.FlipY);
    const TRowRenderer render = RowRenderers[filter];
    TRect changed;
    std::mutex changedLock;
    ForEachRowBand(area.Height(), (long long)area.Width() * area.Height(), [&](int y0, int y1) {
        const TRect band = render(picture, object, mapping, mirror, area, area.Top + y0, area.Top + y1);
        const std::lock_guard<std::mutex> lock(changedLock);
        changed = UnionRect(changed, band);
    });
    return changed;
}

void RenderPastePreview(TKvPixels& canvas, const TViewPixels& view, const TRect& pictureBounds,
                        const TBGRWithAlpha& object, const TPastePlacement& placement)
{
    const TRect area = IntersectRect(placement.Rect, pictureBounds);
    const TRect clip = IntersectRect(view.Clip, canvas.GetBounds());
    if (area.IsEmpty() || clip.IsEmpty() || object.IsEmpty() || canvas.BytesPerPixel != 3)
        return;
    const TPasteMapping mapping(object, placement);
    const TMirror mirror(object, placement.FlipX, placement.FlipY);
    for (int y = clip.Top; y < clip.Bottom; ++y) {
        const int pictureY = view.PictureY[std::size_t(y - view.Clip.Top)];
        if (pictureY < area.Top || pictureY >= area.Bottom)
            continue;
        std::uint8_t* pixel = canvas.PixelAt(clip.Left, y);
        for (int x = clip.Left; x < clip.Right; ++x, pixel += 3) {
            const int pictureX = view.PictureX[std::size_t(x - view.Clip.Left)];
            if (pictureX < area.Left || pictureX >= area.Right)
                continue;
            const TPointF source = mirror(mapping.MapPoint(pictureX, pictureY));
            SetPixelColor(pixel, SampleNearest(object, PixelColor(pixel), source.X, source.Y));
        }
    }
}
