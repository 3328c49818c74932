// The changed parts of a picture as tiles: what is handed back covers every
// change, stays inside the picture and the changes' bounds, never overlaps,
// and leaves out the untouched space between scattered changes.
#include "DirtyTiles.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

void PrintTo(const TRect& r, std::ostream* out)
{
    *out << '(' << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ')';
}

namespace {

constexpr int T = TDirtyTiles::TileSize;

// Every pixel of every added rectangle (clipped to the picture) lies in
// exactly one of the rectangles handed back, and those lie inside bounds.
void ExpectExactCover(const TDirtyTiles& tiles, const std::vector<TRect>& added, int width, int height)
{
    const std::vector<TRect> rects = tiles.Rects();
    std::vector<int> covered(std::size_t(width) * std::size_t(height), 0);
    for (const TRect& r : rects) {
        ASSERT_FALSE(r.IsEmpty());
        ASSERT_TRUE(tiles.Bounds().Contains(r));
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                ++covered[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
    for (int c : covered)
        ASSERT_LE(c, 1) << "rectangles overlap";
    for (const TRect& a : added) {
        const TRect r = IntersectRect(a, {0, 0, width, height});
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                ASSERT_EQ(covered[std::size_t(y) * std::size_t(width) + std::size_t(x)], 1) << x << ", " << y;
    }
}

struct Case {
    const char* name;
    std::vector<TRect> added;
    TRect bounds;
    std::vector<TRect> rects;
};

TEST(DirtyTiles, HandsBackTheChangedTilesJoinedAndCutToTheBounds)
{
    const int width = 5 * T + 7;
    const int height = 4 * T + 3;
    const std::vector<Case> cases = {
        {"nothing", {}, {}, {}},
        {"one pixel", {{40, 40, 41, 41}}, {40, 40, 41, 41}, {{40, 40, 41, 41}}},
        {"outside the picture", {{-10, -10, -1, -1}, {width, 0, width + 5, 5}}, {}, {}},
        {"clipped to the picture", {{-5, -5, 3, 3}}, {0, 0, 3, 3}, {{0, 0, 3, 3}}},
        {"two tiles apart in one row",
         {{1, 1, 2, 2}, {3 * T + 1, 1, 3 * T + 2, 2}},
         {1, 1, 3 * T + 2, 2},
         {{1, 1, T, 2}, {3 * T, 1, 3 * T + 2, 2}}},
        {"neighbouring tiles of a row joined", {{T - 1, 5, T + 1, 6}}, {T - 1, 5, T + 1, 6}, {{T - 1, 5, T + 1, 6}}},
        {"a column down every tile row: one rectangle", {{10, 0, 11, height}}, {10, 0, 11, height}, {{10, 0, 11, height}}},
        {"the last partial tiles",
         {{width - 1, height - 1, width, height}},
         {width - 1, height - 1, width, height},
         {{width - 1, height - 1, width, height}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDirtyTiles tiles;
        tiles.SetSize(width, height);
        for (const TRect& r : c.added)
            tiles.Add(r);
        EXPECT_EQ(tiles.IsEmpty(), c.rects.empty());
        EXPECT_EQ(tiles.Bounds(), c.bounds);
        EXPECT_EQ(tiles.Rects(), c.rects);
        ExpectExactCover(tiles, c.added, width, height);
    }
}

TEST(DirtyTiles, ARingIsHandedBackWithoutItsInside)
{
    // The cut growing along a band around an object: a square ring 3 pixels
    // wide, added pixel by pixel as the generations change them.
    const int size = 12 * T;
    TDirtyTiles tiles;
    tiles.SetSize(size, size);
    std::vector<TRect> added;
    for (int y = T; y < 11 * T; ++y)
        for (int x = T; x < 11 * T; ++x)
            if (x < T + 3 || x >= 11 * T - 3 || y < T + 3 || y >= 11 * T - 3)
                added.push_back({x, y, x + 1, y + 1});
    for (const TRect& r : added)
        tiles.Add(r);
    ExpectExactCover(tiles, added, size, size);
    // The tiles inside the ring are left out; its four sides come back as
    // one rectangle each.
    const std::vector<TRect> rects = tiles.Rects();
    for (const TRect& r : rects)
        EXPECT_TRUE(IntersectRect(r, {2 * T, 2 * T, 10 * T, 10 * T}).IsEmpty());
    EXPECT_EQ(rects.size(), 4u);
}

TEST(DirtyTiles, ClearForgetsEveryTile)
{
    TDirtyTiles tiles;
    tiles.SetSize(4 * T, 4 * T);
    tiles.Add({0, 0, 4 * T, 4 * T});
    tiles.Clear();
    EXPECT_TRUE(tiles.IsEmpty());
    EXPECT_TRUE(tiles.Rects().empty());
    // Only the new changes' tiles come back, not those between them that
    // changed before.
    tiles.Add({1, 1, 2, 2});
    tiles.Add({4 * T - 2, 4 * T - 2, 4 * T - 1, 4 * T - 1});
    EXPECT_EQ(tiles.Rects(), (std::vector<TRect>{{1, 1, T, T}, {3 * T, 3 * T, 4 * T - 1, 4 * T - 1}}));
}

} // namespace
