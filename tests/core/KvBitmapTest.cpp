// Pixel buffers, masks, cluster tables, resampling and the shared helpers.
#include "KvBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

// A 24-bit buffer over rect whose pixel (x, y) holds bytes (x, y, x + y) + seed.
void FillPattern(TKvPixelBuffer& buffer, const TRect& rect, int seed = 0)
{
    ASSERT_TRUE(buffer.SetFormat(PixelFormatBGR24, rect));
    for (int y = rect.Top; y < rect.Bottom; ++y)
        for (int x = rect.Left; x < rect.Right; ++x) {
            uint8_t* p = buffer.PixelAt(x, y);
            p[0] = uint8_t(x + seed);
            p[1] = uint8_t(y + seed);
            p[2] = uint8_t(x + y + seed);
        }
}

bool HasPattern(const TKvPixels& pixels, int x, int y, int seed = 0)
{
    const uint8_t* p = pixels.PixelAt(x, y);
    return p[0] == uint8_t(x + seed) && p[1] == uint8_t(y + seed) && p[2] == uint8_t(x + y + seed);
}

bool IsBlack(const TKvPixels& pixels, int x, int y)
{
    const uint8_t* p = pixels.PixelAt(x, y);
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
}

// A 24-bit buffer of the given size filled with random bytes (padding too).
void FillRandom(TKvPixelBuffer& buffer, int width, int height, std::mt19937& random)
{
    ASSERT_TRUE(buffer.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, width, height)));
    for (int i = 0; i < buffer.Stride * height; ++i)
        buffer.Data[i] = uint8_t(random());
}

// The whole of source resampled onto a new width x height buffer.
void ResampleWhole(const TKvPixels& source, int width, int height, const TPixelResampler& kernel,
                   TKvPixelBuffer& dest)
{
    ASSERT_TRUE(dest.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, width, height)));
    ResamplePixels(dest, dest.GetBounds(), dest.GetBounds(), kernel, source.GetBounds(), source);
}

std::vector<uint8_t> RowBytes(const TKvPixels& pixels, int y)
{
    const uint8_t* row = pixels.PixelAt(pixels.Left, y);
    return {row, row + pixels.Width * pixels.BytesPerPixel};
}

} // namespace

// ---------------------------------------------------------------------------
// Formats and strides

TEST(PixelFormat, BitsPerPixelFollowsTheBitFields)
{
    struct Case {
        TKvPixelFormat format;
        int bits;
    };
    const Case cases[] = {
        {PixelFormatBGR24, 24}, {PixelFormatBGRA32, 32}, {0x0001, 8},  {0x0006, 32},
        {0x0000, 0},            {0x0109, 0},             {0x0022, 48}, {0x0032, 48},
        {0x0042, 96},           {0x0112, 32},            {0x0212, 24}, {0x0121, 32},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BitsPerPixel(c.format), c.bits) << std::hex << c.format;
}

TEST(PixelBuffer, StrideIsPaddedToWholeWords)
{
    struct Case {
        TKvPixelFormat format;
        int width;
        int stride;
    };
    const Case cases[] = {
        {PixelFormatBGR24, 1, 4},   {PixelFormatBGR24, 3, 12}, {PixelFormatBGR24, 4, 12},
        {PixelFormatBGR24, 5, 16},  {PixelFormatBGRA32, 3, 12}, {0x0001, 5, 8},
    };
    for (const Case& c : cases) {
        TKvPixelBuffer buffer;
        ASSERT_TRUE(buffer.SetFormat(c.format, RectOfSize(0, 0, c.width, 2)));
        EXPECT_EQ(buffer.Stride, c.stride) << "width " << c.width;
        EXPECT_EQ(buffer.BytesPerPixel, BitsPerPixel(c.format) / 8);
        EXPECT_EQ(buffer.PixelAt(1, 1) - buffer.Data, c.stride + buffer.BytesPerPixel);
    }
}

// ---------------------------------------------------------------------------
// TKvPixelBuffer

TEST(PixelBuffer, FreshStorageIsBlackAndPlacedAtTheRectangle)
{
    TKvPixelBuffer buffer;
    ASSERT_TRUE(buffer.SetFormat(PixelFormatBGR24, TRect{-3, 5, 4, 9}));
    EXPECT_EQ(buffer.GetBounds(), (TRect{-3, 5, 4, 9}));
    EXPECT_EQ(buffer.PixelAt(-3, 5), buffer.Data);
    for (int i = 0; i < buffer.Stride * buffer.Height; ++i)
        ASSERT_EQ(buffer.Data[i], 0);
}

TEST(PixelBuffer, SameRectangleKeepsStorageAndPixels)
{
    TKvPixelBuffer buffer;
    FillPattern(buffer, {0, 0, 4, 3});
    const uint8_t* storage = buffer.Data;
    ASSERT_TRUE(buffer.SetBounds({0, 0, 4, 3}));
    EXPECT_EQ(buffer.Data, storage);
    EXPECT_TRUE(HasPattern(buffer, 3, 2));
}

TEST(PixelBuffer, SetBoundsKeepsTheOverlapOnlyWhenAsked)
{
    struct Case {
        TRect next;
        bool keep;
    };
    const TRect first{0, 0, 6, 4};
    const Case cases[] = {
        {{0, 0, 9, 7}, true},   // enlarged
        {{2, 1, 5, 3}, true},   // shrunk inside
        {{-2, 2, 4, 8}, true},  // moved, partly overlapping
        {{10, 10, 12, 12}, true}, // no overlap at all
        {{0, 0, 9, 7}, false},
        {{-2, 2, 4, 8}, false},
    };
    for (const Case& c : cases) {
        TKvPixelBuffer buffer;
        FillPattern(buffer, first, 1);
        ASSERT_TRUE(buffer.SetBounds(c.next, c.keep));
        ASSERT_EQ(buffer.GetBounds(), c.next);
        for (int y = c.next.Top; y < c.next.Bottom; ++y)
            for (int x = c.next.Left; x < c.next.Right; ++x) {
                const bool kept = c.keep && first.Contains(TPoint{x, y});
                EXPECT_TRUE(kept ? HasPattern(buffer, x, y, 1) : IsBlack(buffer, x, y))
                    << "next (" << c.next.Left << "," << c.next.Top << ") keep " << c.keep
                    << " at " << x << "," << y;
            }
    }
}

