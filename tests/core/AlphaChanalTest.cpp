// The object matte: softening and the margins for rotation.
#include "AlphaChanal.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TAlphaChanal Opaque(int width, int height)
{
    TAlphaChanal matte;
    matte.SetSize(width, height);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            matte.SetAlpha(x, y, 255);
    return matte;
}

std::vector<int> Rows(const TAlphaChanal& matte)
{
    std::vector<int> values;
    for (int y = 0; y < matte.Height(); ++y)
        for (int x = 0; x < matte.Width(); ++x)
            values.push_back(matte.GetAlpha(x, y));
    return values;
}

TEST(AlphaChanal, SmoothAveragesFiveCellsAndCountsMissingOnesAsZero)
{
    struct Case {
        int width, height;
        std::vector<int> smoothed;
    };
    const Case cases[] = {
        {3, 3, {153, 204, 153, 204, 255, 204, 153, 204, 153}},
        {1, 1, {51}},
        {2, 1, {102, 102}},
        {1, 3, {102, 153, 102}},
    };
    for (const Case& c : cases) {
        TAlphaChanal matte = Opaque(c.width, c.height);
        matte.Smooth();
        EXPECT_EQ(Rows(matte), c.smoothed) << c.width << " x " << c.height;
    }
}

TEST(AlphaChanal, SmoothRoundsToNearest)
{
    const std::vector<int> before = {2, 1, 12, 0, 0, 7};
    TAlphaChanal matte;
    matte.SetSize(6, 1);
    for (int x = 0; x < 6; ++x)
        matte.SetAlpha(x, 0, std::uint8_t(before[std::size_t(x)]));
    matte.Smooth();
    // Sums 3, 15, 13, 12, 7, 7: fifths 0.6, 3, 2.6, 2.4, 1.4, 1.4.
    EXPECT_EQ(Rows(matte), (std::vector<int>{1, 3, 3, 2, 1, 1}));
}

TEST(AlphaChanal, MarginsMakeRoomForTheCircleThroughTheFarthestCell)
{
    TAlphaChanal matte = Opaque(100, 50);
    matte.ComputeMargins();
    EXPECT_EQ(matte.MarginX(), 6);  // -Floor(49.5 - 55.23)
    EXPECT_EQ(matte.MarginY(), 31); // -Floor(24.5 - 55.23)

    // Only the top-left quarter opaque: the farthest cell is still (0, 0).
    TAlphaChanal quarter;
    quarter.SetSize(100, 50);
    for (int x = 0; x < 50; ++x)
        for (int y = 0; y < 25; ++y)
            quarter.SetAlpha(x, y, 255);
    quarter.ComputeMargins();
    EXPECT_EQ(quarter.MarginX(), 6);
    EXPECT_EQ(quarter.MarginY(), 31);

    // One cell in the middle of a column: the column's first and last
    // non-transparent cell are the same.
    TAlphaChanal single;
    single.SetSize(5, 5);
    single.SetAlpha(4, 2, 51);
    single.ComputeMargins();
    EXPECT_EQ(single.MarginX(), 0); // c = (2, 2), R = 2
    EXPECT_EQ(single.MarginY(), 0);
}

TEST(AlphaChanal, ATransparentMatteGetsMarginsFromItsCentreAlone)
{
    TAlphaChanal matte;
    matte.SetSize(6, 3);
    matte.ComputeMargins();
    EXPECT_EQ(matte.MarginX(), -2); // -Floor(2.5)
    EXPECT_EQ(matte.MarginY(), -1);
}

TEST(AlphaChanal, SetSizeKeepsTheMarginsAndClearEmptiesTheCells)
{
    TAlphaChanal matte = Opaque(100, 50);
    matte.ComputeMargins();
    matte.SetSize(2, 2);
    EXPECT_EQ(matte.MarginX(), 6);
    EXPECT_EQ(Rows(matte), (std::vector<int>{0, 0, 0, 0}));
    matte.SetAlpha(1, 1, 9);
    matte.Clear();
    EXPECT_EQ(Rows(matte), (std::vector<int>{0, 0, 0, 0}));
}

} // namespace
