#include "PixelTurns.h"

#include "ParallelRows.h"
#include "Prefetch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PIXEL_TURNS_SSSE3 1
#endif

namespace {

constexpr int Step = 3; // bytes of a 24-bit pixel

// Dest pixels are visited in tiles, so that the source rows a tile reads
// and the destination rows it writes both stay in the first-level cache.
constexpr int TileRows = 32;
constexpr int TileColumns = 64;

// Raw rows of a picture: the first pixel and the step between rows.
struct TRows {
    std::uint8_t* Data;
    std::ptrdiff_t Stride;
    int Width;
    int Height;

    std::uint8_t* At(int x, int y) const { return Data + std::ptrdiff_t(y) * Stride + std::ptrdiff_t(x) * Step; }
};

// Where the source pixel of destination pixel (x, y) lies, and how far the
// source moves when x grows by one.
struct TSourceWalk {
    int X0, XfromY;       // source x = X0 + XfromY * y + XfromX * x
    int XfromX;
    int Y0, YfromY, YfromX; // source y likewise
};

TSourceWalk WalkOf(TPixelTurn turn, int w, int h)
{
    switch (turn) {
    case TPixelTurn::Right: return {0, 1, 0, h - 1, 0, -1};     // (y, h - 1 - x)
    case TPixelTurn::Left: return {w - 1, -1, 0, 0, 0, 1};      // (w - 1 - y, x)
    case TPixelTurn::MirrorX: return {w - 1, 0, -1, 0, 1, 0};   // (w - 1 - x, y)
    case TPixelTurn::MirrorY: return {0, 0, 1, h - 1, -1, 0};   // (x, h - 1 - y)
    }
    return {};
}

// Pixels x0 .. x1 - 1 of destination row y, one at a time.
void ScalarRowPart(const TRows& from, const TRows& to, const TSourceWalk& walk, int y, int x0, int x1)
{
    if (x0 >= x1)
        return;
    const std::uint8_t* s = from.At(walk.X0 + walk.XfromY * y + walk.XfromX * x0, walk.Y0 + walk.YfromY * y + walk.YfromX * x0);
    const std::ptrdiff_t sourceStep = std::ptrdiff_t(walk.XfromX) * Step + std::ptrdiff_t(walk.YfromX) * from.Stride;
    std::uint8_t* d = to.At(x0, y);
    for (int x = x0; x < x1; ++x, d += Step, s += sourceStep) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
}

#ifdef PIXEL_TURNS_SSSE3

__attribute__((target("ssse3"))) inline __m128i Load12(const std::uint8_t* p)
{
    std::int32_t last;
    std::memcpy(&last, p + 8, 4);
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_cvtsi32_si128(last));
}

__attribute__((target("ssse3"))) inline void Store12(std::uint8_t* p, __m128i v)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    const std::int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(v, 8));
    std::memcpy(p + 8, &last, 4);
}

