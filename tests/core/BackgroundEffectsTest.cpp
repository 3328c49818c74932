// The effect kinds rendered into pixels, the effect parameters and the box
// mean behind the blur.
#include "BGRArithmeticMean.h"
#include "Clipping.h"
#include "Progress.h"
#include "RegionFixture.h"
#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

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

// The box mean written out plainly: float vectors, a whole pass down every
// column into a second array, then a whole pass along every row back.
std::vector<TColorTriple> ReferenceMean(int width, int height, const std::vector<TColorTriple>& colors, int radius)
{
    std::vector<TColorVector> values(colors.size());
    std::vector<TColorVector> work(colors.size());
    for (std::size_t i = 0; i < colors.size(); ++i)
        values[i] = TripleToVector(colors[i]);
    const auto pass = [radius](const std::vector<TColorVector>& from, std::vector<TColorVector>& to, int lines,
                               int length, auto at) {
        for (int line = 0; line < lines; ++line) {
            TColorVector sum;
            int count = 0;
            const auto add = [&](const TColorVector& v, float sign) {
                sum = {sum.x + sign * v.x, sum.y + sign * v.y, sum.z + sign * v.z};
                count += int(sign);
            };
            for (int k = 0; k <= std::min(radius - 1, length - 1); ++k)
                add(from[at(line, k)], 1);
            for (int k = 0; k < length; ++k) {
                if (k - radius > 0)
                    add(from[at(line, k - radius - 1)], -1);
                if (std::int64_t(k) + radius < length)
                    add(from[at(line, k + radius)], 1);
                to[at(line, k)] = ScaleVector(sum, 1.0f / float(count));
            }
        }
    };
    const auto columnMajor = [height](int x, int y) { return std::size_t(x) * std::size_t(height) + std::size_t(y); };
    pass(values, work, width, height, columnMajor);
    pass(work, values, height, width, [&](int y, int x) { return columnMajor(x, y); });
    std::vector<TColorTriple> means;
    for (const TColorVector& v : values)
        means.push_back(VectorToTriple(v));
    return means;
}

// Averages the colours with the pool (none: on the caller) and compares
// every mean with the plain passes'.
void ExpectPlainMeans(int width, int height, int radius, TWorkerPool* pool,
                      const std::function<TColorTriple()>& nextColor)
{
    std::vector<TColorTriple> colors(std::size_t(width) * std::size_t(height));
    TArithmeticMean mean;
    mean.SetSize(width, height);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            const TColorTriple c = nextColor();
            colors[std::size_t(x) * std::size_t(height) + std::size_t(y)] = c;
            mean.SetColor(x, y, TPackedPixel(c.Blue | c.Green << 8 | c.Red << 16));
        }
    }
    mean.Average(radius, nullptr, pool);
    const std::vector<TColorTriple> expected = ReferenceMean(width, height, colors, radius);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            ASSERT_EQ(mean.GetColor(x, y), expected[std::size_t(x) * std::size_t(height) + std::size_t(y)])
                << width << " x " << height << " radius " << radius << " at " << x << ", " << y;
}

TEST(ArithmeticMean, MatchesTheTwoPassesWrittenOutPlainly)
{
    // Threads share everything, however small: bands of a few rows, pictures
    // narrower than the columns read ahead, radii beyond the picture.
    TWorkerPool two(2, 1);
    TWorkerPool three(3, 1);
    TWorkerPool seven(7, 1);
    for (TWorkerPool* pool : {static_cast<TWorkerPool*>(nullptr), &two, &three, &seven}) {
        std::mt19937 random(5);
        const auto color = [&random] {
            return TColorTriple{std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random() % 7)};
        };
        for (int round = 0; round < 30; ++round) {
            SCOPED_TRACE(testing::Message() << (pool ? pool->Threads() : 1) << " threads, round " << round);
            // Up to a few chunks of rows in every band.
            const int width = 1 + int(random() % 40);
            const int height = 1 + int(random() % 150);
            const int radii[] = {0, 1, 2, 7, 30, 243};
            ExpectPlainMeans(width, height, radii[random() % 6], pool, color);
        }
    }
}

TEST(ArithmeticMean, LongWindowsDownAColumnKeepTheirSumsOrder)
{
    // Sums of up to 65793 bytes of 255 are whole numbers single precision
    // holds exactly, so that where a band starts them does not matter;
    // longer windows round on the way, and only the pass from the top gives
    // the plain pass's means.
    TWorkerPool pool(3, 1);
    struct Case {
        int height;
        int radius;
    };
    for (const Case c : {Case{65793, 65793}, Case{90001, 50000}, Case{90001, 100}}) {
        SCOPED_TRACE(testing::Message() << c.height << " rows, radius " << c.radius);
        std::mt19937 random(9);
        ExpectPlainMeans(1, c.height, c.radius, &pool, [&random] {
            const std::uint8_t v = random() % 20 == 0 ? std::uint8_t(random()) : std::uint8_t(255);
            return TColorTriple{v, 255, std::uint8_t(v / 3)};
        });
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
    TArithmeticMean mean = MeanOf(5, 150, std::vector<int>(5 * 150, 7));
    RecordingMeter meter;
    mean.Average(2, &meter);
    EXPECT_EQ(meter.starts, (std::vector<int>{5 + 150, 0}));
    EXPECT_EQ(meter.steps, 5 + 150);
    EXPECT_EQ(Blues(mean), std::vector<int>(5 * 150, 7));
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