TEST(PixelBuffer, RectanglesWithoutAreaHaveNoStorage)
{
    const TRect cases[] = {{0, 0, 0, 5}, {0, 0, 5, 0}, {3, 3, 1, 8}, {0, 4, 5, 1}, {-7, -7, -9, -9}};
    for (const TRect& rect : cases) {
        TKvPixelBuffer buffer;
        FillPattern(buffer, {0, 0, 3, 3});
        EXPECT_TRUE(buffer.SetBounds(rect, true));
        EXPECT_EQ(buffer.Data, nullptr);
        EXPECT_TRUE(buffer.GetBounds().IsEmpty());
        EXPECT_GE(buffer.Stride, 0);
        // Copies into and out of it are harmless.
        TKvPixelBuffer other;
        FillPattern(other, {0, 0, 3, 3});
        buffer.Assign(other);
        other.Assign(buffer);
        EXPECT_TRUE(HasPattern(other, 2, 2));
    }
}

TEST(PixelBuffer, StorageThatCannotBeHadLeavesTheBufferEmpty)
{
    const TRect cases[] = {
        RectOfSize(0, 0, 1 << 28, 1 << 30),   // far more bytes than the address space
        RectOfSize(0, 0, INT_MAX / 2, 2),     // a row longer than a 32-bit stride
    };
    for (const TRect& rect : cases) {
        TKvPixelBuffer buffer;
        FillPattern(buffer, {0, 0, 3, 3});
        EXPECT_FALSE(buffer.SetBounds(rect, true));
        EXPECT_EQ(buffer.Data, nullptr);
        EXPECT_EQ(buffer.GetBounds(), TRect{});
        EXPECT_EQ(buffer.Stride, 0);
        EXPECT_EQ(buffer.Format, PixelFormatBGR24);
        // It can be used again.
        EXPECT_TRUE(buffer.SetBounds({0, 0, 2, 2}));
        EXPECT_TRUE(IsBlack(buffer, 1, 1));
    }
}

TEST(PixelBuffer, ReleaseKeepsOnlyTheFormat)
{
    TKvPixelBuffer buffer;
    FillPattern(buffer, {1, 2, 5, 6});
    buffer.Release();
    EXPECT_EQ(buffer.Data, nullptr);
    EXPECT_EQ(buffer.GetBounds(), TRect{});
    EXPECT_EQ(buffer.Stride, 0);
    EXPECT_EQ(buffer.Format, PixelFormatBGR24);
    EXPECT_EQ(buffer.BytesPerPixel, 3);
}

TEST(PixelBuffer, ChangingTheFormatReallocatesForTheSameRectangle)
{
    TKvPixelBuffer buffer;
    FillPattern(buffer, {0, 0, 5, 2});
    ASSERT_TRUE(buffer.SetFormat(PixelFormatBGRA32, {0, 0, 5, 2}));
    EXPECT_EQ(buffer.Stride, 20);
    EXPECT_EQ(buffer.BytesPerPixel, 4);
    EXPECT_EQ(buffer.PixelAt(4, 1)[3], 0); // the last byte is inside the new storage
}

TEST(PixelBuffer, MovingHandsOverTheStorage)
{
    TKvPixelBuffer first;
    FillPattern(first, {0, 0, 3, 3});
    const uint8_t* storage = first.Data;
    TKvPixelBuffer second(std::move(first));
    EXPECT_EQ(second.Data, storage);
    EXPECT_EQ(first.Data, nullptr);
    TKvPixelBuffer third;
    FillPattern(third, {0, 0, 8, 8});
    third = std::move(second);
    EXPECT_EQ(third.Data, storage);
    EXPECT_TRUE(HasPattern(third, 2, 2));
    EXPECT_EQ(second.GetBounds(), TRect{});
}

TEST(PixelBuffer, ShrinkingNarrowsToAWindowWithoutMovingPixels)
{
    TKvPixelBuffer buffer;
    FillPattern(buffer, {0, 0, 9, 7});
    const uint8_t* corner = buffer.PixelAt(2, 3);
    const int stride = buffer.Stride;
    buffer.ShrinkTo({2, 3, 6, 10}); // cut to the picture
    EXPECT_EQ(buffer.GetBounds(), (TRect{0, 0, 4, 4}));
    EXPECT_EQ(buffer.Data, corner);
    EXPECT_EQ(buffer.Stride, stride);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(buffer.PixelAt(x, y)[2], uint8_t(x + 2 + y + 3)) << x << ", " << y;
    buffer.ShrinkTo({10, 10, 12, 12});
    EXPECT_EQ(buffer.Data, nullptr);
    EXPECT_EQ(buffer.Storage(), nullptr);
}

TEST(PixelBuffer, AWindowSharesTheStorageOnlyWithinIt)
{
    TKvPixelBuffer picture;
    FillPattern(picture, {0, 0, 10, 6});
    const std::shared_ptr<TKvPixelStorage> storage = picture.Storage();
    TKvPixelBuffer window;
    ASSERT_TRUE(window.ShareWindow(storage, picture.PixelAt(4, 2), {0, 0, 6, 4}, PixelFormatBGR24, picture.Stride));
    EXPECT_EQ(window.PixelAt(1, 1), picture.PixelAt(5, 3));
    // Releasing the picture leaves the storage to the window.
    picture.Release();
    EXPECT_EQ(storage.use_count(), 2);
    EXPECT_EQ(window.PixelAt(1, 1)[0], 5);
    EXPECT_EQ(window.PixelAt(1, 1)[1], 3);
    // Windows reaching past the storage, or without area, are refused.
    const TRect refused[] = {{0, 0, 7, 4}, {0, 0, 6, 5}, {0, 0, 0, 4}};
    for (const TRect& rect : refused) {
        TKvPixelBuffer other;
        EXPECT_FALSE(other.ShareWindow(storage, window.Data, rect, PixelFormatBGR24, window.Stride));
        EXPECT_EQ(other.Data, nullptr);
    }
    TKvPixelBuffer before;
    EXPECT_FALSE(before.ShareWindow(storage, storage->Block() - 1, {0, 0, 1, 1}, PixelFormatBGR24, 32));
}

