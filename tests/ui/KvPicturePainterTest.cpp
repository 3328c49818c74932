// Painting a picture at a zoom: which picture pixel each device pixel shows,
// that only the region asked for is written, and that the scaled copy kept
// for reduced zooms always shows the picture as it is.
#include "KvPicturePainter.h"

#include <QRegion>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

constexpr uint8_t Untouched = 0xA5;

// A picture of random bytes.
void FillRandom(TKvPixelBuffer& picture, int width, int height, unsigned seed)
{
    ASSERT_TRUE(picture.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, width, height)));
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            picture.PixelAt(0, y)[x] = uint8_t(random());
}

// A device surface filled with a byte no painting writes by chance.
void MakeTarget(TKvPixelBuffer& target, int width, int height)
{
    ASSERT_TRUE(target.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, width, height)));
    for (int y = 0; y < height; ++y)
        std::memset(target.PixelAt(0, y), Untouched, std::size_t(width) * 3);
}

TKvMapMode Zoom(int numerator, int denominator, QPoint origin)
{
    TKvMapMode mapMode;
    mapMode.DeviceExtent = {numerator, numerator};
    mapMode.LogicalExtent = {denominator, denominator};
    mapMode.DeviceOrigin = origin;
    return mapMode;
}

bool SamePixel(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 3) == 0; }

bool IsUntouched(const uint8_t* p) { return p[0] == Untouched && p[1] == Untouched && p[2] == Untouched; }

QRect DeviceRect(const TKvMapMode& mapMode, const TRect& r)
{
    return mapMode.LogicalToDevice(QRect(r.Left, r.Top, r.Width(), r.Height()));
}

// What a reduced zoom must show: the picture resampled as a whole with the
// filter of that reduction.
void ReducedReference(TKvPixelBuffer& reference, const TKvPixels& picture, const TKvMapMode& mapMode, int width,
                      int height)
{
    MakeTarget(reference, width, height);
    const QRect whole = DeviceRect(mapMode, picture.GetBounds());
    ResamplePixels(reference, RectOfSize(whole.x(), whole.y(), whole.width(), whole.height()),
                   reference.GetBounds(), TKvPicturePainter::ReductionKernel(mapMode.DeviceExtent, mapMode.LogicalExtent),
                   picture.GetBounds(), picture);
}

struct TZoomCase {
    int Numerator;
    int Denominator;
    QPoint Origin;
};

class PicturePainterZoomTest : public ::testing::TestWithParam<TZoomCase> {};

