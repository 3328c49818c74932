#include "TextMask.h"

#include "ParallelRows.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>
#include <new>

namespace {

// The stretch's filter: linear between neighbours when the mask is
// enlarged, and (as the mapping tables widen it) an average over the mask
// pixels one rectangle pixel covers when it is reduced.
class TTriangleResampler : public TPixelResampler {
public:
    double KernelValue(double x) const override { return std::max(0.0, 1 - std::abs(x)); }
    double SupportRadius() const override { return 1; }
};

// The mask stretched to a width x height rectangle, for the stretched
// columns first .. last - 1 and rows top .. bottom - 1 only.  A stretched
// value is made in two passes: a row of the mask rows' weighted sums, then
// the weighted sum of that row at each column.
class TMaskStretch {
public:
    TMaskStretch(const TTextMask& mask, int width, int height, int first, int last, int top, int bottom)
        : m_mask(mask)
        , m_first(first)
        , m_top(top)
        , m_columns(MakeMappingTable(0, width, first, last, 0, mask.Width(), TTriangleResampler()))
        , m_rows(MakeMappingTable(0, height, top, bottom, 0, mask.Height(), TTriangleResampler()))
    {
        m_maskLeft = mask.Width();
        for (const TCluster& cluster : m_columns)
            for (const TClusterEntry& entry : cluster) {
                m_maskLeft = std::min(m_maskLeft, entry.Pos);
                m_maskRight = std::max(m_maskRight, entry.Pos + 1);
            }
    }

    bool IsEmpty() const { return m_columns.empty() || m_rows.empty(); }
    std::size_t RowSize() const { return std::size_t(std::max(m_maskRight - m_maskLeft, 0)); }

    // The weighted sums of stretched row r over the mask columns the
    // stretched columns read.
    void StretchRow(int r, std::vector<std::uint32_t>& row) const
    {
        row.assign(RowSize(), 0);
        for (const TClusterEntry& entry : m_rows[std::size_t(r - m_top)]) {
            const std::uint8_t* source = m_mask.Row(entry.Pos) + m_maskLeft;
            const std::uint32_t weight = std::uint32_t(entry.Weight);
            for (std::size_t i = 0; i < row.size(); ++i)
                row[i] += weight * source[i];
        }
    }

    // The stretched value at column c of the row StretchRow made.
    std::uint8_t ValueAt(int c, const std::vector<std::uint32_t>& row) const
    {
        std::uint32_t sum = 0;
        for (const TClusterEntry& entry : m_columns[std::size_t(c - m_first)])
            sum += std::uint32_t(entry.Weight) * row[std::size_t(entry.Pos - m_maskLeft)];
        return std::uint8_t(std::min<std::uint32_t>((sum + 32768) >> 16, 255));
    }

private:
    const TTextMask& m_mask;
    int m_first;
    int m_top;
    TMappingTable m_columns;
    TMappingTable m_rows;
    int m_maskLeft = 0;
    int m_maskRight = 0;
};

// Picture pixels to stretched columns and rows, mirrored as placed.
struct TStretchAxes {
    const TTextPlacement& Placement;

    int Column(int x) const { return Placement.FlipX ? Placement.Rect.Right - 1 - x : x - Placement.Rect.Left; }
    int Row(int y) const { return Placement.FlipY ? Placement.Rect.Bottom - 1 - y : y - Placement.Rect.Top; }
    // The stretched span [first, last) that picture span [lo, hi) covers.
    void Columns(int lo, int hi, int& first, int& last) const { Span(Column(lo), Column(hi - 1), first, last); }
    void Rows(int lo, int hi, int& first, int& last) const { Span(Row(lo), Row(hi - 1), first, last); }

private:
    static void Span(int a, int b, int& first, int& last)
    {
        first = std::min(a, b);
        last = std::max(a, b) + 1;
    }
};

TPackedPixel Packed(TColorTriple color)
{
    return TPackedPixel(color.Blue) | TPackedPixel(color.Green) << 8 | TPackedPixel(color.Red) << 16;
}

// Blends the text colour into one pixel with the stretched value; true when
// the pixel changed.
bool BlendPixel(std::uint8_t* pixel, std::uint8_t coverage, const TTextColorRule& rule)
{
    if (coverage == 0)
        return false;
    const TColorTriple before{pixel[0], pixel[1], pixel[2]};
    BlendIntoPixel(pixel, coverage, Packed(TextColorOver(rule, before)));
    return pixel[0] != before.Blue || pixel[1] != before.Green || pixel[2] != before.Red;
}

} // namespace

TTextMaskSize MeasureTextMask(const std::vector<TTextLine>& lines, int lineHeight)
{
    TTextMaskSize size;
    if (lineHeight <= 0)
        return size;
    for (int i = int(lines.size()) - 1; i >= 0; --i) {
        const TTextLine& line = lines[std::size_t(i)];
        if (line.Empty)
            continue;
        if (size.Lines == 0)
            size.Lines = i + 1;
        size.Width = std::max(size.Width, line.Width);
    }
    size.Height = int(std::min<std::int64_t>(std::int64_t(size.Lines) * lineHeight, INT_MAX));
    return size;
}

double TextMaskFit(const TTextMaskSize& size)
{
    if (size.IsEmpty())
        return 1;
    double fit = 1;
    fit = std::min(fit, double(MaxTextMaskSide) / size.Width);
    fit = std::min(fit, double(MaxTextMaskSide) / size.Height);
    fit = std::min(fit, std::sqrt(double(MaxTextMaskPixels) / (double(size.Width) * size.Height)));
    return fit;
}

