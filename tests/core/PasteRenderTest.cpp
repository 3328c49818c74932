// Pasting an object: the filters' weights, sampling with soft edges that do
// not darken, the exact copy at the object's own size, mirroring and the
// sampling angle, what a paste off the picture or of a transparent object
// changes, and the live preview against the committed nearest paste.
#include "PasteRender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// An object of width x height whose colour and matte are given per pixel.
template <typename Color, typename Alpha>
TBGRWithAlpha MakeObject(int width, int height, Color color, Alpha alpha)
{
    TBGRWithAlpha object;
    EXPECT_TRUE(object.SetSize(width, height));
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y) {
            object.SetColor(x, y, color(x, y));
            object.SetAlpha(x, y, std::uint8_t(alpha(x, y)));
        }
    return object;
}

TKvPixelBuffer MakePicture(int width, int height, TColorTriple color)
{
    TKvPixelBuffer picture;
    EXPECT_TRUE(picture.SetFormat(PixelFormatBGR24, {0, 0, width, height}));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.PixelAt(x, y);
            p[0] = color.Blue;
            p[1] = color.Green;
            p[2] = color.Red;
        }
    return picture;
}

TColorTriple At(const TKvPixels& picture, int x, int y)
{
    const std::uint8_t* p = picture.PixelAt(x, y);
    return {p[0], p[1], p[2]};
}

bool SamePixels(const TKvPixels& a, const TKvPixels& b)
{
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width; ++x)
            if (!(At(a, x, y) == At(b, x, y)))
                return false;
    return true;
}

TEST(PasteFilters, WeightsFollowTheirFormulas)
{
    struct Case {
        int filter;
        double d;
        double weight;
    };
    // Worked out from each filter's formula at distance d: triangle 1 - d;
    // Hermite 2d^3 - 3d^2 + 1; bell 3/4 - d^2 below 1/2, (d - 3/2)^2 / 2
    // below 3/2; B-spline d^3/2 - d^2 + 2/3 below 1; Mitchell (B = C = 1/3)
    // (7d^3 - 12d^2 + 16/3) / 6 below 1; Lanczos sinc(d) sinc(d/3), which is
    // (2/pi) (3/pi) at 1/2 and 0 at every other whole d.
    const Case cases[] = {
        {pfNearest, 0, 1},         {pfNearest, 0.5, 0},        {pfTriangle, 0.25, 0.75},  {pfTriangle, 1, 0},
        {pfHermite, 0, 1},         {pfHermite, 0.5, 0.5},      {pfHermite, 1, 0},         {pfBell, 0, 0.75},
        {pfBell, 0.5, 0.5},        {pfBell, 1, 0.125},         {pfBell, 1.5, 0},          {pfBSpline, 0, 2.0 / 3},
        {pfBSpline, 1, 1.0 / 6},   {pfBSpline, 2, 0},          {pfMitchell, 0, 8.0 / 9},  {pfMitchell, 1, 1.0 / 18},
        {pfMitchell, 2, 0},        {pfLanczos3, 0, 1},         {pfLanczos3, 1, 0},        {pfLanczos3, 3, 0},
        {pfLanczos3, 0.5, 6 / (M_PI * M_PI)},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(PasteFilterWeight(c.filter, c.d), c.weight, 1e-12) << PasteFilterName(c.filter) << " at " << c.d;
    EXPECT_STREQ(PasteFilterName(pfHermite), "Hermite");
    EXPECT_EQ(PasteFilterRadius(pfLanczos3), 3);
    EXPECT_EQ(PasteFilterWeight(99, 0), 0);
}

TEST(PasteSampling, EveryFilterGivesAnOpaqueUniformObjectItsOwnColour)
{
    const TColorTriple orange{20, 120, 240};
    const TBGRWithAlpha object = MakeObject(12, 12, [&](int, int) { return orange; }, [](int, int) { return 255; });
    for (int filter = 0; filter < PasteFilterCount; ++filter) {
        const TPasteSampler sampler(object, filter, false, false);
        EXPECT_EQ(sampler.Sample({0, 0, 0}, 5.37, 6.81), orange) << PasteFilterName(filter);
    }
}

// The object's black margins must not darken its soft edge: a white object
// with a soft matte pasted enlarged over white stays white everywhere.
TEST(PasteSampling, SoftEdgesOverTheirOwnColourStayThatColour)
{
    const TColorTriple white{255, 255, 255};
    TBGRWithAlpha object = MakeObject(
        16, 16, [](int, int) { return TColorTriple{}; },
        [](int x, int y) { return std::hypot(x - 7.5, y - 7.5) < 5 ? 255 : std::hypot(x - 7.5, y - 7.5) < 6 ? 128 : 0; });
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y)
            if (object.GetAlpha(x, y) > 0)
                object.SetColor(x, y, white);
    for (int filter = 1; filter < PasteFilterCount; ++filter) {
        TKvPixelBuffer picture = MakePicture(60, 60, white);
        RenderPaste(picture, object, {{3, 5, 57, 52}, 30, false, false}, filter);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x)
                ASSERT_EQ(At(picture, x, y), white) << PasteFilterName(filter) << " at " << x << ", " << y;
    }
}