// Four 3-byte pixels spread into four 32-bit lanes, and back.
__attribute__((target("ssse3"))) inline __m128i Spread(__m128i v)
{
    return _mm_shuffle_epi8(v, _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
}

__attribute__((target("ssse3"))) inline __m128i Pack(__m128i v)
{
    return _mm_shuffle_epi8(v, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
}

// One 4 x 4 block of a quarter turn. rows[i] is the i-th source row piece
// (12 bytes); destination row j of the block gets lane j of every piece.
__attribute__((target("ssse3"))) inline void TurnBlock(const std::uint8_t* const rows[4], std::uint8_t* d,
                                                         std::ptrdiff_t destStride, bool reverse)
{
    const __m128i e0 = Spread(Load12(rows[0]));
    const __m128i e1 = Spread(Load12(rows[1]));
    const __m128i e2 = Spread(Load12(rows[2]));
    const __m128i e3 = Spread(Load12(rows[3]));
    const __m128i t0 = _mm_unpacklo_epi32(e0, e1);
    const __m128i t1 = _mm_unpacklo_epi32(e2, e3);
    const __m128i t2 = _mm_unpackhi_epi32(e0, e1);
    const __m128i t3 = _mm_unpackhi_epi32(e2, e3);
    __m128i r[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1), _mm_unpacklo_epi64(t2, t3),
                    _mm_unpackhi_epi64(t2, t3)};
    for (int j = 0; j < 4; ++j)
        Store12(d + j * destStride, Pack(r[reverse ? 3 - j : j]));
}

// Asks for the memory of the tile of destination rows top .. bottom - 1 and
// columns left .. end - 1 ahead of turning it: its source is a short piece
// of each of many rows far apart, and its destination a short piece of each
// of its rows, neither of which the processor foresees on its own; asked
// for one tile ahead, a turn of a large picture takes half the time.
// Inlined always: a function whose only work is prefetching counts for the
// compiler as one without effect, and calls of it would be dropped.
__attribute__((always_inline)) inline void PrefetchQuarterTurnTile(const TRows& from, const TRows& to, bool right,
                                                                   int top, int bottom, int left, int end)
{
    const int bytes = (bottom - top) * Step;
    for (int x = left; x < end; ++x)
        PrefetchRange(right ? from.At(top, from.Height - 1 - x) : from.At(from.Width - bottom, x), bytes);
    for (int y = top; y < bottom && left < end; ++y)
        PrefetchRange(to.At(left, y), std::ptrdiff_t(end - left) * Step);
}

// Destination rows y0 .. y1 - 1 of a quarter turn, in 4 x 4 blocks where
// the tile allows and pixel by pixel at the edges.
__attribute__((target("ssse3"))) void QuarterTurnRows(const TRows& from, const TRows& to, TPixelTurn turn,
                                                        int y0, int y1)
{
    const TSourceWalk walk = WalkOf(turn, from.Width, from.Height);
    const bool right = turn == TPixelTurn::Right;
    for (int top = y0; top < y1; top += TileRows) {
        const int bottom = std::min(top + TileRows, y1);
        for (int left = 0; left < to.Width; left += TileColumns) {
            const int end = std::min(left + TileColumns, to.Width);
            const int blockEnd = left + (end - left) / 4 * 4;
            PrefetchQuarterTurnTile(from, to, right, top, bottom, end, std::min(end + TileColumns, to.Width));
            int y = top;
            for (; y + 4 <= bottom; y += 4) {
                for (int x = left; x < blockEnd; x += 4) {
                    // Right: source rows h-1-x-i, columns y..y+3. Left: source
                    // rows x+i, columns w-4-y..w-1-y, lanes in reverse.
                    const std::uint8_t* rows[4];
                    for (int i = 0; i < 4; ++i)
                        rows[i] = right ? from.At(y, from.Height - 1 - x - i) : from.At(from.Width - 4 - y, x + i);
                    TurnBlock(rows, to.At(x, y), to.Stride, !right);
                }
                for (int j = 0; j < 4; ++j)
                    ScalarRowPart(from, to, walk, y + j, blockEnd, end);
            }
            for (; y < bottom; ++y)
                ScalarRowPart(from, to, walk, y, left, end);
        }
    }
}

// Destination rows y0 .. y1 - 1 of a left-right mirror, four pixels at a
// time.
__attribute__((target("ssse3"))) void MirrorXRows(const TRows& from, const TRows& to, int y0, int y1)
{
    const __m128i reverse = _mm_setr_epi8(9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2, -1, -1, -1, -1);
    const TSourceWalk walk = WalkOf(TPixelTurn::MirrorX, from.Width, from.Height);
    const int blockEnd = to.Width / 4 * 4;
    for (int y = y0; y < y1; ++y) {
        for (int x = 0; x < blockEnd; x += 4)
            Store12(to.At(x, y), _mm_shuffle_epi8(Load12(from.At(from.Width - 4 - x, y)), reverse));
        ScalarRowPart(from, to, walk, y, blockEnd, to.Width);
    }
}

bool HasSsse3()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

#endif

// Destination rows y0 .. y1 - 1 pixel by pixel, in tiles.
void ScalarRows(const TRows& from, const TRows& to, TPixelTurn turn, int y0, int y1)
{
    const TSourceWalk walk = WalkOf(turn, from.Width, from.Height);
    for (int top = y0; top < y1; top += TileRows)
        for (int left = 0; left < to.Width; left += TileColumns)
            for (int y = top; y < std::min(top + TileRows, y1); ++y)
                ScalarRowPart(from, to, walk, y, left, std::min(left + TileColumns, to.Width));
}

void TurnRows(const TRows& from, const TRows& to, TPixelTurn turn, int y0, int y1)
{
    if (turn == TPixelTurn::MirrorY) {
        for (int y = y0; y < y1; ++y)
            std::memcpy(to.At(0, y), from.At(0, from.Height - 1 - y), std::size_t(to.Width) * Step);
        return;
    }
#ifdef PIXEL_TURNS_SSSE3
    if (HasSsse3()) {
        if (turn == TPixelTurn::MirrorX)
            MirrorXRows(from, to, y0, y1);
        else
            QuarterTurnRows(from, to, turn, y0, y1);
        return;
    }
#endif
    ScalarRows(from, to, turn, y0, y1);
}

} // namespace

