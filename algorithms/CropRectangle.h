// The rules of the crop tool's rectangle, apart from any widget: where its
// eight handles sit and which one a point hits, how a drag creates, moves
// and resizes the rectangle within the picture, which bands of the picture
// lie outside it, and how the bands, the handles and the frame are drawn on
// the view's screen pixels. The crop tool applies them to its rectangle in
// picture and in view coordinates.
#pragma once

#include "KvBitmap.h"

#include <array>
#include <cstdint>

// The handles in the order a point is tried against them: a point where two
// squares overlap (a small rectangle) takes the first of this order.
constexpr std::array<int, 8> CropHandleHitOrder{HandleTopLeft,    HandleTop,    HandleTopRight,    HandleRight,
                                                HandleBottomLeft, HandleBottom, HandleBottomRight, HandleLeft};

// Side of a handle's square.
constexpr int CropHandleSize = 9;

// Where the handle sits on rect: the corners and edge middles of the
// rectangle with its right and bottom edges exclusive, (Right, Bottom)
// being the bottom-right corner. (0, 0) for a number that is no handle.
TPoint CropHandlePoint(const TRect& rect, int handle);
// The 9 x 9 square a handle answers to, (x - 4, y - 4, x + 5, y + 5).
TRect CropHandleSquare(TPoint point);
// What point hits on rect: the first handle in CropHandleHitOrder whose
// square holds it, else HandleBody inside rect, else HandleNone.
int HitCropHandle(const TRect& rect, TPoint point);

// The rectangle a first drag spans from anchor to point, cut to the
// picture (empty when the two share a column or a row).
TRect SpannedCropRect(TPoint anchor, TPoint point, const TRect& picture);
// start moved by (dx, dy), then pushed back into the picture keeping its
// size.
TRect MovedCropRect(const TRect& start, int dx, int dy, const TRect& picture);
// start with the edges the handle drags moved by (dx, dy), not normalised,
// cut to the picture; when that leaves nothing (an edge dragged across the
// opposite one), current is kept.
TRect ResizedCropRect(const TRect& start, const TRect& current, int handle, int dx, int dy, const TRect& picture);

// The parts of picture outside crop: above it (full width), left and right
// of it (its height) and below it (full width), each cut to the picture and
// possibly empty.
std::array<TRect, 4> CropShadeBands(const TRect& picture, const TRect& crop);

// A channel as the bands outside the crop rectangle show it:
// c - (c * 92) / 256, rounded down (255 -> 164, 100 -> 65, 0 -> 0).
constexpr std::uint8_t DarkenedChannel(std::uint8_t c)
{
    return std::uint8_t(c - ((c * 92) >> 8));
}

// Darkens every channel of the 24-bit pixels within rect (cut to the
// pixels); other formats are left alone.
void DarkenPixels(TKvPixels& pixels, const TRect& rect);

// Inverts every channel of the 24-bit pixels within rect (cut to the
// pixels): drawn twice, a mark is gone.
void InvertPixels(TKvPixels& pixels, const TRect& rect);
// A handle as a hollow square: its 9 x 9 square inverted, then the 7 x 7
// square inside it inverted back.
void DrawCropHandle(TKvPixels& pixels, TPoint point);
// The rectangle's one-pixel outline as a dotted line of inverted pixels
// (every other pixel, counted along the view), visible on any picture.
void DrawFocusFrame(TKvPixels& pixels, const TRect& rect);