// The sampling spelled out over every pixel of the object: the weights of
// the filter at each distance, colours weighted by kernel and matte.
TColorTriple ReferenceSample(const TBGRWithAlpha& object, int filter, TColorTriple background, double x, double y)
{
    if (filter == pfNearest) {
        const long i = std::lrint(x);
        const long j = std::lrint(y);
        if (i < 0 || j < 0 || i >= object.Width() || j >= object.Height() || object.GetAlpha(int(i), int(j)) < 128)
            return background;
        return object.GetColor(int(i), int(j));
    }
    double weights = 0, alpha = 0, blue = 0, green = 0, red = 0;
    for (int i = 0; i < object.Width(); ++i)
        for (int j = 0; j < object.Height(); ++j) {
            const double w = PasteFilterWeight(filter, std::sqrt((x - i) * (x - i) + (y - j) * (y - j)));
            const double a = w * object.GetAlpha(i, j) / 255.0;
            const TColorTriple c = object.GetColor(i, j);
            weights += w;
            alpha += a;
            blue += a * c.Blue;
            green += a * c.Green;
            red += a * c.Red;
        }
    if (weights <= 0.0001)
        return background;
    const double keep = 1 - alpha / weights;
    return {ClampToByte(blue / weights + background.Blue * keep), ClampToByte(green / weights + background.Green * keep),
            ClampToByte(red / weights + background.Red * keep)};
}

// Positions inside, on the edges of and around a small object, where the
// kernels reach past its border.
TEST(PasteSampling, EveryFilterSamplesAsTheFormulaSaysAlsoAtTheObjectsBorders)
{
    std::mt19937 random(11);
    const auto byte = [&](int, int) { return std::uint8_t(random() % 256); };
    const TBGRWithAlpha object = MakeObject(
        7, 5, [&](int x, int y) { return TColorTriple{byte(x, y), byte(x, y), byte(x, y)}; },
        [&](int x, int y) { return x == 3 ? 0 : byte(x, y); });
    std::uniform_real_distribution<double> across(-4.5, 11.5);
    std::uniform_real_distribution<double> down(-4.5, 9.5);
    for (int filter = 0; filter < PasteFilterCount; ++filter) {
        const TPasteSampler sampler(object, filter, false, false);
        for (int n = 0; n < 3000; ++n) {
            const double x = n < 100 ? n % 10 - 1.5 : across(random);
            const double y = n < 100 ? n / 10 - 2.5 : down(random);
            const TColorTriple background{byte(0, 0), byte(0, 0), byte(0, 0)};
            const TColorTriple ours = sampler.Sample(background, x, y);
            const TColorTriple reference = ReferenceSample(object, filter, background, x, y);
            ASSERT_LE(std::abs(ours.Blue - reference.Blue) + std::abs(ours.Green - reference.Green)
                          + std::abs(ours.Red - reference.Red),
                      1)
                << PasteFilterName(filter) << " at " << x << ", " << y;
        }
    }
}

