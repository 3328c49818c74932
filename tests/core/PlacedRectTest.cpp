// The placed rectangle of the paste and text tools: drawn by a drag
// (mirrored when drawn leftwards or upwards), resized by a handle (mirrored
// when a side crosses the opposite one), moved whole off the picture, and
// dropped after a click without a drag.
#include "PlacedRect.h"

#include <gtest/gtest.h>

namespace {

const TRect Picture{0, 0, 200, 150};

TPlacedRect Placed(TPoint from, TPoint to)
{
    TPlacedRect rect;
    rect.Create(from);
    rect.MoveTo(to, Picture);
    EXPECT_TRUE(rect.Release());
    return rect;
}

TEST(PlacedRect, DrawingLeftwardsMirrorsLeftToRight)
{
    const TPlacedRect rect = Placed({100, 100}, {60, 140});
    EXPECT_EQ(rect.Rect(), (TRect{60, 100, 100, 140}));
    EXPECT_TRUE(rect.FlipX());
    EXPECT_FALSE(rect.FlipY());
    EXPECT_EQ(rect.State(), TPlaceState::Placed);
}

TEST(PlacedRect, ADrawnRectangleStaysInsideThePicture)
{
    const TPlacedRect rect = Placed({150, 20}, {260, -40});
    EXPECT_EQ(rect.Rect(), (TRect{150, 0, 200, 20}));
    EXPECT_FALSE(rect.FlipX());
    EXPECT_TRUE(rect.FlipY());
}

TEST(PlacedRect, HandlesResizeAndMirrorWhenASideCrossesTheOtherOne)
{
    struct Case {
        int handle;
        TPoint move;
        TRect rect;
        bool flipX;
        bool flipY;
    };
    const Case cases[] = {
        // The right side dragged 60 to the left: (-10, 10, 10, 50) cut to the picture.
        {HandleRight, {-60, 0}, {0, 10, 10, 50}, true, false},
        {HandleRight, {20, 0}, {10, 10, 70, 50}, false, false},
        {HandleLeft, {50, 0}, {50, 10, 60, 50}, true, false},
        {HandleTop, {0, 45}, {10, 50, 50, 55}, false, true},
        {HandleBottomLeft, {45, -45}, {50, 5, 55, 10}, true, true},
        {HandleBottom, {7, -3}, {10, 10, 50, 47}, false, false},
    };
    for (const Case& c : cases) {
        TPlacedRect rect = Placed({10, 10}, {50, 50});
        rect.BeginDrag(c.handle, {30, 30});
        rect.MoveTo({30 + c.move.X, 30 + c.move.Y}, Picture);
        EXPECT_EQ(rect.Rect(), c.rect) << c.handle;
        EXPECT_EQ(rect.FlipX(), c.flipX) << c.handle;
        EXPECT_EQ(rect.FlipY(), c.flipY) << c.handle;
        EXPECT_TRUE(rect.Release());
    }
}

TEST(PlacedRect, MirroringAddsUpOverDrags)
{
    TPlacedRect rect = Placed({50, 10}, {10, 50}); // mirrored
    rect.BeginDrag(HandleLeft, {10, 30});
    rect.MoveTo({80, 30}, Picture); // the left side across the right one
    EXPECT_FALSE(rect.FlipX());
}

TEST(PlacedRect, MovedWholeItMayLeaveThePicture)
{
    TPlacedRect rect = Placed({10, 10}, {50, 50});
    rect.BeginDrag(HandleBody, {30, 30});
    rect.MoveTo({0, 180}, Picture);
    EXPECT_EQ(rect.Rect(), (TRect{-20, 160, 20, 200}));
    EXPECT_FALSE(rect.FlipX());
}

TEST(PlacedRect, AClickWithoutADragIsDropped)
{
    struct Case {
        TPoint to;
        bool kept;
    };
    const Case cases[] = {{{30, 30}, false}, {{31, 31}, false}, {{32, 31}, true}, {{30, 130}, false}, {{31, 140}, true}};
    for (const Case& c : cases) {
        TPlacedRect rect;
        rect.Create({30, 30});
        rect.MoveTo(c.to, Picture);
        EXPECT_EQ(rect.Release(), c.kept) << c.to.X << ", " << c.to.Y;
    }
    TPlacedRect clicked;
    clicked.Create({30, 30});
    EXPECT_FALSE(clicked.Release()); // no move at all: one pixel
}

TEST(PlacedRect, OnlyHandlesAndTheInsideStartADrag)
{
    TPlacedRect rect = Placed({10, 10}, {50, 50});
    rect.BeginDrag(HandleNone, {0, 0});
    EXPECT_EQ(rect.State(), TPlaceState::Placed);
    EXPECT_FALSE(rect.MoveTo({5, 5}, Picture));
    rect.Reset();
    EXPECT_FALSE(rect.Active());
}

} // namespace
