#include "PasteRender.h"

#include "ParallelRows.h"
#include "RectToRect.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// ---------------------------------------------------------------------------
// The filters' weights, one function per filter so that the sampling loops
// are compiled for each (no dispatch per sample).

template <int Filter>
double Weight(double d);

// The weights of the filters of radius 1 inside it; both are 0 at d = 1.
template <int Filter>
double WithinOne(double d);

template <>
double WithinOne<pfTriangle>(double d)
{
    return 1 - d;
}

template <>
double WithinOne<pfHermite>(double d)
{
    return (2 * d - 3) * d * d + 1;
}

template <>
double Weight<pfTriangle>(double d)
{
    return d < 1 ? WithinOne<pfTriangle>(d) : 0;
}

template <>
double Weight<pfHermite>(double d)
{
    return d < 1 ? WithinOne<pfHermite>(d) : 0;
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

// Rounded to the nearest integer, halves to even (the processor's default
// rounding), for values well inside the int range; no library call.
int RoundInt(double v)
{
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(v));
#else
    return int(std::nearbyint(v));
#endif
}

// Clamped to 0..255 and rounded, halves to even.
std::uint8_t RoundByte(double v)
{
    return std::uint8_t(RoundInt(std::clamp(v, 0.0, 255.0)));
}

// Matte values as fractions of full opacity.
struct TMatteFractions {
    double Of[256];
    constexpr TMatteFractions() : Of()
    {
        for (int m = 0; m < 256; ++m)
            Of[m] = m / 255.0;
    }
};
constexpr TMatteFractions MatteFractions;

// The sums of one sample: every colour weighted by its kernel weight and
// its matte, the matte weighted by the kernel, and the kernel weights.
struct TSampleSums {
    double Blue = 0;
    double Green = 0;
    double Red = 0;
    double Alpha = 0;
    double Weight = 0;

    template <class TAccess>
    void Add(const TAccess& object, int i, int j, double w)
    {
        Weight += w;
        const std::uint8_t matte = object.Alpha(i, j);
        if (matte == 0)
            return;
        const double weighted = w * MatteFractions.Of[matte];
        Alpha += weighted;
        const std::uint8_t* color = object.Color(i, j);
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
        const double scale = 1 / Weight;
        const double keep = 1 - Alpha * scale;
        return {RoundByte(Blue * scale + background.Blue * keep), RoundByte(Green * scale + background.Green * keep),
                RoundByte(Red * scale + background.Red * keep)};
    }
};

// The object's pixels as the samplers read them.
class TObjectAccess {
public:
    explicit TObjectAccess(const TBGRWithAlpha& object) : m_object(object) {}
    int Width() const { return m_object.Width(); }
    int Height() const { return m_object.Height(); }
    std::uint8_t Alpha(int i, int j) const { return m_object.GetAlpha(i, j); }
    // Blue, green, red.
    const std::uint8_t* Color(int i, int j) const { return m_object.Colors().PixelAt(i, j); }

private:
    const TBGRWithAlpha& m_object;
};

// Whether (x, y) lies so far outside the object that no sample within
// radius reaches it (also keeps the integer conversions below in range).
template <class TAccess>
bool OutOfReach(const TAccess& object, double radius, double x, double y)
{
    return !(x > -radius - 1 && y > -radius - 1 && x < object.Width() + radius && y < object.Height() + radius);
}

// floor and ceil of values well inside the int range, without a library call.
int FloorInt(double v)
{
    const int i = int(v);
    return i - (v < i);
}

int CeilInt(double v)
{
    const int i = int(v);
    return i + (v > i);
}

// The square root, without the library's error handling (never negative
// here).
double Root(double v)
{
#if defined(__SSE2__)
    return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(v)));
#else
    return std::sqrt(v);
#endif
}

// Whether the matte is 0 throughout columns i0 .. i1 and rows j0 .. j1.
template <class TAccess>
bool Transparent(const TAccess& object, int i0, int i1, int j0, int j1)
{
    for (int i = i0; i <= i1; ++i)
        for (int j = j0; j <= j1; ++j)
            if (object.Alpha(i, j) != 0)
                return false;
    return true;
}

template <class TAccess>
TColorTriple SampleNearest(const TAccess& object, TColorTriple background, double x, double y)
{
    if (OutOfReach(object, 1, x, y))
        return background;
    const int i = RoundInt(x); // halves to even
    const int j = RoundInt(y);
    if (i < 0 || j < 0 || i >= object.Width() || j >= object.Height() || object.Alpha(i, j) < 128)
        return background;
    const std::uint8_t* color = object.Color(i, j);
    return {color[0], color[1], color[2]};
}

