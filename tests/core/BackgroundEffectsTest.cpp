// The effect kinds rendered into pixels, the effect parameters and the box
// mean behind the blur.
#include "BGRArithmeticMean.h"
#include "Clipping.h"
#include "Progress.h"
#include "RegionFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The colour a pixel shows after taking a label of the background (kind
// following the background effect) or the given label.
struct OnePixel {
    TKvPixelBuffer picture;
    TMarkedRegion region;

    explicit OnePixel(TColorTriple color)
    {
        MakePicture(picture, 1, 1, color);
        SetClippingLabelEffects(region);
        region.AttachImage(&picture);
    }
    TColorTriple Show(std::uint8_t label)
    {
        region.SetLabel(0, 0, label);
        return PixelOf(picture, 0, 0);
    }
    TColorTriple ShowBackground(int effect)
    {
        region.PrepareEffect(effect);
        return Show(BackgroundBase + 8);
    }
};

TEST(BackgroundEffects, ThresholdInversionSplitsAt128)
{
    EXPECT_EQ(OnePixel({127, 128, 0}).Show(LabelCutLine), (TColorTriple{255, 0, 255}));
    EXPECT_EQ(OnePixel({255, 1, 200}).Show(LabelCutLine), (TColorTriple{0, 255, 0}));
}

TEST(BackgroundEffects, RedFlash)
{
    EXPECT_EQ(OnePixel({1, 2, 3}).Show(LabelRedFlash), (TColorTriple{0, 0, 255}));
}

TEST(BackgroundEffects, ColourTakesTheTColorChannels)
{
    OnePixel pixel({1, 2, 3});
    pixel.region.SetBackgroundColor(0x00336699); // blue 0x33, green 0x66, red 0x99
    EXPECT_EQ(pixel.ShowBackground(BackgroundColor), (TColorTriple{0x33, 0x66, 0x99}));
}

TEST(BackgroundEffects, ShadowRoundsHalvesToEven)
{
    struct Case {
        int level;
        TColorTriple before;
        TColorTriple after;
    };
    const Case cases[] = {
        {2, {201, 255, 1}, {100, 128, 0}},   // 100.5, 127.5 and 0.5 to even
        {2, {3, 5, 7}, {2, 2, 4}},           // 1.5, 2.5, 3.5
        {4, {2, 6, 10}, {0, 2, 2}},          // 0.5, 1.5, 2.5
        {1, {100, 255, 1}, {71, 180, 1}},    // divisor sqrt(2)
        {3, {255, 100, 2}, {90, 35, 1}},     // divisor 2 sqrt(2)
        {0, {9, 99, 199}, {9, 99, 199}},     // divisor 1
        {-3, {9, 99, 199}, {9, 99, 199}},
    };
    for (const Case& c : cases) {
        OnePixel pixel(c.before);
        pixel.region.SetShadowLevel(c.level);
        EXPECT_EQ(pixel.ShowBackground(BackgroundShadow), c.after) << "level " << c.level;
    }
}

TEST(BackgroundEffects, ShadowDivisorsAndBlurRadiiByLevel)
{
    TMarkedRegion region;
    const double divisors[] = {1.0, std::sqrt(2.0), 2.0, 2 * std::sqrt(2.0), 4.0, 4 * std::sqrt(2.0)};
    const int radii[] = {1, 3, 9, 27, 81, 243};
    for (int level = 0; level <= 5; ++level) {
        region.SetShadowLevel(level);
        EXPECT_DOUBLE_EQ(region.ShadowDivisor(), divisors[level]);
        region.SetBlurLevel(level);
        EXPECT_EQ(region.BlurRadius(), radii[level]);
    }
    region.SetShadowLevel(2.4); // rounded to 2
    EXPECT_EQ(region.ShadowDivisor(), 2.0);
    region.SetBlurLevel(-1);
    EXPECT_EQ(region.BlurRadius(), 1);
    region.SetBlurLevel(1000); // stops growing before it overflows
    EXPECT_GT(region.BlurRadius(), 1000000000);
}