TEST(PixelBuffer, OverwritingReusesStorageHeldAloneAndNeverShared)
{
    TKvPixelBuffer buffer;
    FillPattern(buffer, {0, 0, 8, 6}); // 24 bytes a row, 144 bytes
    const uint8_t* storage = buffer.Data;
    ASSERT_TRUE(buffer.SetFormatForOverwrite(PixelFormatBGR24, {0, 0, 6, 8})); // 20 bytes a row: 160
    EXPECT_NE(buffer.Data, storage);
    ASSERT_TRUE(buffer.SetFormatForOverwrite(PixelFormatBGR24, {0, 0, 4, 12})); // 12 a row: 144 again
    const uint8_t* reused = buffer.Data;
    ASSERT_TRUE(buffer.SetFormatForOverwrite(PixelFormatBGR24, {0, 0, 12, 4}));
    EXPECT_EQ(buffer.Data, reused);
    // Storage another keeper shares is never written over.
    const std::shared_ptr<TKvPixelStorage> kept = buffer.Storage();
    ASSERT_TRUE(buffer.SetFormatForOverwrite(PixelFormatBGR24, {0, 0, 4, 12}));
    EXPECT_NE(buffer.Storage(), kept);
}

// ---------------------------------------------------------------------------
// CopyFrom and Assign

TEST(Pixels, AssignCopiesTheOverlapAtEqualImageCoordinates)
{
    TKvPixelBuffer source;
    FillPattern(source, {2, 1, 7, 5}, 9);
    TKvPixelBuffer target;
    ASSERT_TRUE(target.SetFormat(PixelFormatBGR24, {0, 0, 5, 3}));
    target.Assign(source);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool inOverlap = x >= 2 && y >= 1;
            EXPECT_TRUE(inOverlap ? HasPattern(target, x, y, 9) : IsBlack(target, x, y)) << x << "," << y;
        }
}

TEST(Pixels, CopyFromPlacesTheSourceCornerAndClipsBothSides)
{
    struct Case {
        int x, y;
        TRect sourceRect;
    };
    const TRect sourceBounds{0, 0, 6, 5};
    const TRect targetBounds{0, 0, 7, 6};
    const Case cases[] = {
        {0, 0, {0, 0, 6, 5}},
        {3, 2, {1, 1, 4, 4}},
        {-2, -1, {0, 0, 6, 5}},   // off the target's top-left
        {4, 4, {-3, -2, 4, 3}},   // source rectangle partly outside the source
        {10, 10, {0, 0, 6, 5}},   // lands outside: nothing
    };
    for (const Case& c : cases) {
        TKvPixelBuffer source;
        FillPattern(source, sourceBounds, 5);
        TKvPixelBuffer target;
        ASSERT_TRUE(target.SetFormat(PixelFormatBGR24, targetBounds));
        target.CopyFrom(c.x, c.y, c.sourceRect, source);
        for (int y = 0; y < targetBounds.Bottom; ++y)
            for (int x = 0; x < targetBounds.Right; ++x) {
                const TPoint from{c.sourceRect.Left + x - c.x, c.sourceRect.Top + y - c.y};
                const bool copied = c.sourceRect.Contains(from) && sourceBounds.Contains(from);
                const uint8_t* p = target.PixelAt(x, y);
                if (copied)
                    EXPECT_EQ(0, std::memcmp(p, source.PixelAt(from.X, from.Y), 3)) << x << "," << y;
                else
                    EXPECT_TRUE(IsBlack(target, x, y)) << x << "," << y;
            }
    }
}

TEST(Pixels, CopyFromBetweenDifferentFormatsCopiesNothing)
{
    TKvPixelBuffer source;
    FillPattern(source, {0, 0, 3, 3}, 1);
    TKvPixelBuffer target;
    ASSERT_TRUE(target.SetFormat(PixelFormatBGRA32, {0, 0, 3, 3}));
    target.Assign(source);
    for (int i = 0; i < target.Stride * 3; ++i)
        ASSERT_EQ(target.Data[i], 0);
}

TEST(Pixels, CopyWithinOneBufferMovesPixelsInEveryDirection)
{
    const TRect bounds{0, 0, 8, 8};
    const TPoint shifts[] = {{2, 3}, {-2, -3}, {3, 0}, {-3, 0}, {0, 1}, {1, -1}};
    for (const TPoint shift : shifts) {
        TKvPixelBuffer buffer;
        FillPattern(buffer, bounds);
        const TRect moved{1, 1, 6, 6};
        buffer.CopyFrom(moved.Left + shift.X, moved.Top + shift.Y, moved, buffer);
        for (int y = moved.Top; y < moved.Bottom; ++y)
            for (int x = moved.Left; x < moved.Right; ++x) {
                if (!bounds.Contains(TPoint{x + shift.X, y + shift.Y}))
                    continue;
                const uint8_t* p = buffer.PixelAt(x + shift.X, y + shift.Y);
                EXPECT_TRUE(p[0] == uint8_t(x) && p[1] == uint8_t(y) && p[2] == uint8_t(x + y))
                    << "shift " << shift.X << "," << shift.Y << " pixel " << x << "," << y;
            }
    }
}

// ---------------------------------------------------------------------------
// TKvPixelMask