TEST(PasteSampling, AHalfTransparentSampleMixesWithTheBackground)
{
    const TBGRWithAlpha object = MakeObject(
        3, 3, [](int, int) { return TColorTriple{200, 100, 0}; }, [](int, int) { return 102; }); // 40 %
    const TPasteSampler sampler(object, pfHermite, false, false);
    // 0.4 * colour + 0.6 * background, rounded.
    EXPECT_EQ(sampler.Sample({0, 50, 255}, 1, 1), (TColorTriple{80, 70, 153}));
    EXPECT_EQ(sampler.Sample({10, 20, 30}, -5, 1), (TColorTriple{10, 20, 30})); // out of reach
}

TEST(PasteSampling, NearestIsOpaqueFromHalfTheMatteAndRoundsHalvesToEven)
{
    const TBGRWithAlpha object = MakeObject(
        4, 1, [](int x, int) { return TColorTriple{std::uint8_t(x * 10), 0, 0}; },
        [](int x, int) { return x == 3 ? 127 : 128; });
    const TPasteSampler sampler(object, pfNearest, false, false);
    const TColorTriple background{1, 2, 3};
    EXPECT_EQ(sampler.Sample(background, 0.5, 0), (TColorTriple{0, 0, 0}));  // 0.5 rounds to 0
    EXPECT_EQ(sampler.Sample(background, 1.5, 0), (TColorTriple{20, 0, 0})); // 1.5 rounds to 2
    EXPECT_EQ(sampler.Sample(background, 3, 0), background);                // matte 127
    EXPECT_EQ(sampler.Sample(background, 4.6, 0), background);              // outside
}

TEST(PasteRender, AtItsOwnSizeWithoutATurnTheObjectIsCopiedExactlyBlendedByItsMatte)
{
    std::mt19937 random(7);
    const auto byte = [&](int, int) { return int(random() % 256); };
    const TBGRWithAlpha object = MakeObject(
        9, 7, [&](int x, int y) { return TColorTriple{std::uint8_t(byte(x, y)), std::uint8_t(byte(x, y)), std::uint8_t(byte(x, y))}; },
        byte);
    const TColorTriple background{90, 160, 30};
    TKvPixelBuffer picture = MakePicture(30, 20, background);
    RenderPaste(picture, object, {{10, 5, 19, 12}, 0, false, false});
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 7; ++y) {
            const double a = object.GetAlpha(x, y) / 255.0;
            const TColorTriple c = object.GetColor(x, y);
            const TColorTriple expected{ClampToByte(c.Blue * a + background.Blue * (1 - a)),
                                        ClampToByte(c.Green * a + background.Green * (1 - a)),
                                        ClampToByte(c.Red * a + background.Red * (1 - a))};
            ASSERT_EQ(At(picture, 10 + x, 5 + y), expected) << x << ", " << y;
        }
}

TEST(PasteRender, SamplingAngleMirrorsTheRotationForOneMirroredAxis)
{
    struct Case {
        int rotation;
        bool flipX;
        bool flipY;
        int angle;
    };
    const Case cases[] = {{30, false, false, 30}, {30, true, false, 330}, {30, false, true, 330},
                          {30, true, true, 30},   {0, true, false, 0},    {-1, false, false, 359}};
    for (const Case& c : cases)
        EXPECT_EQ(SamplingAngle({{0, 0, 1, 1}, c.rotation, c.flipX, c.flipY}), c.angle) << c.rotation;
    EXPECT_EQ(NormalizedRotation(100000), 280);
    EXPECT_EQ(NormalizedRotation(-1), 359);
    EXPECT_EQ(NormalizedRotation(720), 0);
}

