// The tonal line, its lookup table and the brightness and contrast table,
// with the expected entries worked out by hand.
#include "KvCurves.h"
#include "RegionFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(LineSegment, SlopeAndInterceptFollowEachEndPoint)
{
    TKvLineSegment line;
    EXPECT_TRUE(std::isinf(line.Slope())); // both points at (0, 0)
    line.SetP1({10, 20});
    line.SetP2({30, 60});
    EXPECT_DOUBLE_EQ(line.Slope(), 2.0);
    EXPECT_DOUBLE_EQ(line.Intercept(), 0.0);
    line.SetP2({10, 5});
    EXPECT_TRUE(std::isinf(line.Slope()));
}

TEST(LineSegment, VerticalLineWritesNothing)
{
    TKvLineSegment line;
    line.SetP1({5, 0});
    line.SetP2({5, 255});
    TKvLUT table(4, 7);
    line.FillLUT(255, table, 3, 0);
    EXPECT_EQ(table, (TKvLUT{7, 7, 7, 7}));
}

TEST(LineSegment, FillStaysWithinTheTableAndStartsAtTheCeiling)
{
    TKvLineSegment line;
    line.SetP1({0, 0});
    line.SetP2({1, 1});
    TKvLUT table(4, 9);
    line.FillLUT(255, table, 1000, 0.5); // a range beyond the table
    EXPECT_EQ(table, (TKvLUT{9, 1, 2, 3}));
}

TEST(LineSegment, HalvesRoundToEvenAndValuesClamp)
{
    TKvLineSegment line;
    line.SetP1({0, -0.5});
    line.SetP2({1, 0.5}); // y = x - 0.5
    TKvLUT table(5, 0);
    line.FillLUT(3, table, 4, 0);
    // -0.5 -> 0 (clamped), 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, 3.5 -> 3 (maximum)
    EXPECT_EQ(table, (TKvLUT{0, 0, 2, 2, 3}));
}

TEST(BuildLUT, NeedsExactlyTwoPoints)
{
    TKvLUT table{1, 2};
    const std::vector<TPoint> one{{0, 0}};
    const std::vector<TPoint> three{{0, 0}, {1, 1}, {2, 2}};
    EXPECT_EQ(BuildLUT(one, 255, table), LutFailed);
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(BuildLUT(three, 255, table), LutFailed);
    const std::vector<TPoint> two{{0, 0}, {255, 255}};
    EXPECT_EQ(BuildLUT(two, 255, table), LutSucceeded);
    EXPECT_EQ(table.size(), 256u);
}

TKvLUT Identity()
{
    TKvLUT table(256);
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = std::uint16_t(i);
    return table;
}

TEST(BrightnessContrast, ZeroIsTheIdentity)
{
    EXPECT_EQ(BrightnessContrastTable(0, 0), Identity());
}

TEST(BrightnessContrast, BrightnessShiftsTheLine)
{
    const TKvLUT table = BrightnessContrastTable(5, 0);
    EXPECT_EQ(table[0], 5);
    EXPECT_EQ(table[249], 254);
    EXPECT_EQ(table[250], 255);
    EXPECT_EQ(table[251], 255);
    const TKvLUT darker = BrightnessContrastTable(-5, 0);
    EXPECT_EQ(darker[4], 0);
    EXPECT_EQ(darker[5], 0);
    EXPECT_EQ(darker[6], 1);
    EXPECT_EQ(darker[255], 250);
}

TEST(BrightnessContrast, FullContrastIsAThreshold)
{
    const TKvLUT table = BrightnessContrastTable(0, 127);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(table[std::size_t(i)], i <= 127 ? 0 : 255) << i;
}

TEST(BrightnessContrast, LowestContrastFlattensToTheMiddle)
{
    const TKvLUT table = BrightnessContrastTable(0, -127);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(table[std::size_t(i)], std::nearbyint(127 + i / 255.0)) << i;
    EXPECT_EQ(table[0], 127);
    EXPECT_EQ(table[255], 128);
}

TEST(BrightnessContrast, ClosedFormsOfBothSigns)
{
    for (const int b : {-127, -40, 0, 33, 127})
        for (const int c : {-127, -60, -1, 0, 1, 64, 126, 127}) {
            const TKvLUT table = BrightnessContrastTable(b, c);
            ASSERT_EQ(table.size(), 256u);
            for (int i = 0; i < 256; ++i) {
                const double v = c >= 0 ? 255.0 * (i - c + b) / (255 - 2 * c) : -c + (i + b) * (255.0 + 2 * c) / 255;
                const double expected = std::clamp(std::nearbyint(v), 0.0, 255.0);
                ASSERT_NEAR(table[std::size_t(i)], expected, 1) << "b " << b << " c " << c << " i " << i;
            }
        }
}

TEST(BrightnessContrast, ValuesBeyondTheRangeAreClamped)
{
    EXPECT_EQ(BrightnessContrastTable(500, -500), BrightnessContrastTable(127, -127));
    EXPECT_EQ(BrightnessContrastPoints(-900, 900), BrightnessContrastPoints(-127, 127));
}

TEST(ApplyLUT, TakesEachChannelFromTheSourceThroughTheLowByte)
{
    TKvPixelBuffer from;
    TKvPixelBuffer to;
    MakePicture(from, 3, 2, {10, 20, 30});
    SetPixel(from, 2, 1, {0, 255, 128});
    MakePicture(to, 3, 2, {99, 99, 99});
    TKvLUT table = Identity();
    table[10] = 0x0100 | 11; // only the low byte counts
    table[255] = 0;
    table[128] = 7;
    ApplyLUT(from, to, table);
    EXPECT_EQ(PixelOf(to, 0, 0), (TColorTriple{11, 20, 30}));
    EXPECT_EQ(PixelOf(to, 2, 1), (TColorTriple{0, 0, 7}));
    EXPECT_EQ(PixelOf(from, 0, 0), (TColorTriple{10, 20, 30})); // the source stays
}

TEST(ApplyLUT, AppliedAgainFromTheSameSourceIsNotCumulative)
{
    TKvPixelBuffer from;
    TKvPixelBuffer to;
    MakePicture(from, 5, 3, {100, 150, 200});
    MakePicture(to, 5, 3);
    ApplyLUT(from, to, BrightnessContrastTable(30, 0));
    ApplyLUT(from, to, BrightnessContrastTable(0, 0));
    EXPECT_TRUE(SamePixels(from, to));
}

TEST(ApplyLUT, ShortTableMapsMissingEntriesToZero)
{
    TKvPixelBuffer picture;
    MakePicture(picture, 1, 1, {1, 2, 200});
    ApplyLUT(picture, picture, TKvLUT{5, 6, 7});
    EXPECT_EQ(PixelOf(picture, 0, 0), (TColorTriple{6, 7, 0}));
}

} // namespace