TEST(PixelMask, SetBoundsClearsAndRefusesNegativeSizes)
{
    TKvPixelMask mask;
    mask.SetBounds(2, 3, 4, -1);
    EXPECT_EQ(mask.GetBounds(), (TRect{2, 3, 6, 3}));
    EXPECT_EQ(mask.ValueAt(2, 3), nullptr);
    mask.SetBounds(2, 3, 4, 2);
    *mask.ValueAt(5, 4) = 7;
    EXPECT_EQ(mask.Data[1 * 4 + 3], 7);
    EXPECT_EQ(mask.ValueAt(6, 4), nullptr);
    EXPECT_EQ(mask.ValueAt(1, 3), nullptr);
    mask.SetBounds(2, 3, 4, 2);
    EXPECT_EQ(*mask.ValueAt(5, 4), 0);
}

TEST(PixelMask, IncludeKeepsBytesAtTheirImagePositions)
{
    TKvPixelMask mask;
    mask.SetBounds(5, 5, 3, 2);
    for (int i = 0; i < 6; ++i)
        mask.Data[i] = uint8_t(i + 1);
    mask.Include({0, 6, 6, 9});
    ASSERT_EQ(mask.GetBounds(), (TRect{0, 5, 8, 9}));
    for (int y = 5; y < 9; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool old = x >= 5 && y < 7;
            EXPECT_EQ(*mask.ValueAt(x, y), old ? (y - 5) * 3 + (x - 5) + 1 : 0) << x << "," << y;
        }
    // Covered already, or nothing to cover: unchanged.
    const std::vector<uint8_t> before = mask.Data;
    mask.Include({1, 6, 3, 7});
    mask.Include({20, 20, 20, 30});
    EXPECT_EQ(mask.GetBounds(), (TRect{0, 5, 8, 9}));
    EXPECT_EQ(mask.Data, before);
}

TEST(PixelMask, IncludeOnAnEmptyMaskTakesTheRectangle)
{
    TKvPixelMask mask;
    mask.Include({-4, 2, -1, 4});
    EXPECT_EQ(mask.GetBounds(), (TRect{-4, 2, -1, 4}));
    EXPECT_EQ(mask.Data, std::vector<uint8_t>(6, 0));
}

TEST(PixelMask, MergeMaxGrowsFirstAndKeepsTheLargerByte)
{
    TKvPixelMask mask;
    mask.SetBounds(0, 0, 3, 3);
    std::fill(mask.Data.begin(), mask.Data.end(), 100);
    TKvPixelMask other;
    other.SetBounds(2, 1, 3, 2); // partly outside
    const uint8_t values[] = {50, 150, 10, 200, 0, 99};
    std::copy(std::begin(values), std::end(values), other.Data.begin());
    mask.MergeMax(other);
    ASSERT_EQ(mask.GetBounds(), (TRect{0, 0, 5, 3}));
    const uint8_t expected[3][5] = {
        {100, 100, 100, 0, 0},
        {100, 100, 100, 150, 10},
        {100, 100, 200, 0, 99},
    };
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(*mask.ValueAt(x, y), expected[y][x]) << x << "," << y;
}

// ---------------------------------------------------------------------------
// Kernels and cluster tables

TEST(Resampler, LanczosKernelValues)
{
    TLanczosResampler lanczos;
    EXPECT_TRUE(lanczos.NeedsClamping());
    EXPECT_EQ(lanczos.SupportRadius(), 3.0);
    EXPECT_EQ(lanczos.KernelValue(0), 1.0);
    for (int x = 1; x <= 4; ++x) {
        EXPECT_NEAR(lanczos.KernelValue(x), 0, 1e-15);
        EXPECT_NEAR(lanczos.KernelValue(-x), 0, 1e-15);
    }
    EXPECT_EQ(lanczos.KernelValue(3.0), 0);
    EXPECT_EQ(lanczos.KernelValue(-3.5), 0);
    // sinc(1/2) sinc(1/6) = (2/pi) (3/pi).
    EXPECT_NEAR(lanczos.KernelValue(0.5), 6 / (M_PI * M_PI), 1e-15);
    EXPECT_LT(lanczos.KernelValue(1.5), 0); // the negative lobe
}

