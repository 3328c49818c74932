// The label map: label changes and the picture, counts, flood fill, bounds,
// column passes and undo snapshots.
#include "Clipping.h"
#include "MarkedRegion.h"
#include "RegionFixture.h"
#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <queue>
#include <random>

namespace {

constexpr TColorTriple kColor{10, 200, 130};

// A region over a picture of one colour, with the clipping work's label effects.
struct Region {
    TKvPixelBuffer picture;
    TMarkedRegion region;

    Region(int width, int height, TColorTriple fill = kColor)
    {
        MakePicture(picture, width, height, fill);
        SetClippingLabelEffects(region);
        region.AttachImage(&picture);
    }
};

TEST(MarkedRegion, SettingTheSameLabelChangesNothing)
{
    Region r(2, 2);
    ASSERT_TRUE(r.region.SetLabel(1, 1, LabelRedFlash));
    EXPECT_FALSE(r.region.SetLabel(1, 1, LabelRedFlash));
    EXPECT_FALSE(r.region.SetLabel(0, 0, 0));
    EXPECT_EQ(r.region.CountOf(LabelRedFlash), 1);
    EXPECT_EQ(r.region.CountOf(0), 3);
    EXPECT_EQ(PixelOf(r.picture, 1, 1), (TColorTriple{0, 0, 255}));
}

// Whatever effects a pixel passes through, returning to a label without one
// gives back its own colour.
TEST(MarkedRegion, LabelRoundTripsRestoreThePixel)
{
    const std::vector<std::vector<std::uint8_t>> paths = {
        {LabelRedFlash, 0},
        {LabelRedFlash, LabelCutLine, 0},
        {LabelCutLine, LabelRedFlash, LabelBand},
        {LabelBand, LabelCutLine, LabelOutline},
        {BackgroundBase + 9, LabelRedFlash, 9, 0},
    };
    for (const auto& path : paths) {
        Region r(3, 2);
        r.region.SetBackgroundColor(0x00FF00);
        r.region.PrepareEffect(BackgroundColor);
        for (const std::uint8_t label : path)
            r.region.SetLabel(2, 1, label);
        EXPECT_EQ(PixelOf(r.picture, 2, 1), kColor) << "last label " << int(path.back());
        EXPECT_TRUE(CountsAgree(r.region));
    }
}

TEST(MarkedRegion, UnaffectedColorIsTheSavedColourWhileAnEffectShows)
{
    Region r(1, 1);
    r.region.SetLabel(0, 0, LabelCutLine);
    EXPECT_EQ(PixelOf(r.picture, 0, 0), (TColorTriple{255, 0, 0}));
    const std::uint8_t* color = r.region.UnaffectedColor(0, 0);
    EXPECT_EQ((TColorTriple{color[0], color[1], color[2]}), kColor);
    r.region.SetLabel(0, 0, LabelBand);
    EXPECT_EQ(r.region.UnaffectedColor(0, 0), r.picture.PixelAt(0, 0));
}

TEST(MarkedRegion, ResetCurrentKeepsThePaintedEffects)
{
    Region r(2, 1);
    r.region.SetLabel(0, 0, LabelRedFlash);
    r.region.ResetCurrent();
    EXPECT_TRUE(r.region.IsEmpty());
    EXPECT_EQ(r.region.LabelAt(0, 0), 0);
    EXPECT_EQ(PixelOf(r.picture, 0, 0), (TColorTriple{0, 0, 255}));
    EXPECT_TRUE(CountsAgree(r.region));
}

TEST(MarkedRegion, AttachingAPictureOfTheSameSizeKeepsTheMarks)
{
    Region r(3, 2);
    r.region.SetLabel(1, 1, LabelBand);
    TKvPixelBuffer same;
    MakePicture(same, 3, 2);
    r.region.AttachImage(&same);
    EXPECT_EQ(r.region.LabelAt(1, 1), LabelBand);

    TKvPixelBuffer other;
    MakePicture(other, 2, 3);
    r.region.AttachImage(&other);
    EXPECT_EQ(r.region.Width(), 2);
    EXPECT_EQ(r.region.Height(), 3);
    EXPECT_TRUE(r.region.IsEmpty());
    EXPECT_EQ(r.region.LabelAt(1, 1), 0);
}

TEST(MarkedRegion, HasLabelInAnswersFromTheCounts)
{
    Region r(2, 2);
    r.region.SetLabel(0, 1, 20);
    EXPECT_TRUE(r.region.HasLabelIn(8, 39));
    EXPECT_TRUE(r.region.HasLabelIn(20, 20));
    EXPECT_FALSE(r.region.HasLabelIn(21, 39));
    EXPECT_FALSE(r.region.HasLabelIn(39, 8));
    EXPECT_FALSE(r.region.IsEmpty());
}

// ---------------------------------------------------------------------------
// Flood fill

TEST(MarkedRegion, FillComponentWithoutSeedChangesNothing)
{
    Region r(3, 3);
    PaintLabels(r.region, {"111", "1.1", "111"});
    r.region.SetLabel(1, 1, LabelBand);
    EXPECT_FALSE(r.region.FillComponent(0, 8));
    EXPECT_EQ(r.region.CountOf(LabelBand), 9);
}

TEST(MarkedRegion, NumberingFollowsTheColumnMajorScanAndFourConnectivity)
{
    struct Case {
        const char* what;
        std::vector<std::string> rows;
        int lastLabel;
        int numbered;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"areas touching only diagonally are two",
         {"..11", "..11", "11..", "11.."}, 39, 2,
         {"8811", "8811", "1199", "1199"}},
        {"the area of the left column's top-most unmarked pixel first, then by first pixels down the columns",
         {"1.1.1", "11111", "..1.1"}, 39, 4,
         {"191a1", "11111", "881b1"}},
        {"areas beyond the last label keep their label",
         {".1.1.1."}, 9, 2,
         {"8191.1."}},
    };
    for (const Case& c : cases) {
        Region r(int(c.rows[0].size()), int(c.rows.size()));
        PaintLabels(r.region, c.rows);
        EXPECT_EQ(r.region.NumberComponents(0, 8, std::uint8_t(c.lastLabel)), c.numbered) << c.what;
        EXPECT_EQ(LabelRows(r.region), c.expected) << c.what;
        EXPECT_TRUE(CountsAgree(r.region)) << c.what;
    }
}

