// Integer points and rectangles in picture coordinates, shared by every layer.
//
// A rectangle is (Left, Top, Right, Bottom) with Right and Bottom exclusive,
// so (0, 0, 3, 2) covers the pixels x = 0..2, y = 0..1.  A rectangle whose
// Right <= Left or Bottom <= Top covers no pixel: it is empty.
#pragma once

#include <algorithm>

struct TPoint {
    int X = 0;
    int Y = 0;

    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr TPoint TopLeft() const { return {Left, Top}; }

    // True when the pixel at p lies inside (right and bottom exclusive).
    constexpr bool Contains(TPoint p) const
    {
        return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
    }

    // True when every pixel of r lies inside this rectangle (an empty r is
    // contained in everything).
    constexpr bool Contains(const TRect& r) const
    {
        return r.IsEmpty()
            || (r.Left >= Left && r.Top >= Top && r.Right <= Right && r.Bottom <= Bottom);
    }

    // This rectangle moved by (dx, dy).
    [[nodiscard]] constexpr TRect Offset(int dx, int dy) const
    {
        return {Left + dx, Top + dy, Right + dx, Bottom + dy};
    }

    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

// The rectangle of the given size whose top-left corner is (left, top).
constexpr TRect RectOfSize(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

// The pixels both rectangles cover; (0, 0, 0, 0) when they share none.
constexpr TRect IntersectRect(const TRect& a, const TRect& b)
{
    const TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top),
                  std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
    return r.IsEmpty() ? TRect{} : r;
}

// The smallest rectangle covering both; an empty rectangle adds nothing, and
// two empty rectangles give (0, 0, 0, 0).
constexpr TRect UnionRect(const TRect& a, const TRect& b)
{
    if (a.IsEmpty())
        return b.IsEmpty() ? TRect{} : b;
    if (b.IsEmpty())
        return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top),
            std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}
