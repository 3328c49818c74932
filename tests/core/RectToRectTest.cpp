// Destination-to-source mappings: the fit with the aspect kept, the exact
// first and last pixels, degenerate sizes and the turned mapping.
#include "RectToRect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(RectToRect, FitsAWideSourceIntoASquareCentred)
{
    const TRectToRect fit({0, 0, 200, 100}, true, {0, 0, 72, 72});
    // 199/71 > 99/71: the width decides, e = round(71 - 99 * 71 / 199) = 36.
    EXPECT_EQ(fit.Placed(), (TRect{0, 18, 72, 54}));
    EXPECT_EQ(fit.MapPoint(0, 18), (TPointF{0, 0}));
    EXPECT_EQ(fit.MapPointRounded(71, 53), (TPoint{199, 99}));
}

TEST(RectToRect, FitsATallSourceAndAnOffsetSource)
{
    const TRectToRect fit({10, 20, 60, 220}, true, {0, 0, 72, 72});
    // 49/71 < 199/71: the height decides, e = round(71 - 49 * 71 / 199) = 54.
    EXPECT_EQ(fit.Placed(), (TRect{27, 0, 45, 72}));
    EXPECT_EQ(fit.MapPointRounded(27, 0), (TPoint{10, 20}));
    EXPECT_EQ(fit.MapPointRounded(44, 71), (TPoint{59, 219}));
}

TEST(RectToRect, WithoutTheAspectTheWholeDestinationIsUsed)
{
    const TRectToRect stretch({0, 0, 11, 3}, false, {5, 5, 10, 10});
    EXPECT_EQ(stretch.Placed(), (TRect{5, 5, 10, 10}));
    EXPECT_EQ(stretch.MapPoint(9, 9), (TPointF{10, 2}));
}

TEST(RectToRect, DegenerateSizesMapWithoutDividingByZero)
{
    struct Case {
        TRect source;
        bool keepAspect;
        TRect destination;
        TRect placed;
    };
    const Case cases[] = {
        // A single pixel fills whatever it is given.
        {{4, 7, 5, 8}, true, {0, 0, 72, 72}, {0, 0, 72, 72}},
        {{4, 7, 5, 8}, false, {0, 0, 72, 72}, {0, 0, 72, 72}},
        // A one-pixel line stays one pixel wide, centred.
        {{0, 0, 1, 50}, true, {0, 0, 72, 72}, {35, 0, 36, 72}},
        {{0, 0, 50, 1}, true, {0, 0, 72, 72}, {0, 35, 72, 36}},
        // A destination one pixel wide: with the aspect kept the source can
        // only shrink to one pixel; without, every column maps to the
        // source's left edge.
        {{0, 0, 200, 100}, true, {0, 0, 1, 72}, {0, 35, 1, 36}},
        {{0, 0, 200, 100}, false, {0, 0, 1, 72}, {0, 0, 1, 72}},
    };
    for (const Case& c : cases) {
        const TRectToRect fit(c.source, c.keepAspect, c.destination);
        EXPECT_EQ(fit.Placed(), c.placed) << c.source.Width() << " x " << c.source.Height();
        for (int y = fit.Placed().Top; y < fit.Placed().Bottom; ++y)
            for (int x = fit.Placed().Left; x < fit.Placed().Right; ++x) {
                const TPointF p = fit.MapPoint(x, y);
                ASSERT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
                ASSERT_TRUE(c.source.Contains(fit.MapPointRounded(x, y)));
            }
    }
    const TRectToRect column({0, 0, 200, 100}, false, {0, 0, 1, 72});
    EXPECT_EQ(column.MapPoint(0, 71), (TPointF{0, 99}));
}

TEST(RectToRect, RoundsHalvesToEven)
{
    // Source span 4 over destination span 8: x maps to x / 2.
    const TRectToRect half({0, 0, 5, 5}, false, {0, 0, 9, 9});
    EXPECT_EQ(half.MapPointRounded(1, 3), (TPoint{0, 2}));  // 0.5 -> 0, 1.5 -> 2
    EXPECT_EQ(half.MapPointRounded(5, 7), (TPoint{2, 4}));  // 2.5 -> 2, 3.5 -> 4
}

TEST(RectToRotatedRect, TurnsTheSourceAboutItsCentre)
{
    // A 5 x 5 source onto itself: a quarter turn clockwise on screen samples
    // the source turned back, so the top-left destination pixel shows the
    // source's bottom-left one.
    const TRectToRotatedRect turned({0, 0, 5, 5}, 90, false, {0, 0, 5, 5});
    const TPointF p = turned.MapPoint(0, 0);
    EXPECT_NEAR(p.X, 0, 1e-9);
    EXPECT_NEAR(p.Y, 4, 1e-9);
    EXPECT_EQ(turned.MapPointRounded(2, 2), (TPoint{2, 2}));
    EXPECT_EQ(turned.MapPointRounded(4, 0), (TPoint{0, 0}));

    // About the centre of an offset source, not about the origin.
    const TRectToRotatedRect offset({10, 10, 15, 15}, 180, false, {0, 0, 5, 5});
    EXPECT_EQ(offset.MapPointRounded(0, 0), (TPoint{14, 14}));
}

} // namespace
