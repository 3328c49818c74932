#include "CropRectangle.h"

#include <algorithm>

TPoint CropHandlePoint(const TRect& rect, int handle)
{
    const int midX = (rect.Left + rect.Right) / 2;
    const int midY = (rect.Top + rect.Bottom) / 2;
    switch (handle) {
    case HandleTop: return {midX, rect.Top};
    case HandleTopRight: return {rect.Right, rect.Top};
    case HandleRight: return {rect.Right, midY};
    case HandleBottomRight: return {rect.Right, rect.Bottom};
    case HandleBottom: return {midX, rect.Bottom};
    case HandleBottomLeft: return {rect.Left, rect.Bottom};
    case HandleLeft: return {rect.Left, midY};
    case HandleTopLeft: return {rect.Left, rect.Top};
    default: return {};
    }
}

TRect CropHandleSquare(TPoint point)
{
    const int half = CropHandleSize / 2;
    return {point.X - half, point.Y - half, point.X + half + 1, point.Y + half + 1};
}

int HitCropHandle(const TRect& rect, TPoint point)
{
    for (const int handle : CropHandleHitOrder)
        if (CropHandleSquare(CropHandlePoint(rect, handle)).Contains(point))
            return handle;
    return rect.Contains(point) ? int(HandleBody) : int(HandleNone);
}

TRect SpannedCropRect(TPoint anchor, TPoint point, const TRect& picture)
{
    const TRect spanned{std::min(anchor.X, point.X), std::min(anchor.Y, point.Y), std::max(anchor.X, point.X),
                        std::max(anchor.Y, point.Y)};
    return IntersectRect(spanned, picture);
}

namespace {

// The start of a span of the given length moved to start, kept inside
// lo..hi.
int KeepInside(int start, int length, int lo, int hi)
{
    return std::min(std::max(start, lo), hi - length);
}

} // namespace

TRect MovedCropRect(const TRect& start, int dx, int dy, const TRect& picture)
{
    const int left = KeepInside(start.Left + dx, start.Width(), picture.Left, picture.Right);
    const int top = KeepInside(start.Top + dy, start.Height(), picture.Top, picture.Bottom);
    return RectOfSize(left, top, start.Width(), start.Height());
}

TRect ResizedCropRect(const TRect& start, const TRect& current, int handle, int dx, int dy, const TRect& picture)
{
    const TRect resized = IntersectRect(MoveHandle(start, handle, dx, dy), picture);
    return resized.IsEmpty() ? current : resized;
}

std::array<TRect, 4> CropShadeBands(const TRect& picture, const TRect& crop)
{
    return {IntersectRect({picture.Left, picture.Top, picture.Right, crop.Top}, picture),
            IntersectRect({picture.Left, crop.Top, crop.Left, crop.Bottom}, picture),
            IntersectRect({crop.Right, crop.Top, picture.Right, crop.Bottom}, picture),
            IntersectRect({picture.Left, crop.Bottom, picture.Right, picture.Bottom}, picture)};
}

namespace {

// Calls change(byte) for every channel of the 24-bit pixels within rect.
template <typename Change>
void ChangeChannels(TKvPixels& pixels, const TRect& rect, Change change)
{
    if (pixels.Format != PixelFormatBGR24 || !pixels.Data)
        return;
    const TRect area = IntersectRect(rect, pixels.GetBounds());
    if (area.IsEmpty())
        return;
    const std::size_t rowBytes = std::size_t(area.Width()) * 3;
    for (int y = area.Top; y < area.Bottom; ++y) {
        std::uint8_t* row = pixels.PixelAt(area.Left, y);
        for (std::size_t i = 0; i < rowBytes; ++i)
            row[i] = change(row[i]);
    }
}

} // namespace

void DarkenPixels(TKvPixels& pixels, const TRect& rect)
{
    static constexpr auto darkened = [] {
        std::array<std::uint8_t, 256> table{};
        for (int c = 0; c < 256; ++c)
            table[std::size_t(c)] = DarkenedChannel(std::uint8_t(c));
        return table;
    }();
    ChangeChannels(pixels, rect, [](std::uint8_t c) { return darkened[c]; });
}

void InvertPixels(TKvPixels& pixels, const TRect& rect)
{
    ChangeChannels(pixels, rect, [](std::uint8_t c) { return std::uint8_t(~c); });
}

void DrawCropHandle(TKvPixels& pixels, TPoint point)
{
    const TRect square = CropHandleSquare(point);
    InvertPixels(pixels, square);
    InvertPixels(pixels, {square.Left + 1, square.Top + 1, square.Right - 1, square.Bottom - 1});
}

void DrawFocusFrame(TKvPixels& pixels, const TRect& rect)
{
    if (rect.IsEmpty())
        return;
    // The dots lie on one checkerboard colour, so that where the top and
    // the left edge meet no pixel is inverted twice.
    const auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0)
            InvertPixels(pixels, {x, y, x + 1, y + 1});
    };
    for (int x = rect.Left; x < rect.Right; ++x) {
        dot(x, rect.Top);
        if (rect.Bottom - 1 > rect.Top)
            dot(x, rect.Bottom - 1);
    }
    for (int y = rect.Top + 1; y < rect.Bottom - 1; ++y) {
        dot(rect.Left, y);
        if (rect.Right - 1 > rect.Left)
            dot(rect.Right - 1, y);
    }
}