// The connected components of label 0 numbered in the order of their first
// pixel, by a plain breadth-first search.
std::vector<std::string> ReferenceNumbering(std::vector<std::string> rows, int first, int last)
{
    const int height = int(rows.size());
    const int width = int(rows[0].size());
    int label = first;
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (rows[std::size_t(y)][std::size_t(x)] != '.' || label > last)
                continue;
            const char mark = LabelChar(label++);
            std::queue<std::pair<int, int>> queue;
            queue.push({x, y});
            rows[std::size_t(y)][std::size_t(x)] = mark;
            while (!queue.empty()) {
                const auto [px, py] = queue.front();
                queue.pop();
                const std::pair<int, int> neighbours[] = {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}};
                for (const auto& [nx, ny] : neighbours) {
                    if (nx < 0 || ny < 0 || nx >= width || ny >= height)
                        continue;
                    char& c = rows[std::size_t(ny)][std::size_t(nx)];
                    if (c == '.') {
                        c = mark;
                        queue.push({nx, ny});
                    }
                }
            }
        }
    }
    return rows;
}

TEST(MarkedRegion, NumberingMatchesARepeatedFillAndABreadthFirstSearch)
{
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        const int width = 1 + int(random() % 23);
        const int height = 1 + int(random() % 19);
        std::vector<std::string> rows(std::size_t(height), std::string(std::size_t(width), '.'));
        for (auto& row : rows)
            for (char& c : row)
                c = random() % 100 < 45 ? '1' : '.';

        Region numbered(width, height);
        PaintLabels(numbered.region, rows);
        const int count = numbered.region.NumberComponents(0, 8, 30);

        Region filled(width, height);
        PaintLabels(filled.region, rows);
        for (int label = 8; label <= 30 && filled.region.FillComponent(0, std::uint8_t(label)); ++label) {
        }

        const auto expected = ReferenceNumbering(rows, 8, 30);
        EXPECT_EQ(LabelRows(numbered.region), expected) << "round " << round;
        EXPECT_EQ(LabelRows(filled.region), expected) << "round " << round;
        EXPECT_TRUE(CountsAgree(numbered.region));
        EXPECT_TRUE(CountsAgree(filled.region));

        // Shared among threads by strips of columns, however small.
        for (const int threads : {2, 3, 7}) {
            TWorkerPool pool(threads, 1);
            Region shared(width, height);
            shared.region.SetWorkerPool(&pool);
            PaintLabels(shared.region, rows);
            EXPECT_EQ(shared.region.NumberComponents(0, 8, 30), count);
            EXPECT_EQ(LabelRows(shared.region), expected) << "round " << round << ", " << threads << " threads";
            EXPECT_TRUE(CountsAgree(shared.region));
        }
    }
}