TEST(MappingTable, SameSizeIsTheIdentity)
{
    TLanczosResampler lanczos;
    const TMappingTable table = MakeMappingTable(0, 6, 0, 6, 10, 16, lanczos);
    ASSERT_EQ(table.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(table[i], (TCluster{{10 + i, 256}}));
}

TEST(MappingTable, RoundingErrorGoesIntoTheMiddleEntry)
{
    // Seven pixels onto three, the kernel stretched by 7/3: destination pixel
    // d centres on source (d + 1/2) 7/3 - 1/2, and source pixel j weighs
    // round(256 (3/7) L((j - centre) 3/7)), L(x) = sinc(x) sinc(x/3), with j
    // clamped to 0..6 and zero weights left out. The middle cluster (centre
    // 3, j = -3..9) sums to 254, so its middle (seventh of thirteen) entry
    // gains 2: 110 becomes 112.
    TLanczosResampler lanczos;
    const TMappingTable table = MakeMappingTable(0, 3, 0, 3, 0, 7, lanczos);
    ASSERT_EQ(table.size(), 3u);
    const TCluster middle{{0, 2},   {0, 2},  {0, -9}, {0, -15}, {1, 15},  {2, 77}, {3, 112},
                          {4, 77},  {5, 15}, {6, -15}, {6, -9}, {6, 2},  {6, 2}};
    EXPECT_EQ(table[1], middle);
    // The last (centre 5 1/3, j = -1..11) has eleven entries, j = 3 and 10
    // weighing 0, and sums to 255: the sixth, 106, gains 1.
    const TCluster last{{0, 1},  {0, 3},  {1, -4},  {2, -16}, {4, 56}, {5, 107},
                        {6, 94}, {6, 35}, {6, -10}, {6, -13}, {6, 3}};
    EXPECT_EQ(table[2], last);
}

TEST(MappingTable, WeightsSumTo256ForEveryScale)
{
    TLanczosResampler lanczos;
    const int spans[][2] = {{8, 4}, {7, 3}, {9, 4}, {5, 13}, {2, 5}, {100, 3}, {3, 100}, {1000, 1}};
    for (const auto& span : spans) {
        const TMappingTable table = MakeMappingTable(0, span[1], 0, span[1], 0, span[0], lanczos);
        ASSERT_EQ(table.size(), std::size_t(span[1]));
        for (const TCluster& cluster : table) {
            int sum = 0;
            for (const TClusterEntry& entry : cluster) {
                sum += entry.Weight;
                EXPECT_GE(entry.Pos, 0);
                EXPECT_LT(entry.Pos, span[0]);
            }
            EXPECT_EQ(sum, 256) << span[0] << " onto " << span[1];
        }
    }
}

TEST(MappingTable, EnlargingReusesTheBorderPixels)
{
    TLanczosResampler lanczos;
    const TMappingTable table = MakeMappingTable(0, 5, 0, 5, 0, 2, lanczos);
    ASSERT_EQ(table.size(), 5u);
    // Enlarging does not stretch the kernel: destination pixel d centres on
    // source (d + 1/2) 2/5 - 1/2 and source pixel j weighs
    // round(256 L(j - centre)), with j clamped to 0..1. Pixel 0 (centre
    // -0.3, j = -3..2) sums to 256; pixel 2 (centre 0.5, j = -2..3) to 254,
    // and its middle (third of six) entry gains 2: 156 becomes 158.
    EXPECT_EQ(table[0], (TCluster{{0, 3}, {0, -21}, {0, 86}, {0, 216}, {1, -36}, {1, 8}}));
    EXPECT_EQ(table[2], (TCluster{{0, 6}, {0, -35}, {0, 158}, {1, 156}, {1, -35}, {1, 6}}));
}

TEST(MappingTable, ClipAndSourceOffsetsShiftTheClusters)
{
    TLanczosResampler lanczos;
    const TMappingTable whole = MakeMappingTable(0, 3, 0, 3, 0, 7, lanczos);
    const TMappingTable part = MakeMappingTable(0, 3, 1, 3, 10, 17, lanczos);
    ASSERT_EQ(part.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(part[i].size(), whole[i + 1].size());
        for (std::size_t k = 0; k < part[i].size(); ++k) {
            EXPECT_EQ(part[i][k].Pos, whole[i + 1][k].Pos + 10);
            EXPECT_EQ(part[i][k].Weight, whole[i + 1][k].Weight);
        }
    }
}

TEST(MappingTable, DegenerateSpans)
{
    TLanczosResampler lanczos;
    EXPECT_TRUE(MakeMappingTable(0, 5, 0, 5, 3, 3, lanczos).empty()); // no source
    EXPECT_TRUE(MakeMappingTable(0, 5, 2, 2, 0, 4, lanczos).empty()); // no clip
    EXPECT_EQ(MakeMappingTable(0, 4, 1, 4, 7, 8, lanczos), TMappingTable(3, TCluster{{7, 256}}));
    EXPECT_EQ(MakeMappingTable(2, 2, 2, 3, 4, 9, lanczos), (TMappingTable{TCluster{{6, 256}}}));
    EXPECT_THROW(MakeMappingTable(2, 2, 2, 4, 4, 9, lanczos), std::logic_error);
}

// ---------------------------------------------------------------------------
// ResamplePixels

namespace {

// Averages two neighbours when halving: weights of 128 each, no clamping.
class TBoxResampler : public TPixelResampler {
public:
    double KernelValue(double x) const override { return std::fabs(x) < 0.5 ? 1 : 0; }
    double SupportRadius() const override { return 0.5; }
};

} // namespace

TEST(ResamplePixels, SameSizeReproducesThePicture)
{
    std::mt19937 random(7);
    TKvPixelBuffer source;
    FillRandom(source, 7, 5, random);
    TKvPixelBuffer dest;
    ResampleWhole(source, 7, 5, TLanczosResampler(), dest);
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(RowBytes(dest, y), RowBytes(source, y));
}

TEST(ResamplePixels, OnePixelWideSourceRepeatsItsPixel)
{
    TKvPixelBuffer source;
    FillPattern(source, {0, 0, 1, 3}, 40);
    TKvPixelBuffer dest;
    ResampleWhole(source, 9, 3, TLanczosResampler(), dest);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(0, std::memcmp(dest.PixelAt(x, y), source.PixelAt(0, y), 3)) << x << "," << y;
}

TEST(ResamplePixels, OvershootIsClampedAndFractionsTruncated)
{
    // A hard edge from black to white doubled in width: the Lanczos lobes
    // overshoot to about -25.9 and 280.9, and 1.99, 7.97, 53.79 are cut down.
    const uint8_t edge[] = {0, 0, 0, 255, 255, 255};
    const uint8_t expected[] = {0, 1, 7, 0, 0, 53, 201, 255, 255, 247, 253, 255};
    TKvPixelBuffer source;
    ASSERT_TRUE(source.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 6, 1)));
    for (int x = 0; x < 6; ++x)
        std::fill_n(source.PixelAt(x, 0), 3, edge[x]);
    TKvPixelBuffer dest;
    ResampleWhole(source, 12, 1, TLanczosResampler(), dest);
    for (int x = 0; x < 12; ++x)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(dest.PixelAt(x, 0)[k], expected[x]) << x;
}

TEST(ResamplePixels, KernelWithoutClampingStillTruncates)
{
    const uint8_t pairs[][2] = {{1, 2}, {254, 255}, {0, 1}, {255, 255}};
    TKvPixelBuffer source;
    ASSERT_TRUE(source.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 8, 1)));
    for (int i = 0; i < 4; ++i) {
        std::fill_n(source.PixelAt(2 * i, 0), 3, pairs[i][0]);
        std::fill_n(source.PixelAt(2 * i + 1, 0), 3, pairs[i][1]);
    }
    TKvPixelBuffer dest;
    ResampleWhole(source, 4, 1, TBoxResampler(), dest);
    const uint8_t expected[] = {1, 254, 0, 255};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dest.PixelAt(i, 0)[1], expected[i]) << i;
}

