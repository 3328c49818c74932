// The crop rectangle's handles, drags and darkened bands.
#include "CropRectangle.h"
#include "RegionFixture.h"

#include <gtest/gtest.h>

// Lets failures show rectangles as (left, top, right, bottom).
void PrintTo(const TRect& r, std::ostream* out)
{
    *out << '(' << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ')';
}

namespace {

const TRect Picture{0, 0, 400, 300};

TEST(CropHandles, SitOnTheExclusiveEdges)
{
    const TRect r{10, 20, 31, 41};
    const struct {
        int handle;
        TPoint point;
    } cases[] = {{HandleTop, {20, 20}},    {HandleTopRight, {31, 20}},  {HandleRight, {31, 30}},
                 {HandleBottomRight, {31, 41}}, {HandleBottom, {20, 41}}, {HandleBottomLeft, {10, 41}},
                 {HandleLeft, {10, 30}},   {HandleTopLeft, {10, 20}},   {HandleBody, {0, 0}}};
    for (const auto& c : cases)
        EXPECT_EQ(CropHandlePoint(r, c.handle), c.point) << c.handle;
}

TEST(CropHandles, SquareIsNinePixelsAroundThePoint)
{
    EXPECT_EQ(CropHandleSquare({10, 10}), (TRect{6, 6, 15, 15}));
}

TEST(CropHandles, HitsOnALargeRectangle)
{
    const TRect r{100, 100, 200, 160};
    const struct {
        TPoint point;
        int hit;
    } cases[] = {
        {{100, 100}, HandleTopLeft}, {{96, 96}, HandleTopLeft},      {{95, 100}, HandleNone},
        {{150, 104}, HandleTop},     {{204, 96}, HandleTopRight},    {{200, 130}, HandleRight},
        {{200, 160}, HandleBottomRight}, {{150, 160}, HandleBottom}, {{100, 160}, HandleBottomLeft},
        {{100, 130}, HandleLeft},    {{150, 130}, HandleBody},       {{199, 110}, HandleBody},
        {{205, 130}, HandleNone},    {{300, 300}, HandleNone}};
    for (const auto& c : cases)
        EXPECT_EQ(HitCropHandle(r, c.point), c.hit) << c.point.X << ", " << c.point.Y;
}

TEST(CropHandles, OverlappingSquaresFollowTheHitOrder)
{
    // On a 4 x 4 rectangle the squares overlap their neighbours: the top
    // left corner is tried first, the left middle last.
    const TRect r{10, 10, 14, 14};
    EXPECT_EQ(HitCropHandle(r, {12, 14}), HandleTopLeft); // every square holds the middle
    EXPECT_EQ(HitCropHandle(r, {14, 12}), HandleTopLeft);
    EXPECT_EQ(HitCropHandle(r, {15, 10}), HandleTop);
    EXPECT_EQ(HitCropHandle(r, {17, 12}), HandleTopRight);
    EXPECT_EQ(HitCropHandle(r, {17, 15}), HandleRight);     // before the bottom right
    EXPECT_EQ(HitCropHandle(r, {7, 15}), HandleBottomLeft); // before the left
    EXPECT_EQ(HitCropHandle(r, {17, 17}), HandleBottomRight);
    const TRect tall{10, 10, 14, 40};
    EXPECT_EQ(HitCropHandle(tall, {14, 40}), HandleBottomLeft); // before the bottom and the bottom right
    EXPECT_EQ(HitCropHandle(tall, {10, 25}), HandleRight);      // the right square reaches the left edge
    EXPECT_EQ(HitCropHandle(tall, {8, 25}), HandleLeft);
}

TEST(CropDrag, SpanningOrdersTheCornersAndStaysInThePicture)
{
    EXPECT_EQ(SpannedCropRect({50, 60}, {10, 20}, Picture), (TRect{10, 20, 50, 60}));
    EXPECT_EQ(SpannedCropRect({50, 60}, {5000, -80}, Picture), (TRect{50, 0, 400, 60}));
    EXPECT_TRUE(SpannedCropRect({50, 60}, {50, 90}, Picture).IsEmpty());
    EXPECT_TRUE(SpannedCropRect({-50, -60}, {-10, -20}, Picture).IsEmpty());
}

TEST(CropDrag, MovingKeepsTheSizeInsideThePicture)
{
    const TRect r = RectOfSize(100, 100, 100, 50);
    EXPECT_EQ(MovedCropRect(r, 500, 0, Picture), (TRect{300, 100, 400, 150}));
    EXPECT_EQ(MovedCropRect(r, -500, -500, Picture), (TRect{0, 0, 100, 50}));
    EXPECT_EQ(MovedCropRect(r, 7, 9, Picture), (TRect{107, 109, 207, 159}));
    EXPECT_EQ(MovedCropRect(r, 100000, 100000, Picture), (TRect{300, 250, 400, 300}));
}

TEST(CropDrag, ResizingAcrossTheOppositeEdgeKeepsTheRectangle)
{
    const TRect r{100, 100, 200, 200};
    EXPECT_EQ(ResizedCropRect(r, r, HandleLeft, 150, 0, Picture), r);
    EXPECT_EQ(ResizedCropRect(r, r, HandleLeft, 99, 0, Picture), (TRect{199, 100, 200, 200}));
    // The last good rectangle stays, not the one the drag started from.
    const TRect last{180, 100, 200, 200};
    EXPECT_EQ(ResizedCropRect(r, last, HandleLeft, 100, 0, Picture), last);
}

TEST(CropDrag, EachHandleMovesItsEdgesAndIsCutToThePicture)
{
    const TRect r{100, 100, 200, 200};
    const struct {
        int handle;
        TRect expected;
    } cases[] = {{HandleTop, {100, 110, 200, 200}},         {HandleTopRight, {100, 110, 210, 200}},
                 {HandleRight, {100, 100, 210, 200}},       {HandleBottomRight, {100, 100, 210, 210}},
                 {HandleBottom, {100, 100, 200, 210}},      {HandleBottomLeft, {110, 100, 200, 210}},
                 {HandleLeft, {110, 100, 200, 200}},        {HandleTopLeft, {110, 110, 200, 200}}};
    for (const auto& c : cases)
        EXPECT_EQ(ResizedCropRect(r, r, c.handle, 10, 10, Picture), c.expected) << c.handle;
    EXPECT_EQ(ResizedCropRect(r, r, HandleBottomRight, 9000, 9000, Picture), (TRect{100, 100, 400, 300}));
}

TEST(CropShade, FourBandsAroundTheRectangle)
{
    const auto bands = CropShadeBands({10, 10, 110, 60}, {30, 20, 50, 40});
    EXPECT_EQ(bands[0], (TRect{10, 10, 110, 20}));
    EXPECT_EQ(bands[1], (TRect{10, 20, 30, 40}));
    EXPECT_EQ(bands[2], (TRect{50, 20, 110, 40}));
    EXPECT_EQ(bands[3], (TRect{10, 40, 110, 60}));
    const auto none = CropShadeBands({0, 0, 10, 10}, {0, 0, 10, 10});
    for (const TRect& band : none)
        EXPECT_TRUE(band.IsEmpty());
}

TEST(CropShade, DarkenedValues)
{
    EXPECT_EQ(DarkenedChannel(255), 164);
    EXPECT_EQ(DarkenedChannel(100), 65);
    EXPECT_EQ(DarkenedChannel(0), 0);
    EXPECT_EQ(DarkenedChannel(3), 2);
}

TEST(CropShade, DarkensOnlyTheRectangle)
{
    TKvPixelBuffer pixels;
    MakePicture(pixels, 4, 3, {255, 100, 0});
    DarkenPixels(pixels, {1, 1, 3, 9});
    EXPECT_EQ(PixelOf(pixels, 1, 1), (TColorTriple{164, 65, 0}));
    EXPECT_EQ(PixelOf(pixels, 2, 2), (TColorTriple{164, 65, 0}));
    EXPECT_EQ(PixelOf(pixels, 0, 1), (TColorTriple{255, 100, 0}));
    EXPECT_EQ(PixelOf(pixels, 3, 2), (TColorTriple{255, 100, 0}));
    EXPECT_EQ(PixelOf(pixels, 1, 0), (TColorTriple{255, 100, 0}));
}

TEST(CropMarks, HandleIsAHollowInvertedSquare)
{
    TKvPixelBuffer pixels;
    MakePicture(pixels, 20, 20, {10, 20, 30});
    DrawCropHandle(pixels, {10, 10});
    const TColorTriple inverted{245, 235, 225};
    EXPECT_EQ(PixelOf(pixels, 6, 6), inverted);
    EXPECT_EQ(PixelOf(pixels, 14, 10), inverted);
    EXPECT_EQ(PixelOf(pixels, 10, 14), inverted);
    EXPECT_EQ(PixelOf(pixels, 7, 7), (TColorTriple{10, 20, 30}));
    EXPECT_EQ(PixelOf(pixels, 15, 10), (TColorTriple{10, 20, 30}));
    DrawCropHandle(pixels, {0, 19}); // cut at the edge of the pixels
    EXPECT_EQ(PixelOf(pixels, 0, 15), inverted);
}

TEST(CropMarks, FocusFrameDotsTheOutlineOnly)
{
    TKvPixelBuffer pixels;
    MakePicture(pixels, 12, 10);
    DrawFocusFrame(pixels, {2, 2, 9, 8});
    int inverted = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool dotted = PixelOf(pixels, x, y).Blue == 255;
            const bool onOutline = (x == 2 || x == 8 || y == 2 || y == 7) && x >= 2 && x <= 8 && y >= 2 && y <= 7;
            EXPECT_TRUE(!dotted || (onOutline && (x + y) % 2 == 0)) << x << ", " << y;
            inverted += dotted;
        }
    EXPECT_EQ(inverted, 11); // half of the 22 outline pixels
    // A one-pixel rectangle is one dot, not inverted back.
    TKvPixelBuffer one;
    MakePicture(one, 3, 3);
    DrawFocusFrame(one, {2, 2, 3, 3});
    EXPECT_EQ(PixelOf(one, 2, 2).Blue, 255);
}

} // namespace