// Every source pixel closer than the filter's radius (no other has a
// weight), the kernel radial.
template <int Filter, class TAccess>
TColorTriple SampleFiltered(const TAccess& object, TColorTriple background, double x, double y)
{
    constexpr double radius = FilterRadius[Filter];
    if (OutOfReach(object, radius, x, y))
        return background;
    const int i0 = std::max(0, FloorInt(x - radius) + 1);
    const int i1 = std::min(object.Width() - 1, CeilInt(x + radius) - 1);
    const int j0 = std::max(0, FloorInt(y - radius) + 1);
    const int j1 = std::min(object.Height() - 1, CeilInt(y + radius) - 1);
    if (Transparent(object, i0, i1, j0, j1))
        return background; // what the sums would give, without computing them
    TSampleSums sums;
    for (int i = i0; i <= i1; ++i) {
        const double dx = x - i;
        for (int j = j0; j <= j1; ++j) {
            const double dy = y - j;
            const double d2 = dx * dx + dy * dy;
            if (d2 >= radius * radius)
                continue; // every weight is 0 there
            sums.Add(object, i, j, Weight<Filter>(Root(d2)));
        }
    }
    return sums.Over(background);
}

// The filters of radius 1 reach the four pixels round (x, y) at most: the
// same sums as SampleFiltered, without a branch per tap (a tap outside the
// object or at a distance of 1 or more adds a weight of exactly 0).
template <int Filter, class TAccess>
TColorTriple SampleRadiusOne(const TAccess& object, TColorTriple background, double x, double y)
{
    if (OutOfReach(object, 1, x, y))
        return background;
    const int i0 = FloorInt(x);
    const int j0 = FloorInt(y);
    const double fx = x - i0;
    const double fy = y - j0;
    const double gx = 1 - fx;
    const double gy = 1 - fy;
    const int lastColumn = object.Width() - 1;
    const int lastRow = object.Height() - 1;
    // The taps (i0, j0), (i0, j0 + 1), (i0 + 1, j0), (i0 + 1, j0 + 1), read
    // at the nearest pixel inside the object.
    const int i1 = i0 + 1;
    const int j1 = j0 + 1;
    const int column0 = std::clamp(i0, 0, lastColumn);
    const int column1 = std::clamp(i1, 0, lastColumn);
    const int row0 = std::clamp(j0, 0, lastRow);
    const int row1 = std::clamp(j1, 0, lastRow);
    const int ti[4] = {column0, column0, column1, column1};
    const int tj[4] = {row0, row1, row0, row1};
    const bool inColumn0 = column0 == i0;
    const bool inColumn1 = column1 == i1;
    const bool inRow0 = row0 == j0;
    const bool inRow1 = row1 == j1;
    const double inside[4] = {double(inColumn0 && inRow0), double(inColumn0 && inRow1), double(inColumn1 && inRow0),
                              double(inColumn1 && inRow1)};
    std::uint8_t alpha[4];
    int opaque = 0;
    for (int k = 0; k < 4; ++k) {
        alpha[k] = object.Alpha(ti[k], tj[k]);
        opaque |= alpha[k] * int(inside[k]);
    }
    if (opaque == 0)
        return background; // what the sums would give, without computing them
    const double d2[4] = {fx * fx + fy * fy, fx * fx + gy * gy, gx * gx + fy * fy, gx * gx + gy * gy};
    TSampleSums sums;
    for (int k = 0; k < 4; ++k) {
        const double w = inside[k] * WithinOne<Filter>(Root(std::min(d2[k], 1.0)));
        const double weighted = w * MatteFractions.Of[alpha[k]];
        const std::uint8_t* color = object.Color(ti[k], tj[k]);
        sums.Weight += w;
        sums.Alpha += weighted;
        sums.Blue += weighted * color[0];
        sums.Green += weighted * color[1];
        sums.Red += weighted * color[2];
    }
    return sums.Over(background);
}

template <int Filter, class TAccess>
TColorTriple SampleWith(const TAccess& object, TColorTriple background, double x, double y)
{
    if constexpr (Filter == pfNearest)
        return SampleNearest(object, background, x, y);
    else if constexpr (FilterRadius[Filter] == 1)
        return SampleRadiusOne<Filter>(object, background, x, y);
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
// that changed.  The rows are done in tiles: a turned object is read along
// slanted lines, and a tile keeps the part of the object it reads small
// enough to stay in the caches.
template <int Filter, class TAccess>
TRect RenderRows(TKvPixels& picture, const TAccess& object, const TPasteMapping& mapping, const TMirror& mirror,
                 const TRect& area, int y0, int y1)
{
    constexpr int Tile = 64;
    int left = area.Right;
    int right = area.Left;
    int top = y1;
    int bottom = y0;
    for (int tileTop = y0; tileTop < y1; tileTop += Tile) {
        const int tileBottom = std::min(tileTop + Tile, y1);
        for (int tileLeft = area.Left; tileLeft < area.Right; tileLeft += Tile) {
            const int tileRight = std::min(tileLeft + Tile, area.Right);
            for (int y = tileTop; y < tileBottom; ++y) {
                std::uint8_t* pixel = picture.PixelAt(tileLeft, y);
                for (int x = tileLeft; x < tileRight; ++x, pixel += 3) {
                    const TPointF source = mirror(mapping.MapPoint(x, y));
                    const TColorTriple background = PixelColor(pixel);
                    const TColorTriple color = SampleWith<Filter>(object, background, source.X, source.Y);
                    if (color == background)
                        continue;
                    SetPixelColor(pixel, color);
                    left = std::min(left, x);
                    right = std::max(right, x + 1);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y + 1);
                }
            }
        }
    }
    return right > left ? TRect{left, top, right, bottom} : TRect{};
}