TEST(ResamplePixels, WritesOnlyTheClipInsideTheDestination)
{
    std::mt19937 random(3);
    TKvPixelBuffer source;
    FillRandom(source, 12, 10, random);
    TKvPixelBuffer whole;
    ResampleWhole(source, 8, 6, TLanczosResampler(), whole);

    TKvPixelBuffer part;
    ASSERT_TRUE(part.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 8, 6)));
    const TRect clip{2, 1, 12, 4}; // reaches past the destination's right edge
    ResamplePixels(part, part.GetBounds(), clip, TLanczosResampler(), source.GetBounds(), source);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            if (clip.Contains(TPoint{x, y}))
                EXPECT_EQ(0, std::memcmp(part.PixelAt(x, y), whole.PixelAt(x, y), 3)) << x << "," << y;
            else
                EXPECT_TRUE(IsBlack(part, x, y)) << x << "," << y;
        }
}

TEST(ResamplePixels, EmptyRectanglesAndOtherFormatsDoNothing)
{
    std::mt19937 random(5);
    TKvPixelBuffer source;
    FillRandom(source, 6, 6, random);
    TKvPixelBuffer empty;
    struct Case {
        TRect destRect, destClip, sourceRect;
    };
    const Case cases[] = {
        {{0, 0, 0, 4}, {0, 0, 4, 4}, {0, 0, 6, 6}},
        {{0, 0, 4, 4}, {0, 0, 4, 4}, {2, 2, 2, 6}},
        {{0, 0, 4, 4}, {3, 3, 1, 1}, {0, 0, 6, 6}},
        {{0, 0, 4, 4}, {10, 10, 20, 20}, {0, 0, 6, 6}},
        {{0, 0, 4, 4}, {0, 0, 4, 4}, {20, 20, 30, 30}}, // source rectangle off the source
        {{4, 4, 0, 0}, {0, 0, 4, 4}, {0, 0, 6, 6}},
    };
    for (const Case& c : cases) {
        TKvPixelBuffer dest;
        ASSERT_TRUE(dest.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 4, 4)));
        ResamplePixels(dest, c.destRect, c.destClip, TLanczosResampler(), c.sourceRect, source);
        for (int i = 0; i < dest.Stride * 4; ++i)
            ASSERT_EQ(dest.Data[i], 0);
        ResamplePixels(empty, c.destRect, c.destClip, TLanczosResampler(), c.sourceRect, source);
        ResamplePixels(dest, c.destRect, c.destClip, TLanczosResampler(), c.sourceRect, empty);
    }
    TKvPixelBuffer wide;
    ASSERT_TRUE(wide.SetFormat(PixelFormatBGRA32, RectOfSize(0, 0, 4, 4)));
    ResamplePixels(wide, wide.GetBounds(), wide.GetBounds(), TLanczosResampler(), source.GetBounds(), source);
    for (int i = 0; i < wide.Stride * 4; ++i)
        ASSERT_EQ(wide.Data[i], 0);
}

TEST(ResamplePixels, SourceRectanglePastTheSourceReusesItsEdge)
{
    TKvPixelBuffer source;
    FillPattern(source, {0, 0, 4, 4}, 20);
    TKvPixelBuffer dest;
    ASSERT_TRUE(dest.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 6, 6)));
    // Same size, so each destination pixel takes exactly one source pixel.
    ResamplePixels(dest, dest.GetBounds(), dest.GetBounds(), TLanczosResampler(), {-1, -1, 5, 5}, source);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const int sx = std::clamp(x - 1, 0, 3);
            const int sy = std::clamp(y - 1, 0, 3);
            EXPECT_EQ(0, std::memcmp(dest.PixelAt(x, y), source.PixelAt(sx, sy), 3)) << x << "," << y;
        }
}

namespace {

// ResamplePixels as plainly as it can be written: every destination byte
// summed straight from the two cluster tables, no row buffer, no vectors.
void PlainResample(TKvPixels& dest, const TRect& destRect, const TRect& destClip,
                   const TPixelResampler& kernel, const TRect& sourceRect, const TKvPixels& source)
{
    const TRect clip = IntersectRect(dest.GetBounds(), destClip);
    const TMappingTable columns = MakeMappingTable(destRect.Left, destRect.Right, clip.Left, clip.Right,
                                                   sourceRect.Left, sourceRect.Right, kernel);
    const TMappingTable rows = MakeMappingTable(destRect.Top, destRect.Bottom, clip.Top, clip.Bottom,
                                                sourceRect.Top, sourceRect.Bottom, kernel);
    for (int y = clip.Top; y < clip.Bottom; ++y)
        for (int x = clip.Left; x < clip.Right; ++x)
            for (int k = 0; k < 3; ++k) {
                int32_t sum = 0;
                for (const TClusterEntry& column : columns[x - clip.Left]) {
                    int32_t columnSum = 0;
                    for (const TClusterEntry& row : rows[y - clip.Top])
                        columnSum += source.PixelAt(column.Pos, row.Pos)[k] * row.Weight;
                    sum += columnSum * column.Weight;
                }
                if (kernel.NeedsClamping())
                    sum = std::clamp(sum, 0, 0xFF0000);
                dest.PixelAt(x, y)[k] = uint8_t(uint32_t(sum) >> 16);
            }
}

TRect RandomRectIn(std::mt19937& random, const TRect& bounds)
{
    std::uniform_int_distribution<int> left(bounds.Left, bounds.Right - 1);
    std::uniform_int_distribution<int> top(bounds.Top, bounds.Bottom - 1);
    const int l = left(random);
    const int t = top(random);
    return {l, t, std::uniform_int_distribution<int>(l + 1, bounds.Right)(random),
            std::uniform_int_distribution<int>(t + 1, bounds.Bottom)(random)};
}

} // namespace