TEST(BackgroundEffects, MonochromeTintsTheBrightestChannel)
{
    struct Case {
        TColor tint;
        TColorTriple before;
        TColorTriple after;
    };
    const Case cases[] = {
        {0xFFFFFF, {10, 200, 30}, {200, 200, 200}},
        {0x0000FF, {10, 200, 30}, {0, 0, 200}}, // pure red
        {0x808080, {255, 0, 0}, {128, 128, 128}},
        {0x000000, {90, 91, 92}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        OnePixel pixel(c.before);
        pixel.region.SetMonochromeColor(c.tint);
        EXPECT_EQ(pixel.ShowBackground(BackgroundMonochrome), c.after) << std::hex << c.tint;
    }
}

TEST(BackgroundEffects, EveryLabelFrom128ShowsTheCurrentBackgroundEffect)
{
    TMarkedRegion region;
    region.PrepareEffect(BackgroundShadow);
    for (const int label : {128, 136, 167, 200, 255})
        EXPECT_EQ(region.EffectKindOf(std::uint8_t(label)), EffectShadow);
    EXPECT_EQ(region.EffectKindOf(39), EffectNone);
    region.PrepareEffect(BackgroundMonochrome);
    EXPECT_EQ(region.EffectKindOf(128), EffectMonochrome);
}

// ---------------------------------------------------------------------------
// The box mean

// A width x height mean filled with the given blue values (green, red 0).
TArithmeticMean MeanOf(int width, int height, const std::vector<int>& blues)
{
    TArithmeticMean mean;
    mean.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            mean.SetColor(x, y, TPackedPixel(blues[std::size_t(y * width + x)]));
    return mean;
}

std::vector<int> Blues(const TArithmeticMean& mean)
{
    std::vector<int> blues;
    for (int y = 0; y < mean.Height(); ++y)
        for (int x = 0; x < mean.Width(); ++x)
            blues.push_back(mean.GetColor(x, y).Blue);
    return blues;
}

TEST(ArithmeticMean, TheWindowIsClippedAtTheBorders)
{
    // Radius 1 along a row: the ends average two cells, the rest three.
    TArithmeticMean row = MeanOf(5, 1, {0, 30, 60, 90, 240});
    row.Average(1, nullptr);
    EXPECT_EQ(Blues(row), (std::vector<int>{15, 30, 60, 130, 165}));
    // The same down a column.
    TArithmeticMean column = MeanOf(1, 5, {0, 30, 60, 90, 240});
    column.Average(1, nullptr);
    EXPECT_EQ(Blues(column), (std::vector<int>{15, 30, 60, 130, 165}));
}

TEST(ArithmeticMean, BothPassesMakeABoxMean)
{
    TArithmeticMean mean = MeanOf(3, 3, {
        90, 0, 0,
        0, 0, 0,
        0, 0, 0,
    });
    mean.Average(1, nullptr);
    // (0, 0) sees 4 cells, (1, 0) 6, (1, 1) 9, (2, 2) does not see the 90.
    EXPECT_EQ(Blues(mean), (std::vector<int>{
        22, 15, 0, // 22.5 rounds to even
        15, 10, 0,
        0, 0, 0,
    }));
}

TEST(ArithmeticMean, ARadiusBeyondThePictureGivesTheMeanOfEverything)
{
    const std::vector<int> blues = {10, 20, 30, 40, 50, 70, 80, 90, 100, 110, 120, 250};
    for (const int radius : {4, 5, 243, 1 << 30}) {
        TArithmeticMean mean = MeanOf(4, 3, blues);
        mean.Average(radius, nullptr);
        EXPECT_EQ(Blues(mean), std::vector<int>(12, 81)) << "radius " << radius; // 970 / 12
    }
}

TEST(ArithmeticMean, RowsBeyondOneSweepAreAveragedToo)
{
    // More rows than the pass along the rows takes at once; the middle
    // column holds 2y, the others 0.
    const int height = 37;
    std::vector<int> blues;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3; ++x)
            blues.push_back(x == 1 ? 2 * y : 0);
    TArithmeticMean mean = MeanOf(3, height, blues);
    mean.Average(1, nullptr);
    for (int y = 1; y < height - 1; ++y) {
        EXPECT_EQ(mean.GetColor(0, y).Blue, y) << y;
        EXPECT_EQ(mean.GetColor(1, y).Blue, std::nearbyint(2.0 * y / 3)) << y;
    }
}

struct RecordingMeter : TProgressMeter {
    std::vector<int> starts;
    int steps = 0;
    void StartProgress(int max) override { starts.push_back(max); }
    void StepIt() override { ++steps; }
};

TEST(ArithmeticMean, ReportsOneStepPerColumnAndRow)
{
    TArithmeticMean mean = MeanOf(4, 19, std::vector<int>(4 * 19, 7));
    RecordingMeter meter;
    mean.Average(2, &meter);
    EXPECT_EQ(meter.starts, (std::vector<int>{4 + 19, 0}));
    EXPECT_EQ(meter.steps, 4 + 19);
    EXPECT_EQ(Blues(mean), std::vector<int>(4 * 19, 7));
}

TEST(BackgroundEffects, BlurShowsTheMeanOfTheUnaffectedColours)
{
    TKvPixelBuffer picture;
    MakePicture(picture, 3, 1);
    SetPixel(picture, 0, 0, {30, 0, 0});
    SetPixel(picture, 1, 0, {60, 0, 0});
    SetPixel(picture, 2, 0, {90, 3, 0});
    TMarkedRegion region;
    SetClippingLabelEffects(region);
    region.AttachImage(&picture);
    region.SetLabel(1, 0, LabelCutLine); // shows inverted; its own colour counts
    RecordingMeter meter;
    region.SetProgressMeter(&meter);
    region.SetBlurLevel(1);
    region.PrepareEffect(BackgroundBlur);
    EXPECT_EQ(meter.steps, 4);
    region.SetLabel(2, 0, BackgroundBase + 8);
    EXPECT_EQ(PixelOf(picture, 2, 0), (TColorTriple{60, 1, 0}));
}

} // namespace