bool TTextMask::SetSize(int width, int height)
{
    m_width = 0;
    m_height = 0;
    m_stride = 0;
    m_data.clear();
    if (width <= 0 || height <= 0 || width > MaxTextMaskSide || height > MaxTextMaskSide
        || std::int64_t(width) * height > MaxTextMaskPixels)
        return width <= 0 || height <= 0;
    const int stride = (width + 3) & ~3;
    try {
        m_data.assign(std::size_t(stride) * std::size_t(height), 0);
    } catch (const std::bad_alloc&) {
        m_data = {};
        return false;
    }
    m_width = width;
    m_height = height;
    m_stride = stride;
    return true;
}

void TTextMask::Clear()
{
    SetSize(0, 0);
}

TColorTriple TextColorOver(const TTextColorRule& rule, TColorTriple under)
{
    if (rule.ColorMode != tcInverted)
        return RGBToTriple(rule.TextColor & 0xFF, (rule.TextColor >> 8) & 0xFF, (rule.TextColor >> 16) & 0xFF);
    const auto inverse = [&rule](std::uint8_t c) -> std::uint8_t {
        if (rule.MaxInverse)
            return c < 128 ? 255 : 0;
        return 255 - c;
    };
    return {inverse(under.Blue), inverse(under.Green), inverse(under.Red)};
}

TRect BlendText(TKvPixels& picture, const TTextMask& mask, const TTextPlacement& placement,
                const TTextColorRule& rule)
{
    const TRect area = IntersectRect(placement.Rect, picture.GetBounds());
    if (area.IsEmpty() || mask.IsEmpty() || picture.BytesPerPixel != 3)
        return {};
    const TStretchAxes axes{placement};
    int first, last, top, bottom;
    axes.Columns(area.Left, area.Right, first, last);
    axes.Rows(area.Top, area.Bottom, top, bottom);
    const TMaskStretch stretch(mask, placement.Rect.Width(), placement.Rect.Height(), first, last, top, bottom);
    if (stretch.IsEmpty())
        return {};
    TRect changed;
    std::mutex changedLock;
    ForEachRowBand(area.Height(), (long long)area.Width() * area.Height(), [&](int y0, int y1) {
        std::vector<std::uint32_t> row;
        TRect band;
        for (int y = area.Top + y0; y < area.Top + y1; ++y) {
            stretch.StretchRow(axes.Row(y), row);
            int firstChanged = area.Right;
            int lastChanged = area.Left - 1;
            std::uint8_t* pixel = picture.PixelAt(area.Left, y);
            for (int x = area.Left; x < area.Right; ++x, pixel += 3) {
                if (!BlendPixel(pixel, stretch.ValueAt(axes.Column(x), row), rule))
                    continue;
                firstChanged = std::min(firstChanged, x);
                lastChanged = x;
            }
            if (lastChanged >= firstChanged)
                band = UnionRect(band, {firstChanged, y, lastChanged + 1, y + 1});
        }
        const std::lock_guard<std::mutex> lock(changedLock);
        changed = UnionRect(changed, band);
    });
    return changed;
}

void BlendTextPreview(TKvPixels& canvas, const TViewPixels& view, const TRect& pictureBounds, const TTextMask& mask,
                      const TTextPlacement& placement, const TTextColorRule& rule)
{
    const TRect area = IntersectRect(placement.Rect, pictureBounds);
    const TRect clip = IntersectRect(view.Clip, canvas.GetBounds());
    if (area.IsEmpty() || clip.IsEmpty() || mask.IsEmpty() || canvas.BytesPerPixel != 3)
        return;
    // The picture pixels the clip shows that lie in the rectangle.
    const auto shown = [](const std::vector<int>& picture, int from, int count, int lo, int hi, int& first, int& last) {
        first = hi;
        last = lo - 1;
        for (int i = 0; i < count; ++i) {
            const int p = picture[std::size_t(from + i)];
            if (p >= lo && p < hi) {
                first = std::min(first, p);
                last = std::max(last, p);
            }
        }
        return last >= first;
    };
    int pictureLeft, pictureRight, pictureTop, pictureBottom;
    if (!shown(view.PictureX, clip.Left - view.Clip.Left, clip.Width(), area.Left, area.Right, pictureLeft, pictureRight)
        || !shown(view.PictureY, clip.Top - view.Clip.Top, clip.Height(), area.Top, area.Bottom, pictureTop, pictureBottom))
        return;
    const TStretchAxes axes{placement};
    int first, last, top, bottom;
    axes.Columns(pictureLeft, pictureRight + 1, first, last);
    axes.Rows(pictureTop, pictureBottom + 1, top, bottom);
    const TMaskStretch stretch(mask, placement.Rect.Width(), placement.Rect.Height(), first, last, top, bottom);
    if (stretch.IsEmpty())
        return;
    std::vector<std::uint32_t> row;
    int rowMade = -1;
    for (int y = clip.Top; y < clip.Bottom; ++y) {
        const int pictureY = view.PictureY[std::size_t(y - view.Clip.Top)];
        if (pictureY < area.Top || pictureY >= area.Bottom)
            continue;
        if (pictureY != rowMade) {
            stretch.StretchRow(axes.Row(pictureY), row);
            rowMade = pictureY;
        }
        std::uint8_t* pixel = canvas.PixelAt(clip.Left, y);
        for (int x = clip.Left; x < clip.Right; ++x, pixel += 3) {
            const int pictureX = view.PictureX[std::size_t(x - view.Clip.Left)];
            if (pictureX >= area.Left && pictureX < area.Right)
                BlendPixel(pixel, stretch.ValueAt(axes.Column(pictureX), row), rule);
        }
    }
}