TEST(ResamplePixels, MatchesThePlainSumsOnRandomPictures)
{
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> size(1, 48);
    std::uniform_int_distribution<int> origin(-20, 20);
    TLanczosResampler lanczos3;
    TLanczosResampler lanczos2;
    lanczos2.Radius = 2;
    TBoxResampler box;
    const TPixelResampler* kernels[] = {&lanczos3, &lanczos2, &box};
    for (int round = 0; round < 300; ++round) {
        const bool large = round % 50 == 0; // long rows too, past any vector width
        TKvPixelBuffer source;
        FillRandom(source, large ? 301 : size(random), large ? 17 : size(random), random);
        source.Left = origin(random);
        source.Top = origin(random);
        const TRect sourceRect = RandomRectIn(random, source.GetBounds());
        const TRect destBounds = RectOfSize(origin(random), origin(random), large ? 457 : size(random) + 10,
                                            size(random));
        TRect destRect = RandomRectIn(random, destBounds);
        destRect.Right += 5; // may reach past the destination
        const TRect destClip = RandomRectIn(random, destRect);
        const TPixelResampler& kernel = *kernels[round % 3];

        TKvPixelBuffer fast;
        TKvPixelBuffer plain;
        for (TKvPixelBuffer* dest : {&fast, &plain})
            ASSERT_TRUE(dest->SetFormat(PixelFormatBGR24, destBounds));
        ResamplePixels(fast, destRect, destClip, kernel, sourceRect, source);
        PlainResample(plain, destRect, destClip, kernel, sourceRect, source);
        for (int y = destBounds.Top; y < destBounds.Bottom; ++y)
            ASSERT_EQ(RowBytes(fast, y), RowBytes(plain, y)) << "round " << round << " row " << y;
    }
}

// ---------------------------------------------------------------------------
// Helpers

TEST(FitSize, KeepsTheProportionsInsideTheBox)
{
    struct Case {
        int width, height, boxWidth, boxHeight;
        bool fits;
        int newWidth, newHeight;
    };
    const Case cases[] = {
        {400, 300, 100, 100, true, 100, 75},
        {300, 400, 100, 100, true, 75, 100},
        {100, 100, 50, 50, true, 50, 50},
        {3, 2, 100, 100, true, 100, 67},   // 66.67 rounds up
        {2, 1, 5, 5, true, 5, 3},          // 2.5 rounds away from zero
        {10, 10, 30, 20, true, 20, 20},
        {400, 300, 0, 100, false, -1, -1},
        {400, 300, 100, 0, false, -1, -1},
        {0, 0, 100, 100, false, -1, -1},
    };
    for (const Case& c : cases) {
        int w = -1, h = -1;
        EXPECT_EQ(FitSize(c.width, c.height, c.boxWidth, c.boxHeight, w, h), c.fits);
        EXPECT_EQ(w, c.newWidth) << c.width << "x" << c.height;
        EXPECT_EQ(h, c.newHeight) << c.width << "x" << c.height;
    }
}