// The paste's rows with the filter, the object read through an access.
template <class TAccess>
TRect RenderRowsWith(int filter, TKvPixels& picture, const TAccess& object, const TPasteMapping& mapping,
                     const TMirror& mirror, const TRect& area, int y0, int y1)
{
    switch (filter) {
    case pfNearest: return RenderRows<pfNearest>(picture, object, mapping, mirror, area, y0, y1);
    case pfTriangle: return RenderRows<pfTriangle>(picture, object, mapping, mirror, area, y0, y1);
    case pfHermite: return RenderRows<pfHermite>(picture, object, mapping, mirror, area, y0, y1);
    case pfBell: return RenderRows<pfBell>(picture, object, mapping, mirror, area, y0, y1);
    case pfBSpline: return RenderRows<pfBSpline>(picture, object, mapping, mirror, area, y0, y1);
    case pfMitchell: return RenderRows<pfMitchell>(picture, object, mapping, mirror, area, y0, y1);
    default: return RenderRows<pfLanczos3>(picture, object, mapping, mirror, area, y0, y1);
    }
}

TColorTriple SampleAt(int filter, const TObjectAccess& object, TColorTriple background, double x, double y)
{
    switch (filter) {
    case pfNearest: return SampleWith<pfNearest>(object, background, x, y);
    case pfTriangle: return SampleWith<pfTriangle>(object, background, x, y);
    case pfHermite: return SampleWith<pfHermite>(object, background, x, y);
    case pfBell: return SampleWith<pfBell>(object, background, x, y);
    case pfBSpline: return SampleWith<pfBSpline>(object, background, x, y);
    case pfMitchell: return SampleWith<pfMitchell>(object, background, x, y);
    default: return SampleWith<pfLanczos3>(object, background, x, y);
    }
}

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
    return SampleAt(m_filter, TObjectAccess(m_object), background, p.X, p.Y);
}

TRect RenderPaste(TKvPixels& picture, const TBGRWithAlpha& object, const TPastePlacement& placement, int filter)
{
    const TRect area = IntersectRect(placement.Rect, picture.GetBounds());
    if (area.IsEmpty() || object.IsEmpty() || !ValidFilter(filter) || picture.BytesPerPixel != 3)
        return {};
    const TPasteMapping mapping(object, placement);
    const TMirror mirror(object, placement.FlipX, placement.FlipY);
    const TObjectAccess access(object);
    TRect changed;
    std::mutex changedLock;
    ForEachRowBand(area.Height(), (long long)area.Width() * area.Height(), [&](int y0, int y1) {
        const TRect band = RenderRowsWith(filter, picture, access, mapping, mirror, area, area.Top + y0, area.Top + y1);
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
    const TObjectAccess access(object);
    // In tiles, as the commit: neighbouring canvas pixels read the turned
    // object along slanted lines, and a tile's share of it stays in the
    // caches. Bands of rows go to the cores; they share no canvas pixel.
    constexpr int Tile = 64;
    ForEachRowBand(clip.Height(), (long long)clip.Width() * clip.Height(), [&](int band0, int band1) {
        for (int tileTop = clip.Top + band0; tileTop < clip.Top + band1; tileTop += Tile) {
            const int tileBottom = std::min(tileTop + Tile, clip.Top + band1);
            for (int tileLeft = clip.Left; tileLeft < clip.Right; tileLeft += Tile) {
                const int tileRight = std::min(tileLeft + Tile, clip.Right);
                for (int y = tileTop; y < tileBottom; ++y) {
                    const int pictureY = view.PictureY[std::size_t(y - view.Clip.Top)];
                    if (pictureY < area.Top || pictureY >= area.Bottom)
                        continue;
                    std::uint8_t* pixel = canvas.PixelAt(tileLeft, y);
                    for (int x = tileLeft; x < tileRight; ++x, pixel += 3) {
                        const int pictureX = view.PictureX[std::size_t(x - view.Clip.Left)];
                        if (pictureX < area.Left || pictureX >= area.Right)
                            continue;
                        const TPointF source = mirror(mapping.MapPoint(pictureX, pictureY));
                        SetPixelColor(pixel, SampleNearest(access, PixelColor(pixel), source.X, source.Y));
                    }
                }
            }
        }
    });
}