// A paste mirrored left to right and turned by 30 degrees is the mirror
// image of the same paste unmirrored.
TEST(PasteRender, AMirroredTurnedPasteIsTheMirrorImageOfTheUnmirroredOne)
{
    const TBGRWithAlpha object = MakeObject(
        20, 12, [](int x, int y) { return TColorTriple{std::uint8_t(x * 12), std::uint8_t(y * 20), 99}; },
        [](int x, int y) { return x < 15 && y > 2 ? 255 : 0; });
    TKvPixelBuffer plain = MakePicture(50, 40, {0, 0, 0});
    TKvPixelBuffer mirrored = MakePicture(50, 40, {0, 0, 0});
    RenderPaste(plain, object, {{5, 4, 45, 36}, 30, false, false});
    RenderPaste(mirrored, object, {{5, 4, 45, 36}, 30, true, false});
    int worst = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) {
            const TColorTriple a = At(plain, x, y);
            const TColorTriple b = At(mirrored, 49 - x, y);
            worst = std::max({worst, std::abs(a.Blue - b.Blue), std::abs(a.Green - b.Green), std::abs(a.Red - b.Red)});
        }
    EXPECT_LE(worst, 1);
    EXPECT_FALSE(SamePixels(plain, mirrored));
}

TEST(PasteRender, ChangesOnlyPixelsInsideThePictureAndReportsThem)
{
    const TBGRWithAlpha opaque = MakeObject(
        10, 10, [](int, int) { return TColorTriple{255, 255, 255}; }, [](int, int) { return 255; });
    const TBGRWithAlpha transparent = MakeObject(
        10, 10, [](int, int) { return TColorTriple{255, 255, 255}; }, [](int, int) { return 0; });
    const TBGRWithAlpha empty;
    struct Case {
        const char* what;
        const TBGRWithAlpha& object;
        TRect rect;
        TRect changed;
    };
    const Case cases[] = {
        {"partly off the picture", opaque, {-5, 30, 10, 50}, {0, 30, 10, 40}},
        {"wholly off the picture", opaque, {40, 10, 60, 20}, {}},
        {"one pixel wide and very tall", opaque, {3, -30000, 4, 30000}, {3, 0, 4, 40}},
        {"transparent", transparent, {5, 5, 25, 25}, {}},
        {"not loaded", empty, {5, 5, 25, 25}, {}},
    };
    for (const Case& c : cases) {
        TKvPixelBuffer picture = MakePicture(40, 40, {0, 0, 0});
        EXPECT_EQ(RenderPaste(picture, c.object, {c.rect, 0, false, false}), c.changed) << c.what;
        int changedPixels = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                changedPixels += !(At(picture, x, y) == TColorTriple{});
        EXPECT_EQ(changedPixels, c.changed.Width() * c.changed.Height()) << c.what;
    }
}

// At 1:1 the preview shows the nearest-sample paste; zoomed out each canvas
// pixel shows the nearest paste of the picture pixel it stands for.
TEST(PasteRender, ThePreviewShowsTheNearestPasteOfThePixelsTheViewShows)
{
    const TBGRWithAlpha object = MakeObject(
        16, 16, [](int x, int y) { return TColorTriple{std::uint8_t(x * 16), std::uint8_t(y * 16), 7}; },
        [](int x, int y) { return (x + y) % 5 ? 255 : 60; });
    const TPastePlacement placement{{4, 6, 36, 30}, 45, false, true};
    TKvPixelBuffer committed = MakePicture(40, 40, {9, 9, 9});
    RenderPaste(committed, object, placement, pfNearest);
    for (const int step : {1, 2, 3}) {
        const int size = 40 / step;
        TKvPixelBuffer canvas = MakePicture(size + 5, size + 5, {9, 9, 9});
        TViewPixels view;
        view.Clip = {2, 3, 2 + size, 3 + size};
        for (int i = 0; i < size; ++i) {
            view.PictureX.push_back(i * step);
            view.PictureY.push_back(i * step);
        }
        RenderPastePreview(canvas, view, {0, 0, 40, 40}, object, placement);
        for (int i = 0; i < size; ++i)
            for (int j = 0; j < size; ++j)
                ASSERT_EQ(At(canvas, 2 + i, 3 + j), At(committed, i * step, j * step)) << step << ": " << i << ", " << j;
    }
}

} // namespace