TRect TurnedBounds(TPixelTurn turn, int width, int height)
{
    const bool quarter = turn == TPixelTurn::Left || turn == TPixelTurn::Right;
    return quarter ? TRect{0, 0, height, width} : TRect{0, 0, width, height};
}

bool TurnPixels(TPixelTurn turn, const TKvPixels& from, TKvPixels& to)
{
    const TRect turned = TurnedBounds(turn, from.Width, from.Height);
    if (from.Format != PixelFormatBGR24 || to.Format != PixelFormatBGR24 || !from.Data || !to.Data
        || to.Width != turned.Width() || to.Height != turned.Height() || from.Data == to.Data)
        return false;
    const TRows source{from.Data, from.Stride, from.Width, from.Height};
    const TRows target{to.Data, to.Stride, to.Width, to.Height};
    ForEachRowBand(to.Height, (long long)to.Width * to.Height,
                   [&](int y0, int y1) { TurnRows(source, target, turn, y0, y1); });
    return true;
}

void TPixelOrientation::Then(TPixelTurn turn)
{
    // A quarter turn after "transpose, mirror x, mirror y" is again one:
    // the transposition toggles and the mirrors trade places.
    const bool x = MirroredX;
    const bool y = MirroredY;
    switch (turn) {
    case TPixelTurn::Right:
        Transposed = !Transposed;
        MirroredX = !y;
        MirroredY = x;
        break;
    case TPixelTurn::Left:
        Transposed = !Transposed;
        MirroredX = y;
        MirroredY = !x;
        break;
    case TPixelTurn::MirrorX: MirroredX = !x; break;
    case TPixelTurn::MirrorY: MirroredY = !y; break;
    }
}

std::vector<TPixelTurn> TPixelOrientation::Steps() const
{
    if (Transposed) {
        // A transposition is a right turn mirrored across; with the mirrors
        // that follow it, one or two passes.
        if (MirroredX && MirroredY)
            return {TPixelTurn::Right, TPixelTurn::MirrorY};
        if (MirroredX)
            return {TPixelTurn::Right};
        if (MirroredY)
            return {TPixelTurn::Left};
        return {TPixelTurn::Right, TPixelTurn::MirrorX};
    }
    std::vector<TPixelTurn> steps;
    if (MirroredX)
        steps.push_back(TPixelTurn::MirrorX);
    if (MirroredY)
        steps.push_back(TPixelTurn::MirrorY);
    return steps;
}