TEST(MarkedRegion, FillSavesTheColoursOfTheFilledPixels)
{
    Region r(3, 1);
    SetPixel(r.picture, 2, 0, {1, 2, 3});
    r.region.FillComponent(0, LabelRedFlash);
    EXPECT_EQ(PixelOf(r.picture, 2, 0), (TColorTriple{0, 0, 255}));
    r.region.Relabel(LabelRedFlash, 0);
    EXPECT_EQ(PixelOf(r.picture, 2, 0), (TColorTriple{1, 2, 3}));
    EXPECT_EQ(PixelOf(r.picture, 0, 0), kColor);
}

// ---------------------------------------------------------------------------
// Bounds and whole-picture relabelling

TEST(MarkedRegion, LabelBoundsOfAnAbsentLabelIsTheInvertedRectangle)
{
    Region r(5, 4);
    EXPECT_EQ(r.region.LabelBounds(LabelRange(8, 39)), (TRect{4, 3, 0, 0}));
    PaintLabels(r.region, {
        ".....",
        "..9..",
        ".8...",
        ".....",
    });
    EXPECT_EQ(r.region.LabelBounds(LabelRange(8, 39)), (TRect{1, 1, 3, 3}));
    EXPECT_EQ(r.region.LabelBounds(LabelRange(9, 9)), (TRect{2, 1, 3, 2}));
}

TEST(MarkedRegion, ClearExceptKeepsOnlyTheSet)
{
    Region r(4, 1);
    PaintLabels(r.region, {"1394"});
    TLabelSet keep;
    keep.set(1);
    keep.set(3);
    r.region.ClearExcept(keep);
    EXPECT_EQ(LabelRows(r.region), (std::vector<std::string>{"13.."}));
    EXPECT_EQ(PixelOf(r.picture, 3, 0), kColor);
    EXPECT_TRUE(CountsAgree(r.region));
}

// ---------------------------------------------------------------------------
// Column passes

// A 3 x 3 region whose segment bytes say: column 0 segment 9, the rest 8.
Region& WithSegments(Region& r)
{
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y)
            r.region.SetSegment(x, y, x == 0 ? 9 : 8);
    return r;
}

TEST(MarkedRegion, ApplyObjectShowsTheObjectAndTheBackgroundColumnByColumn)
{
    Region r(3, 3);
    WithSegments(r);
    r.region.SetBackgroundColor(0x0000FF); // red
    r.region.PrepareEffect(BackgroundColor);
    TRect rect;
    r.region.ApplyObject(9, 0, rect);
    EXPECT_EQ(rect, (TRect{0, 0, 1, 3}));
    r.region.ApplyObject(9, 1, rect);
    EXPECT_EQ(rect, (TRect{1, 0, 2, 3}));
    EXPECT_EQ(LabelRows(r.region), (std::vector<std::string>{"9I.", "9I.", "9I."}));
    EXPECT_EQ(PixelOf(r.picture, 0, 0), kColor);
    EXPECT_EQ(PixelOf(r.picture, 1, 2), (TColorTriple{0, 0, 255}));
    EXPECT_EQ(PixelOf(r.picture, 2, 2), kColor);
}

TEST(MarkedRegion, SwapObjectExchangesObjectAndBackground)
{
    Region r(3, 3);
    r.region.SetBackgroundColor(0);
    r.region.PrepareEffect(BackgroundColor);
    PaintLabels(r.region, {"9I2", "9IC", "9I."});
    TRect rect;
    for (int x = 0; x < 3; ++x)
        r.region.SwapObject(8, x, rect);
    EXPECT_EQ(rect, (TRect{2, 0, 3, 3}));
    // Labels below 128 go to the background; the new object's pixels and the
    // other labels from 128 up keep or take what the swap gives them.
    EXPECT_EQ(LabelRows(r.region), (std::vector<std::string>{"J8C", "J8C", "J8A"}));
    EXPECT_EQ(PixelOf(r.picture, 1, 1), kColor);
    EXPECT_EQ(PixelOf(r.picture, 0, 1), (TColorTriple{0, 0, 0}));
    EXPECT_TRUE(CountsAgree(r.region));
}