TEST_P(PicturePainterZoomTest, EachDevicePixelShowsThePicturePixelUnderIt)
{
    const TZoomCase zoom = GetParam();
    TKvPixelBuffer picture;
    FillRandom(picture, 37, 23, 7);
    const TKvMapMode mapMode = Zoom(zoom.Numerator, zoom.Denominator, zoom.Origin);
    TKvPixelBuffer target;
    MakeTarget(target, 60, 50);

    TKvPicturePainter painter;
    painter.Paint(target, QRegion(0, 0, 60, 50), picture, picture.GetBounds(), mapMode);

    const QRect shown = DeviceRect(mapMode, picture.GetBounds()) & QRect(0, 0, 60, 50);
    const bool reduced = zoom.Numerator < zoom.Denominator;
    TKvPixelBuffer reference;
    if (reduced)
        ReducedReference(reference, picture, mapMode, 60, 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 60; ++x) {
            const uint8_t* painted = target.PixelAt(x, y);
            if (!shown.contains(x, y)) {
                ASSERT_TRUE(IsUntouched(painted)) << x << "," << y;
            } else if (reduced) {
                ASSERT_TRUE(SamePixel(painted, reference.PixelAt(x, y))) << x << "," << y;
            } else {
                const QPoint logical = mapMode.DeviceToLogical(QPoint(x, y));
                ASSERT_TRUE(SamePixel(painted, picture.PixelAt(logical.x(), logical.y()))) << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Zooms, PicturePainterZoomTest,
                         ::testing::Values(TZoomCase{1, 1, {5, 3}}, TZoomCase{1, 1, {-20, -9}},
                                           TZoomCase{3, 2, {-7, 2}}, TZoomCase{2, 1, {-31, -5}},
                                           TZoomCase{4, 1, {3, -40}}, TZoomCase{16, 1, {-100, -70}},
                                           TZoomCase{3, 4, {-4, 6}}, TZoomCase{1, 2, {11, 1}},
                                           TZoomCase{7, 20, {2, 2}}, TZoomCase{1, 16, {0, 0}}));

TEST(PicturePainterTest, OnlyTheRegionAndThePictureRectangleArePainted)
{
    TKvPixelBuffer picture;
    FillRandom(picture, 40, 30, 3);
    for (const auto& [numerator, denominator] : {std::pair{1, 1}, std::pair{2, 1}, std::pair{1, 2}}) {
        const TKvMapMode mapMode = Zoom(numerator, denominator, {2, 1});
        TKvPixelBuffer target;
        MakeTarget(target, 90, 70);
        const QRegion region = QRegion(0, 0, 90, 10) + QRegion(30, 20, 15, 40);
        const TRect crop{5, 4, 30, 25};
        TKvPicturePainter painter;
        painter.Paint(target, region, picture, crop, mapMode);

        const QRegion expected = region & DeviceRect(mapMode, crop);
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 90; ++x)
                ASSERT_EQ(IsUntouched(target.PixelAt(x, y)), !expected.contains(QPoint(x, y)))
                    << numerator << ":" << denominator << " at " << x << "," << y;
    }
}

TEST(PicturePainterTest, AReducedPicturePaintedInStripsEqualsItPaintedWhole)
{
    TKvPixelBuffer picture;
    FillRandom(picture, 200, 120, 11);
    const TKvMapMode mapMode = Zoom(1, 3, {-4, -2});
    TKvPixelBuffer target;
    MakeTarget(target, 60, 40);
    TKvPicturePainter painter;
    for (int top = 0; top < 40; top += 7)
        painter.Paint(target, QRegion(0, top, 60, 7), picture, picture.GetBounds(), mapMode);
    EXPECT_TRUE(painter.HasScaledCopy());

    TKvPixelBuffer reference;
    ReducedReference(reference, picture, mapMode, 60, 40);
    const QRect shown = DeviceRect(mapMode, picture.GetBounds()) & QRect(0, 0, 60, 40);
    for (int y = shown.top(); y <= shown.bottom(); ++y)
        for (int x = shown.left(); x <= shown.right(); ++x)
            ASSERT_TRUE(SamePixel(target.PixelAt(x, y), reference.PixelAt(x, y))) << x << "," << y;
}

TEST(PicturePainterTest, ChangedPixelsShowOnceInvalidatedAndAReplacedPictureAfterReset)
{
    TKvPixelBuffer picture;
    FillRandom(picture, 120, 90, 5);
    const TKvMapMode mapMode = Zoom(1, 2, {0, 0});
    TKvPicturePainter painter;
    TKvPixelBuffer target;
    MakeTarget(target, 60, 45);
    painter.Paint(target, QRegion(0, 0, 60, 45), picture, picture.GetBounds(), mapMode);

    // A brush dab: a white square.
    const TRect dab{50, 30, 58, 41};
    for (int y = dab.Top; y < dab.Bottom; ++y)
        std::memset(picture.PixelAt(dab.Left, y), 255, std::size_t(dab.Width()) * 3);
    painter.Invalidate(dab);
    painter.Paint(target, QRegion(0, 0, 60, 45), picture, picture.GetBounds(), mapMode);
    TKvPixelBuffer reference;
    ReducedReference(reference, picture, mapMode, 60, 45);
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_TRUE(SamePixel(target.PixelAt(x, y), reference.PixelAt(x, y))) << x << "," << y;

    // Another picture of the same size in the same memory (an undo of a
    // turn, say) is shown after Reset.
    FillRandom(picture, 120, 90, 6);
    painter.Reset();
    painter.Paint(target, QRegion(0, 0, 60, 45), picture, picture.GetBounds(), mapMode);
    ReducedReference(reference, picture, mapMode, 60, 45);
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_TRUE(SamePixel(target.PixelAt(x, y), reference.PixelAt(x, y))) << x << "," << y;
}

TEST(PicturePainterTest, StrongReductionsAverageAndMildOnesUseLanczos)
{
    const auto isLanczos = [](int numerator, int denominator) {
        return dynamic_cast<const TLanczosResampler*>(&TKvPicturePainter::ReductionKernel(
                   {numerator, numerator}, {denominator, denominator}))
            != nullptr;
    };
    EXPECT_TRUE(isLanczos(3, 4));
    EXPECT_TRUE(isLanczos(1, 5));
    EXPECT_TRUE(isLanczos(937, 4000));
    EXPECT_FALSE(isLanczos(1, 6));
    EXPECT_FALSE(isLanczos(400, 20000));

    // The mean of a 6 x 6 block of two values in halves.
    TKvPixelBuffer picture;
    ASSERT_TRUE(picture.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 6, 6)));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            std::memset(picture.PixelAt(x, y), x < 3 ? 200 : 100, 3);
    TKvPixelBuffer target;
    MakeTarget(target, 1, 1);
    TKvPicturePainter painter;
    painter.Paint(target, QRegion(0, 0, 1, 1), picture, picture.GetBounds(), Zoom(1, 6, {0, 0}));
    // Weights are whole 256ths: the mean may be off by one.
    EXPECT_NEAR(target.PixelAt(0, 0)[0], 150, 1);
}

TEST(PicturePainterTest, AOnePixelPictureFillsItsDeviceRectangleAtEveryZoom)
{
    TKvPixelBuffer picture;
    ASSERT_TRUE(picture.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 1, 1)));
    picture.PixelAt(0, 0)[0] = 10;
    picture.PixelAt(0, 0)[1] = 20;
    picture.PixelAt(0, 0)[2] = 30;
    for (const auto& [numerator, denominator] : {std::pair{1, 1}, std::pair{16, 1}, std::pair{3, 2}}) {
        const TKvMapMode mapMode = Zoom(numerator, denominator, {4, 4});
        TKvPixelBuffer target;
        MakeTarget(target, 30, 30);
        TKvPicturePainter painter;
        painter.Paint(target, QRegion(0, 0, 30, 30), picture, picture.GetBounds(), mapMode);
        const QRect shown = DeviceRect(mapMode, picture.GetBounds());
        EXPECT_EQ(shown.width(), numerator / denominator);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                ASSERT_EQ(SamePixel(target.PixelAt(x, y), picture.PixelAt(0, 0)), shown.contains(x, y))
                    << x << "," << y;
    }
}

} // namespace