TEST(MulDiv, RoundsHalvesAwayFromZeroAndAnswersMinusOneWithoutAResult)
{
    struct Case {
        int a, b, c;
        int result;
    };
    const Case cases[] = {
        {5, 1, 2, 3},            // 2.5
        {-5, 1, 2, -3},          // -2.5
        {5, -1, -2, 3},
        {7, 1, 3, 2},            // 2.33
        {200000, 300000, 100000, 600000}, // the product needs 64 bits
        {3, 4, 0, -1},           // no divisor
        {0, 0, 0, -1},
        {INT_MAX, 4, 2, -1},     // the quotient does not fit
        {INT_MIN, 3, 1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.result) << c.a << " * " << c.b << " / " << c.c;
}

TEST(BlendIntoPixel, BlendsByteByByte)
{
    struct Case {
        uint8_t alpha;
        TPackedPixel packed;
        uint8_t before[3];
        uint8_t after[3];
    };
    const Case cases[] = {
        {0, 0xFFFFFF, {10, 20, 30}, {10, 20, 30}},
        {255, 0x332211, {10, 20, 30}, {0x11, 0x22, 0x33}},
        {128, 0xFFFFFF, {0, 100, 255}, {127, 177, 255}},
        {128, 0x000000, {255, 100, 1}, {127, 50, 0}},  // the shift rounds toward minus infinity
        {1, 0x000000, {255, 1, 0}, {254, 0, 0}},
        {254, 0x0000FF, {0, 0, 0}, {253, 0, 0}},
    };
    for (const Case& c : cases) {
        uint8_t pixel[3] = {c.before[0], c.before[1], c.before[2]};
        BlendIntoPixel(pixel, c.alpha, c.packed);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(pixel[k], c.after[k]) << "alpha " << int(c.alpha) << " byte " << k;
    }
}

TEST(Colours, RepresentationsKeepTheirByteOrder)
{
    EXPECT_EQ(RGBToTriple(1, 2, 3), (TColorTriple{3, 2, 1}));
    EXPECT_EQ(PackedToVector(0x030201), (TColorVector{1, 2, 3}));
    EXPECT_EQ(TripleToVector({1, 2, 3}), (TColorVector{1, 2, 3}));
    EXPECT_EQ(VectorToTriple({-5, 2.5f, 300}), (TColorTriple{0, 2, 255}));
    EXPECT_EQ(ScaleVector({1, 2, 3}, 0.5f), (TColorVector{0.5f, 1, 1.5f}));
    const struct {
        double value;
        int byte;
    } rounding[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {2.6, 3}, {-0.4, 0}, {254.5, 254}, {255.4, 255}, {1e9, 255}};
    for (const auto& c : rounding)
        EXPECT_EQ(ClampToByte(c.value), c.byte) << c.value;
    EXPECT_EQ(ClampFloat(5, 0, 1), 1);
    EXPECT_EQ(ClampFloat(-5, 0, 1), 0);
    EXPECT_EQ(ClampFloat(0.25, 0, 1), 0.25);
}

TEST(Points, RotateAndMeasure)
{
    const TPointF turned = RotatePoint(PointF(3, 1), PointF(1, 1), std::acos(-1.0) / 2);
    EXPECT_NEAR(turned.X, 1, 1e-12);
    EXPECT_NEAR(turned.Y, 3, 1e-12); // a quarter turn clockwise on screen (y down)
    EXPECT_EQ(Distance(PointF(0, 0), PointF(3, 4)), 5);
    EXPECT_EQ(Distance(PointF(1, 1), TPoint{4, 5}), 5);
    EXPECT_EQ(ToPointF(TPoint{-2, 7}), PointF(-2, 7));
}

TEST(Rectangles, IncludePointAccumulatesPixelBounds)
{
    TRect bounds{9, 9, 0, 0}; // inverted for a 10 x 10 picture
    IncludePoint(bounds, 4, 6);
    EXPECT_EQ(bounds, (TRect{4, 6, 5, 7}));
    IncludePoint(bounds, 2, 8);
    IncludePoint(bounds, 7, 1);
    EXPECT_EQ(bounds, (TRect{2, 1, 8, 9}));
    EXPECT_EQ(NormalizeRect({5, 1, 2, 4}), (TRect{2, 1, 5, 4}));
    EXPECT_EQ(NormalizeRect({2, 8, 5, 3}), (TRect{2, 3, 5, 8}));
}

TEST(Rectangles, IntersectAndUnion)
{
    EXPECT_EQ(IntersectRect({0, 0, 5, 5}, {3, 2, 8, 9}), (TRect{3, 2, 5, 5}));
    EXPECT_EQ(IntersectRect({0, 0, 5, 5}, {5, 0, 8, 9}), TRect{});
    EXPECT_EQ(UnionRect({0, 0, 5, 5}, {3, 2, 8, 9}), (TRect{0, 0, 8, 9}));
    EXPECT_EQ(UnionRect({4, 4, 4, 9}, {1, 2, 3, 4}), (TRect{1, 2, 3, 4}));
    EXPECT_EQ(UnionRect({4, 4, 4, 9}, {1, 2, 1, 4}), TRect{});
    EXPECT_TRUE((TRect{0, 0, 4, 4}).Contains(TRect{1, 1, 4, 4}));
    EXPECT_FALSE((TRect{0, 0, 4, 4}).Contains(TRect{1, 1, 5, 4}));
    EXPECT_FALSE((TRect{0, 0, 4, 4}).Contains(TPoint{4, 0}));
}

TEST(Handles, PointsAndMoves)
{
    const TRect r{10, 20, 31, 41};
    struct Case {
        int handle;
        TPoint point;
        TRect moved; // by (2, 3)
    };
    const Case cases[] = {
        {HandleBody, {20, 30}, {12, 23, 33, 44}},
        {HandleTop, {20, 20}, {10, 23, 31, 41}},
        {HandleTopRight, {30, 20}, {10, 23, 33, 41}},
        {HandleRight, {30, 30}, {10, 20, 33, 41}},
        {HandleBottomRight, {30, 40}, {10, 20, 33, 44}},
        {HandleBottom, {20, 40}, {10, 20, 31, 44}},
        {HandleBottomLeft, {10, 40}, {12, 20, 31, 44}},
        {HandleLeft, {10, 30}, {12, 20, 31, 41}},
        {HandleTopLeft, {10, 20}, {12, 23, 31, 41}},
        {HandleNone, {0, 0}, r},
        {12, {0, 0}, r},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HandlePoint(r, c.handle), c.point) << c.handle;
        EXPECT_EQ(MoveHandle(r, c.handle, 2, 3), c.moved) << c.handle;
    }
    EXPECT_EQ(HandleRect({10, 20}, 0), (TRect{6, 16, 15, 25}));
    EXPECT_EQ(HandleRect({10, 20}, 7), (TRect{7, 17, 14, 24}));
    EXPECT_EQ(HandlePoint({-5, -5, 0, 0}, HandleTop), (TPoint{-2, -5})); // midpoint rounds toward zero
}

TEST(Handles, HitHandlePrefersTheLowerNumber)
{
    const TRect big{0, 0, 100, 60};
    const TRect tiny{0, 0, 6, 6}; // every handle square overlaps every other
    struct Case {
        TRect rect;
        TPoint point;
        int handle;
    };
    const Case cases[] = {
        {big, {50, 0}, HandleTop},
        {big, {99, 0}, HandleTopRight},
        {big, {103, 4}, HandleTopRight},   // outside the rectangle, inside the square
        {big, {104, 4}, HandleNone},
        {big, {99, 30}, HandleRight},
        {big, {99, 59}, HandleBottomRight},
        {big, {50, 59}, HandleBottom},
        {big, {0, 59}, HandleBottomLeft},
        {big, {0, 30}, HandleLeft},
        {big, {-4, -4}, HandleTopLeft},
        {big, {-5, -4}, HandleNone},
        {big, {30, 20}, HandleBody},
        {big, {100, 20}, HandleNone},
        {tiny, {3, 3}, HandleTop},
        {tiny, {0, 4}, HandleTop},
        {tiny, {0, 5}, HandleBottom},
        {tiny, {-4, 5}, HandleBottomLeft},
        {tiny, {9, 9}, HandleBottomRight},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HitHandle(c.rect, c.point), c.handle) << c.point.X << "," << c.point.Y;
}

TEST(CheckerColor, AlternatesSquares)
{
    EXPECT_EQ(CheckerColor(0, 0, 4), 0xA9A9A9u);
    EXPECT_EQ(CheckerColor(3, 3, 4), 0xA9A9A9u);
    EXPECT_EQ(CheckerColor(4, 0, 4), 0xFFFFFEu);
    EXPECT_EQ(CheckerColor(0, 4, 4), 0xFFFFFEu);
    EXPECT_EQ(CheckerColor(4, 4, 4), 0xA9A9A9u);
    EXPECT_EQ(CheckerColor(5, 9, 0), 0xA9A9A9u); // no cell size: single pixels
}