TEST(MarkedRegion, RefreshEffectsRendersTheBackgroundAgainFromTheSavedColours)
{
    Region r(2, 3);
    PaintLabels(r.region, {"9.", "I.", "I."});
    r.region.SetShadowLevel(2);
    r.region.PrepareEffect(BackgroundShadow);
    TRect rect;
    r.region.RefreshEffects(0, rect);
    EXPECT_EQ(rect, (TRect{0, 1, 1, 3}));
    EXPECT_EQ(PixelOf(r.picture, 0, 2), (TColorTriple{5, 100, 65}));
    r.region.SetShadowLevel(4);
    r.region.RefreshEffects(0, rect);
    EXPECT_EQ(PixelOf(r.picture, 0, 2), (TColorTriple{2, 50, 32}));
    EXPECT_EQ(PixelOf(r.picture, 0, 0), kColor);
    r.region.RefreshEffects(1, rect);
    EXPECT_TRUE(rect.IsEmpty());
}

TEST(MarkedRegion, ClearColumnRestoresThePixelsAndReportsTheChangedRows)
{
    Region r(2, 5);
    PaintLabels(r.region, {"..", "3.", ".1", "4.", ".."});
    TRect rect;
    r.region.ClearColumn(0, rect);
    EXPECT_EQ(rect, (TRect{0, 1, 1, 4}));
    EXPECT_EQ(PixelOf(r.picture, 0, 1), kColor);
    EXPECT_EQ(PixelOf(r.picture, 0, 3), kColor);
    r.region.ClearColumn(0, rect);
    EXPECT_EQ(rect, (TRect{0, 4, 1, 0}));
    EXPECT_EQ(LabelRows(r.region), (std::vector<std::string>{"..", "..", ".1", "..", ".."}));
}

// ---------------------------------------------------------------------------
// Snapshots

TEST(MarkedRegion, SnapshotsRestoreMarksAndCountsOfTheirRectangle)
{
    Region r(4, 3);
    PaintLabels(r.region, {"1...", "12..", "...."});
    const TRect rect{1, 0, 3, 2};
    TMarkedPointArray before;
    before.SetSize(rect.Width(), rect.Height());
    TLabelCounts beforeCounts{};
    r.region.CopyCurrent(beforeCounts, rect, before);
    EXPECT_EQ(before.At(0, 1).Label, 2);

    r.region.SetLabel(1, 1, 0);
    r.region.SetLabel(2, 0, LabelBand);
    r.region.RestoreCurrent(beforeCounts, rect, before);
    EXPECT_EQ(LabelRows(r.region), (std::vector<std::string>{"1...", "12..", "...."}));
    EXPECT_TRUE(CountsAgree(r.region));
}

TEST(MarkedRegion, CommitCopiesTheCurrentMarksOfItsRectangle)
{
    Region r(3, 2);
    PaintLabels(r.region, {"11.", "..1"});
    r.region.Commit({0, 0, 2, 1});
    TMarkedPointArray committed;
    committed.SetSize(3, 2);
    TLabelCounts counts{};
    r.region.CopyCommitted(counts, {0, 0, 3, 2}, committed);
    EXPECT_EQ(counts[LabelBand], 3);
    EXPECT_EQ(committed.At(0, 0).Label, LabelBand);
    EXPECT_EQ(committed.At(1, 0).Label, LabelBand);
    EXPECT_EQ(committed.At(2, 1).Label, 0); // outside the committed rectangle
}

// ---------------------------------------------------------------------------
// Counts under any sequence of operations

TEST(MarkedRegion, CountsAddUpUnderEveryOperation)
{
    std::mt19937 random(11);
    Region r(9, 7);
    r.region.SetBackgroundColor(0xFFFFFF);
    r.region.PrepareEffect(BackgroundColor);
    for (int step = 0; step < 400; ++step) {
        const int x = int(random() % 9);
        const int y = int(random() % 7);
        const std::uint8_t label = std::uint8_t(random() % 12);
        TRect rect;
        switch (random() % 7) {
        case 0: case 1: case 2: r.region.SetLabel(x, y, label); break;
        case 3: r.region.FillComponent(label, std::uint8_t(random() % 12)); break;
        case 4: r.region.Relabel(label, std::uint8_t(random() % 12)); break;
        case 5: r.region.SetSegment(x, y, label); r.region.ApplyObject(9, x, rect); break;
        case 6: r.region.SwapObject(std::uint8_t(8 + random() % 3), x, rect); break;
        }
        ASSERT_TRUE(CountsAgree(r.region)) << "step " << step;
    }
    for (int x = 0; x < 9; ++x) {
        TRect rect;
        r.region.ClearColumn(x, rect);
    }
    EXPECT_TRUE(r.region.IsEmpty());
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 7; ++y)
            ASSERT_EQ(PixelOf(r.picture, x, y), kColor);
}

} // namespace
